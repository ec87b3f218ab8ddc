// CFAUPreset: creation, reference counting and the array call-backs of factory-preset records.
#include "plug/au/CFAUPreset.h"

#include <cstddef>

namespace {

CFAUPresetRef Record(const void* value) {
  return static_cast<CFAUPresetRef>(const_cast<void*>(value));
}

}  // namespace

extern "C" {

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber,
                               CFStringRef presetName) {
  auto* record = static_cast<CFAUPresetRef>(
      CFAllocatorAllocate(allocator, static_cast<CFIndex>(sizeof(CFAUPreset)), 0));
  if (record == nullptr) return nullptr;
  record->auPreset.presetNumber = presetNumber;
  record->auPreset.presetName =
      presetName != nullptr ? CFStringCreateCopy(allocator, presetName) : nullptr;
  record->version = 0;
  // Kept alive with the record: it is the one that must free it.
  record->allocator =
      allocator != nullptr ? static_cast<CFAllocatorRef>(CFRetain(allocator)) : nullptr;
  record->retainCount = 1;
  return record;
}

CFAUPresetRef CFAUPresetRetain(void* preset) {
  CFAUPresetRef record = Record(preset);
  if (record == nullptr) return nullptr;
  if (record->auPreset.presetName != nullptr) CFRetain(record->auPreset.presetName);
  ++record->retainCount;
  return record;
}

void CFAUPresetRelease(void* preset) {
  CFAUPresetRef record = Record(preset);
  if (record == nullptr || record->retainCount < 1) return;
  if (record->auPreset.presetName != nullptr) CFRelease(record->auPreset.presetName);
  if (--record->retainCount > 0) return;
  record->auPreset.presetName = nullptr;
  record->auPreset.presetNumber = 0;
  const CFAllocatorRef allocator = record->allocator;
  CFAllocatorDeallocate(allocator, record);
  if (allocator != nullptr) CFRelease(allocator);
}

const void* CFAUPresetArrayRetainCallBack(CFAllocatorRef, const void* value) {
  CFAUPresetRetain(const_cast<void*>(value));
  return value;
}

void CFAUPresetArrayReleaseCallBack(CFAllocatorRef, const void* value) {
  CFAUPresetRelease(const_cast<void*>(value));
}

Boolean CFAUPresetArrayEqualCallBack(const void* value1, const void* value2) {
  const CFAUPresetRef a = Record(value1);
  const CFAUPresetRef b = Record(value2);
  if (a == nullptr || b == nullptr) return a == b;
  if (a->auPreset.presetNumber != b->auPreset.presetNumber) return false;
  const CFStringRef na = a->auPreset.presetName;
  const CFStringRef nb = b->auPreset.presetName;
  if (na == nullptr || nb == nullptr) return na == nb;
  return CFEqual(na, nb);
}

CFStringRef CFAUPresetArrayCopyDescriptionCallBack(const void* value) {
  const CFAUPresetRef record = Record(value);
  if (record == nullptr) return nullptr;
  return CFStringCreateWithFormat(
      nullptr, nullptr, CFSTR("AUPreset:\npreset number = %d\npreset name = %@"),
      static_cast<int>(record->auPreset.presetNumber), record->auPreset.presetName);
}

void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* callBacks) {
  if (callBacks == nullptr) return;
  callBacks->version = 0;
  callBacks->retain = CFAUPresetArrayRetainCallBack;
  callBacks->release = CFAUPresetArrayReleaseCallBack;
  callBacks->copyDescription = CFAUPresetArrayCopyDescriptionCallBack;
  callBacks->equal = CFAUPresetArrayEqualCallBack;
}

}  // extern "C"
