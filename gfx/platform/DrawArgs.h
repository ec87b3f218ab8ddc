// DrawArgs: the toolkit's drawing arguments checked and converted the same way for every backend.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "gfx/IBlend.h"
#include "gfx/IColor.h"
#include "gfx/IMatrix.h"
#include "gfx/IPattern.h"
#include "gfx/IStrokeOptions.h"

namespace plug::gfx {

/** What a rasteriser would reject or read otherwise (NaN, a singular matrix, a negative dash, a
 *  weight past 1) is decided here once, so the Cairo and Core Graphics backends paint the same
 *  pixels for the same odd input. Threads: any (pure functions). */
class DrawArgs {
 public:
  static bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
  }

  /** A colour channel as 0...1; out-of-range channels clamp. */
  static double Unit(int channel) { return std::clamp(channel, 0, 255) / 255.0; }

  /** Finite and not singular: a transform the rasteriser can invert. */
  static bool Invertible(const IMatrix& m) {
    return Finite({m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY}) && m.Determinant() != 0.0;
  }

  /** The blend's weight as 0...1; no blend paints at full weight. */
  static double Weight(const IBlend* blend) {
    return blend ? std::clamp(double(blend->mWeight), 0.0, 1.0) : 1.0;
  }

  /** A gradient with an invertible transform is drawn as one; anything else paints one colour. */
  static bool PaintsGradient(const IPattern& pattern) {
    return pattern.mType != EPatternType::Solid && Invertible(pattern.mTransform);
  }

  /** The colour of a pattern that is not drawn as a gradient: a solid's own, or for a gradient
   *  without extent (zero length or radius) what lies beyond its end. Needs a stop. */
  static const IColor& SolidColor(const IPattern& pattern) {
    const int stop = pattern.mType == EPatternType::Solid ? 0 : pattern.NStops() - 1;
    return pattern.GetStop(stop).mColor;
  }

  /** A gradient stop's offset as 0...1 (NaN reads as 0). */
  static double StopOffset(float offset) {
    return std::isfinite(offset) ? std::clamp(double(offset), 0.0, 1.0) : 0.0;
  }

  /** An arc angle (degrees, 0 straight up, growing clockwise on screen) as radians from the
   *  rasteriser's 0, which points right. */
  static double ArcRadians(float degrees) {
    return (double(degrees) - 90.0) * std::numbers::pi / 180.0;
  }

  /** The miter limit, at least 1 (a limit below 1 or not a number gives bevelled joins). */
  static double MiterLimit(const IStrokeOptions& options) {
    return std::isfinite(options.mMiterLimit) && options.mMiterLimit >= 1.f ? options.mMiterLimit
                                                                            : 1.0;
  }

  /** Dash lengths a rasteriser accepts; count 0 draws a solid line. */
  struct Dashes {
    std::array<double, IStrokeOptions::DashOptions::kMaxDashes> lengths{};
    int count = 0;
    double offset = 0.0;
  };

  /** Dashes the rasteriser would reject (a negative or infinite length, all zero, an infinite
   *  offset) draw a solid line instead. */
  static Dashes ValidDashes(const IStrokeOptions::DashOptions& dash) {
    Dashes out;
    const int count = dash.GetCount();
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
      const double length = dash.GetArray()[i];
      if (!std::isfinite(length) || length < 0.0) return {};
      out.lengths[static_cast<std::size_t>(i)] = length;
      sum += length;
    }
    if (!(sum > 0.0) || !std::isfinite(dash.GetOffset())) return {};
    out.count = count;
    out.offset = dash.GetOffset();
    return out;
  }
};

}  // namespace plug::gfx
