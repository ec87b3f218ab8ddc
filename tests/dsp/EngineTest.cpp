// cc::Engine: static curve, stage corners, filter and leveller, both limiter detectors, edge cases.
#include "dsp/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "tests/dsp/DspFixtures.h"

namespace {

using dsptest::voicedEngine;

// Runs a constant input through a fresh engine and returns the left output of every frame.
std::vector<float> runConstant(cc::Engine& e, float x, int n) {
  std::vector<float> l(static_cast<std::size_t>(n), x);
  std::vector<float> r(l);
  e.process(l.data(), r.data(), n);
  return l;
}

// Static curve with the plug-in's voicing and the instantaneous detector: every frame of a
// constant input gives the same value, to 6 decimals (tolerance 5e-7).
struct CurvePoint {
  double mix;
  float input;
  double expected;

  friend void PrintTo(const CurvePoint& p, std::ostream* os) {
    *os << "mix " << p.mix << ", input " << p.input;
  }
};

class StaticCurve : public ::testing::TestWithParam<CurvePoint> {};

TEST_P(StaticCurve, MatchesTableForBothSigns) {
  const CurvePoint p = GetParam();
  for (const float sign : {1.0f, -1.0f}) {
    cc::Engine e = voicedEngine(44100.0, p.mix, true);
    const std::vector<float> out = runConstant(e, sign * p.input, 64);
    for (const float y : out) EXPECT_NEAR(y, sign * p.expected, 5e-7) << "input " << sign * p.input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, StaticCurve,
    ::testing::Values(CurvePoint{1.0, 0.01f, 0.024761}, CurvePoint{1.0, 0.1f, 0.247611},
                      CurvePoint{1.0, 0.3f, 0.764726}, CurvePoint{1.0, 0.5f, 0.993707},
                      CurvePoint{1.0, 0.7f, 0.999184}, CurvePoint{1.0, 1.0f, 0.9999},
                      CurvePoint{0.24, 0.1f, 0.135427}, CurvePoint{0.24, 0.5f, 0.618490}));

// One stage at a time, its output read back through an output level of one half, so that
// results up to 1.0 stay clear of the ±0.9999 clamp.
struct StagePoint {
  const char* what;
  double kneeDrive;
  double clipDrive;
  double input;
  double expected;

  friend void PrintTo(const StagePoint& p, std::ostream* os) { *os << p.what; }
};

float throughStage(const StagePoint& p, double input) {
  cc::Engine e;
  e.enabled = 1.0;
  e.shaperOn = 1.0;
  e.kneeDrive = p.kneeDrive;
  e.clipDrive = p.clipDrive;
  e.output = std::pow(0.5, 1.0 / 2.737);
  e.prepare(48000.0);
  float l = static_cast<float>(input);
  float r = l;
  e.process(&l, &r, 1);
  return static_cast<float>(l / std::pow(e.output, 2.737));
}

class StageCorner : public ::testing::TestWithParam<StagePoint> {};

TEST_P(StageCorner, GivesTheValueAndIsContinuous) {
  const StagePoint p = GetParam();
  EXPECT_NEAR(throughStage(p, p.input), p.expected, 1e-6) << p.what;
  EXPECT_NEAR(throughStage(p, -p.input), -p.expected, 1e-6) << p.what;
  // Both sides of the input agree closely: no jump where the branches meet.
  EXPECT_NEAR(throughStage(p, p.input * (1.0 - 1e-7)), throughStage(p, p.input * (1.0 + 1e-7)),
              1e-6)
      << p.what;
}

// kneeDrive 0 makes the knee the identity, which isolates the clipper.
INSTANTIATE_TEST_SUITE_P(
    Engine, StageCorner,
    ::testing::Values(StagePoint{"knee at its corner", 0.09, 0.0, 0.75 / 1.9, 0.75},
                      StagePoint{"knee at full scale", 0.09, 0.0, 1.0, 1.0},
                      StagePoint{"knee above full scale keeps its slope", 0.09, 0.0, 1.2,
                                 1.0 + 0.25 * 0.2 / (1.0 - 0.75 / 1.9)},
                      StagePoint{"clipper at its corner", 0.0, 0.05, 0.5, 0.6},
                      StagePoint{"clipper at full scale", 0.0, 0.05, 1.0, 1.0},
                      StagePoint{"clipper folds back above full scale", 0.0, 0.05, 1.25, 0.9}));

TEST(Engine, LimiterConstantsOfTheVoicing) {
  cc::Engine e = voicedEngine(44100.0, 1.0, true);
  EXPECT_NEAR(e.limGain, 1.0860122, 1e-7);
  EXPECT_NEAR(e.limCurve, 1.3513970, 1e-7);
  EXPECT_NEAR(e.limThreshold, 0.9109273, 1e-7);
}

TEST(Engine, LimiterLineMeetsParabolaAtThreshold) {
  for (const double drive : {0.0, 0.08, 0.3, 0.6, 0.9}) {
    cc::Engine e;
    e.setLimiter(drive);
    const double t = e.limThreshold;
    ASSERT_GT(t, 0.0) << drive;
    ASSERT_LE(t, 1.0) << drive;
    EXPECT_NEAR(e.limGain * t, 1.0 - e.limCurve * (1.0 - t) * (1.0 - t), 1e-12) << drive;
    // Just above the threshold the curve's gain continues from the line's.
    EXPECT_NEAR(e.limiterGainFor(t + 1e-9), e.limGain, 1e-6) << drive;
  }
}

// An engine with only the filter-and-leveller stage on: no knee, clipper or limiter, full mix.
cc::Engine filterOnly(double rate, double cutoff, double resonance) {
  cc::Engine e;
  e.enabled = 1.0;
  e.filterOn = 1.0;
  e.cutoff = cutoff;
  e.resonance = resonance;
  e.prepare(rate);
  return e;
}

// RMS of the output over the input's, measured after a settling second: the low-pass passes DC
// with gain 1 and a sine at its cut-off with gain Q (the cookbook low-pass's resonance peak).
TEST(Engine, FilterPassesDcAndGivesQAtItsCutoff) {
  struct Case {
    double cutoff;
    double resonance;
    double freq;  // 0: DC
    double gain;
  };
  const double rate = 48000.0;
  for (const Case c :
       {Case{0.34, 0.04, 0.0, 1.0}, Case{0.34, 0.04, 798.2, 1.24}, Case{0.6, 0.5, 0.0, 1.0},
        Case{0.6, 0.5, cc::Engine::cutoffHz(0.6, rate), 4.0}, Case{0.34, 0.04, 8000.0, 0.0}}) {
    cc::Engine e = filterOnly(rate, c.cutoff, c.resonance);
    const std::size_t n = 96000;
    std::vector<float> l =
        c.freq > 0.0 ? dsptest::sine(n, c.freq, rate, 0.1) : std::vector<float>(n, 0.1f);
    const std::vector<float> in = l;
    std::vector<float> r = l;
    e.process(l.data(), r.data(), static_cast<int>(n));
    double inSq = 0.0;
    double outSq = 0.0;
    for (std::size_t i = n / 2; i < n; ++i) {
      inSq += static_cast<double>(in[i]) * in[i];
      outSq += static_cast<double>(l[i]) * l[i];
    }
    const double ratio = std::sqrt(outSq / inSq);
    if (c.gain > 0.0) {
      EXPECT_NEAR(ratio, c.gain, 2e-3 * c.gain) << c.cutoff << " " << c.freq;
    } else {
      EXPECT_LT(ratio, 0.05) << "a tone ten times the cut-off is well down";
    }
    EXPECT_EQ(l, r);
  }
}

// The leveller follows the peak with its 113.3/s rise, holds the level at 1.0 while it is above,
// and once the level drops lets the gain go back to unity in a straight line over 7.5 s.
TEST(Engine, LevellerPullsDownAndRecoversLinearlyOverSevenAndAHalfSeconds) {
  const double rate = 8000.0;
  cc::Engine e = filterOnly(rate, 0.34, 0.0);  // 798 Hz, Q 1: settles within a few ms
  std::vector<float> loud(4000, 2.0f);
  std::vector<float> loudR(loud);
  e.process(loud.data(), loudR.data(), 4000);
  EXPECT_NEAR(e.levelEnv, 2.0, 1e-6);
  EXPECT_NEAR(e.levelGain, 0.5, 1e-6);
  EXPECT_EQ(loud.back(), 0.9999f);  // 2.0 x 0.5, at the clamp
  const double step = (1.0 - e.levelGain) / (7.5 * rate);
  EXPECT_NEAR(e.levelGainStep, step, 1e-15);

  const int recovery = static_cast<int>(7.5 * rate);
  std::vector<float> quiet(static_cast<std::size_t>(recovery) + 800, 0.1f);
  std::vector<float> quietR(quiet);
  e.process(quiet.data(), quietR.data(), static_cast<int>(quiet.size()));
  for (const int k : {100, 8000, 24000, 56000, recovery - 1}) {
    const double expected = 0.1 * (0.5 + static_cast<double>(k + 1) * step);
    EXPECT_NEAR(quiet[static_cast<std::size_t>(k)], expected, 1e-6) << "frame " << k;
  }
  for (std::size_t k = static_cast<std::size_t>(recovery); k < quiet.size(); ++k) {
    ASSERT_NEAR(quiet[k], 0.1f, 1e-6) << "frame " << k;
  }
  EXPECT_EQ(e.levelGain, 1.0);
  EXPECT_NEAR(e.levelEnv, 0.1, 1e-6);
}

TEST(Engine, RateDependentConstantsAndFilterCutoff) {
  struct Case {
    double rate;
    double recovery;
  };
  for (const Case c : {Case{44100.0, 11.025}, Case{48000.0, 12.0}, Case{96000.0, 24.0}}) {
    cc::Engine e = voicedEngine(c.rate, 1.0, true);
    EXPECT_DOUBLE_EQ(e.recoverySamples, c.recovery);
    EXPECT_DOUBLE_EQ(e.envRise * c.rate, 20.8333333);
    EXPECT_DOUBLE_EQ(e.levelRecoverySamples, 7.5 * c.rate);
    EXPECT_DOUBLE_EQ(e.energyCoefSlow, 1.0 - std::exp(-1.0 / (1.5 * c.rate)));
  }
  EXPECT_NEAR(cc::Engine::cutoffHz(0.34, 48000.0), 798.2, 0.05);
  EXPECT_EQ(cc::Engine::cutoffHz(1.0, 48000.0), 16000.0);
  EXPECT_EQ(cc::Engine::cutoffHz(-0.5, 48000.0), 80.0);
  EXPECT_EQ(cc::Engine::cutoffHz(0.999, 22050.0), 0.499 * 22050.0);
}

// Instantaneous detector: one loud sample pulls the gain down at once, then it climbs back to g
// in a straight line and arrives within recoverySamples.
TEST(Engine, PeakDetectorRecoversLinearlyWithinRecoverySamples) {
  for (const double rate : {44100.0, 96000.0}) {
    cc::Engine e = voicedEngine(rate, 1.0, true);
    runConstant(e, 0.05f, 32);
    ASSERT_EQ(e.limGainNow, e.limGain);
    runConstant(e, 0.7f, 1);
    const double dipped = e.limGainNow;
    ASSERT_LT(dipped, e.limGain * 0.95);
    const double step = (e.limGain - dipped) / e.recoverySamples;
    const int frames = static_cast<int>(std::ceil(e.recoverySamples));
    for (int k = 1; k <= frames; ++k) {
      runConstant(e, 0.05f, 1);
      EXPECT_NEAR(e.limGainNow, std::min(e.limGain, dipped + k * step), 1e-12) << rate << " " << k;
    }
    EXPECT_EQ(e.limGainNow, e.limGain) << rate;
  }
}

// Slewed detector: a step from silence to 0.5 (0.93176 at the limiter) stays at the clamp while
// the envelope rises, leaves it at 44.4 ms and settles on 0.993707 at 44.7 ms, at any rate.
TEST(Engine, EnvelopeDetectorStepResponseIsRateIndependent) {
  for (const double rate : {44100.0, 96000.0}) {
    cc::Engine e = voicedEngine(rate, 1.0, false);
    runConstant(e, 0.0f, 100);
    const int n = static_cast<int>(0.06 * rate);
    const std::vector<float> out = runConstant(e, 0.5f, n);
    int leaveClamp = -1;
    int settle = -1;
    for (int i = 0; i < n; ++i) {
      if (leaveClamp < 0 && out[static_cast<std::size_t>(i)] < 0.9999f) leaveClamp = i;
      if (settle < 0 && std::fabs(out[static_cast<std::size_t>(i)] - 0.993707) < 5e-7) settle = i;
    }
    ASSERT_GE(leaveClamp, 0);
    ASSERT_GE(settle, 0);
    for (int i = 0; i < leaveClamp; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], 0.9999f) << i;
    for (int i = settle; i < n; ++i) ASSERT_NEAR(out[static_cast<std::size_t>(i)], 0.993707, 5e-7);
    EXPECT_NEAR(leaveClamp / rate * 1000.0, 44.4, 0.05) << rate;
    EXPECT_NEAR(settle / rate * 1000.0, 44.7, 0.05) << rate;
  }
}

TEST(Engine, MixZeroPassesInputAndFullScaleSineStaysBelowCeiling) {
  const std::vector<float> in = dsptest::sine(4096, 997.0, 48000.0, 1.0);
  cc::Engine dryEngine = voicedEngine(48000.0, 0.0, true);
  cc::Engine wetEngine = voicedEngine(48000.0, 1.0, false);
  std::vector<float> l = in;
  std::vector<float> r = in;
  dryEngine.process(l.data(), r.data(), 4096);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const float expected = std::fmin(std::fmax(in[i], -0.9999f), 0.9999f);
    ASSERT_EQ(l[i], expected) << i;
  }
  l = in;
  r = in;
  wetEngine.process(l.data(), r.data(), 4096);
  for (const float y : l) ASSERT_LE(std::fabs(y), 0.9999f);
}

