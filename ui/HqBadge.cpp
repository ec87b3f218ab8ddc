// HqBadge: the "HQ" letters in the badge recess.
#include "ui/HqBadge.h"

#include "gfx/IGfx.h"

namespace TovraUI {

using namespace plug::gfx;

HqBadge::HqBadge(float scale) : IControl(kRecess.GetScaled(scale)), mScale(scale) {
  SetIgnoreMouse(true);
}

void HqBadge::Draw(IGfx& g) {
  const float s = mScale;
  g.DrawText(IText(34.f * s, IColor(190, 0, 0, 0), "Plain"), "HQ",
             mRECT.GetTranslated(1.5f * s, 2.f * s));
  g.DrawText(IText(34.f * s, IColor(235, 232, 232, 236), "Plain"), "HQ", mRECT);
}

}  // namespace TovraUI
