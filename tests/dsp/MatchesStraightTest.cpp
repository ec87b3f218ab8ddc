// The optimised engine and crusher against their step-for-step versions: same bits, same state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"
#include "tests/dsp/DspFixtures.h"
#include "tests/dsp/StraightCrusher.h"
#include "tests/dsp/StraightEngine.h"

namespace {

// Noise with the occasional value that takes an unusual path: NaN, infinities, subnormals,
// exact zeros of both signs, and levels far above full scale.
std::vector<float> awkwardNoise(std::size_t n, std::mt19937& rng) {
  std::uniform_real_distribution<float> level(-1.2f, 1.2f);
  std::uniform_int_distribution<int> pick(0, 199);
  std::vector<float> v(n);
  for (float& x : v) {
    switch (pick(rng)) {
      case 0:
        x = std::numeric_limits<float>::quiet_NaN();
        break;
      case 1:
        x = std::numeric_limits<float>::infinity();
        break;
      case 2:
        x = -std::numeric_limits<float>::infinity();
        break;
      case 3:
        x = std::numeric_limits<float>::denorm_min() * 77.0f;
        break;
      case 4:
        x = -0.0f;
        break;
      case 5:
        x = 0.0f;
        break;
      case 6:
        x = 40.0f;
        break;
      default:
        x = level(rng);
        break;
    }
  }
  return v;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Every stage on, gain compensation on, every ramp moving (output down through zero and below).
TEST(MatchesStraight, EngineWithEveryStageAndRamp) {
  for (const bool phantom : {true, false}) {
    std::mt19937 rng(phantom ? 11u : 12u);
    cc::Engine fast = dsptest::voicedEngine(48000.0, 0.6, phantom);
    fast.filterOn = 1.0;
    fast.autoGain = true;
    fast.fastCount = 3000;
    fast.prepare(48000.0);
    cc::Engine slow = fast;
    std::uniform_int_distribution<int> blockSize(0, 700);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int block = 0; block < 60; ++block) {
      if (block % 5 == 0) {
        const auto ramp = [&](cc::Engine::Smoothed cc::Engine::*field, double target) {
          cc::Engine::Smoothed& a = fast.*field;
          a.target = target;
          a.step = (target - a.current) / 480.0;
          slow.*field = a;
        };
        ramp(&cc::Engine::cutoffSm, unit(rng));
        ramp(&cc::Engine::resonanceSm, unit(rng));
        ramp(&cc::Engine::driveSm, unit(rng) * 0.9);
        ramp(&cc::Engine::mixSm, unit(rng));
        ramp(&cc::Engine::outputSm, unit(rng) * 1.4 - 0.2);
      }
      const int n = blockSize(rng);
      std::vector<float> l = awkwardNoise(static_cast<std::size_t>(n), rng);
      std::vector<float> r = awkwardNoise(static_cast<std::size_t>(n), rng);
      std::vector<float> l2 = l;
      std::vector<float> r2 = r;
      fast.process(l.data(), r.data(), n);
      dsptest::straightEngineProcess(slow, l2.data(), r2.data(), n);
      ASSERT_TRUE(sameBits(l, l2)) << "block " << block;
      ASSERT_TRUE(sameBits(r, r2)) << "block " << block;
      ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast), dsptest::engineFields(slow)),
                "")
          << "block " << block;
    }
  }
}

// The crusher through random blocks and parameter changes at several rates: frequent changes
// keep the fades and glides moving; rare ones let them settle, which takes the steady-state loop.
struct Scenario {
  int changeOneIn;
  int blocks;

  friend void PrintTo(const Scenario& s, std::ostream* os) {
    *os << "each parameter changes once in " << s.changeOneIn << " blocks";
  }
};

class CrusherMatchesStraight : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrusherMatchesStraight, ThroughParameterChanges) {
  const Scenario scenario = GetParam();
  int settledBlocks = 0;
  for (const double rate : {22050.0, 44100.0, 48000.0, 96000.0}) {
    std::mt19937 rng(static_cast<unsigned>(rate) + static_cast<unsigned>(scenario.changeOneIn));
    auto fast = std::make_unique<tovrasat::Crusher>();
    auto slow = std::make_unique<tovrasat::Crusher>();
    fast->setParams(0.24f, 0.0f, true, false);
    slow->setParams(0.24f, 0.0f, true, false);
    fast->prepare(rate);
    slow->prepare(rate);
    std::uniform_int_distribution<int> blockSize(-2, 1300);
    std::uniform_int_distribution<int> change(0, scenario.changeOneIn - 1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    float gain = 0.24f;
    float trim = 0.0f;
    bool phantom = true;
    bool bypass = false;
    for (int block = 0; block < scenario.blocks; ++block) {
      if (change(rng) == 0) gain = unit(rng);
      if (change(rng) == 0) trim = unit(rng) * 36.0f - 24.0f;
      if (change(rng) == 0) phantom = !phantom;
      if (change(rng) == 0) bypass = !bypass;
      fast->setParams(gain, trim, phantom, bypass);
      slow->setParams(gain, trim, phantom, bypass);
      const int n = blockSize(rng);
      const std::size_t frames = static_cast<std::size_t>(std::max(n, 0));
      const std::vector<float> l = awkwardNoise(frames, rng);
      const std::vector<float> r = awkwardNoise(frames, rng);
      std::vector<float> fl(frames), fr(frames), sl(frames), sr(frames);
      const float* ins[2] = {l.data(), r.data()};
      float* fastOuts[2] = {fl.data(), fr.data()};
      float* slowOuts[2] = {sl.data(), sr.data()};
      fast->process(ins, fastOuts, n);
      dsptest::straightCrusherProcess(*slow, ins, slowOuts, n);
      ASSERT_TRUE(sameBits(fl, sl)) << rate << " block " << block;
      ASSERT_TRUE(sameBits(fr, sr)) << rate << " block " << block;
      ASSERT_EQ(
          dsptest::differingFields(dsptest::crusherFields(*fast), dsptest::crusherFields(*slow)),
          "")
          << block;
      ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast->engine),
                                         dsptest::engineFields(slow->engine)),
                "")
          << block;
      const double trimTarget = std::pow(10.0, fast->trimDb * 0.05);
      if (fast->trimGain + fast->trimCoef * (trimTarget - fast->trimGain) == fast->trimGain) {
        ++settledBlocks;
      }
      if (block % 4 == 0) {
        fast->peak.exchange(0.0f);
        slow->peak.exchange(0.0f);
        fast->clip.exchange(false);
        slow->clip.exchange(false);
      }
    }
  }
  if (scenario.changeOneIn > 100) {
    EXPECT_GT(settledBlocks, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(MatchesStraight, CrusherMatchesStraight,
                         ::testing::Values(Scenario{10, 150}, Scenario{400, 500}),
                         [](const ::testing::TestParamInfo<Scenario>& s) {
                           return "ChangeOneIn" + std::to_string(s.param.changeOneIn);
                         });

}  // namespace
