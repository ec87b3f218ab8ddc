// Headroom: lamp levels from the meter readings.
#include "ui/Headroom.h"

#include <algorithm>

#include "core/TovraSat.h"
#include "ui/LedLit.h"

namespace TovraUI {

using namespace plug::gfx;

namespace {
constexpr float kLampX = 139.f;
constexpr float kOverloadY = 231.f;
constexpr float kAmberY = 292.f;
constexpr float kGreenY = 353.f;
}  // namespace

Headroom::Headroom(float scale, const TovraSat* plugin)
    : IControl(IRECT(104.f, 197.f, 174.f, 387.f).GetScaled(scale)), mScale(scale), mPlug(plugin) {
  SetIgnoreMouse(true);
  // The lamps' halos reach past the meter's column: draw over them, so they are not cut off
  // square. The target area stays the column (the meter takes no clicks anyway).
  for (const float lampY : {kOverloadY, kAmberY, kGreenY}) {
    SetRECT(GetRECT().Union(LedBounds(scale, kLampX, lampY)));
  }
  SetTooltip(
      "Output meter: 0 = signal, + = near full scale, OL = the output is hitting full scale");
}

void Headroom::Draw(IGfx& g) {
  const float peakDb = mPlug->mMeterDb;
  const float overload = mPlug->mClipLed;
  const float green = std::clamp((peakDb + 30.f) / 12.f, 0.f, 1.f);
  const float amber = std::clamp((peakDb + 6.f) / 3.f, 0.f, 1.f);
  LedLit(g, mScale, kLampX, kOverloadY, IColor(255, 255, 40, 25), overload);
  LedLit(g, mScale, kLampX, kAmberY, IColor(255, 255, 150, 20), amber);
  LedLit(g, mScale, kLampX, kGreenY, IColor(255, 40, 220, 60), green);
}

}  // namespace TovraUI
