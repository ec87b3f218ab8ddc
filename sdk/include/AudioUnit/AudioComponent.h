/* AudioComponent.h: forwards to <AudioToolbox/AudioComponent.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AudioComponent.h>
