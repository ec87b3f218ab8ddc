// CFAUPreset: the reference-counted factory-preset record handed to hosts, and its array
// call-backs.
#pragma once

#include <AudioToolbox/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

// Exported from the plug-in module: hosts (and Apple's own tools) look these names up.
#define PLUG_AU_EXPORT __attribute__((visibility("default")))

// 40 bytes. The first two fields form an AUPreset, so a host reads a record as one.
//
//   offset  0  SInt32          preset number
//   offset  8  CFStringRef     preset name (a copy of the given name; may be null)
//   offset 16  UInt32          reserved, always 0
//   offset 24  CFAllocatorRef  the allocator that made the record and frees it
//   offset 32  CFIndex         retain count, 1 at creation
struct CFAUPreset {
  AUPreset auPreset;
  UInt32 version;
  CFAllocatorRef allocator;
  CFIndex retainCount;
};
typedef struct CFAUPreset CFAUPreset;
typedef CFAUPreset* CFAUPresetRef;
static_assert(sizeof(CFAUPreset) == 40, "a preset record is 40 bytes");

// Threads: main (a record belongs to one thread at a time; counts are not atomic).
extern "C" {
// Null when the allocation fails.
PLUG_AU_EXPORT CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber,
                                              CFStringRef presetName);
// Retains the name and counts up; nothing for null.
PLUG_AU_EXPORT CFAUPresetRef CFAUPresetRetain(void* preset);
// Nothing for null or a count below 1; else releases the name once and counts down; at 0 the
// record is cleared and freed with its allocator.
PLUG_AU_EXPORT void CFAUPresetRelease(void* preset);
PLUG_AU_EXPORT const void* CFAUPresetArrayRetainCallBack(CFAllocatorRef allocator,
                                                         const void* value);
PLUG_AU_EXPORT void CFAUPresetArrayReleaseCallBack(CFAllocatorRef allocator, const void* value);
// Equal numbers and equal names (two null names are equal).
PLUG_AU_EXPORT Boolean CFAUPresetArrayEqualCallBack(const void* value1, const void* value2);
PLUG_AU_EXPORT CFStringRef CFAUPresetArrayCopyDescriptionCallBack(const void* value);
// Version 0 and the four call-backs above; nothing for null.
PLUG_AU_EXPORT void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* callBacks);
}
