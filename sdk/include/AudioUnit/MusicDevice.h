/* MusicDevice.h: forwards to <AudioToolbox/MusicDevice.h>, as Apple's AudioUnit framework does. */
#include <AudioToolbox/MusicDevice.h>
