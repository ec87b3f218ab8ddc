// IPluginAU's class-info state: the dictionary a host saves in its project and hands back.
#include <climits>
#include <cstdio>
#include <cstring>

#include "plug/au/AUValues.h"
#include "plug/au/IPluginAU.h"

namespace plug {

using namespace auvalues;

void IPluginAU::PutNumberInDict(CFMutableDictionaryRef dict, const char* key, SInt32 value) {
  CFStringRef cfKey = MakeCFString(key);
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(dict, cfKey, number);
  CFRelease(number);
  CFRelease(cfKey);
}

void IPluginAU::PutStrInDict(CFMutableDictionaryRef dict, const char* key, const char* text) {
  CFStringRef cfKey = MakeCFString(key);
  CFStringRef value = MakeCFString(text);
  CFDictionarySetValue(dict, cfKey, value);
  CFRelease(value);
  CFRelease(cfKey);
}

bool IPluginAU::GetNumberFromDict(CFDictionaryRef dict, const char* key, SInt32& value) {
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFNumberGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  return CFNumberGetValue(static_cast<CFNumberRef>(found), kCFNumberSInt32Type, &value);
}

bool IPluginAU::GetStrFromDict(CFDictionaryRef dict, const char* key, char* text,
                               UInt32 bufferSize) {
  if (text != nullptr && bufferSize > 0) text[0] = '\0';
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFStringGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  if (text != nullptr && bufferSize > 0) {
    const std::string value = ToUtf8(static_cast<CFStringRef>(found));
    std::snprintf(text, bufferSize, "%s", value.c_str());  // a longer name is cut
  }
  return true;
}

bool IPluginAU::GetDataFromDict(CFDictionaryRef dict, const char* key, IByteChunk& chunk) {
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFDataGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  const auto data = static_cast<CFDataRef>(found);
  const CFIndex length = CFDataGetLength(data);
  if (length > INT_MAX) return false;
  chunk.Resize(static_cast<int>(length));
  if (length > 0)
    std::memcpy(chunk.GetData(), CFDataGetBytePtr(data), static_cast<std::size_t>(length));
  return true;
}

OSStatus IPluginAU::GetState(CFPropertyListRef* out) {
  if (out == nullptr) return kAudio_ParamError;
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumberInDict(dict, kAUPresetVersionKey, GetPluginVersion(false));
  PutNumberInDict(dict, kAUPresetTypeKey, static_cast<SInt32>(GetAUPluginType()));
  PutNumberInDict(dict, kAUPresetSubtypeKey, static_cast<SInt32>(GetUniqueID()));
  PutNumberInDict(dict, kAUPresetManufacturerKey, static_cast<SInt32>(GetMfrID()));
  PutStrInDict(dict, kAUPresetNameKey, GetPresetName(GetCurrentPresetIdx()));
  IByteChunk chunk;
  if (SerializeState(chunk)) {
    CFDataRef data = CFDataCreate(nullptr, chunk.GetData(), chunk.Size());
    CFStringRef key = MakeCFString(kAUPresetDataKey);
    CFDictionarySetValue(dict, key, data);
    CFRelease(key);
    CFRelease(data);
  }
  *out = dict;
  return noErr;
}

OSStatus IPluginAU::SetState(CFPropertyListRef plist) {
  if (plist == nullptr || CFGetTypeID(plist) != CFDictionaryGetTypeID()) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  const auto dict = static_cast<CFDictionaryRef>(plist);
  SInt32 version = 0;
  SInt32 type = 0;
  SInt32 subtype = 0;
  SInt32 manufacturer = 0;
  if (!GetNumberFromDict(dict, kAUPresetVersionKey, version) ||
      !GetNumberFromDict(dict, kAUPresetTypeKey, type) ||
      !GetNumberFromDict(dict, kAUPresetSubtypeKey, subtype) ||
      !GetNumberFromDict(dict, kAUPresetManufacturerKey, manufacturer)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  char name[kMaxClassInfoNameBytes + 1];
  if (!GetStrFromDict(dict, kAUPresetNameKey, name, sizeof name)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  if (static_cast<UInt32>(type) != GetAUPluginType() ||
      static_cast<UInt32>(subtype) != GetUniqueID() ||
      static_cast<UInt32>(manufacturer) != GetMfrID()) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  RestorePreset(name);
  IByteChunk chunk;
  if (!GetDataFromDict(dict, kAUPresetDataKey, chunk)) return kAudioUnitErr_InvalidPropertyValue;
  // A negative position is a chunk shorter than the parameter block: a damaged state that must
  // not be reported as restored (the parameters that fitted stay applied, as on every failure).
  const int pos = UnserializeState(chunk, 0);
  if (pos == 0) return kAudioUnitErr_InvalidPropertyValue;
  OnRestoreState();
  return pos > 0 ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidPropertyValue};
}

}  // namespace plug
