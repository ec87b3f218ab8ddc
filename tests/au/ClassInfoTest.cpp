// ClassInfoTest.cpp: the class-info dictionary a host saves and restores, factory presets, and the
// exported preset-record functions with their reference counts.
#include <AudioToolbox/AudioUnitProperties.h>
#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "plug/au/CFAUPreset.h"
#include "tests/au/AuTestSupport.h"

namespace {

using host::CFRef;

CFMutableDictionaryRef MutableCopy(CFPropertyListRef plist) {
  return CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(plist));
}

void SetNumber(CFMutableDictionaryRef d, const char* key, SInt32 value) {
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(d, k, n);
  CFRelease(n);
  CFRelease(k);
}

void SetValue(CFMutableDictionaryRef d, const char* key, CFTypeRef value) {
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  if (value != nullptr) {
    CFDictionarySetValue(d, k, value);
  } else {
    CFDictionaryRemoveValue(d, k);
  }
  CFRelease(k);
}

TEST(AuClassInfo, UnchangedRoundTrip) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  OSStatus status = -1;
  CFRef<CFPropertyListRef> saved = unit->SaveClassInfo(&status);
  ASSERT_EQ(status, noErr);
  ASSERT_TRUE(saved);
  auto dict = static_cast<CFDictionaryRef>(saved.Get());
  EXPECT_EQ(CFDictionaryGetCount(dict), 6);
  EXPECT_EQ(autest::NumberFor(dict, "version"), 65536);
  EXPECT_EQ(static_cast<UInt32>(autest::NumberFor(dict, "type")), kAudioUnitType_Effect);
  EXPECT_EQ(static_cast<UInt32>(autest::NumberFor(dict, "subtype")), autest::kSubtype);
  EXPECT_EQ(static_cast<UInt32>(autest::NumberFor(dict, "manufacturer")), autest::kManufacturer);
  EXPECT_EQ(autest::Utf8(static_cast<CFStringRef>(CFDictionaryGetValue(dict, CFSTR("name")))),
            "Default");
  auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 47);

  EXPECT_EQ(unit->RestoreClassInfo(saved.Get()), noErr);
  CFRef<CFPropertyListRef> again = unit->SaveClassInfo();
  EXPECT_TRUE(CFEqual(saved.Get(), again.Get()));
}

TEST(AuClassInfo, StateTravelsToAnotherInstance) {
  auto source = autest::ReadyUnit();
  auto target = autest::ReadyUnit();
  ASSERT_TRUE(source && target);
  ASSERT_EQ(source->SetParameter(0, 66.0f), noErr);
  ASSERT_EQ(source->SetParameter(2, 0.0f), noErr);
  CFRef<CFPropertyListRef> saved = source->SaveClassInfo();
  EXPECT_EQ(target->RestoreClassInfo(saved.Get()), noErr);
  EXPECT_EQ(target->GetParameter(0), std::optional<float>(66.0f));
  EXPECT_EQ(target->GetParameter(2), std::optional<float>(0.0f));
}

TEST(AuClassInfo, RefusedDictionaries) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  CFRef<CFPropertyListRef> saved = unit->SaveClassInfo();

  // Another plug-in's codes: refused before anything is applied.
  CFRef<CFMutableDictionaryRef> foreign(MutableCopy(saved.Get()));
  SetNumber(foreign.Get(), "subtype", 0x4F746872);  // 'Othr'
  ASSERT_EQ(unit->SetParameter(0, 70.0f), noErr);
  EXPECT_EQ(unit->RestoreClassInfo(foreign.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(70.0f));

  for (const char* key : {"version", "type", "manufacturer", "name"}) {
    CFRef<CFMutableDictionaryRef> missing(MutableCopy(saved.Get()));
    SetValue(missing.Get(), key, nullptr);
    EXPECT_EQ(unit->RestoreClassInfo(missing.Get()), kAudioUnitErr_InvalidPropertyValue) << key;
    EXPECT_EQ(unit->GetParameter(0), std::optional<float>(70.0f)) << key;
  }

  // Not a dictionary at all.
  EXPECT_EQ(unit->RestoreClassInfo(CFSTR("state")), kAudioUnitErr_InvalidPropertyValue);
}

TEST(AuClassInfo, MissingDataRestoresTheNamedPresetThenFails) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  CFRef<CFPropertyListRef> saved = unit->SaveClassInfo();
  CFRef<CFMutableDictionaryRef> noData(MutableCopy(saved.Get()));
  SetValue(noData.Get(), "data", nullptr);
  ASSERT_EQ(unit->SetParameter(0, 70.0f), noErr);
  EXPECT_EQ(unit->RestoreClassInfo(noData.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(24.0f));  // "Default" was restored first
}

