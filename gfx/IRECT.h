// IRECT: an axis-aligned rectangle in logical pixels, y growing downwards.
#pragma once

#include <algorithm>
#include <cmath>

namespace plug::gfx {

/** Left, top, right, bottom. Containment is half-open (L <= x < R, T <= y < B),
 *  so two rectangles that share an edge never both claim a point; the all-zero
 *  rectangle therefore contains nothing and stands for "no rectangle". */
class IRECT {
 public:
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return 0.5f * (L + R); }
  constexpr float MH() const { return 0.5f * (T + B); }

  /** All four values zero. */
  constexpr bool Empty() const { return L == 0.f && T == 0.f && R == 0.f && B == 0.f; }
  /** No area: an inverted or degenerate rectangle paints and hits nothing. */
  constexpr bool Degenerate() const { return !(R > L && B > T); }

  constexpr bool Contains(float x, float y) const {
    return !Empty() && x >= L && x < R && y >= T && y < B;
  }
  /** True when the two rectangles share some area. */
  constexpr bool Intersects(const IRECT& o) const {
    return !Degenerate() && !o.Degenerate() && L < o.R && o.L < R && T < o.B && o.T < B;
  }
  /** The common area, or the all-zero rectangle when there is none. */
  constexpr IRECT Intersect(const IRECT& o) const {
    if (!Intersects(o)) return IRECT();
    return IRECT(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
  }
  /** The smallest rectangle holding both; a degenerate side is ignored. */
  constexpr IRECT Union(const IRECT& o) const {
    if (Degenerate()) return o;
    if (o.Degenerate()) return *this;
    return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
  }
  constexpr IRECT GetPadded(float p) const { return IRECT(L - p, T - p, R + p, B + p); }
  constexpr IRECT GetTranslated(float x, float y) const {
    return IRECT(L + x, T + y, R + x, B + y);
  }
  constexpr IRECT GetScaled(float s) const { return IRECT(L * s, T * s, R * s, B * s); }
  /** Grown outwards to whole pixels. */
  IRECT GetPixelAligned() const {
    return IRECT(std::floor(L), std::floor(T), std::ceil(R), std::ceil(B));
  }
  /** Every edge moved back inside bounds where it sticks out. */
  constexpr IRECT GetConstrainedTo(const IRECT& bounds) const {
    return IRECT(std::clamp(L, bounds.L, bounds.R), std::clamp(T, bounds.T, bounds.B),
                 std::clamp(R, bounds.L, bounds.R), std::clamp(B, bounds.T, bounds.B));
  }

  constexpr bool operator==(const IRECT&) const = default;
};

}  // namespace plug::gfx
