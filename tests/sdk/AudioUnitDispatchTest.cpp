// AudioUnitDispatchTest.cpp: the AudioUnit* calls reach the unit's methods through Lookup, with
// their arguments.
#include "tests/sdk/FakeUnit.h"

#include <CoreServices/CoreServices.h>

#include <gtest/gtest.h>

namespace {

using sdktest::FakeUnit;

TEST(AudioUnitDispatch, EveryCallReachesItsMethodWithItsArguments) {
  FakeUnit fake;
  AudioUnit unit = fake.Unit();
  UInt32 size = 8;
  Boolean writable = false;
  Float64 rate = 0;
  AudioUnitParameterValue value = 0;
  AudioTimeStamp stamp{};
  stamp.mSampleTime = 512;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitParameterEvent event{};
  AudioUnitRenderActionFlags flags = 0;

  EXPECT_EQ(AudioUnitInitialize(unit), noErr);
  EXPECT_EQ(AudioUnitGetPropertyInfo(unit, 2, 1, 0, &size, &writable), noErr);
  EXPECT_EQ(AudioUnitGetProperty(unit, 2, 2, 3, &rate, &size), noErr);
  EXPECT_EQ(rate, 44100.0);
  EXPECT_EQ(AudioUnitSetProperty(unit, 14, 0, 0, &size, 4), noErr);
  EXPECT_EQ(AudioUnitSetProperty(unit, 9999, 0, 0, nullptr, 0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(unit, 2, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, 0.75f);
  EXPECT_EQ(AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, 0.125f, 64), noErr);
  EXPECT_EQ(fake.parameters[1], 0.125f);
  EXPECT_EQ(AudioUnitGetParameter(unit, 7, kAudioUnitScope_Global, 0, &value),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitScheduleParameters(unit, &event, 1), noErr);
  EXPECT_EQ(AudioUnitRender(unit, &flags, &stamp, 0, 256, nullptr), noErr);
  EXPECT_EQ(AudioUnitProcess(unit, &flags, &stamp, 128, nullptr), noErr);
  EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), noErr);
  EXPECT_EQ(AudioUnitAddPropertyListener(unit, 21, nullptr, nullptr), noErr);
  EXPECT_EQ(AudioUnitRemovePropertyListener(unit, 21, nullptr), noErr);
  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, 21, nullptr, nullptr), noErr);
  EXPECT_EQ(AudioUnitAddRenderNotify(unit, nullptr, nullptr), noErr);
  EXPECT_EQ(AudioUnitRemoveRenderNotify(unit, nullptr, nullptr), noErr);
  EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 5), noErr);
  EXPECT_EQ(AudioUnitUninitialize(unit), noErr);

  const std::vector<std::string> expected = {
      "Initialize",
      "GetPropertyInfo 2 1 0",
      "GetProperty 2 2 3 8",
      "SetProperty 14 0 0 4",
      "SetProperty 9999 0 0 0",
      "GetParameter 2 0 0",
      "SetParameter 1 0 0 64",
      "GetParameter 7 0 0",
      "ScheduleParameters 1",
      "Render 0 256 512",
      "Process 128",
      "Reset 0 0",
      "AddPropertyListener 21",
      "RemovePropertyListener 21",
      "RemovePropertyListenerWithUserData 21",
      "AddRenderNotify",
      "RemoveRenderNotify",
      "MIDIEvent 144 60 100 5",
      "Uninitialize",
  };
  EXPECT_EQ(fake.calls, expected);
}

TEST(AudioUnitDispatch, MissingUnitsAndSelectorsAreErrorsNotCrashes) {
  FakeUnit fake;
  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitInitialize(nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitGetParameter(nullptr, 0, 0, 0, &value), badComponentInstance);
  EXPECT_EQ(AudioUnitRender(nullptr, nullptr, nullptr, 0, 0, nullptr), badComponentInstance);
  // The fake answers neither ProcessMultiple nor SysEx.
  EXPECT_EQ(AudioUnitProcessMultiple(fake.Unit(), nullptr, nullptr, 0, 0, nullptr, 0, nullptr),
            badComponentSelector);
  EXPECT_EQ(MusicDeviceSysEx(fake.Unit(), nullptr, 0), badComponentSelector);
  AudioComponentPlugInInterface noLookup{nullptr, nullptr, nullptr, nullptr};
  EXPECT_EQ(AudioUnitReset(reinterpret_cast<AudioUnit>(&noLookup), 0, 0), badComponentInstance);
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_EQ(badComponentInstance, -2147450879);
  EXPECT_EQ(badComponentSelector, -2147450878);
}

}  // namespace
