/* AudioComponent.h: component descriptions, the plug-in interface and factory type (Linux stand-in). */
#ifndef AudioToolbox_AudioComponent_h
#define AudioToolbox_AudioComponent_h

#include <CoreAudioTypes/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

typedef CF_OPTIONS(UInt32, AudioComponentFlags) {
  kAudioComponentFlag_Unsearchable = 1,
  kAudioComponentFlag_SandboxSafe = 2,
  kAudioComponentFlag_IsV3AudioUnit = 4,
  kAudioComponentFlag_RequiresAsyncInstantiation = 8,
  kAudioComponentFlag_CanLoadInProcess = 0x10
};

#pragma pack(push, 4)
typedef struct AudioComponentDescription {
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
} AudioComponentDescription;
#pragma pack(pop)

TOVRASDK_STATIC_ASSERT(sizeof(AudioComponentDescription) == 20, "AudioComponentDescription is 20 bytes");
TOVRASDK_STATIC_ASSERT(TOVRASDK_ALIGNOF(AudioComponentDescription) == 4, "AudioComponentDescription aligns to 4");

typedef struct OpaqueAudioComponent *AudioComponent;
/* The macOS desktop form. Here, as on macOS, an instance is the address of the
   AudioComponentPlugInInterface its factory returned; AudioUnit* calls dispatch through its Lookup. */
typedef struct ComponentInstanceRecord *AudioComponentInstance;

typedef OSStatus (*AudioComponentMethod)(void *self, ...);

typedef struct AudioComponentPlugInInterface {
  OSStatus (*Open)(void *self, AudioComponentInstance mInstance);
  OSStatus (*Close)(void *self);
  AudioComponentMethod (*Lookup)(SInt16 selector); /* NULL for an unsupported selector */
  void *reserved;                                  /* must be NULL */
} AudioComponentPlugInInterface;

TOVRASDK_STATIC_ASSERT(sizeof(AudioComponentPlugInInterface) == 32, "AudioComponentPlugInInterface is 32 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioComponentPlugInInterface, Lookup) == 16, "Lookup at 16");

typedef AudioComponentPlugInInterface *(*AudioComponentFactoryFunction)(
    const AudioComponentDescription *inDesc);

CF_EXTERN_C_END

#endif /* AudioToolbox_AudioComponent_h */
