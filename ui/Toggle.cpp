// Toggle: zones, pressed look and lamp.
#include "ui/Toggle.h"

#include "gfx/IGfx.h"
#include "ui/LedLit.h"

namespace TovraUI {

using namespace plug::gfx;

namespace {
constexpr float kLampX = 140.f;
}  // namespace

Toggle::Toggle(float scale, float switchY, float lampY, int paramIdx, const IColor& colour,
               const char* label)
    : IControl(IRECT(100.f, switchY - 70.f, 462.f, switchY + 70.f).GetScaled(scale), paramIdx),
      mScale(scale),
      mColour(colour),
      mLampY(lampY),
      mLampZone(IRECT(105.f, lampY - 35.f, 175.f, lampY + 35.f).GetScaled(scale)),
      mSwitchZone(IRECT(219.f, switchY - 63.f, 455.f, switchY + 63.f).GetScaled(scale)) {
  SetTooltip(label);
  // The lamp's halo reaches a little left of the control: draw over it so it is not cut off.
  SetRECT(GetRECT().Union(LedBounds(scale, kLampX, lampY)));
}

void Toggle::OnMouseDown(float x, float y, const IMouseMod&) {
  const bool onSwitch = mSwitchZone.Contains(x, y);
  if (!onSwitch && !mLampZone.Contains(x, y)) return;
  SetValue(GetValue() > 0.5 ? 0.0 : 1.0);
  SetDirty(true);
  mPressed = onSwitch;
}

void Toggle::OnMouseUp(float, float, const IMouseMod&) {
  mPressed = false;
  SetDirty(false);
}

void Toggle::Draw(IGfx& g) {
  LedLit(g, mScale, kLampX, mLampY, mColour, GetValue() > 0.5 ? 1.f : 0.f);
  if (mPressed) g.FillRoundRect(IColor(70, 0, 0, 0), mSwitchZone, 62.f * mScale);
}

}  // namespace TovraUI
