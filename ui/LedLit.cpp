// LedLit: halos and body of one lamp.
#include "ui/LedLit.h"

#include <algorithm>

#include "gfx/IGfx.h"

namespace TovraUI {

using namespace plug::gfx;

namespace {
constexpr float kHaloRadius = 46.f;

int Alpha(float fraction) {
  return static_cast<int>(std::clamp(fraction, 0.f, 1.f) * 255.f);
}
}  // namespace

void LedLit(IGfx& g, float scale, float x, float y, const IColor& colour, float level) {
  if (!(level > 0.f)) return;  // off, or not a number
  const float s = scale;
  const float cx = x * s, cy = y * s;
  g.FillCircle(IColor(Alpha(0.16f * level), colour.R, colour.G, colour.B), cx, cy, kHaloRadius * s);
  g.FillCircle(IColor(Alpha(0.28f * level), colour.R, colour.G, colour.B), cx, cy, 31.f * s);
  g.PathClear();
  g.PathCircle(cx, cy, 16.f * s);
  g.PathFill(IPattern::CreateRadialGradient(
      (x + 3.f) * s, (y - 4.f) * s, 20.f * s,
      {{IColor(Alpha(level), 255, 255, 255), 0.f},
       {IColor(Alpha(std::min(level, 1.f)), colour.R, colour.G, colour.B), 0.5f},
       {IColor(Alpha(0.7f * level), colour.R, colour.G, colour.B), 1.f}}));
}

IRECT LedBounds(float scale, float x, float y) {
  return IRECT(x - kHaloRadius, y - kHaloRadius, x + kHaloRadius, y + kHaloRadius).GetScaled(scale);
}

}  // namespace TovraUI
