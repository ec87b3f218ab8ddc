/* AudioToolbox.h: umbrella header of the AudioToolbox stand-in (Audio Units and their utilities). */
#ifndef AudioToolbox_AudioToolbox_h
#define AudioToolbox_AudioToolbox_h

#include <AudioToolbox/AudioUnit.h>
#include <AudioToolbox/AudioUnitUtilities.h>

#endif /* AudioToolbox_AudioToolbox_h */
