/* AUComponent.h: forwards to <AudioToolbox/AUComponent.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/AUComponent.h>
