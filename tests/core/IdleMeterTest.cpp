// IdleMeterTest.cpp: the idle tick's meter fall-off and clip-lamp fade, from the chain's readings.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/core/CoreTestSupport.h"

namespace {

TEST(TovraSatIdle, PeakToLevelAtTheEdges) {
  struct Case {
    float peak;
    float expectedDb;
  };
  const Case cases[] = {
      {1.0f, 0.0f}, {1e-6f, -120.0f}, {0.0f, -120.0f}, {0.5f, 20.0f * std::log10(0.5f)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.peak);
    auto plugin = coretest::MakePlugin();
    plugin->mCrusher.peak.store(c.peak);
    plugin->OnIdle();
    EXPECT_FLOAT_EQ(plugin->mMeterDb, c.expectedDb);
    EXPECT_EQ(plugin->mCrusher.peak.load(), 0.0f);  // taken
  }
}

TEST(TovraSatIdle, MeterJumpsUpAndFallsThreeDbPerTickToTheFloor) {
  auto plugin = coretest::MakePlugin();
  plugin->mCrusher.peak.store(1.0f);
  plugin->OnIdle();
  EXPECT_EQ(plugin->mMeterDb, 0.0f);
  for (int tick = 1; tick <= 40; ++tick) {
    plugin->OnIdle();
    ASSERT_FLOAT_EQ(plugin->mMeterDb, -3.0f * static_cast<float>(tick)) << "tick " << tick;
  }
  for (int tick = 0; tick < 5; ++tick) plugin->OnIdle();
  EXPECT_EQ(plugin->mMeterDb, -120.0f);
  // A new peak shows at once, however far the meter had fallen.
  plugin->mCrusher.peak.store(0.1f);
  plugin->OnIdle();
  EXPECT_FLOAT_EQ(plugin->mMeterDb, -20.0f);
}

TEST(TovraSatIdle, ClipLampHoldsWhileClippingThenFadesInSevenTicks) {
  auto plugin = coretest::MakePlugin();
  for (int tick = 0; tick < 3; ++tick) {
    plugin->mCrusher.clip.store(true);
    plugin->OnIdle();
    ASSERT_EQ(plugin->mClipLed, 1.0f);
  }
  const float expected[] = {0.85f, 0.70f, 0.55f, 0.40f, 0.25f, 0.10f, 0.0f, 0.0f};
  for (float e : expected) {
    plugin->OnIdle();
    EXPECT_NEAR(plugin->mClipLed, e, 1e-6f);
  }
  EXPECT_EQ(plugin->mClipLed, 0.0f);  // exactly zero, not a tiny negative or positive rest
}

TEST(TovraSatIdle, LoudAudioLightsTheLampAndTheMeter) {
  auto plugin = coretest::MakePlugin();
  plugin->GetParam(TovraSat::kGain)->Set(100.0);
  plugin->GetParam(TovraSat::kOutputTrim)->Set(12.0);
  coretest::Prepare(*plugin, 2, 2);
  std::vector<double> loud(512, 1.0), outL(512), outR(512);
  double* ins[2] = {loud.data(), loud.data()};
  double* outs[2] = {outL.data(), outR.data()};
  plugin->ProcessBlock(ins, outs, 512);
  plugin->OnIdle();
  EXPECT_EQ(plugin->mClipLed, 1.0f);
  EXPECT_GT(plugin->mMeterDb, -6.0f);
}

}  // namespace