TEST(Engine, OutputAtOrBelowZeroIsSilence) {
  for (const double level : {0.0, -0.5}) {
    cc::Engine e = voicedEngine(48000.0, 1.0, true);
    e.output = level;
    e.snapParams();
    std::vector<float> l = dsptest::noise(512, 3);
    std::vector<float> r = dsptest::noise(512, 4);
    e.process(l.data(), r.data(), 512);
    for (std::size_t i = 0; i < l.size(); ++i) {
      ASSERT_EQ(l[i], 0.0f) << level;
      ASSERT_EQ(r[i], 0.0f) << level;
    }
  }
}

// A sample that is not a finite number is silence to the engine: the output, and every field
// after the block, are those of the same input with 0.0 in its place, on either channel, at the
// start, in the middle or at the end of a block, alone or in a run, through the settled loop
// (both detectors, mix still or ramping) and the general one (filter on).
struct NonFiniteCase {
  const char* what;
  std::vector<int> left;   // frames whose left sample is replaced
  std::vector<int> right;  // and right
  float value;
};

TEST(Engine, NonFiniteInputIsSilenceAndLeavesNoTrace) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const NonFiniteCase cases[] = {
      {"NaN, left, first frame", {0}, {}, nan},
      {"NaN, right, mid-block", {}, {37}, nan},
      {"NaN, both channels, last frame", {99}, {99}, nan},
      {"negative NaN, left", {5}, {}, -nan},
      {"+inf, left", {10}, {}, inf},
      {"-inf, right", {}, {10}, -inf},
      {"+inf left beside -inf right", {20}, {20}, inf},
      {"a run of NaN across a stage boundary", {28, 29, 30, 31, 32, 33, 34}, {31, 32}, nan},
  };
  struct Path {
    const char* what;
    bool phantom;
    bool filter;
    bool mixRamp;
  };
  const Path paths[] = {{"settled, peak detector", true, false, false},
                        {"settled, envelope", false, false, false},
                        {"settled, mix ramping", true, false, true},
                        {"general loop (filter on)", true, true, false}};
  for (const Path& path : paths) {
    for (const NonFiniteCase& c : cases) {
      cc::Engine bad = voicedEngine(48000.0, 0.6, path.phantom);
      if (path.filter) {
        bad.filterOn = 1.0;
        bad.prepare(48000.0);
      }
      if (path.mixRamp) dsptest::changeGain(bad, 1.0, 48000.0);
      runConstant(bad, 0.3f, 100);  // some state for the bad sample to disturb
      cc::Engine zeroed = bad;

      std::vector<float> l = dsptest::noise(100, 21, 0.9f);
      std::vector<float> r = dsptest::noise(100, 22, 0.9f);
      std::vector<float> lZero = l;
      std::vector<float> rZero = r;
      for (const int i : c.left) {
        l[static_cast<std::size_t>(i)] = c.value;
        lZero[static_cast<std::size_t>(i)] = 0.0f;
      }
      for (const int i : c.right) {
        r[static_cast<std::size_t>(i)] = c.value;
        rZero[static_cast<std::size_t>(i)] = 0.0f;
      }
      bad.process(l.data(), r.data(), 100);
      zeroed.process(lZero.data(), rZero.data(), 100);
      ASSERT_EQ(l, lZero) << path.what << ": " << c.what;
      ASSERT_EQ(r, rZero) << path.what << ": " << c.what;
      ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(bad), dsptest::engineFields(zeroed)),
                "")
          << path.what << ": " << c.what;

      // And the next block goes on as after a zero.
      std::vector<float> next = dsptest::noise(64, 23, 0.9f);
      std::vector<float> nextZero = next;
      std::vector<float> nextR = next;
      std::vector<float> nextRZero = next;
      bad.process(next.data(), nextR.data(), 64);
      zeroed.process(nextZero.data(), nextRZero.data(), 64);
      ASSERT_EQ(next, nextZero) << path.what << ": " << c.what;
    }
  }
}

