/* AudioOutputUnit.h: forwards to <AudioToolbox/AudioOutputUnit.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AudioOutputUnit.h>
