/* AudioUnitParameters.h: forwards to <AudioToolbox/AudioUnitParameters.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AudioUnitParameters.h>