// n < 1 and `enabled` off leave the buffers and every field exactly as they were.
TEST(Engine, NothingMovesWhenDisabledOrEmpty) {
  struct Case {
    const char* what;
    double enabled;
    int n;
  };
  for (const Case c : {Case{"n = 0", 1.0, 0}, Case{"n < 0", 1.0, -5}, Case{"disabled", 0.0, 64},
                       Case{"enabled below 0.5", 0.49, 64}}) {
    cc::Engine e = voicedEngine(48000.0, 0.5, true);
    std::vector<float> warmL = dsptest::noise(300, 5);
    std::vector<float> warmR = dsptest::noise(300, 6);
    e.process(warmL.data(), warmR.data(), 300);
    e.enabled = c.enabled;
    e.mixSm.target = 1.0;
    e.mixSm.step = 0.001;
    const dsptest::FieldDump before = dsptest::engineFields(e);
    std::vector<float> l = dsptest::noise(64, 7);
    std::vector<float> r = dsptest::noise(64, 8);
    const std::vector<float> l0 = l;
    const std::vector<float> r0 = r;
    e.process(l.data(), r.data(), c.n);
    EXPECT_EQ(l, l0) << c.what;
    EXPECT_EQ(r, r0) << c.what;
    EXPECT_EQ(dsptest::differingFields(dsptest::engineFields(e), before), "") << c.what;
  }
}

