// PropertyTest.cpp: the property tables as a host sees them: sizes, writability, scopes, error
// codes and values.
#include <AudioToolbox/AudioUnitProperties.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/TovraSatProperties.h"
#include "tests/au/AuTestSupport.h"

namespace {

using autest::kPlugInObjectProperty;

struct InfoCase {
  const char* what;
  AudioUnitPropertyID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  OSStatus status;
  UInt32 size;  // checked when status is noErr
  bool writable;
};

constexpr AudioUnitScope G = kAudioUnitScope_Global;
constexpr AudioUnitScope I = kAudioUnitScope_Input;
constexpr AudioUnitScope O = kAudioUnitScope_Output;

const InfoCase kInfoCases[] = {
    {"ClassInfo", kAudioUnitProperty_ClassInfo, G, 0, noErr, 8, true},
    {"MakeConnection", kAudioUnitProperty_MakeConnection, I, 0, noErr, 16, true},
    {"SampleRate", kAudioUnitProperty_SampleRate, O, 0, noErr, 8, true},
    {"ParameterList global", kAudioUnitProperty_ParameterList, G, 0, noErr, 16, false},
    {"ParameterList input", kAudioUnitProperty_ParameterList, I, 0, noErr, 0, false},
    {"ParameterInfo", kAudioUnitProperty_ParameterInfo, G, 3, noErr, 104, false},
    {"ParameterInfo past the last", kAudioUnitProperty_ParameterInfo, G, 4,
     kAudioUnitErr_InvalidElement, 0, false},
    {"ParameterInfo output scope", kAudioUnitProperty_ParameterInfo, O, 0,
     kAudioUnitErr_InvalidProperty, 0, false},
    {"FastDispatch", kAudioUnitProperty_FastDispatch, G, kAudioUnitRenderSelect,
     kAudioUnitErr_InvalidElement, 0, false},
    {"StreamFormat input", kAudioUnitProperty_StreamFormat, I, 0, noErr, 40, true},
    {"StreamFormat output", kAudioUnitProperty_StreamFormat, O, 0, noErr, 40, true},
    {"StreamFormat bus 1", kAudioUnitProperty_StreamFormat, O, 1, kAudioUnitErr_InvalidElement, 0,
     false},
    {"StreamFormat global", kAudioUnitProperty_StreamFormat, G, 0, kAudioUnitErr_InvalidProperty, 0,
     false},
    {"ElementCount", kAudioUnitProperty_ElementCount, I, 0, noErr, 4, false},
    {"Latency", kAudioUnitProperty_Latency, G, 0, noErr, 8, false},
    {"Latency input", kAudioUnitProperty_Latency, I, 0, kAudioUnitErr_InvalidProperty, 0, false},
    {"SupportedNumChannels", kAudioUnitProperty_SupportedNumChannels, G, 0, noErr, 8, false},
    {"MaximumFramesPerSlice", kAudioUnitProperty_MaximumFramesPerSlice, G, 0, noErr, 4, true},
    {"ParameterValueStrings 48V", kAudioUnitProperty_ParameterValueStrings, G, 2, noErr, 8, false},
    {"ParameterValueStrings Gain", kAudioUnitProperty_ParameterValueStrings, G, 0,
     kAudioUnitErr_InvalidProperty, 0, false},
    {"ParameterValueStrings past the last", kAudioUnitProperty_ParameterValueStrings, G, 9,
     kAudioUnitErr_InvalidElement, 0, false},
    {"AudioChannelLayout", kAudioUnitProperty_AudioChannelLayout, O, 0,
     kAudioUnitErr_InvalidPropertyValue, 0, false},
    {"TailTime", kAudioUnitProperty_TailTime, G, 0, noErr, 8, false},
    {"BypassEffect", kAudioUnitProperty_BypassEffect, G, 0, noErr, 4, true},
    {"LastRenderError", kAudioUnitProperty_LastRenderError, G, 0, noErr, 4, false},
    {"SetRenderCallback", kAudioUnitProperty_SetRenderCallback, I, 0, noErr, 16, true},
    {"SetRenderCallback bus 1", kAudioUnitProperty_SetRenderCallback, I, 1,
     kAudioUnitErr_InvalidElement, 0, false},
    {"FactoryPresets", kAudioUnitProperty_FactoryPresets, G, 0, noErr, 8, false},
    {"HostCallbacks", kAudioUnitProperty_HostCallbacks, G, 0, noErr, 40, true},
    {"CurrentPreset", kAudioUnitProperty_CurrentPreset, G, 0, noErr, 16, true},
    {"PresentPreset", kAudioUnitProperty_PresentPreset, G, 0, noErr, 16, true},
    {"ElementName output", kAudioUnitProperty_ElementName, O, 0, noErr, 8, false},
    {"ElementName bus 1", kAudioUnitProperty_ElementName, I, 1, kAudioUnitErr_InvalidElement, 0,
     false},
    {"ElementName global", kAudioUnitProperty_ElementName, G, 0, kAudioUnitErr_InvalidScope, 0,
     false},
    {"CocoaUI", kAudioUnitProperty_CocoaUI, G, 0, noErr, 16, false},
    {"SupportedChannelLayoutTags", kAudioUnitProperty_SupportedChannelLayoutTags, I, 0, noErr, 8,
     false},
    {"SupportedChannelLayoutTags global", kAudioUnitProperty_SupportedChannelLayoutTags, G, 0,
     kAudioUnitErr_InvalidProperty, 0, false},
    {"ParameterStringFromValue", kAudioUnitProperty_ParameterStringFromValue, G, 0, noErr, 24,
     false},
    {"ParameterIDName", kAudioUnitProperty_ParameterIDName, G, 0, noErr, 16, false},
    {"ParameterClumpName", kAudioUnitProperty_ParameterClumpName, G, 0, noErr, 16, false},
    {"ParameterValueFromString", kAudioUnitProperty_ParameterValueFromString, G, 0, noErr, 24,
     false},
    {"MIDIOutputCallbackInfo", kAudioUnitProperty_MIDIOutputCallbackInfo, G, 0, noErr, 8, false},
    {"MIDIOutputCallback", kAudioUnitProperty_MIDIOutputCallback, G, 0, noErr, 16, true},
    {"SupportsMPE", kAudioUnitProperty_SupportsMPE, G, 0, noErr, 4, false},
    {"plug-in object", kPlugInObjectProperty, G, 0, noErr, 8, false},
    {"InstrumentCount (effects have none)", kMusicDeviceProperty_InstrumentCount, G, 0,
     kAudioUnitErr_InvalidProperty, 0, false},
    {"ContextName is write only", kAudioUnitProperty_ContextName, G, 0,
     kAudioUnitErr_InvalidProperty, 0, false},
    {"meter reading", tovrasat::kMeterReadingProperty, G, 0, noErr, 8, false},
    {"meter reading input scope", tovrasat::kMeterReadingProperty, I, 0, kAudioUnitErr_InvalidScope,
     0, false},
    {"meter reading element 1", tovrasat::kMeterReadingProperty, G, 1, kAudioUnitErr_InvalidElement,
     0, false},
    {"unknown plug-in ID", 64001, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
    {"unknown ID", 1234, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
};

TEST(AuProperties, InfoTable) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  for (const InfoCase& c : kInfoCases) {
    SCOPED_TRACE(c.what);
    UInt32 size = 12345;
    Boolean writable = 7;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit->Unit(), c.id, c.scope, c.element, &size, &writable),
              c.status);
    if (c.status != noErr) continue;
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(writable != 0, c.writable);
  }
}

