// HostConfig.h: the stream set-up a host gives a unit before initialising it.
#pragma once

#include <MacTypes.h>

namespace host {

struct HostConfig {
  Float64 sampleRate = 44100.0;
  UInt32 maxFrames = 512;    // kAudioUnitProperty_MaximumFramesPerSlice
  UInt32 inputChannels = 2;  // 0: no input bus format and no input callback
  UInt32 outputChannels = 2;
  // The transport the host reports through its host callbacks (kAudioUnitProperty_HostCallbacks).
  Float64 tempo = 120.0;  // beats per minute, 4/4 time
  bool playing = true;
};

}  // namespace host
