/* AudioOutputUnit.h: output-unit property (Linux stand-in; output units themselves are not provided). */
#ifndef AudioToolbox_AudioOutputUnit_h
#define AudioToolbox_AudioOutputUnit_h

#include <AudioToolbox/AUComponent.h>

CF_EXTERN_C_BEGIN

CF_ENUM(AudioUnitPropertyID) {
  kAudioOutputUnitProperty_IsRunning = 2001
};

CF_EXTERN_C_END

#endif /* AudioToolbox_AudioOutputUnit_h */