template <typename T>
T Get(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope = G,
      AudioUnitElement element = 0, OSStatus* status = nullptr) {
  T value{};
  UInt32 size = sizeof value;
  const OSStatus s = AudioUnitGetProperty(unit, id, scope, element, &value, &size);
  if (status != nullptr) *status = s;
  EXPECT_EQ(s, noErr) << "property " << id;
  return value;
}

TEST(AuProperties, Values) {
  auto unit = autest::ReadyUnit({44100.0, 256, 2, 2});
  ASSERT_TRUE(unit);
  AudioUnit u = unit->Unit();
  EXPECT_EQ(Get<Float64>(u, kAudioUnitProperty_SampleRate), 44100.0);
  EXPECT_EQ(Get<UInt32>(u, kAudioUnitProperty_MaximumFramesPerSlice), 256u);
  EXPECT_EQ(Get<Float64>(u, kAudioUnitProperty_Latency), 0.0);
  EXPECT_EQ(Get<Float64>(u, kAudioUnitProperty_TailTime), 0.0);
  EXPECT_EQ(Get<UInt32>(u, kAudioUnitProperty_BypassEffect), 0u);
  EXPECT_EQ(Get<OSStatus>(u, kAudioUnitProperty_LastRenderError), noErr);
  EXPECT_EQ(Get<UInt32>(u, kAudioUnitProperty_SupportsMPE), 0u);
  EXPECT_NE(Get<void*>(u, kPlugInObjectProperty), nullptr);

  struct CountCase {
    AudioUnitScope scope;
    UInt32 count;
  };
  for (const CountCase& c :
       {CountCase{G, 1}, CountCase{I, 1}, CountCase{O, 1}, CountCase{kAudioUnitScope_Group, 0}}) {
    EXPECT_EQ(Get<UInt32>(u, kAudioUnitProperty_ElementCount, c.scope), c.count)
        << "scope " << c.scope;
  }

  const auto channels =
      Get<std::array<AUChannelInfo, 2>>(u, kAudioUnitProperty_SupportedNumChannels);
  EXPECT_EQ(channels[0].inChannels, 1);
  EXPECT_EQ(channels[0].outChannels, 1);
  EXPECT_EQ(channels[1].inChannels, 2);
  EXPECT_EQ(channels[1].outChannels, 2);

  const auto ids = Get<std::array<AudioUnitParameterID, 4>>(u, kAudioUnitProperty_ParameterList);
  EXPECT_EQ(ids, (std::array<AudioUnitParameterID, 4>{0, 1, 2, 3}));

  for (AudioUnitScope scope : {I, O}) {
    const auto format = Get<AudioStreamBasicDescription>(u, kAudioUnitProperty_StreamFormat, scope);
    EXPECT_EQ(format.mSampleRate, 44100.0);
    EXPECT_EQ(format.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(format.mFormatFlags, 41u);
    EXPECT_EQ(format.mBytesPerPacket, 4u);
    EXPECT_EQ(format.mFramesPerPacket, 1u);
    EXPECT_EQ(format.mBytesPerFrame, 4u);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mBitsPerChannel, 32u);
  }

  const auto tags = Get<std::array<AudioChannelLayoutTag, 2>>(
      u, kAudioUnitProperty_SupportedChannelLayoutTags, O);
  EXPECT_EQ(tags[0], (100u << 16) | 1u);  // mono
  EXPECT_EQ(tags[1], (101u << 16) | 2u);  // stereo

  for (AudioUnitScope scope : {I, O}) {
    CFStringRef name = Get<CFStringRef>(u, kAudioUnitProperty_ElementName, scope);
    EXPECT_EQ(autest::Utf8(name), scope == I ? "Input" : "Output");
    CFRelease(name);
  }

  const auto cocoa = Get<AudioUnitCocoaViewInfo>(u, kAudioUnitProperty_CocoaUI);
  EXPECT_NE(cocoa.mCocoaAUViewBundleLocation, nullptr);
  EXPECT_EQ(autest::Utf8(cocoa.mCocoaAUViewClass[0]), "TovraSat_View");
  CFRelease(cocoa.mCocoaAUViewBundleLocation);
  CFRelease(cocoa.mCocoaAUViewClass[0]);

  auto midi = Get<CFArrayRef>(u, kAudioUnitProperty_MIDIOutputCallbackInfo);
  ASSERT_EQ(CFArrayGetCount(midi), 1);
  EXPECT_EQ(autest::Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(midi, 0))), "midiOut");
  CFRelease(midi);

  const auto meter = Get<tovrasat::MeterReading>(u, tovrasat::kMeterReadingProperty);
  EXPECT_EQ(meter.meterDb, -120.0f);
  EXPECT_EQ(meter.clipLed, 0.0f);
}

