/* AudioUnit.h: umbrella header of the Audio Unit API, as Apple's AudioToolbox has it (Linux stand-in). */
#ifndef AudioToolbox_AudioUnit_h
#define AudioToolbox_AudioUnit_h

#include <AudioToolbox/AudioComponent.h>
#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioOutputUnit.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioToolbox/AudioUnitParameters.h>
#include <AudioToolbox/MusicDevice.h>

#endif /* AudioToolbox_AudioUnit_h */
