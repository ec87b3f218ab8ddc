// MacViewGeometry: logical pixels, view points and backing pixels.
#include "gfx/platform/mac/MacViewGeometry.h"

#include <algorithm>
#include <cmath>

#include "gfx/IGfx.h"

namespace plug::gfx {

MacViewGeometry::Size MacViewGeometry::BackingPixels(int windowW, int windowH, float screenScale) {
  const float s = std::isfinite(screenScale) && screenScale > 0.f ? screenScale : 1.f;
  return {std::max(1, static_cast<int>(std::lround(float(windowW) * s))),
          std::max(1, static_cast<int>(std::lround(float(windowH) * s)))};
}

IRECT MacViewGeometry::ToPoints(const IRECT& logical, float drawScale) {
  return logical.GetScaled(drawScale);
}

IRECT MacViewGeometry::InvalidArea(const std::vector<IRECT>& rects, float drawScale,
                                   float screenScale) {
  IRECT area;
  for (const IRECT& r : rects) area = area.Union(r);
  if (area.Degenerate()) return {};
  const float s = std::isfinite(screenScale) && screenScale > 0.f ? screenScale : 1.f;
  return area.GetScaled(drawScale * s).GetPixelAligned().GetScaled(1.f / s);
}

std::vector<MacViewGeometry::TooltipRect> MacViewGeometry::TooltipRects(const IGfx& graphics) {
  std::vector<TooltipRect> out;
  if (!graphics.TooltipsEnabled()) return out;
  for (int i = 1; i < graphics.NControls(); ++i) {
    const IControl* c = graphics.GetControl(i);
    if (c->IsHidden() || c->GetIgnoreMouse()) continue;
    const char* tip = c->GetTooltip();
    if (!tip || !*tip) continue;
    const IRECT r = ToPoints(c->GetTargetRECT(), graphics.GetDrawScale());
    if (!r.Degenerate()) out.push_back({r, i});
  }
  return out;
}

}  // namespace plug::gfx
