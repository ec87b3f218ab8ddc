// AuTestSupport.h: the TovraSat bundle opened through the host library, and small CF helpers.
#pragma once

#include <gtest/gtest.h>

#include <AudioToolbox/AudioUnit.h>
#include <TovraSdk/RunLoopClock.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/HostedUnit.h"

namespace autest {

inline constexpr OSType kSubtype = 0x54536174;       // 'TSat'
inline constexpr OSType kSubtypeHq = 0x54534871;     // 'TSHq'
inline constexpr OSType kManufacturer = 0x4D72766B;  // 'Mrvk'
inline constexpr AudioUnitPropertyID kPlugInObjectProperty = 4294967195u;

inline std::shared_ptr<host::ComponentBundle> Bundle() {
  static std::shared_ptr<host::ComponentBundle> bundle = [] {
    std::string error;
    auto loaded = host::ComponentBundle::Load(TOVRASAT_BUNDLE_PATH, error);
    EXPECT_TRUE(loaded) << error;
    return loaded;
  }();
  return bundle;
}

// An opened, not yet configured unit; null (with a failure recorded) when it cannot be opened.
inline std::unique_ptr<host::HostedUnit> OpenUnit(OSType subtype = kSubtype) {
  auto bundle = Bundle();
  if (!bundle) return nullptr;
  std::string error;
  auto unit =
      host::HostedUnit::Open(bundle, {kAudioUnitType_Effect, subtype, kManufacturer, 0, 0}, error);
  EXPECT_TRUE(unit) << error;
  return unit;
}

// Opened, configured (stereo unless told otherwise) and initialised.
inline std::unique_ptr<host::HostedUnit> ReadyUnit(host::HostConfig config = {48000.0, 512, 2, 2},
                                                   OSType subtype = kSubtype) {
  auto unit = OpenUnit(subtype);
  if (!unit) return nullptr;
  EXPECT_EQ(unit->Configure(config), noErr);
  EXPECT_EQ(unit->Initialize(), noErr);
  return unit;
}

// Two host buffers of frames floats each as the non-interleaved AudioBufferList a host hands to
// AudioUnitRender.
class StereoBufferList {
 public:
  StereoBufferList(float* left, float* right, UInt32 frames)
      : mStorage(offsetof(AudioBufferList, mBuffers) + 2 * sizeof(AudioBuffer)) {
    AudioBufferList* list = Get();
    list->mNumberBuffers = 2;
    list->mBuffers[0] = {1, frames * UInt32(sizeof(float)), left};
    list->mBuffers[1] = {1, frames * UInt32(sizeof(float)), right};
  }
  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(mStorage.data()); }

 private:
  std::vector<UInt8> mStorage;
};

// The shared main run loop on a manual clock for the life of the guard, so that idle ticks come
// exactly when a test advances it (or a host's pump moves it at the pace of the audio).
class ManualClock {
 public:
  ManualClock() { TovraSdkRunLoopUseManualClock(CFAbsoluteTimeGetCurrent()); }
  ~ManualClock() { TovraSdkRunLoopUseSystemClock(); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;
};

inline std::string Utf8(CFStringRef s) {
  if (s == nullptr) return {};
  char buf[512];
  return CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8) ? std::string(buf)
                                                                       : std::string();
}

inline SInt32 NumberFor(CFDictionaryRef d, const char* key) {
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  auto n = static_cast<CFNumberRef>(CFDictionaryGetValue(d, k));
  CFRelease(k);
  SInt32 value = 0;
  if (n != nullptr) CFNumberGetValue(n, kCFNumberSInt32Type, &value);
  return value;
}

}  // namespace autest
