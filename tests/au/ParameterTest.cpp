// ParameterTest.cpp: the four parameters as a host sees them: info, value strings, text
// conversions, get and set with their scopes and notifications.
#include <AudioToolbox/AudioUnitProperties.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/au/AuTestSupport.h"

namespace {

constexpr AudioUnitParameterOptions kBaseFlags =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
    kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
    kAudioUnitParameterFlag_CFNameRelease;

TEST(AuParameters, InfoForAllFour) {
  struct Expected {
    const char* name;
    AudioUnitParameterUnit unit;
    const char* unitName;
    float min, max, def;
    AudioUnitParameterOptions flags;
  };
  const Expected table[] = {
      {"Gain", kAudioUnitParameterUnit_CustomUnit, "%", 0.0f, 100.0f, 24.0f, kBaseFlags},
      {"Output Trim", kAudioUnitParameterUnit_CustomUnit, "dB", -24.0f, 12.0f, 0.0f, kBaseFlags},
      {"48V", kAudioUnitParameterUnit_Boolean, "", 0.0f, 1.0f, 1.0f,
       kBaseFlags | kAudioUnitParameterFlag_ValuesHaveStrings},
      {"Bypass", kAudioUnitParameterUnit_Boolean, "", 0.0f, 1.0f, 0.0f,
       kBaseFlags | kAudioUnitParameterFlag_ValuesHaveStrings},
  };
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  ASSERT_EQ(unit->ParameterList(), (std::vector<AudioUnitParameterID>{0, 1, 2, 3}));
  for (AudioUnitParameterID id = 0; id < 4; ++id) {
    SCOPED_TRACE(id);
    const Expected& e = table[id];
    const std::optional<host::ParameterInfo> info = unit->GetParameterInfo(id);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, e.name);
    EXPECT_EQ(info->unit, e.unit);
    EXPECT_EQ(info->unitName, e.unitName);
    EXPECT_EQ(info->minValue, e.min);
    EXPECT_EQ(info->maxValue, e.max);
    EXPECT_EQ(info->defaultValue, e.def);
    EXPECT_EQ(info->flags, e.flags);
    EXPECT_EQ(info->clumpID, 0u);
  }

  // The C name travels too, and the host owns (and releases) the CF strings.
  AudioUnitParameterInfo raw{};
  UInt32 size = sizeof raw;
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kAudioUnitProperty_ParameterInfo,
                                 kAudioUnitScope_Global, 1, &raw, &size),
            noErr);
  EXPECT_STREQ(raw.name, "Output Trim");
  EXPECT_EQ(autest::Utf8(raw.cfNameString), "Output Trim");
  CFRelease(raw.cfNameString);
  CFRelease(raw.unitName);
}

TEST(AuParameters, ValueStringsOf48VAndBypass) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->ParameterValueStrings(2), (std::vector<std::string>{"off", "on", "", ""}));
  EXPECT_EQ(unit->ParameterValueStrings(3), (std::vector<std::string>{"off", "on"}));
  EXPECT_FALSE(unit->ParameterValueStrings(0));
}

TEST(AuParameters, TextConversions) {
  struct ToText {
    AudioUnitParameterID id;
    float value;
    const char* text;
  };
  struct FromText {
    AudioUnitParameterID id;
    const char* text;
    float value;
  };
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  for (const ToText& c : {ToText{2, 0.0f, "off"}, ToText{2, 1.0f, "on"}, ToText{3, 1.0f, "on"},
                          ToText{3, 0.0f, "off"}}) {
    EXPECT_EQ(unit->ParameterStringFromValue(c.id, c.value), std::optional<std::string>(c.text))
        << c.id;
  }
  // The current value when none is given.
  EXPECT_EQ(unit->ParameterStringFromValue(2, std::nullopt), std::optional<std::string>("on"));
  EXPECT_FALSE(unit->ParameterStringFromValue(0, 12.0f)->empty());

  for (const FromText& c :
       {FromText{2, "On", 1.0f}, FromText{3, "On", 0.0f}, FromText{2, "off", 0.0f},
        FromText{3, "on", 1.0f}, FromText{0, "55", 55.0f}, FromText{1, "-7.5", -7.5f}}) {
    EXPECT_EQ(unit->ParameterValueFromString(c.id, c.text), std::optional<float>(c.value))
        << c.id << " " << c.text;
  }

  AudioUnitParameterIDName name{1, 6, nullptr};
  UInt32 size = sizeof name;
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kAudioUnitProperty_ParameterIDName,
                                 kAudioUnitScope_Global, 0, &name, &size),
            noErr);
  EXPECT_EQ(autest::Utf8(name.outName), "Output");
  CFRelease(name.outName);
  name = {1, kAudioUnitParameterName_Full, nullptr};
  ASSERT_EQ(AudioUnitGetProperty(unit->Unit(), kAudioUnitProperty_ParameterIDName,
                                 kAudioUnitScope_Global, 0, &name, &size),
            noErr);
  EXPECT_EQ(autest::Utf8(name.outName), "Output Trim");
  CFRelease(name.outName);
}

TEST(AuParameters, GetAndSetWithScopesAndRanges) {
  auto unit = autest::ReadyUnit();
  ASSERT_TRUE(unit);
  AudioUnit u = unit->Unit();
  EXPECT_EQ(unit->SetParameter(0, 61.0f), noErr);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(61.0f));
  EXPECT_EQ(unit->SetParameter(1, 40.0f), noErr);  // clamped to the range
  EXPECT_EQ(unit->GetParameter(1), std::optional<float>(12.0f));

  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitSetParameter(u, 0, kAudioUnitScope_Input, 0, 5.0f, 0),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(u, 0, kAudioUnitScope_Output, 0, &value),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetParameter(u, 4, kAudioUnitScope_Global, 0, 5.0f, 0),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(u, 99, kAudioUnitScope_Global, 0, &value),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(61.0f));

  // Immediate events apply in order until one in a wrong scope; ramped events are skipped.
  AudioUnitParameterEvent events[3]{};
  events[0] = {kAudioUnitScope_Global, 0, 0, kParameterEvent_Immediate, {}};
  events[0].eventValues.immediate = {0, 30.0f};
  events[1] = {kAudioUnitScope_Global, 0, 1, kParameterEvent_Ramped, {}};
  events[1].eventValues.ramp = {0, 64, -3.0f, -6.0f};
  events[2] = {kAudioUnitScope_Input, 0, 3, kParameterEvent_Immediate, {}};
  events[2].eventValues.immediate = {0, 1.0f};
  EXPECT_EQ(AudioUnitScheduleParameters(u, events, 3), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(unit->GetParameter(0), std::optional<float>(30.0f));
  EXPECT_EQ(unit->GetParameter(1), std::optional<float>(12.0f));
  EXPECT_EQ(unit->GetParameter(3), std::optional<float>(0.0f));
}

}  // namespace