TEST(AuClassInfo, ShortDataKeepsWhatFittedAndIsReportedAsFailure) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  CFRef<CFPropertyListRef> saved = unit->SaveClassInfo();
  CFRef<CFMutableDictionaryRef> shortData(MutableCopy(saved.Get()));
  SetValue(shortData.Get(), "name", CFSTR("no such preset"));
  const double values[] = {10.0, 3.0};
  UInt8 bytes[20] = {};
  std::memcpy(bytes, values, 16);
  CFRef<CFDataRef> data(CFDataCreate(nullptr, bytes, 20));
  SetValue(shortData.Get(), "data", data.Get());

  ASSERT_EQ(unit->SetParameter(2, 0.0f), noErr);
  ASSERT_EQ(unit->SetParameter(3, 1.0f), noErr);
  EXPECT_EQ(unit->RestoreClassInfo(shortData.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(10.0f));
  EXPECT_EQ(unit->GetParameter(1), std::optional<float>(3.0f));
  EXPECT_EQ(unit->GetParameter(2), std::optional<float>(0.0f));
  EXPECT_EQ(unit->GetParameter(3), std::optional<float>(1.0f));
}

// A restore that stops half-way (the data ends inside the parameter block) leaves the unit usable:
// it renders, keeps the zoom and preset name it had (the state's tail is never reached), and the
// next complete restore puts everything back.
TEST(AuClassInfo, RestoreFailingHalfWayLeavesTheUnitUsable) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit->SetParameter(0, 80.0f), noErr);
  ASSERT_EQ(unit->SetParameter(3, 1.0f), noErr);
  CFRef<CFPropertyListRef> before = unit->SaveClassInfo();

  CFRef<CFMutableDictionaryRef> cut(MutableCopy(before.Get()));
  SetValue(cut.Get(), "name", CFSTR("no such preset"));  // "Default" would be restored first
  const double gain = 5.0;
  UInt8 bytes[12] = {};  // one whole parameter, then half of the next
  std::memcpy(bytes, &gain, sizeof gain);
  CFRef<CFDataRef> data(CFDataCreate(nullptr, bytes, sizeof bytes));
  SetValue(cut.Get(), "data", data.Get());
  EXPECT_EQ(unit->RestoreClassInfo(cut.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(5.0f));
  EXPECT_EQ(unit->GetParameter(3), std::optional<float>(1.0f));

  // Zoom and name: the bytes after the parameter block are those saved before.
  CFRef<CFPropertyListRef> after = unit->SaveClassInfo();
  auto tail = [](CFPropertyListRef state) {
    auto d = static_cast<CFDataRef>(
        CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), CFSTR("data")));
    const UInt8* p = CFDataGetBytePtr(d);
    return std::string(p + 32, p + CFDataGetLength(d));
  };
  EXPECT_EQ(tail(after.Get()), tail(before.Get()));

  std::vector<float> in(512, 0.5f), outL(512), outR(512);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  for (int block = 0; block < 100; ++block) ASSERT_EQ(unit->Render(ins, outs, 512), noErr);
  EXPECT_EQ(outL[511], 0.5f);  // Bypass stayed on: once faded over, the input passes unchanged

  EXPECT_EQ(unit->RestoreClassInfo(before.Get()), noErr);
  CFRef<CFPropertyListRef> restored = unit->SaveClassInfo();
  EXPECT_TRUE(CFEqual(before.Get(), restored.Get()));
}

TEST(AuPresets, ListAndSelect) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  OSStatus status = -1;
  const std::vector<host::Preset> presets = unit->FactoryPresets(&status);
  ASSERT_EQ(status, noErr);
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0].number, 0);
  EXPECT_EQ(presets[0].name, "Default");

  ASSERT_EQ(unit->SetParameter(0, 90.0f), noErr);
  ASSERT_EQ(unit->SetParameter(3, 1.0f), noErr);
  EXPECT_EQ(unit->SelectPreset(0), noErr);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(24.0f));
  EXPECT_EQ(unit->GetParameter(3), std::optional<float>(0.0f));
  const std::optional<host::Preset> present = unit->PresentPreset();
  ASSERT_TRUE(present);
  EXPECT_EQ(present->number, 0);
  EXPECT_EQ(present->name, "Default");

  // A number outside the list changes nothing; the result of the restore is not reported.
  ASSERT_EQ(unit->SetParameter(0, 90.0f), noErr);
  const AUPreset missing{5, nullptr};
  EXPECT_EQ(AudioUnitSetProperty(unit->Unit(), kAudioUnitProperty_PresentPreset,
                                 kAudioUnitScope_Global, 0, &missing, sizeof missing),
            noErr);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(90.0f));
}