TEST(AuProperties, WritesAndTheirErrors) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  AudioUnit u = unit->Unit();

  // A buffer smaller than the property is refused, and nothing is written into it.
  UInt8 small[4] = {1, 2, 3, 4};
  UInt32 size = sizeof small;
  EXPECT_EQ(AudioUnitGetProperty(u, kAudioUnitProperty_SampleRate, G, 0, small, &size),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(small[0], 1);

  const tovrasat::MeterReading reading{};
  EXPECT_EQ(
      AudioUnitSetProperty(u, tovrasat::kMeterReadingProperty, G, 0, &reading, sizeof reading),
      kAudioUnitErr_InvalidProperty);

  const UInt32 zeroFrames = 0;
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &zeroFrames, 4),
            kAudioUnitErr_InvalidPropertyValue);
  const UInt32 frames = 1024;
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames, 2),
            kAudioUnitErr_InvalidPropertyValue);  // too few bytes
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames, 4),
            noErr);
  EXPECT_EQ(Get<UInt32>(u, kAudioUnitProperty_MaximumFramesPerSlice), 1024u);

  const Float64 badRate = -1.0;
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_SampleRate, O, 0, &badRate, 8),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Get<Float64>(u, kAudioUnitProperty_SampleRate), 48000.0);

  // Three channels fit no configuration: refused, and the bus falls back to its own count.
  auto format = Get<AudioStreamBasicDescription>(u, kAudioUnitProperty_StreamFormat, O);
  format.mChannelsPerFrame = 3;
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_StreamFormat, O, 0, &format, sizeof format),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(
      Get<AudioStreamBasicDescription>(u, kAudioUnitProperty_StreamFormat, O).mChannelsPerFrame,
      2u);
  format.mChannelsPerFrame = 2;
  format.mFormatID = 0x696D6134;  // 'ima4'
  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_StreamFormat, O, 0, &format, sizeof format),
            kAudioUnitErr_InvalidProperty);

  AudioUnitParameterIDName clump{0, -1, nullptr};
  size = sizeof clump;
  EXPECT_EQ(AudioUnitGetProperty(u, kAudioUnitProperty_ParameterClumpName, G, 0, &clump, &size),
            kAudioUnitErr_PropertyNotInUse);

  EXPECT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_Latency, G, 0, &badRate, 8),
            kAudioUnitErr_InvalidProperty);
}

TEST(AuProperties, SettingNotifiesListenersFirst) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  std::vector<std::pair<AudioUnitPropertyID, AudioUnitScope>> seen;
  for (AudioUnitPropertyID id : {kAudioUnitProperty_BypassEffect, kAudioUnitProperty_Latency}) {
    ASSERT_EQ(
        unit->AddPropertyListener(id,
                                  [&](AudioUnitPropertyID p, AudioUnitScope s, AudioUnitElement e) {
                                    EXPECT_EQ(e, 0u);
                                    seen.emplace_back(p, s);
                                  }),
        noErr);
  }
  const UInt32 on = 1;
  ASSERT_EQ(AudioUnitSetProperty(unit->Unit(), kAudioUnitProperty_BypassEffect, G, 0, &on, 4),
            noErr);
  // The bypass listener first, then the latency report of the reset that bypassing brings.
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, kAudioUnitProperty_BypassEffect);
  EXPECT_EQ(seen[1].first, kAudioUnitProperty_Latency);
  EXPECT_EQ(Get<UInt32>(unit->Unit(), kAudioUnitProperty_BypassEffect), 1u);
}

}  // namespace
