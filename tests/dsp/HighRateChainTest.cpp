// HQ's single-precision high-rate chain against its definition computed frame by frame in double
// (the crusher's steps, with the knee and the clipper averaged through their antiderivatives and
// the envelope's crossings placed between frames): the same samples, meter readings and state,
// with every setting moving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/HighRateChain.h"
#include "dsp/OversampledCrusher.h"
#include "dsp/Oversampler.h"
#include "dsp/ScopedFlushDenormals.h"
#include "tests/dsp/TestSignals.h"

namespace {

constexpr int kFactor = tovrasat::OversampledCrusher::kFactor;
constexpr double kBaseRate = 48000.0;
constexpr int kBaseFrames = 24000;  // half a second: several Gain ramps, 48V and trim moves
constexpr int kBlock = 32;          // base-rate frames per block, as HQ runs them

enum Moves { kNone = 0, kGain = 1, kPhantom = 2, kTrim = 4, kAll = 7 };

struct Case {
  const char* name;
  dsptest::SignalKind kind;
  int moves;
};

struct Settings {
  float gain;
  float trimDb;
  bool phantom;
};

// The settings of block b: Gain ramps between 20 and 100 % (each ramp spans many blocks), 48V
// flips, the trim jumps between -12 and +6 dB (gliding over many blocks).
Settings settingsFor(int moves, int block) {
  Settings s{1.0f, 0.0f, true};
  if ((moves & kGain) != 0) s.gain = (block / 40) % 2 == 0 ? 1.0f : 0.2f;
  if ((moves & kPhantom) != 0) s.phantom = (block / 70) % 2 == 0;
  if ((moves & kTrim) != 0) s.trimDb = (block / 55) % 2 == 0 ? -12.0f : 6.0f;
  return s;
}

// One channel of the test signal taken to the high rate by HQ's own up filters.
std::vector<float> upsampled(const std::vector<float>& x) {
  auto up = std::make_unique<tovrasat::Oversampler>(tovrasat::OversampledCrusher::kStages);
  std::vector<float> high(x.size() * kFactor);
  for (std::size_t at = 0; at < x.size(); at += kBlock) {
    up->up(x.data() + at, high.data() + at * kFactor, kBlock);
  }
  return high;
}

// The chain's definition, frame by frame in double, on a crusher's parameters and state (its
// intake, `setParams`, is the one HQ uses): first-order antiderivative anti-aliasing of the knee
// and the clipper written the textbook way, (F(b) − F(a)) / (b − a), which double precision
// affords.
class StraightChain {
 public:
  explicit StraightChain(tovrasat::Crusher& crusher) : mCrusher(crusher) {}

  // The largest |sample| before the trim in the last call.
  double loudest() const { return mLoudest; }

