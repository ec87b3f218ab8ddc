/* AudioUnitParameters.h: parameter IDs of Apple's own units; none exist in the Linux stand-in. */
#ifndef AudioToolbox_AudioUnitParameters_h
#define AudioToolbox_AudioUnitParameters_h

#include <AudioToolbox/AUComponent.h>

#endif /* AudioToolbox_AudioUnitParameters_h */
