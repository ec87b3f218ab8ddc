// Gradient construction: the transforms that map drawing space to gradient space.
#include "gfx/IPattern.h"

namespace plug::gfx {

bool IPattern::AddStop(const IColor& color, float offset) {
  if (mNStops >= kMaxStops) return false;
  mStops[static_cast<std::size_t>(mNStops++)] = IColorStop{color, offset};
  return true;
}

IPattern IPattern::CreateLinearGradient(float x1, float y1, float x2, float y2,
                                        std::initializer_list<IColorStop> stops) {
  IPattern p(EPatternType::Linear);
  p.mExtend = EPatternExtend::Pad;
  // u = ((p - p1) . d) / |d|^2 is the offset along the line; v, perpendicular to
  // it, keeps the matrix invertible. A zero-length line has no direction: every
  // point lies "beyond the end", so the matrix maps everything past offset 1.
  const double dx = double(x2) - x1, dy = double(y2) - y1;
  const double len2 = dx * dx + dy * dy;
  if (len2 > 0.0) {
    p.mTransform = IMatrix(dx / len2, -dy / len2, dy / len2, dx / len2, -(x1 * dx + y1 * dy) / len2,
                           (x1 * dy - y1 * dx) / len2);
  } else {
    p.mTransform = IMatrix(0, 0, 0, 0, 2.0, 0.0);
  }
  for (const IColorStop& s : stops) p.AddStop(s.mColor, s.mOffset);
  return p;
}

IPattern IPattern::CreateRadialGradient(float x, float y, float r,
                                        std::initializer_list<IColorStop> stops) {
  IPattern p(EPatternType::Radial);
  p.mExtend = EPatternExtend::Pad;
  if (r > 0.f) {
    p.mTransform = IMatrix(1.0 / r, 0, 0, 1.0 / r, -double(x) / r, -double(y) / r);
  } else {
    p.mTransform = IMatrix(0, 0, 0, 0, 2.0, 0.0);  // no radius: the last stop holds everywhere
  }
  for (const IColorStop& s : stops) p.AddStop(s.mColor, s.mOffset);
  return p;
}

}  // namespace plug::gfx
