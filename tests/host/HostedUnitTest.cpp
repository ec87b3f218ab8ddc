// HostedUnitTest.cpp: the host drives the fixture unit as a DAW would: render, parameters, events,
// state, presets.
#include "host/HostApplication.h"
#include "host/HostedUnit.h"
#include "host/Plist.h"

#include <CoreServices/CoreServices.h>
#include <TovraSdk/RunLoopClock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <vector>

namespace {

using host::CFRef;
using host::HostedUnit;

constexpr AudioUnitPropertyID kLastSampleTime = 64000;  // the fixture's test-only properties
constexpr AudioUnitPropertyID kHostSeen = 64001;
constexpr AudioUnitPropertyID kTransportSeen = 64002;
constexpr AudioUnitPropertyID kIdleTicks =
    64003;  // of the 20 ms timer the unit keeps on the main run loop

class HostedFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto bundle = host::ComponentBundle::Load(GAIN_FIXTURE_BUNDLE, error);
    ASSERT_TRUE(bundle) << error;
    unit = HostedUnit::Open(bundle, {kAudioUnitType_Effect, 0x476E4678, 0x546F7672, 0, 0}, error);
    ASSERT_TRUE(unit) << error;
    ASSERT_EQ(unit->Configure(config), noErr);
  }

  Float64 LastSampleTime() const {
    Float64 t = -2;
    UInt32 size = sizeof t;
    EXPECT_EQ(
        AudioUnitGetProperty(unit->Unit(), kLastSampleTime, kAudioUnitScope_Global, 0, &t, &size),
        noErr);
    return t;
  }

  host::HostConfig config{48000.0, 256, 2, 2};
  std::unique_ptr<HostedUnit> unit;
};

// Two channels of a ramp, deinterleaved, with the pointer arrays a render call takes.
struct Signal {
  explicit Signal(size_t frames)
      : left(frames), right(frames), outLeft(frames, 9.0f), outRight(frames, 9.0f) {
    for (size_t i = 0; i < frames; ++i) {
      left[i] = static_cast<float>(i % 97) / 97.0f;
      right[i] = -static_cast<float>(i % 31) / 31.0f;
    }
  }
  std::vector<float> left, right, outLeft, outRight;
  const float* in[2] = {left.data(), right.data()};
  float* out[2] = {outLeft.data(), outRight.data()};
};

TEST_F(HostedFixture, ProcessRendersBlocksWithAdvancingTimeAndPumpsAtThePaceOfTheAudio) {
  ASSERT_EQ(unit->Initialize(), noErr);
  ASSERT_EQ(unit->SetParameter(0, 0.5f), noErr);
  int pumps = 0;
  double pumped = 0;
  unit->SetPump([&](double seconds) {
    ++pumps;
    pumped += seconds;
  });
  Signal s(1000);
  ASSERT_EQ(unit->Process(s.in, s.out, 1000), noErr);
  for (size_t i = 0; i < 1000; ++i) {
    ASSERT_EQ(s.outLeft[i], s.left[i] * 0.5f) << i;
    ASSERT_EQ(s.outRight[i], s.right[i] * 0.5f) << i;
  }
  // Blocks of 256, 256, 256 and 232 frames: four pulls, four pumps, the last block starting at 768.
  EXPECT_EQ(unit->InputCallbacks(), 4u);
  EXPECT_EQ(pumps, 4);
  EXPECT_NEAR(pumped, 1000.0 / 48000.0, 1e-12);
  EXPECT_EQ(LastSampleTime(), 768.0);
  EXPECT_EQ(unit->SampleTime(), 1000.0);
}

