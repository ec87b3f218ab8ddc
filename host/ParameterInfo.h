// ParameterInfo.h: a parameter as the host sees it through kAudioUnitProperty_ParameterInfo.
#pragma once

#include <AudioToolbox/AudioUnitProperties.h>

#include <string>

namespace host {

struct ParameterInfo {
  AudioUnitParameterID id = 0;
  std::string name;  // cfNameString when flagged, else the C name
  AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
  std::string unitName;  // only for kAudioUnitParameterUnit_CustomUnit
  AudioUnitParameterValue minValue = 0;
  AudioUnitParameterValue maxValue = 0;
  AudioUnitParameterValue defaultValue = 0;
  AudioUnitParameterOptions flags = 0;
  UInt32 clumpID = 0;  // only with kAudioUnitParameterFlag_HasClump
};

}  // namespace host
