// The true-peak limiter: where it sets the gain, how it follows bursts, and that it leaves steady
// tones under the ceiling with a constant gain.
#include "dsp/TruePeakLimiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tests/dsp/FrequencyAnalysis.h"
#include "tests/dsp/TruePeakTestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr int kLookahead = 22;
const double kCeiling = std::pow(10.0, tovrasat::TruePeakLimiter::kCeilingDb / 20.0);

struct Limited {
  std::vector<float> left;
  std::vector<float> right;
  std::vector<double> gains;  // the gain each output sample got
};

// Runs both channels through a limiter in blocks of 100 frames (in place).
Limited limit(std::vector<float> left, std::vector<float> right) {
  auto limiter = std::make_unique<tovrasat::TruePeakLimiter>(kLookahead);
  EXPECT_TRUE(limiter->prepare(kRate));
  Limited run{std::move(left), std::move(right), {}};
  for (std::size_t at = 0; at < run.left.size(); at += 100) {
    const int n = static_cast<int>(std::min<std::size_t>(100, run.left.size() - at));
    for (int i = 0; i < n; ++i) {
      limiter->process(run.left.data() + at + i, run.right.data() + at + i, 1);
      run.gains.push_back(limiter->gain());
    }
  }
  return run;
}

// A tone faded in over `fade` frames (a raised cosine).
std::vector<float> tone(std::size_t frames, double cyclesPerFrame, double phase, double amplitude,
                        std::size_t fade = 0) {
  std::vector<float> x(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const double in = i < fade ? 0.5 - 0.5 * std::cos(kPi * double(i) / double(fade)) : 1.0;
    x[i] = static_cast<float>(in * amplitude *
                              std::sin(2.0 * kPi * cyclesPerFrame * double(i) + phase));
  }
  return x;
}

// Steady tones (faded in, so that no onset needs more): after the first half second the gain
// is constant and takes the true peak to the ceiling (within the detector's accuracy), never
// above it; a tone under the ceiling passes
// bit for bit, later by the latency. The tone at a quarter of the rate on 45 degrees has every
// sample at 0.71 of its peak: only the points between samples show that it is over.
TEST(TruePeakLimiter, SteadyTonesGetAConstantGainThatMeetsTheCeiling) {
  struct Case {
    const char* name;
    double cyclesPerFrame;
    double phase;
    double amplitude;
  };
  const Case cases[] = {
      {"997 Hz over the ceiling", 997.0 / kRate, 0.0, 1.5},
      {"a quarter of the rate on 45 degrees", 0.25, 0.25 * kPi, 1.2},
      {"9973 Hz just over", 9973.0 / kRate, 0.3, 1.0},
      {"a left-only 50 Hz tone", 50.0 / kRate, 0.0, 2.0},
      {"997 Hz under the ceiling", 997.0 / kRate, 0.0, 0.9},
  };
  const std::size_t frames = 48000;
  const std::size_t settled = 24000;
  tovrasat::TruePeakLimiter probe(kLookahead);
  const auto latency = static_cast<std::size_t>(probe.latency());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> in = tone(frames, c.cyclesPerFrame, c.phase, c.amplitude, 960);
    const bool leftOnly = c.cyclesPerFrame < 0.002;
    const Limited run = limit(in, leftOnly ? std::vector<float>(frames, 0.0f) : in);
    const double inPeak = dsptest::truePeak(in, settled);
    const double expected = std::min(1.0, kCeiling / inPeak);
    double low = 2.0, high = 0.0;
    for (std::size_t i = settled; i < frames; ++i) {
      low = std::min(low, run.gains[i]);
      high = std::max(high, run.gains[i]);
    }
    EXPECT_EQ(low, high) << "the gain moves on a steady tone";
    EXPECT_NEAR(dsptest::db(low), dsptest::db(expected), 0.05);
    EXPECT_LE(dsptest::db(dsptest::truePeak(run.left, settled)), dsptest::db(kCeiling) + 0.01);
    if (expected == 1.0) {
      for (std::size_t i = latency; i < frames; ++i) ASSERT_EQ(run.left[i], in[i - latency]) << i;
    }
  }
}

// A loud burst out of silence (2 ms fades): the gain is down before its first sample leaves, so
// nothing goes over, not even at the onset; after the burst the gain holds for the hold time, then
// comes back, and reaches exactly 1 so that a quiet tone after it passes bit for bit.
TEST(TruePeakLimiter, BurstThenSilenceHoldsThenReleasesToExactlyOne) {
  const std::size_t frames = 150000;
  const std::size_t start = 1000;
  const std::size_t end = start + 4800;  // 0.1 s
  std::vector<float> in(frames, 0.0f);
  const std::vector<float> loud = tone(frames, 3001.0 / kRate, 0.7, 2.5);
  const std::size_t fade = 96;  // 2 ms
  const std::vector<float> quiet = tone(frames, 440.0 / kRate, 0.0, 0.5);
  for (std::size_t i = start; i < end; ++i) {
    const std::size_t edge = std::min(i - start, end - 1 - i);
    const double k = edge < fade ? 0.5 - 0.5 * std::cos(kPi * double(edge) / fade) : 1.0;
    in[i] = static_cast<float>(k * loud[i]);
  }
  const std::size_t quietFrom = 120000;
  for (std::size_t i = quietFrom; i < frames; ++i) in[i] = quiet[i];
  const Limited run = limit(in, in);
  tovrasat::TruePeakLimiter probe(kLookahead);
  const auto latency = static_cast<std::size_t>(probe.latency());

  std::vector<float> burstOut(run.left.begin(),
                              run.left.begin() + static_cast<long>(end + latency + 200));
  EXPECT_LE(dsptest::db(dsptest::truePeak(burstOut)), dsptest::db(kCeiling) + 0.02);
  const double held = run.gains[end + latency];
  EXPECT_LT(dsptest::db(held), -7.0);
  // The burst's last sample leaves at end − 1 + latency; the hold runs 50 ms from then.
  const std::size_t holdEnd = end + latency + static_cast<std::size_t>(0.05 * kRate);
  for (std::size_t i = end + latency; i < holdEnd - 100; ++i) ASSERT_EQ(run.gains[i], held) << i;
  EXPECT_GT(run.gains[holdEnd + 4800], held * 1.5) << "released within 100 ms after the hold";
  EXPECT_LT(run.gains[holdEnd + 4800], 1.0);
  EXPECT_EQ(run.gains[quietFrom], 1.0);
  for (std::size_t i = quietFrom + latency; i < frames; ++i) {
    ASSERT_EQ(run.left[i], in[i - latency]) << i;
  }
}

// Bad rates change nothing; the look-ahead is clamped to what the rings hold.
TEST(TruePeakLimiter, RejectsBadRatesAndClampsTheLookahead) {
  tovrasat::TruePeakLimiter limiter(kLookahead);
  EXPECT_FALSE(limiter.prepare(0.0));
  EXPECT_FALSE(limiter.prepare(-48000.0));
  EXPECT_FALSE(limiter.prepare(std::nan("")));
  EXPECT_FALSE(limiter.prepare(INFINITY));
  EXPECT_EQ(tovrasat::TruePeakLimiter(1000).latency(),
            tovrasat::TruePeakLimiter::kDetectorDelay + tovrasat::TruePeakLimiter::kMaxLookahead);
  EXPECT_EQ(tovrasat::TruePeakLimiter(-3).latency(),
            tovrasat::TruePeakLimiter::kDetectorDelay + 2 * tovrasat::TruePeakLimiter::kSpread + 2);
}

}  // namespace