  void process(float* left, float* right, int n, float& peak, bool& clip) {
    mLoudest = 0.0;
    cc::Engine& e = mCrusher.engine;
    const double k1 = 1.0 + 10.0 * e.kneeDrive;
    const double t1 = 0.75 / k1;
    const double k3 = 1.0 + 4.0 * e.clipDrive;
    const double t3 = 0.6 / k3;
    const auto knee = [&](double u) {
      const double a = std::fabs(u);
      const double y = a <= t1 ? k1 * a : 0.75 + 0.25 * (a - t1) / (1.0 - t1);
      return std::signbit(u) ? -y : y;
    };
    const auto kneeIntegral = [&](double u) {
      const double a = std::fabs(u);
      if (a <= t1) return 0.5 * k1 * a * a;
      const double v = a - t1;
      return 0.5 * k1 * t1 * t1 + 0.75 * v + 0.125 * v * v / (1.0 - t1);
    };
    const auto clipper = [&](double u) {
      const double a = std::fabs(u);
      const double r = (1.0 - a) / (1.0 - t3);
      const double y = a <= t3 ? k3 * a : 1.0 - 0.4 * r * r;
      return std::signbit(u) ? -y : y;
    };
    const auto clipperIntegral = [&](double u) {
      const double a = std::fabs(u);
      if (a <= t3) return 0.5 * k3 * a * a;
      const double s2 = 1.0 / ((1.0 - t3) * (1.0 - t3));
      return 0.5 * k3 * t3 * t3 + (a - t3) -
             0.4 * s2 * (std::pow(1.0 - t3, 3.0) - std::pow(1.0 - a, 3.0)) / 3.0;
    };
    const auto mean = [](auto f, auto integral, double a, double b) {
      return std::fabs(b - a) > 1e-6 ? (integral(b) - integral(a)) / (b - a) : f(0.5 * (a + b));
    };
    const bool peakDetector = e.phantom >= 0.5;
    const double trimTarget = std::pow(10.0, mCrusher.trimDb * 0.05);
    for (int i = 0; i < n; ++i) {
      double x[2] = {left[i], right[i]};
      double w[2];
      double dry[2];
      for (int ch = 0; ch < 2; ++ch) {
        if (!std::isfinite(x[ch])) x[ch] = 0.0;
        const double k = mean(knee, kneeIntegral, mX[ch], x[ch]);
        w[ch] = mean(clipper, clipperIntegral, mK[ch], k);
        dry[ch] = mX[ch];
        mX[ch] = x[ch];
        mK[ch] = k;
      }
      const double p = std::max(std::fabs(w[0]), std::fabs(w[1]));
      double gain;
      if (peakDetector) {
        const double target = e.limiterGainFor(p);
        e.limGainNow =
            target <= e.limGainNow ? target : std::min(target, e.limGainNow + e.limGainStep);
        if (e.limGainNow == target) e.limGainStep = (e.limGain - target) / e.recoverySamples;
        gain = e.limGainNow;
      } else {
        double step = 0.0;
        if (p > e.limEnv + e.envRise) {
          step = e.envRise;
          if (mLevel < e.limEnv) {
            const double above = (p - e.limEnv) / (p - mLevel);
            step = e.envRise * above - e.envFall * (1.0 - above);
          }
          e.limEnv += step;
        } else if (p < e.limEnv - e.envFall) {
          step = -e.envFall;
          if (mLevel > e.limEnv) {
            const double above = (mLevel - e.limEnv) / (mLevel - p);
            step = e.envRise * above - e.envFall * (1.0 - above);
          }
          e.limEnv += step;
        } else {
          e.limEnv = p;
        }
        gain = e.limiterGainFor(e.limEnv);
      }
      mLevel = p;
      e.mixSm.tick();
      mCrusher.trimGain += mCrusher.trimCoef * (trimTarget - mCrusher.trimGain);
      float* out[2] = {left + i, right + i};
      for (int ch = 0; ch < 2; ++ch) {
        const double o = dry[ch] + (w[ch] * gain - dry[ch]) * e.mixSm.current;
        const double clamped = std::min(std::max(o, -0.9999), 0.9999);
        const float trimmed = static_cast<float>(mCrusher.trimGain * clamped);
        peak = std::max(peak, std::fabs(trimmed));
        // As the crusher judges it: its float sample against 0.9998 in float.
        clip = clip || std::fabs(static_cast<float>(clamped)) >= 0.9998f;
        mLoudest = std::max(mLoudest, std::fabs(clamped));
        *out[ch] = trimmed;
      }
    }
  }

