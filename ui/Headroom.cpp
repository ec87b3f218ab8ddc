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
  SetCachesUnderlay(true);
}

Headroom::Lamps Headroom::Current() const {
  const float peakDb = mPlug->mMeterDb;
  return {mPlug->mClipLed, std::clamp((peakDb + 6.f) / 3.f, 0.f, 1.f),
          std::clamp((peakDb + 30.f) / 12.f, 0.f, 1.f)};
}

bool Headroom::IsDirty() {
  return IControl::IsDirty() && !(DrawnWhole() && Current() == mDrawn);
}

void Headroom::Draw(IGfx& g) {
  const Lamps lamps = Current();
  LedLit(g, mScale, kLampX, kOverloadY, IColor(255, 255, 40, 25), lamps.overload);
  LedLit(g, mScale, kLampX, kAmberY, IColor(255, 255, 150, 20), lamps.amber);
  LedLit(g, mScale, kLampX, kGreenY, IColor(255, 40, 220, 60), lamps.green);
  mDrawn = lamps;
}

}  // namespace TovraUI
