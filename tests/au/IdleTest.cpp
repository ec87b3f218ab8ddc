// IdleTest.cpp: the meter and the overload lamp as a host reads them, with idle ticks from the main
// run loop that the host pumps at the pace of the audio.
#include <TovraSdk/RunLoopClock.h>

#include <vector>

#include "core/TovraSatProperties.h"
#include "tests/au/AuTestSupport.h"

namespace {

tovrasat::MeterReading ReadMeter(host::HostedUnit& unit) {
  tovrasat::MeterReading reading{};
  UInt32 size = sizeof reading;
  EXPECT_EQ(AudioUnitGetProperty(unit.Unit(), tovrasat::kMeterReadingProperty,
                                 kAudioUnitScope_Global, 0, &reading, &size),
            noErr);
  EXPECT_EQ(size, sizeof reading);
  return reading;
}

TEST(AuIdle, MeterAndLampFollowTheAudioAtTheHostsTicks) {
  autest::ManualClock clock;
  auto unit = autest::ReadyUnit({48000.0, 480, 2, 2});  // 10 ms blocks: a tick every second block
  ASSERT_TRUE(unit);
  CFIndex ticks = 0;
  unit->SetPump([&](double seconds) { ticks += TovraSdkRunLoopAdvanceBy(seconds); });
  ASSERT_EQ(unit->SetParameter(0, 100.0f), noErr);
  ASSERT_EQ(unit->SetParameter(1, 12.0f), noErr);

  std::vector<float> loud(4800, 0.95f), silence(9600, 0.0f), outL(9600), outR(9600);
  const float* loudIn[2] = {loud.data(), loud.data()};
  const float* silentIn[2] = {silence.data(), silence.data()};
  float* outs[2] = {outL.data(), outR.data()};

  ASSERT_EQ(unit->Process(loudIn, outs, 4800), noErr);  // 100 ms
  EXPECT_GE(ticks, 5);
  const tovrasat::MeterReading hot = ReadMeter(*unit);
  EXPECT_EQ(hot.clipLed, 1.0f);
  EXPECT_GT(hot.meterDb, 0.0f);  // +12 dB of trim lifts the output above full scale

  // Silence: the lamp is out after seven ticks, the meter falls 3 dB a tick at most.
  ticks = 0;
  ASSERT_EQ(unit->Process(silentIn, outs, 9600), noErr);  // 200 ms
  ASSERT_GE(ticks, 7);
  const tovrasat::MeterReading cold = ReadMeter(*unit);
  EXPECT_EQ(cold.clipLed, 0.0f);
  EXPECT_LT(cold.meterDb, hot.meterDb - 12.0f);
  EXPECT_GE(cold.meterDb, hot.meterDb - 3.0f * static_cast<float>(ticks) - 1e-3f);

  // With nothing rendered, the ticks alone bring the meter to rest at the floor.
  TovraSdkRunLoopAdvanceBy(3.0);
  EXPECT_EQ(ReadMeter(*unit).meterDb, -120.0f);
}

}  // namespace