// The unit's timer lives in the module, the pump in the host: they meet on the one main run loop of
// the platform layer, and the offline pump moves it exactly with the audio.
TEST(OfflinePump, TheUnitsTimerTicksAtThePaceOfTheRenderedAudio) {
  ASSERT_FALSE(TovraSdkRunLoopIsManualClock());
  HostedUnit::Pump pump =
      HostedUnit::OfflinePump();  // before opening: first ticks on the audio clock
  ASSERT_TRUE(TovraSdkRunLoopIsManualClock());
  std::string error;
  auto unit = HostedUnit::Open(host::ComponentBundle::Load(GAIN_FIXTURE_BUNDLE, error),
                               {kAudioUnitType_Effect, 0x476E4678, 0x546F7672, 0, 0}, error);
  ASSERT_TRUE(unit) << error;
  ASSERT_EQ(unit->Configure({48000.0, 512, 2, 2}), noErr);
  ASSERT_EQ(unit->Initialize(), noErr);
  auto ticks = [&] {
    UInt32 n = 0;
    UInt32 size = sizeof n;
    EXPECT_EQ(AudioUnitGetProperty(unit->Unit(), kIdleTicks, kAudioUnitScope_Global, 0, &n, &size),
              noErr);
    return n;
  };
  Signal s(48000);
  ASSERT_EQ(unit->Process(s.in, s.out, 48000), noErr);
  EXPECT_EQ(ticks(), 0u);  // no pump: the manual clock stands still

  unit->SetPump(pump);
  ASSERT_EQ(unit->Process(s.in, s.out, 959), noErr);
  EXPECT_EQ(ticks(), 1u);  // the tick due at opening; 19.98 ms is not yet the next
  ASSERT_EQ(unit->Process(s.in, s.out, 1), noErr);
  EXPECT_EQ(ticks(), 2u);  // exactly 20 ms
  ASSERT_EQ(unit->Process(s.in, s.out, 48000 - 960), noErr);
  EXPECT_EQ(ticks(), 51u);  // one second of audio: fifty periods, however fast it rendered

  // Pumped on the main thread, the pump also answers ready descriptors (an editor's connection).
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int reads = 0;
  CFFileDescriptorContext context{0, &reads, nullptr, nullptr, nullptr};
  CFFileDescriptorRef f = CFFileDescriptorCreate(
      nullptr, fds[0], true,
      [](CFFileDescriptorRef, CFOptionFlags, void* info) { ++*static_cast<int*>(info); }, &context);
  CFRunLoopSourceRef source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
  CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  ASSERT_EQ(unit->Process(s.in, s.out, 256), noErr);
  EXPECT_EQ(reads, 1);
  CFFileDescriptorInvalidate(f);  // closes the read end
  CFRelease(source);
  CFRelease(f);
  ::close(fds[1]);

  TovraSdkRunLoopUseSystemClock();
  ASSERT_EQ(unit->Process(s.in, s.out, 48000),
            noErr);  // the pump now leaves time to the system clock
  EXPECT_EQ(ticks(), 51u);
  unit->Close();  // the unit's timer leaves the loop with it
  EXPECT_EQ(CFRunLoopGetNextTimerFireDate(CFRunLoopGetMain(), kCFRunLoopDefaultMode), 0.0);
}

// Blocks whose duration is no whole number of microseconds must not make the clock drift from the
// audio: 187500 blocks of 256 frames at 48 kHz are 1000 s, fifty thousand periods of 20 ms.
TEST(OfflinePump, LongRendersKeepTheClockOnTheAudio) {
  HostedUnit::Pump pump = HostedUnit::OfflinePump();
  TovraSdkRunLoopUseManualClock(0.0);
  int ticks = 0;
  CFRunLoopTimerContext context{0, &ticks, nullptr, nullptr, nullptr};
  CFRunLoopTimerRef timer = CFRunLoopTimerCreate(
      nullptr, 0.0, 0.020, 0, 0, [](CFRunLoopTimerRef, void* info) { ++*static_cast<int*>(info); },
      &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), timer, kCFRunLoopCommonModes);
  for (int block = 0; block < 187500; ++block) pump(256.0 / 48000.0);
  EXPECT_EQ(ticks, 50001);  // the tick due at 0, then one per 20 ms up to and including 1000 s
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 1000.0);
  CFRunLoopTimerInvalidate(timer);
  CFRelease(timer);
  TovraSdkRunLoopUseSystemClock();
}

