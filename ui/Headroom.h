// Headroom: the output meter: overload, near-full-scale and signal lamps in a column.
#pragma once

#include "gfx/IControl.h"

class TovraSat;

namespace TovraUI {

// Reads the plug-in's mMeterDb and mClipLed (kept by its idle tick, which marks this control
// dirty) and lights, from the top: the red OL lamp at the overload level, the amber lamp from -6
// to -3 dB, the green lamp from -30 to -18 dB. Ignores the mouse, so it never takes a click from
// the controls around it; its tooltip is therefore never shown.
//
// The idle tick marks it dirty every 20 ms; while its three lamp levels are those it last drew
// whole, it does not count as dirty, so an idle editor draws nothing. It keeps a picture of what
// lies under it, so a lamp that moves redraws only the meter.
class Headroom : public plug::gfx::IControl {
 public:
  Headroom(float scale, const TovraSat* plugin);

  void Draw(plug::gfx::IGfx& g) override;
  bool IsDirty() override;

 private:
  struct Lamps {
    float overload = -1.f;  // below every level: nothing drawn yet
    float amber = -1.f;
    float green = -1.f;
    bool operator==(const Lamps&) const = default;
  };
  Lamps Current() const;

  float mScale;
  const TovraSat* mPlug;
  Lamps mDrawn;
};

}  // namespace TovraUI
