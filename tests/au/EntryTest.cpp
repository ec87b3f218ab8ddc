// EntryTest.cpp: the module's other exports: the legacy component entry and the Linux view entry;
// and inputs pulled once per time stamp.
#include <AudioToolbox/AudioUnitProperties.h>
#include <CoreServices/CoreServices.h>
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/au/AuTestSupport.h"

namespace {

template <typename F>
F Export(const char* name) {
  autest::Bundle();
  void* module = dlopen(TOVRASAT_BUNDLE_PATH "/Contents/MacOS/TovraSat", RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(module, nullptr);
  if (module == nullptr) return nullptr;
  auto f = reinterpret_cast<F>(dlsym(module, name));
  dlclose(module);  // the bundle keeps its own reference
  return f;
}

// A Component Manager call: of n arguments, the last lies in params[0].
struct LegacyCall {
  ComponentParameters cp;
  long more[7];

  LegacyCall(SInt16 what, std::vector<long> args) : cp{}, more{} {
    cp.what = what;
    cp.paramSize = static_cast<UInt8>(args.size() * sizeof(long));
    long* slots = cp.params;
    for (std::size_t i = 0; i < args.size(); ++i) slots[args.size() - 1 - i] = args[i];
  }
};

template <typename T>
long Arg(T* p) {
  return reinterpret_cast<long>(p);
}

TEST(AuEntry, LegacyEntryOpensDispatchesAndCloses) {
  using Entry = ComponentResult (*)(ComponentParameters*, Handle);
  const auto entry = Export<Entry>("TovraSat_Entry");
  ASSERT_NE(entry, nullptr);

  char* storage = nullptr;
  int fakeInstance = 0;
  LegacyCall open(kComponentOpenSelect, {Arg(&fakeInstance)});
  ASSERT_EQ(entry(&open.cp, &storage), noErr);
  ASSERT_NE(storage, nullptr);
  const auto self = reinterpret_cast<Handle>(storage);

  LegacyCall version(kComponentVersionSelect, {});
  EXPECT_EQ(entry(&version.cp, self), 65536);
  for (long selector : {long{kAudioUnitInitializeSelect}, long{kAudioUnitRenderSelect},
                        long{kAudioUnitScheduleParametersSelect}}) {
    LegacyCall canDo(kComponentCanDoSelect, {selector});
    EXPECT_EQ(entry(&canDo.cp, self), 1) << selector;
  }
  for (long selector : {8L, long{kAudioUnitRemovePropertyListenerWithUserDataSelect}, 257L}) {
    LegacyCall canDo(kComponentCanDoSelect, {selector});
    EXPECT_EQ(entry(&canDo.cp, self), 0) << selector;
  }

  AudioUnitParameterValue value = -1.0f;
  LegacyCall get(kAudioUnitGetParameterSelect, {0, kAudioUnitScope_Global, 0, Arg(&value)});
  EXPECT_EQ(entry(&get.cp, self), noErr);
  EXPECT_EQ(value, 24.0f);

  UInt32 frames = 0;
  UInt32 size = sizeof frames;
  LegacyCall prop(kAudioUnitGetPropertySelect,
                  {kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                   Arg(&frames), Arg(&size)});
  EXPECT_EQ(entry(&prop.cp, self), noErr);
  EXPECT_EQ(frames, 512u);

  LegacyCall shortCall(kAudioUnitGetParameterSelect, {0, 0});  // too few arguments
  EXPECT_EQ(entry(&shortCall.cp, self), paramErr);
  LegacyCall midi(257 /* kMusicDeviceMIDIEventSelect */, {0x90, 60, 100, 0});
  EXPECT_EQ(entry(&midi.cp, self), badComponentSelector);  // an effect takes no MIDI

  LegacyCall close(kComponentCloseSelect, {Arg(&fakeInstance)});
  EXPECT_EQ(entry(&close.cp, self), noErr);
}

TEST(AuEntry, ViewEntryReturnsTheEditorView) {
  using CreateView = void* (*)(AudioUnit, void*);
  const auto createView = Export<CreateView>("TovraSat_CreateView");
  ASSERT_NE(createView, nullptr);
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  EXPECT_NE(createView(unit->Unit(), nullptr), nullptr);  // no parent: an offscreen editor
  EXPECT_EQ(createView(nullptr, nullptr), nullptr);
}

TEST(AuEntry, InputsArePulledOncePerTimeStamp) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  std::vector<float> outL(64), outR(64);
  autest::StereoBufferList buffers(outL.data(), outR.data(), 64);
  AudioBufferList* list = buffers.Get();
  AudioTimeStamp stamp{};
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  stamp.mSampleTime = 1000.0;
  const UInt64 before = unit->InputCallbacks();
  ASSERT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 0, 64, list), noErr);
  ASSERT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 0, 64, list), noErr);
  EXPECT_EQ(unit->InputCallbacks(), before + 1);
  stamp.mSampleTime = 1064.0;
  ASSERT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 0, 64, list), noErr);
  EXPECT_EQ(unit->InputCallbacks(), before + 2);
}

}  // namespace

namespace {

// Everything but the entry points and the preset-record functions stays hidden in the module.
TEST(AuEntry, ModuleExportsOnlyItsEntryPoints) {
  FILE* nm = popen(
      "nm -D --defined-only '" TOVRASAT_BUNDLE_PATH "/Contents/MacOS/TovraSat' 2>/dev/null", "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) exported.insert(name);
  }
  ASSERT_EQ(pclose(nm), 0) << "nm (binutils) must be installed";
  const std::set<std::string> expected = {"TovraSat_Factory",
                                          "TovraSat_Entry",
                                          "TovraSatHQ_Factory",
                                          "TovraSatHQ_Entry",
                                          "TovraSat_CreateView",
                                          "CFAUPresetCreate",
                                          "CFAUPresetRetain",
                                          "CFAUPresetRelease",
                                          "CFAUPresetArrayRetainCallBack",
                                          "CFAUPresetArrayReleaseCallBack",
                                          "CFAUPresetArrayEqualCallBack",
                                          "CFAUPresetArrayCopyDescriptionCallBack",
                                          "CFAUPresetArrayCallBacks_Init"};
  EXPECT_EQ(exported, expected);
}

}  // namespace