TEST_F(HostedFixture, HostCallbacksReportTheTransportAtEachBlock) {
  ASSERT_EQ(unit->Initialize(), noErr);
  auto seen = [&] {
    std::array<Float64, 5> t{};
    UInt32 size = sizeof t;
    EXPECT_EQ(AudioUnitGetProperty(unit->Unit(), kTransportSeen, kAudioUnitScope_Global, 0,
                                   t.data(), &size),
              noErr);
    return t;
  };
  Signal s(48000);
  // 120 BPM at 48 kHz: a beat every 24000 frames. The block starting at frame 24064 is at
  // beat 1.00267.
  ASSERT_EQ(unit->Render(s.in, s.out, 256), noErr);
  EXPECT_EQ(seen(), (std::array<Float64, 5>{0.0, 120.0, 1.0, 1.0,
                                            0.0}));  // the first answer says "changed"
  ASSERT_EQ(unit->Process(s.in, s.out, 24064 - 256), noErr);
  ASSERT_EQ(unit->Render(s.in, s.out, 256), noErr);
  const auto t = seen();
  EXPECT_DOUBLE_EQ(t[0], 24064.0 / 24000.0);
  EXPECT_EQ(t[3], 0.0);
  EXPECT_EQ(t[4], 48000.0 - 24064.0);
  unit->SetTransport(90.0, false);
  ASSERT_EQ(unit->Render(s.in, s.out, 256), noErr);
  // 90 BPM: a beat every 32000 frames, so frame 24320 is 7680 frames before the next.
  EXPECT_EQ(seen(), (std::array<Float64, 5>{24320.0 / 48000.0 * 1.5, 90.0, 0.0, 1.0, 7680.0}));
}

TEST_F(HostedFixture, RenderErrorsLeaveTimeAndOutputAlone) {
  ASSERT_EQ(unit->Initialize(), noErr);
  Signal s(300);
  EXPECT_EQ(unit->Render(s.in, s.out, 300), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(unit->SampleTime(), 0.0);
  EXPECT_EQ(s.outLeft[0], 9.0f);
  EXPECT_EQ(unit->Process(s.in, s.out, 0), noErr);
  EXPECT_EQ(unit->Render(s.in, nullptr, 16), kAudio_ParamError);
  // Without inputs the unit is fed silence.
  ASSERT_EQ(unit->Render(nullptr, s.out, 16), noErr);
  EXPECT_EQ(s.outLeft[0], 0.0f);
  EXPECT_EQ(unit->SampleTime(), 16.0);
}

TEST_F(HostedFixture, ConfigurationIsRefusedWhenItCannotApply) {
  EXPECT_EQ(unit->Configure({48000.0, 256, 3, 3}),
            kAudioUnitErr_FormatNotSupported);  // the fixture takes 1-2
  EXPECT_EQ(unit->Configure({0.0, 256, 2, 2}), kAudio_ParamError);
  ASSERT_EQ(unit->Configure({44100.0, 128, 1, 1}), noErr);
  ASSERT_EQ(unit->Initialize(), noErr);
  EXPECT_EQ(unit->Configure(config), kAudioUnitErr_Initialized);
  Float64 rate = 0;
  UInt32 size = sizeof rate;
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kAudioUnitProperty_SampleRate,
                                 kAudioUnitScope_Global, 0, &rate, &size),
            noErr);
  EXPECT_EQ(rate, 44100.0);
  AudioStreamBasicDescription format{};
  size = sizeof format;
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kAudioUnitProperty_StreamFormat,
                                 kAudioUnitScope_Output, 0, &format, &size),
            noErr);
  EXPECT_EQ(format.mChannelsPerFrame, 1u);
  EXPECT_EQ(format.mFormatFlags, 41u);
}

