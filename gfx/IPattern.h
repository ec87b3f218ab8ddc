// IPattern: what a path is painted with: one colour, or a linear or radial gradient.
#pragma once

#include <array>
#include <initializer_list>

#include "gfx/IColor.h"
#include "gfx/IColorStop.h"
#include "gfx/IMatrix.h"

namespace plug::gfx {

enum class EPatternType { Solid, Linear, Radial };
/** Pad: beyond the end stops their colours hold. */
enum class EPatternExtend { None, Pad, Reflect, Repeat };

/** A gradient is described in its own space: a linear one runs along x from
 *  offset 0 at x = 0 to offset 1 at x = 1, a radial one grows with the distance
 *  from the origin (offset 1 at distance 1). mTransform maps drawing coordinates
 *  into that space, which is all a backend needs to build its own paint. */
class IPattern {
 public:
  static constexpr int kMaxStops = 16;

  EPatternType mType = EPatternType::Solid;
  EPatternExtend mExtend = EPatternExtend::Pad;
  IMatrix mTransform;

  explicit IPattern(EPatternType type = EPatternType::Solid) : mType(type) {}
  IPattern(const IColor& color) : mType(EPatternType::Solid) {
    AddStop(color, 0.f);
  }  // NOLINT: a colour is a pattern

  static IPattern CreateLinearGradient(float x1, float y1, float x2, float y2,
                                       std::initializer_list<IColorStop> stops);
  static IPattern CreateRadialGradient(float x, float y, float r,
                                       std::initializer_list<IColorStop> stops);

  /** Appends a stop; stops beyond the sixteenth are dropped (returns false). */
  bool AddStop(const IColor& color, float offset);
  int NStops() const { return mNStops; }
  const IColorStop& GetStop(int i) const { return mStops[static_cast<std::size_t>(i)]; }

 private:
  std::array<IColorStop, kMaxStops> mStops{};
  int mNStops = 0;
};

}  // namespace plug::gfx
