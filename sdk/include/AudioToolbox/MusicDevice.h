/* MusicDevice.h: music-device selectors, property and calls (Linux stand-in). */
#ifndef AudioToolbox_MusicDevice_h
#define AudioToolbox_MusicDevice_h

#include <AudioToolbox/AUComponent.h>

CF_EXTERN_C_BEGIN

typedef AudioComponentInstance MusicDeviceComponent;

enum {
  kMusicDeviceRange = 0x0100,
  kMusicDeviceMIDIEventSelect = 0x0101,
  kMusicDeviceSysExSelect = 0x0102,
  kMusicDevicePrepareInstrumentSelect = 0x0103,
  kMusicDeviceReleaseInstrumentSelect = 0x0104,
  kMusicDeviceStartNoteSelect = 0x0105,
  kMusicDeviceStopNoteSelect = 0x0106,
  kMusicDeviceMIDIEventListSelect = 0x0107
};

CF_ENUM(AudioUnitPropertyID) {
  kMusicDeviceProperty_InstrumentCount = 1000
};

typedef OSStatus (*MusicDeviceMIDIEventProc)(void *self, UInt32 inStatus, UInt32 inData1,
                                             UInt32 inData2, UInt32 inOffsetSampleFrame);
typedef OSStatus (*MusicDeviceSysExProc)(void *self, const UInt8 *inData, UInt32 inLength);

/* Dispatched through the instance's Lookup, like the AudioUnit* calls. */
extern TOVRASDK_EXPORT OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus,
                                                     UInt32 inData1, UInt32 inData2,
                                                     UInt32 inOffsetSampleFrame);
extern TOVRASDK_EXPORT OSStatus MusicDeviceSysEx(MusicDeviceComponent inUnit, const UInt8 *inData,
                                                 UInt32 inLength);

CF_EXTERN_C_END

#endif /* AudioToolbox_MusicDevice_h */