TEST_F(HostedFixture, ParametersAreListedDescribedConvertedAndSet) {
  EXPECT_EQ(unit->ParameterList(), (std::vector<AudioUnitParameterID>{0, 1}));
  const auto gain = unit->GetParameterInfo(0);
  ASSERT_TRUE(gain);
  EXPECT_EQ(gain->name, "Gain");
  EXPECT_EQ(gain->unit, kAudioUnitParameterUnit_LinearGain);
  EXPECT_EQ(gain->minValue, 0.0f);
  EXPECT_EQ(gain->maxValue, 4.0f);
  EXPECT_EQ(gain->defaultValue, 1.0f);
  const auto invert = unit->GetParameterInfo(1);
  ASSERT_TRUE(invert);
  EXPECT_EQ(invert->name, "Invert");
  EXPECT_EQ(invert->unit, kAudioUnitParameterUnit_Boolean);
  EXPECT_NE(invert->flags & kAudioUnitParameterFlag_ValuesHaveStrings, 0u);
  EXPECT_FALSE(unit->GetParameterInfo(2));

  EXPECT_EQ(unit->ParameterValueStrings(1), (std::vector<std::string>{"off", "on"}));
  EXPECT_FALSE(unit->ParameterValueStrings(0));
  EXPECT_EQ(unit->ParameterStringFromValue(0, 1.5f), "1.50");
  EXPECT_EQ(unit->ParameterStringFromValue(1, std::nullopt), "off");
  EXPECT_EQ(unit->ParameterValueFromString(0, "2.25"), 2.25f);
  EXPECT_EQ(unit->ParameterValueFromString(1, "on"), 1.0f);
  EXPECT_FALSE(unit->ParameterValueFromString(5, "on"));

  EXPECT_EQ(unit->SetParameter(1, 1.0f), noErr);
  EXPECT_EQ(unit->GetParameter(1), 1.0f);
  EXPECT_EQ(unit->ParameterStringFromValue(1, std::nullopt), "on");
  EXPECT_EQ(unit->SetParameter(9, 1.0f), kAudioUnitErr_InvalidParameter);
  EXPECT_FALSE(unit->GetParameter(9));
}

TEST_F(HostedFixture, ParameterEventsAndPropertyListenersReachTheHost) {
  std::vector<std::pair<AudioUnitParameterID, AudioUnitParameterValue>> values;
  std::vector<AudioUnitPropertyID> properties;
  ASSERT_EQ(unit->ListenToParameters([&](const AudioUnitEvent& e, AudioUnitParameterValue v) {
    if (e.mEventType == kAudioUnitEvent_ParameterValueChange)
      values.push_back({e.mArgument.mParameter.mParameterID, v});
  }),
            noErr);
  ASSERT_EQ(unit->AddPropertyListener(kAudioUnitProperty_PresentPreset,
                                      [&](AudioUnitPropertyID id, AudioUnitScope,
                                          AudioUnitElement) { properties.push_back(id); }),
            noErr);
  ASSERT_EQ(unit->SelectPreset(1), noErr);  // the fixture announces both values and the preset
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0], std::make_pair(AudioUnitParameterID{0}, 0.5f));
  EXPECT_EQ(values[1], std::make_pair(AudioUnitParameterID{1}, 0.0f));
  EXPECT_EQ(properties, (std::vector<AudioUnitPropertyID>{kAudioUnitProperty_PresentPreset,
                                                          kAudioUnitProperty_PresentPreset}));

  // A plain AudioUnitSetParameter is not announced by the unit (hosts use AUParameterSet for that).
  ASSERT_EQ(unit->SetParameter(0, 2.0f), noErr);
  EXPECT_EQ(values.size(), 2u);
  const AudioUnitParameter gain{unit->Unit(), 0, kAudioUnitScope_Global, 0};
  ASSERT_EQ(AUParameterSet(nullptr, nullptr, &gain, 3.0f, 0), noErr);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[2].second, 3.0f);

  // Property changes announced through the AU event system reach the same handler.
  int propertyEvents = 0;
  ASSERT_EQ(unit->ListenToParameters([&](const AudioUnitEvent& e, AudioUnitParameterValue) {
    if (e.mEventType == kAudioUnitEvent_PropertyChange &&
        e.mArgument.mProperty.mPropertyID == kAudioUnitProperty_Latency)
      ++propertyEvents;
  }),
            noErr);
  ASSERT_EQ(unit->ListenToPropertyEvents(kAudioUnitProperty_Latency), noErr);
  AudioUnitEvent latency{};
  latency.mEventType = kAudioUnitEvent_PropertyChange;
  latency.mArgument.mProperty = {unit->Unit(), kAudioUnitProperty_Latency, kAudioUnitScope_Global,
                                 0};
  ASSERT_EQ(AUEventListenerNotify(nullptr, nullptr, &latency), noErr);
  EXPECT_EQ(propertyEvents, 1);

  // After Close nothing is delivered and the listeners are gone.
  unit->Close();
  EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, &gain), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &latency), noErr);
  EXPECT_EQ(values.size(), 3u);
  EXPECT_EQ(propertyEvents, 1);
}

