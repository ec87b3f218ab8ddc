// TovraSatProperties.h: the plug-in's own Audio Unit property, for hosts and tools that read the
// meter.
#pragma once

#include <AudioToolbox/AudioUnitProperties.h>

namespace tovrasat {

// A host cannot see the output meter through the standard Audio Unit API, so TovraSat answers one
// read-only property of its own (IDs from 64000 on are free for plug-ins):
//
//   ID 64000, global scope, element 0, 8 bytes, not writable
//   offset 0  float meterDb   the level the idle tick last computed (dBFS, -120 at rest)
//   offset 4  float clipLed   the overload lamp's brightness: 1.0 on the tick after a clip, then
//                             0.15 less per tick
//
// Other scopes give kAudioUnitErr_InvalidScope, other elements kAudioUnitErr_InvalidElement.
// Only ask a unit with TovraSat's codes: other components may use the ID for anything.
inline constexpr AudioUnitPropertyID kMeterReadingProperty = 64000;

struct MeterReading {
  float meterDb = -120.0f;
  float clipLed = 0.0f;
};
static_assert(sizeof(MeterReading) == 8, "the property is 8 bytes: two floats");

}  // namespace tovrasat