 private:
  tovrasat::Crusher& mCrusher;
  double mX[2] = {0.0, 0.0};
  double mK[2] = {0.0, 0.0};
  double mLevel = 0.0;
  double mLoudest = 0.0;
};

struct Difference {
  double worst = 0.0;
  double rms = 0.0;
};

// fast[i] against reference[i − delay], both channels.
Difference compare(const std::vector<float>& fastL, const std::vector<float>& fastR,
                   const std::vector<float>& refL, const std::vector<float>& refR,
                   std::size_t delay) {
  Difference d;
  double squares = 0.0;
  for (std::size_t i = delay; i < fastL.size(); ++i) {
    for (const double v :
         {double(fastL[i]) - double(refL[i - delay]), double(fastR[i]) - double(refR[i - delay])}) {
      d.worst = std::max(d.worst, std::fabs(v));
      squares += v * v;
    }
  }
  d.rms = std::sqrt(squares / (2.0 * double(fastL.size())));
  return d;
}

TEST(HighRateChain, MatchesItsDefinitionInDoubleWithEverySettingMoving) {
  const Case cases[] = {
      {"noise, settled", dsptest::SignalKind::kNoise, kNone},
      {"hot, settled", dsptest::SignalKind::kHot, kNone},
      {"noise, Gain automated", dsptest::SignalKind::kNoise, kGain},
      {"hot, 48V switched", dsptest::SignalKind::kHot, kPhantom},
      {"hot, trim automated", dsptest::SignalKind::kHot, kTrim},
      {"hot, all at once", dsptest::SignalKind::kHot, kAll},
      {"music, all at once", dsptest::SignalKind::kMusic, kAll},
  };
  // Both builds of the vector pass; calls of a whole block, and calls of lengths that are not a
  // multiple of the vector (padded, the limiter stopping mid-vector) cut out of each block.
  struct Build {
    bool avx2;
    bool uneven;
  };
  std::vector<Build> builds{{false, false}, {false, true}};
  if (tovrasat::HighRateChain::usesAvx2) builds.insert(builds.end(), {{true, false}, {true, true}});
  const bool savedBuild = tovrasat::HighRateChain::usesAvx2;
  const double highRate = kBaseRate * kFactor;
  for (std::size_t run = 0; run < builds.size() * std::size(cases); ++run) {
    const Build& build = builds[run / std::size(cases)];
    const Case& c = cases[run % std::size(cases)];
    SCOPED_TRACE(::testing::Message() << c.name << (build.avx2 ? ", AVX2" : ", baseline")
                                      << (build.uneven ? ", uneven calls" : ""));
    tovrasat::HighRateChain::usesAvx2 = build.avx2;
    const dsptest::StereoSignal in = dsptest::makeSignal(c.kind, kBaseFrames, kBaseRate);
    std::vector<float> fastL = upsampled(in.l);
    std::vector<float> fastR = upsampled(in.r);
    std::vector<float> refL = fastL;
    std::vector<float> refR = fastR;

    auto fastCrusher = std::make_unique<tovrasat::Crusher>();
    auto refCrusher = std::make_unique<tovrasat::Crusher>();
    auto chain = std::make_unique<tovrasat::HighRateChain>();
    StraightChain straight(*refCrusher);
    const Settings first = settingsFor(c.moves, 0);
    for (tovrasat::Crusher* crusher : {fastCrusher.get(), refCrusher.get()}) {
      crusher->setParams(first.gain, first.trimDb, first.phantom, false);
      ASSERT_TRUE(crusher->prepare(highRate));
    }
    refCrusher->engine.setLimiter(refCrusher->engine.driveSm.current);

    const tovrasat::ScopedFlushDenormals flush;
    const int n = kBlock * kFactor;
    double worstMeter = 0.0;
    int clipMismatches = 0;
    for (int b = 0; b < kBaseFrames / kBlock; ++b) {
      const Settings s = settingsFor(c.moves, b);
      fastCrusher->setParams(s.gain, s.trimDb, s.phantom, false);
      refCrusher->setParams(s.gain, s.trimDb, s.phantom, false);
      const std::size_t at = static_cast<std::size_t>(b) * static_cast<std::size_t>(n);
      if (build.uneven) {
        int done = 0;
        for (const int piece : {1, 7, 13, 100, n}) {
          const int frames = std::min(piece, n - done);
          chain->process(*fastCrusher, fastL.data() + at + done, fastR.data() + at + done, frames);
          done += frames;
        }
      } else {
        chain->process(*fastCrusher, fastL.data() + at, fastR.data() + at, n);
      }
      float refPeak = 0.0f;
      bool refClip = false;
      straight.process(refL.data() + at, refR.data() + at, n, refPeak, refClip);

      float fastPeak = 0.0f;
      bool fastClip = false;
      fastCrusher->takeRenderReadings(fastPeak, fastClip);
      worstMeter = std::max(worstMeter, std::fabs(double(fastPeak) - double(refPeak)));
      // The lamp may only disagree where the loudest sample sits on its threshold, within the
      // float chain's rounding.
      if (fastClip != refClip && std::fabs(straight.loudest() - 0.9998) > 1e-6) ++clipMismatches;
    }

    const Difference d = compare(fastL, fastR, refL, refR, 0);
    // Single precision against double: a few units in the sixth digit. A wrong curve, ramp or
    // time constant shows as differences of whole percent.
    EXPECT_LT(d.rms, 1e-5);
    EXPECT_LT(d.worst, 3e-4);
    EXPECT_LT(worstMeter, 1e-4);
    EXPECT_EQ(clipMismatches, 0);

    // The state the two leave behind: ramps, limiter and trim.
    const cc::Engine& fastEngine = fastCrusher->engine;
    const cc::Engine& refEngine = refCrusher->engine;
    EXPECT_NEAR(fastEngine.mixSm.current, refEngine.mixSm.current, 1e-9);
    EXPECT_NEAR(fastCrusher->trimGain, refCrusher->trimGain, 1e-6);
    EXPECT_NEAR(fastEngine.limEnv, refEngine.limEnv, 1e-5);
    EXPECT_NEAR(fastEngine.limGainNow, refEngine.limGainNow, 1e-5);
  }
  tovrasat::HighRateChain::usesAvx2 = savedBuild;
}

}  // namespace
