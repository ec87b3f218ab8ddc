// Headroom: the output meter: overload, near-full-scale and signal lamps in a column.
#pragma once

#include "gfx/IControl.h"

class TovraSat;

namespace TovraUI {

// Reads the plug-in's mMeterDb and mClipLed (kept by its idle tick, which marks this control
// dirty) and lights, from the top: the red OL lamp at the overload level, the amber lamp from -6
// to -3 dB, the green lamp from -30 to -18 dB. Ignores the mouse, so it never takes a click from
// the controls around it; its tooltip is therefore never shown.
class Headroom : public plug::gfx::IControl {
 public:
  Headroom(float scale, const TovraSat* plugin);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  float mScale;
  const TovraSat* mPlug;
};

}  // namespace TovraUI
