// TrimReadout: the output trim in decibels under the trim knob.
#pragma once

#include <string>

#include "gfx/IControl.h"

namespace TovraUI {

// "+1.5 dB", "-12.0 dB"; a trim that would print as a signed zero reads "0.0 dB". Drawn with a
// dark drop shadow in the display's pink. Ignores the mouse.
class TrimReadout : public plug::gfx::IControl {
 public:
  TrimReadout(const plug::gfx::IRECT& bounds, int paramIdx, float scale);

  void Draw(plug::gfx::IGfx& g) override;

  static std::string Format(double trimDb);

 private:
  float mScale;
};

}  // namespace TovraUI
