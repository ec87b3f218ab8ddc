// Toggle: a two-state parameter switched by its printed switch or by its lamp.
#pragma once

#include "gfx/IColor.h"
#include "gfx/IControl.h"

namespace TovraUI {

// A click in the lamp zone or the switch zone flips the parameter; only a click in the switch zone
// darkens the switch until the button is released. Clicks elsewhere in the rectangle do nothing.
// The lamp is lit while the parameter is on. A double-click keeps the base behaviour (back to the
// default).
class Toggle : public plug::gfx::IControl {
 public:
  Toggle(float scale, float switchY, float lampY, int paramIdx, const plug::gfx::IColor& colour,
         const char* label);

  void OnMouseDown(float x, float y, const plug::gfx::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const plug::gfx::IMouseMod& mod) override;
  void Draw(plug::gfx::IGfx& g) override;

  const plug::gfx::IRECT& GetLampZone() const { return mLampZone; }
  const plug::gfx::IRECT& GetSwitchZone() const { return mSwitchZone; }
  bool IsPressed() const { return mPressed; }

 private:
  float mScale;
  plug::gfx::IColor mColour;
  float mLampY;
  plug::gfx::IRECT mLampZone;
  plug::gfx::IRECT mSwitchZone;
  bool mPressed = false;
};

}  // namespace TovraUI
