// The audio path allocates nothing: global operator new is counted around every render call.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"
#include "tests/dsp/DspFixtures.h"
#include "tests/support/AllocationCounter.h"

namespace {

TEST(DspRealTime, CounterSeesAnAllocation) {
  const std::size_t before = testsupport::AllocationCount();
  auto p = std::make_unique<std::vector<int>>(3);
  EXPECT_GT(testsupport::AllocationCount(), before);
}

TEST(DspRealTime, RenderPathAllocatesNothing) {
  auto c = std::make_unique<tovrasat::Crusher>();
  cc::Engine e = dsptest::voicedEngine(48000.0, 0.5, false);
  e.filterOn = 1.0;
  e.autoGain = true;
  e.cutoffSm.target = 0.8;
  e.cutoffSm.step = 1e-4;
  std::vector<float> inL = dsptest::noise(1100, 1);
  std::vector<float> inR = dsptest::noise(1100, 2);
  std::vector<float> outL(1100);
  std::vector<float> outR(1100);
  const float* ins[2] = {inL.data(), inR.data()};
  float* outs[2] = {outL.data(), outR.data()};

  const std::size_t before = testsupport::AllocationCount();
  c->setParams(0.3f, -4.0f, false, false);
  c->prepare(44100.0);
  for (int block = 0; block < 20; ++block) {
    c->setParams(block % 3 == 0 ? 0.9f : 0.3f, block % 2 == 0 ? -4.0f : 6.0f, block % 4 < 2,
                 block % 7 == 3);
    c->process(ins, outs, 1100 - block * 50);
    c->peak.exchange(0.0f);
    c->clip.exchange(false);
    e.process(outL.data(), outR.data(), 1100);
  }
  EXPECT_EQ(testsupport::AllocationCount(), before);
}

// The settled loops (both builds, both detectors, wet and bypassed, Gain moving), where the
// crusher runs engine, trim and meter in one pass.
TEST(DspRealTime, SettledLoopsAllocateNothing) {
  std::vector<float> inL = dsptest::noise(600, 3, 1.2f);
  std::vector<float> inR = dsptest::noise(600, 4, 1.2f);
  std::vector<float> outL(600);
  std::vector<float> outR(600);
  const float* ins[2] = {inL.data(), inR.data()};
  float* outs[2] = {outL.data(), outR.data()};
  std::vector<std::unique_ptr<tovrasat::Crusher>> crushers;
  for (int i = 0; i < 8; ++i) {
    crushers.push_back(std::make_unique<tovrasat::Crusher>());
    crushers.back()->setParams(0.3f, -4.0f, i % 2 == 0, i % 4 < 2);
    crushers.back()->prepare(48000.0);
    crushers.back()->process(ins, outs, 600);  // the first call sets the limiter up
    ASSERT_TRUE(crushers.back()->engine.settled());
  }

  const bool savedBuild = cc::Engine::settledLoopUsesAvx2;
  const std::size_t before = testsupport::AllocationCount();
  for (int i = 0; i < 8; ++i) {
    tovrasat::Crusher& c = *crushers[static_cast<std::size_t>(i)];
    cc::Engine::settledLoopUsesAvx2 = i < 4 && savedBuild;
    for (int block = 0; block < 10; ++block) {
      c.setParams(block % 2 == 0 ? 0.3f : 0.8f, -4.0f, i % 2 == 0, i % 4 < 2);
      c.process(ins, outs, 600 - block * 37);
      c.engine.process(outL.data(), outR.data(), 300);
    }
  }
  EXPECT_EQ(testsupport::AllocationCount(), before);
  cc::Engine::settledLoopUsesAvx2 = savedBuild;
}

}  // namespace