TEST_F(HostedFixture, ClassInfoSurvivesAProjectFileAndForeignStateIsRefused) {
  ASSERT_EQ(unit->SetParameter(0, 0.25f), noErr);
  OSStatus status = -1;
  CFRef<CFPropertyListRef> saved = unit->SaveClassInfo(&status);
  ASSERT_EQ(status, noErr);
  ASSERT_TRUE(saved);

  // Through a file, as a DAW keeps it in a project.
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tovrasat_host_state_" + std::to_string(::getpid()) + ".plist"))
                               .string();
  std::string error;
  ASSERT_TRUE(host::Plist::WriteFile(path, saved.Get(), error)) << error;
  CFRef<CFPropertyListRef> loaded = host::Plist::ReadFile(path, error);
  std::filesystem::remove(path);
  ASSERT_TRUE(loaded) << error;
  EXPECT_TRUE(CFEqual(saved.Get(), loaded.Get()));

  ASSERT_EQ(unit->SetParameter(0, 3.0f), noErr);
  EXPECT_EQ(unit->RestoreClassInfo(loaded.Get()), noErr);
  EXPECT_EQ(unit->GetParameter(0), 0.25f);

  CFRef<CFMutableDictionaryRef> foreign(
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(loaded.Get())));
  const SInt32 other = 0x4F746872;  // 'Othr'
  CFRef<CFNumberRef> subtype(CFNumberCreate(nullptr, kCFNumberSInt32Type, &other));
  CFDictionarySetValue(foreign.Get(), CFSTR("subtype"), subtype.Get());
  ASSERT_EQ(unit->SetParameter(0, 3.0f), noErr);
  EXPECT_EQ(unit->RestoreClassInfo(foreign.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(unit->GetParameter(0), 3.0f);
  EXPECT_EQ(unit->RestoreClassInfo(nullptr), kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(HostedFixture, FactoryPresetsAreListedAndSelected) {
  OSStatus status = -1;
  const std::vector<host::Preset> presets = unit->FactoryPresets(&status);
  ASSERT_EQ(status, noErr);
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[0].number, 0);
  EXPECT_EQ(presets[0].name, "Unity");
  EXPECT_EQ(presets[1].name, "Half");
  EXPECT_EQ(unit->PresentPreset()->name, "Unity");
  ASSERT_EQ(unit->SelectPreset(1), noErr);
  EXPECT_EQ(unit->GetParameter(0), 0.5f);
  const auto present = unit->PresentPreset();
  ASSERT_TRUE(present);
  EXPECT_EQ(present->number, 1);
  EXPECT_EQ(present->name, "Half");
}

TEST_F(HostedFixture, TheUnitSeesTheHostIdentityAndItsOwnBundle) {
  host::HostApplication::Identify("com.example.testdaw", "3.2.1");
  ASSERT_EQ(unit->Initialize(), noErr);
  CFStringRef seen = nullptr;
  UInt32 size = sizeof seen;
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kHostSeen, kAudioUnitScope_Global, 0, &seen, &size),
            noErr);
  CFRef<CFStringRef> owned(seen);
  char text[1024];
  ASSERT_TRUE(CFStringGetCString(seen, text, sizeof text, kCFStringEncodingUTF8));
  EXPECT_EQ(std::string(text), std::string("com.example.testdaw|3.2.1|") + GAIN_FIXTURE_BUNDLE);
  host::HostApplication::Identify("", "");
}

TEST_F(HostedFixture, CloseIsFinalAndIdempotent) {
  ASSERT_EQ(unit->Initialize(), noErr);
  unit->Close();
  unit->Close();
  EXPECT_EQ(unit->Unit(), nullptr);
  Signal s(16);
  EXPECT_EQ(unit->Render(s.in, s.out, 16), badComponentInstance);
  EXPECT_EQ(unit->SetParameter(0, 1.0f), badComponentInstance);
  EXPECT_FALSE(unit->GetParameter(0));
  EXPECT_TRUE(unit->ParameterList().empty());
  EXPECT_FALSE(unit->SaveClassInfo());
  EXPECT_TRUE(unit->FactoryPresets().empty());
  EXPECT_EQ(unit->Initialize(), badComponentInstance);
}

}  // namespace
