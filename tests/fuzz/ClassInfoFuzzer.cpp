// ClassInfoFuzzer: a host project's class-info dictionary through the wrapper's SetProperty.
//
// Each input edits the dictionary the plug-in itself saved: it sets keys (the six of the format
// or others) to values of every property-list type made from the input's bytes, or removes them,
// then hands the result to kAudioUnitProperty_ClassInfo. Properties: nothing crashes or leaks,
// the parameters stay in range, and whatever the plug-in then holds saves to a dictionary that
// restores with noErr and saves again the same.
#include <AudioToolbox/AudioUnit.h>

#include "core/TovraSat.h"
#include "plug/au/IPluginAUFactory.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

const char* const kKeys[] = {"version", "type", "subtype", "manufacturer", "name", "data"};

CFPropertyListRef SaveState(AudioUnit unit) {
  CFPropertyListRef state = nullptr;
  UInt32 size = sizeof state;
  FUZZ_CHECK(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                  &state, &size) == noErr);
  FUZZ_CHECK(state != nullptr);
  return state;
}

OSStatus RestoreState(AudioUnit unit, CFPropertyListRef state) {
  return AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                              sizeof state);
}

// A property-list value of the kind the next byte names; null when the bytes make none (a string
// that is not UTF-8).
CFTypeRef MakeValue(fuzz::Bytes& in, int depth) {
  switch (in.Take<std::uint8_t>() % 9) {
    case 0: {
      const auto v = in.Take<SInt32>();
      return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
    }
    case 1: {
      const auto v = in.Take<SInt64>();
      return CFNumberCreate(nullptr, kCFNumberSInt64Type, &v);
    }
    case 2: {
      const auto v = in.Take<Float32>();
      return CFNumberCreate(nullptr, kCFNumberFloat32Type, &v);
    }
    case 3: {
      const auto v = in.Take<Float64>();
      return CFNumberCreate(nullptr, kCFNumberFloat64Type, &v);
    }
    case 4: {
      const std::string s = in.TakeString();
      return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()),
                                     static_cast<CFIndex>(s.size()), kCFStringEncodingUTF8, false);
    }
    case 5: {
      const std::string s = in.TakeString();
      return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(s.data()),
                          static_cast<CFIndex>(s.size()));
    }
    case 6:
      return CFRetain(in.Take<std::uint8_t>() & 1 ? kCFBooleanTrue : kCFBooleanFalse);
    case 7: {
      CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
      const int n = depth < 2 ? in.Take<std::uint8_t>() % 4 : 0;
      for (int i = 0; i < n; ++i) {
        if (CFTypeRef item = MakeValue(in, depth + 1)) {
          CFArrayAppendValue(array, item);
          CFRelease(item);
        }
      }
      return array;
    }
    default:
      return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                       &kCFTypeDictionaryValueCallBacks);
  }
}

CFStringRef MakeKey(fuzz::Bytes& in) {
  const std::uint8_t pick = in.Take<std::uint8_t>();
  if (pick < 240) return CFStringCreateWithCString(nullptr, kKeys[pick % 6], kCFStringEncodingUTF8);
  const std::string s = in.TakeString(16);
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()),
                                 static_cast<CFIndex>(s.size()), kCFStringEncodingUTF8, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static AudioComponentPlugInInterface* component = [] {
    AudioComponentPlugInInterface* c = plug::IPluginAUFactory<TovraSat>::Factory(nullptr);
    FUZZ_CHECK(c != nullptr && c->Open(c, reinterpret_cast<AudioComponentInstance>(c)) == noErr);
    return c;
  }();
  static const CFPropertyListRef defaults = SaveState(reinterpret_cast<AudioUnit>(component));
  const auto unit = reinterpret_cast<AudioUnit>(component);
  auto* plugin = static_cast<TovraSat*>(plug::IPluginAU::FromSelf(component));

  fuzz::Bytes in(data, size);
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(defaults));
  const int edits = in.Take<std::uint8_t>() % 8;
  for (int e = 0; e < edits && !in.Empty(); ++e) {
    CFStringRef key = MakeKey(in);
    if (key == nullptr) continue;
    if (in.Take<std::uint8_t>() % 5 == 0) {
      CFDictionaryRemoveValue(dict, key);
    } else if (CFTypeRef value = MakeValue(in, 0)) {
      CFDictionarySetValue(dict, key, value);
      CFRelease(value);
    }
    CFRelease(key);
  }
  RestoreState(unit, dict);
  CFRelease(dict);

  for (int i = 0; i < TovraSat::kNumParams; ++i) {
    const plug::IParam* param = plugin->GetParam(i);
    FUZZ_CHECK(param->Value() >= param->GetMin() && param->Value() <= param->GetMax());
  }
  CFPropertyListRef saved = SaveState(unit);
  FUZZ_CHECK(RestoreState(unit, saved) == noErr);
  CFPropertyListRef again = SaveState(unit);
  FUZZ_CHECK(CFEqual(saved, again));
  CFRelease(again);
  CFRelease(saved);

  // Back to the plug-in's defaults, so each input starts from the same state.
  FUZZ_CHECK(RestoreState(unit, defaults) == noErr);
  return 0;
}
