/* CoreAudioTypes.h: umbrella of the Core Audio types (Linux stand-in). */
#ifndef CoreAudioTypes_CoreAudioTypes_h
#define CoreAudioTypes_CoreAudioTypes_h

#include <CoreAudioTypes/CoreAudioBaseTypes.h>

#endif
