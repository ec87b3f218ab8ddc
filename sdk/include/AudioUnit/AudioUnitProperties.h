/* AudioUnitProperties.h: forwards to <AudioToolbox/AudioUnitProperties.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AudioUnitProperties.h>
