// MeterReading.h: the plug-in-specific property through which a host reads TovraSat's output meter.
#pragma once

#include <AudioToolbox/AudioUnitProperties.h>

namespace tools {

// A host cannot see the meter through the standard Audio Unit API, so TovraSat answers one
// read-only property of its own: ID 64000, global scope, element 0, 8 bytes, not writable:
//
//   offset 0  float meterDb   the meter level the idle timer last computed (dBFS, -120 at rest)
//   offset 4  float clipLed   the overload lamp's brightness, 1.0 on the tick after a clip, fading
//
// Only a unit with TovraSat's codes is asked: other components may use the ID for anything.
struct MeterReading {
  float meterDb = -120.0f;
  float clipLed = 0.0f;
};
static_assert(sizeof(MeterReading) == 8, "the property is 8 bytes: two floats");

inline constexpr AudioUnitPropertyID kMeterReadingProperty = 64000;

}  // namespace tools
