// Headroom: lamp levels from the meter readings.
#include "ui/Headroom.h"

#include <algorithm>

#include "core/TovraSat.h"
#include "ui/LedLit.h"

namespace TovraUI {

using namespace plug::gfx;

Headroom::Headroom(float scale, const TovraSat* plugin)
    : IControl(IRECT(104.f, 197.f, 174.f, 387.f).GetScaled(scale)), mScale(scale), mPlug(plugin) {
  SetIgnoreMouse(true);
  SetTooltip(
      "Output meter: 0 = signal, + = near full scale, OL = the output is hitting full scale");
}

void Headroom::Draw(IGfx& g) {
  const float peakDb = mPlug->mMeterDb;
  const float overload = mPlug->mClipLed;
  const float green = std::clamp((peakDb + 30.f) / 12.f, 0.f, 1.f);
  const float amber = std::clamp((peakDb + 6.f) / 3.f, 0.f, 1.f);
  LedLit(g, mScale, 139.f, 231.f, IColor(255, 255, 40, 25), overload);
  LedLit(g, mScale, 139.f, 292.f, IColor(255, 255, 150, 20), amber);
  LedLit(g, mScale, 139.f, 353.f, IColor(255, 40, 220, 60), green);
}

}  // namespace TovraUI