// Filter coefficients follow a moving cut-off at frames 0, 16, 32... of each call.
TEST(Engine, CoefficientCheckRestartsAtEveryCall) {
  cc::Engine e = voicedEngine(48000.0, 1.0, true);
  e.filterOn = 1.0;
  e.cutoffSm.target = 0.9;
  e.cutoffSm.step = 1e-4;
  std::vector<float> l(20, 0.1f);
  std::vector<float> r(l);

  // One call of 20 frames: the last check was at frame 16 (the 17th step of the ramp).
  const double start = e.cutoffSm.current;
  e.process(l.data(), r.data(), 20);
  EXPECT_NEAR(e.lastCutoff, start + 17 * 1e-4, 1e-12);

  // Calls of 5 frames: each one checks at its own frame 0.
  for (int call = 0; call < 3; ++call) {
    const double before = e.cutoffSm.current;
    e.process(l.data(), r.data(), 5);
    EXPECT_NEAR(e.lastCutoff, before + 1e-4, 1e-12) << call;
  }
  const cc::Engine::LowpassCoefs coefs = e.lpCoefL;
  e.setLowpass(e.lastCutoff, e.lastResonance);
  EXPECT_EQ(coefs.b0, e.lpCoefL.b0);
  EXPECT_EQ(coefs.a1, e.lpCoefL.a1);
}

