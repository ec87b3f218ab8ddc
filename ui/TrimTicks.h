// TrimTicks: the glow on the output-trim scale at the current trim.
#pragma once

#include "gfx/IControl.h"

namespace TovraUI {

// The plate prints 13 ticks, -24 to +12 dB in steps of 3; this lights the nearest one fully and
// lets the glow fade into a neighbour by the square of how close the trim is to it. Ignores the
// mouse.
class TrimTicks : public plug::gfx::IControl {
 public:
  TrimTicks(const plug::gfx::IRECT& bounds, int paramIdx, float scale);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  float mScale;
};

}  // namespace TovraUI
