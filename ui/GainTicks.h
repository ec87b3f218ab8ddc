// GainTicks: the 21-tick scale around the gain knob, lit up to the current value.
#pragma once

#include "gfx/IControl.h"

namespace TovraUI {

// Tick i stands for i * 5 %: ticks below the value glow amber, the tick of the value itself gets a
// longer stroke and a halo, the rest keep the printed look. Ignores the mouse.
class GainTicks : public plug::gfx::IControl {
 public:
  GainTicks(const plug::gfx::IRECT& bounds, int paramIdx, float scale);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  float mScale;
};

}  // namespace TovraUI