TEST(Engine, SmoothedRampSnapsAtItsTarget) {
  struct Case {
    double from;
    double to;
    double step;
    int framesToArrive;
  };
  for (const Case c : {Case{0.0, 1.0, 0.3, 4}, Case{1.0, 0.0, -0.3, 4}, Case{0.5, 0.5, 0.1, 0},
                       Case{0.2, 0.7, 0.0, -1}}) {
    cc::Engine::Smoothed s{c.from, c.to, c.step};
    int arrived = -1;
    for (int k = 0; k < 10; ++k) {
      if (s.current == c.to && arrived < 0) arrived = k;
      s.tick();
      ASSERT_TRUE(c.step >= 0.0 ? s.current <= c.to : s.current >= c.to);
    }
    EXPECT_EQ(arrived, c.framesToArrive) << c.from << " -> " << c.to;
  }
}

// Gain compensation: off keeps makeup at exactly 1 whatever the fast count does; on, it brings
// a quieter output back towards the input's level.
TEST(Engine, FastCountOnlyChangesTheCompensationTimeConstants) {
  cc::Engine slow = voicedEngine(48000.0, 1.0, true);
  cc::Engine fast = voicedEngine(48000.0, 1.0, true);
  fast.fastCount = 1000;
  std::vector<float> l1 = dsptest::noise(2048, 9);
  std::vector<float> r1 = dsptest::noise(2048, 10);
  std::vector<float> l2 = l1;
  std::vector<float> r2 = r1;
  slow.process(l1.data(), r1.data(), 2048);
  fast.process(l2.data(), r2.data(), 2048);
  EXPECT_EQ(l1, l2);
  EXPECT_EQ(r1, r2);
  EXPECT_EQ(slow.makeup, 1.0);
  EXPECT_EQ(fast.makeup, 1.0);
  EXPECT_EQ(fast.fastCount, 0);
  EXPECT_GT(fast.inEnergy, slow.inEnergy);  // the 0.4 s follower has moved further

  cc::Engine comp = voicedEngine(48000.0, 1.0, true);
  comp.autoGain = true;
  comp.output = 0.5;
  comp.snapParams();
  comp.fastCount = 48000;
  std::vector<float> l = dsptest::noise(48000, 11, 0.1f);
  std::vector<float> r = dsptest::noise(48000, 12, 0.1f);
  comp.process(l.data(), r.data(), 48000);
  EXPECT_GT(comp.makeup, 1.5);
  EXPECT_LE(comp.makeup, 16.0);
}

TEST(Engine, PrepareRefusesUnusableRates) {
  for (const double rate : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()}) {
    cc::Engine e = voicedEngine(48000.0, 1.0, true);
    const dsptest::FieldDump before = dsptest::engineFields(e);
    EXPECT_FALSE(e.prepare(rate)) << rate;
    EXPECT_EQ(dsptest::differingFields(dsptest::engineFields(e), before), "") << rate;
  }
  cc::Engine e;
  EXPECT_TRUE(e.prepare(8000.0));
  EXPECT_EQ(e.sampleRate, 8000.0);
}

}  // namespace
