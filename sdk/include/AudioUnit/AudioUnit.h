/* AudioUnit.h: forwards to <AudioToolbox/AudioUnit.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AudioUnit.h>
