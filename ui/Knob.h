// Knob: a bitmap cap turning over the plate, 270 degrees from minimum to maximum.
#pragma once

#include <string>

#include "gfx/IBitmap.h"
#include "gfx/IKnobControlBase.h"

namespace TovraUI {

// The cap is drawn rotated by value * 270 - 135 - angleOffset degrees about (cx, cy) (plate
// units), fitted into a square of capSize units. A vertical drag over the control's height moves
// the value by 1 / gearing. Without its image the knob draws a plain cap with a pointer, so it
// still shows its value.
class Knob : public plug::gfx::IKnobControlBase {
 public:
  Knob(const plug::gfx::IRECT& bounds, int paramIdx, float scale, float cx, float cy,
       const plug::gfx::IBitmap& cap, float capSize, double angleOffset, const char* tooltip,
       double gearing);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  void DrawPlainCap(plug::gfx::IGfx& g, float half) const;

  float mScale;
  float mCX;
  float mCY;
  plug::gfx::IBitmap mCap;
  std::string mCapName;
  float mCapSize;
  double mAngleOffset;
};

}  // namespace TovraUI
