/* CoreAudioTypes.h: forwards to <CoreAudioTypes/CoreAudioTypes.h>, as Apple's does. */
#ifndef CoreAudio_CoreAudioTypes_h
#define CoreAudio_CoreAudioTypes_h

#include <CoreAudioTypes/CoreAudioTypes.h>

#endif