// The exported record functions, looked up in the loaded module as a host would.
struct PresetApi {
  decltype(&CFAUPresetCreate) create;
  decltype(&CFAUPresetRetain) retain;
  decltype(&CFAUPresetRelease) release;
  decltype(&CFAUPresetArrayCallBacks_Init) init;
};

PresetApi LoadPresetApi() {
  autest::Bundle();
  void* module = dlopen(TOVRASAT_BUNDLE_PATH "/Contents/MacOS/TovraSat", RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(module, nullptr);
  PresetApi api{};
  if (module == nullptr) return api;
  api.create = reinterpret_cast<decltype(api.create)>(dlsym(module, "CFAUPresetCreate"));
  api.retain = reinterpret_cast<decltype(api.retain)>(dlsym(module, "CFAUPresetRetain"));
  api.release = reinterpret_cast<decltype(api.release)>(dlsym(module, "CFAUPresetRelease"));
  api.init = reinterpret_cast<decltype(api.init)>(dlsym(module, "CFAUPresetArrayCallBacks_Init"));
  dlclose(module);  // the bundle keeps its own reference
  return api;
}

struct AllocatorCounts {
  int allocations = 0;
  int deallocations = 0;
};

void* CountingAllocate(CFIndex size, CFOptionFlags, void* info) {
  ++static_cast<AllocatorCounts*>(info)->allocations;
  return std::malloc(static_cast<std::size_t>(size));
}

void CountingDeallocate(void* p, void* info) {
  ++static_cast<AllocatorCounts*>(info)->deallocations;
  std::free(p);
}

TEST(AuPresets, PresetRecordReferenceCounts) {
  const PresetApi api = LoadPresetApi();
  ASSERT_TRUE(api.create && api.retain && api.release && api.init);
  AllocatorCounts counts;
  CFAllocatorContext context{0,       &counts,          nullptr, nullptr,
                             nullptr, CountingAllocate, nullptr, CountingDeallocate,
                             nullptr};
  CFAllocatorRef allocator = CFAllocatorCreate(nullptr, &context);

  CFAUPresetRef record = api.create(allocator, 3, CFSTR("Warm"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(counts.allocations, 1);
  EXPECT_EQ(record->auPreset.presetNumber, 3);
  EXPECT_EQ(autest::Utf8(record->auPreset.presetName), "Warm");
  EXPECT_EQ(record->version, 0u);
  EXPECT_EQ(record->retainCount, 1);
  const CFIndex nameCount = CFGetRetainCount(record->auPreset.presetName);

  api.retain(record);
  EXPECT_EQ(record->retainCount, 2);
  EXPECT_EQ(CFGetRetainCount(record->auPreset.presetName), nameCount + 1);
  api.release(record);  // count 2: only counts down and releases the name once
  EXPECT_EQ(record->retainCount, 1);
  EXPECT_EQ(CFGetRetainCount(record->auPreset.presetName), nameCount);
  EXPECT_EQ(counts.deallocations, 0);
  api.release(record);  // count 1: freed with its allocator
  EXPECT_EQ(counts.deallocations, 1);
  api.release(nullptr);  // nothing
  api.retain(nullptr);

  // In an array the records live as long as the array holds them.
  CFArrayCallBacks callBacks{};
  api.init(&callBacks);
  EXPECT_EQ(callBacks.version, 0);
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &callBacks);
  CFAUPresetRef a = api.create(allocator, 0, CFSTR("Default"));
  CFArrayAppendValue(array, a);
  api.release(a);
  EXPECT_EQ(counts.deallocations, 1);
  CFAUPresetRef b = api.create(allocator, 0, CFSTR("Default"));
  EXPECT_NE(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 1), b),
            -1);  // equal by number and name
  api.release(b);
  CFStringRef description = callBacks.copyDescription(CFArrayGetValueAtIndex(array, 0));
  EXPECT_EQ(autest::Utf8(description), "AUPreset:\npreset number = 0\npreset name = Default");
  CFRelease(description);
  CFRelease(array);
  EXPECT_EQ(counts.deallocations, counts.allocations);
  CFRelease(allocator);
}

}  // namespace
