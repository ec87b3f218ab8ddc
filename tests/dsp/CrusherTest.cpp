// tovrasat::Crusher: voicing, parameter intake, runs, bypass, trim, metering and the NaN mend.
#include "dsp/Crusher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "tests/dsp/DspFixtures.h"

namespace {

struct Stereo {
  std::vector<float> l;
  std::vector<float> r;
};

Stereo stereoNoise(std::size_t n, unsigned seed) {
  return {dsptest::noise(n, seed), dsptest::noise(n, seed + 1000)};
}

// Processes `in` from `offset` for n frames in one call and returns the output.
Stereo run(tovrasat::Crusher& c, const Stereo& in, std::size_t offset, int n) {
  Stereo out{std::vector<float>(static_cast<std::size_t>(n)),
             std::vector<float>(static_cast<std::size_t>(n))};
  const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
  float* outs[2] = {out.l.data(), out.r.data()};
  c.process(ins, outs, n);
  return out;
}

std::unique_ptr<tovrasat::Crusher> prepared(double rate, float gain, float trimDb, bool phantom,
                                            bool bypass) {
  auto c = std::make_unique<tovrasat::Crusher>();
  c->setParams(gain, trimDb, phantom, bypass);
  c->prepare(rate);
  return c;
}

TEST(Crusher, PrepareGivesTheEngineItsVoicingAndSnapsEverything) {
  auto c = prepared(48000.0, 0.24f, -6.0f, true, true);
  const cc::Engine& e = c->engine;
  EXPECT_EQ(e.shaperOn, 1.0);
  EXPECT_EQ(e.kneeDrive, 0.09);
  EXPECT_EQ(e.clipDrive, 0.05);
  EXPECT_EQ(e.filterOn, 0.0);
  EXPECT_EQ(e.cutoff, 0.34);
  EXPECT_EQ(e.resonance, 0.04);
  EXPECT_EQ(e.limiterOn, 1.0);
  EXPECT_EQ(e.limiterDrive, 0.08);
  EXPECT_EQ(e.enabled, 1.0);
  EXPECT_EQ(e.output, 1.0);
  EXPECT_FALSE(e.autoGain);
  EXPECT_EQ(e.phantom, 1.0);
  EXPECT_EQ(e.mix, static_cast<double>(0.24f));
  EXPECT_EQ(e.mixSm.current, e.mix);
  EXPECT_EQ(e.mixSm.step, 0.0);
  EXPECT_EQ(e.sampleRate, 48000.0);
  EXPECT_EQ(e.fastCount, 0);
  EXPECT_EQ(c->bypassMix, 1.0);
  EXPECT_DOUBLE_EQ(c->trimGain, std::pow(10.0, -6.0 * 0.05));
  EXPECT_DOUBLE_EQ(c->bypassCoef, 1.0 - std::exp(-1.0 / (48000.0 * 0.012)));
  EXPECT_DOUBLE_EQ(c->trimCoef, 1.0 - std::exp(-1.0 / (48000.0 * 0.025)));

  // A second prepare clears the engine's memories but leaves the meter readings alone.
  const Stereo in = stereoNoise(1024, 1);
  c->setParams(0.24f, -6.0f, false, false);
  run(*c, in, 0, 1024);
  c->peak.store(0.5f);
  c->clip.store(true);
  ASSERT_TRUE(c->prepare(44100.0));
  EXPECT_EQ(c->engine.limEnv, 0.0);
  EXPECT_EQ(c->engine.limGainNow, 1e30);
  EXPECT_EQ(c->engine.lastDrive, -1.0);
  EXPECT_EQ(c->engine.inEnergy, 0.0);
  EXPECT_EQ(c->bypassMix, 0.0);
  EXPECT_EQ(c->peak.load(), 0.5f);
  EXPECT_TRUE(c->clip.load());
  EXPECT_FALSE(c->prepare(0.0));
  EXPECT_EQ(c->sampleRate, 44100.0);
}

// A Gain change starts a 10 ms ramp of the mix and 2.5 s of fast compensation; the same Gain
// handed in again starts nothing.
TEST(Crusher, GainChangeRampsTheMixOnce) {
  for (const double rate : {44100.0, 48000.0, 96000.0}) {
    auto c = prepared(rate, 0.24f, 0.0f, true, false);
    c->setParams(0.5f, 0.0f, true, false);
    cc::Engine& e = c->engine;
    EXPECT_EQ(e.mix, 0.5);
    EXPECT_EQ(e.fastCount, static_cast<std::int64_t>(2.5 * rate));
    EXPECT_EQ(e.mixSm.target, 0.5);
    EXPECT_DOUBLE_EQ(e.mixSm.step, (0.5 - static_cast<double>(0.24f)) / (rate * 0.01));

    const Stereo in = stereoNoise(4096, 2);
    int frames = 0;
    while (e.mixSm.current != 0.5 && frames < 4096) {
      run(*c, in, static_cast<std::size_t>(frames), 1);
      ++frames;
    }
    EXPECT_NEAR(frames, 0.01 * rate, 1.0) << rate;
    EXPECT_EQ(e.fastCount, static_cast<std::int64_t>(2.5 * rate) - frames);

    const double stepBefore = e.mixSm.step;
    c->setParams(0.5f, 0.0f, true, false);
    EXPECT_EQ(e.fastCount, static_cast<std::int64_t>(2.5 * rate) - frames) << rate;
    EXPECT_EQ(e.mixSm.step, stepBefore);
    EXPECT_EQ(e.mixSm.current, 0.5);
  }
}

// 48V switches the detector from the first frame of the next block, with no ramp of anything.
TEST(Crusher, PhantomChangeSwitchesDetectorAtOnce) {
  auto c = prepared(48000.0, 1.0f, 0.0f, true, false);
  const Stereo loud{std::vector<float>(64, 0.6f), std::vector<float>(64, 0.6f)};
  run(*c, loud, 0, 64);
  cc::Engine& e = c->engine;
  ASSERT_EQ(e.limEnv, 0.0);
  const double gainNow = e.limGainNow;

  c->setParams(1.0f, 0.0f, false, false);
  EXPECT_EQ(e.phantom, 0.0);
  EXPECT_EQ(e.fastCount, static_cast<std::int64_t>(2.5 * 48000.0));
  EXPECT_EQ(e.mixSm.step, 0.0);
  run(*c, loud, 0, 1);
  EXPECT_GT(e.limEnv, 0.0);
  EXPECT_EQ(e.limGainNow, gainNow);

  e.fastCount = 7;
  c->setParams(1.0f, 0.0f, false, false);
  EXPECT_EQ(e.fastCount, 7);  // no change, no reset
  c->setParams(1.0f, 0.0f, true, false);
  EXPECT_EQ(e.phantom, 1.0);
  EXPECT_EQ(e.fastCount, static_cast<std::int64_t>(2.5 * 48000.0));
}

// 600 frames in one call (runs of 256, 256, 88) and in calls of 64 give the same samples.
TEST(Crusher, BlockSizeDoesNotChangeTheResult) {
  const Stereo in = stereoNoise(600, 3);
  auto whole = prepared(44100.0, 0.7f, -3.0f, false, false);
  auto pieces = prepared(44100.0, 0.7f, -3.0f, false, false);
  whole->setParams(0.4f, -3.0f, false, false);  // a ramp in flight across the run borders
  pieces->setParams(0.4f, -3.0f, false, false);
  const Stereo a = run(*whole, in, 0, 600);
  Stereo b{{}, {}};
  for (std::size_t offset = 0; offset < 600; offset += 64) {
    const int n = static_cast<int>(std::min<std::size_t>(64, 600 - offset));
    const Stereo part = run(*pieces, in, offset, n);
    b.l.insert(b.l.end(), part.l.begin(), part.l.end());
    b.r.insert(b.r.end(), part.r.begin(), part.r.end());
  }
  EXPECT_EQ(a.l, b.l);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(whole->peak.load(), pieces->peak.load());
  EXPECT_EQ(dsptest::differingFields(dsptest::engineFields(whole->engine),
                                     dsptest::engineFields(pieces->engine)),
            "");
}

TEST(Crusher, InPlaceProcessingMatchesSeparateBuffers) {
  const Stereo in = stereoNoise(700, 4);
  auto a = prepared(48000.0, 0.5f, 0.0f, true, false);
  auto b = prepared(48000.0, 0.5f, 0.0f, true, false);
  a->setParams(0.5f, 0.0f, true, true);  // mid-fade: both dry and wet are read
  b->setParams(0.5f, 0.0f, true, true);
  const Stereo expected = run(*a, in, 0, 700);
  Stereo buf = in;
  const float* ins[2] = {buf.l.data(), buf.r.data()};
  float* outs[2] = {buf.l.data(), buf.r.data()};
  b->process(ins, outs, 700);
  EXPECT_EQ(buf.l, expected.l);
  EXPECT_EQ(buf.r, expected.r);
}

// Bypass fades to exactly the dry input after about 166 ms (12 ms one-pole, snapped within
// 1e-6), and back to exactly the processed signal of a chain that was never bypassed.
TEST(Crusher, BypassFadeEndsExactlyOnDryThenOnWet) {
  const double rate = 48000.0;
  const std::size_t n = 40000;
  const Stereo in{dsptest::sine(n, 220.0, rate, 0.6), dsptest::sine(n, 330.0, rate, 0.5)};
  auto c = prepared(rate, 0.8f, -2.0f, true, false);
  auto never = prepared(rate, 0.8f, -2.0f, true, false);
  const Stereo ref = run(*never, in, 0, static_cast<int>(n));

  const auto fade = [&](std::size_t from, bool bypass, const Stereo& target) -> std::size_t {
    c->setParams(0.8f, -2.0f, true, bypass);
    std::size_t i = from;
    for (; i < n; ++i) {
      const Stereo out = run(*c, in, i, 1);
      if (c->bypassMix == (bypass ? 1.0 : 0.0)) {
        EXPECT_EQ(out.l[0], target.l[i]);
        EXPECT_EQ(out.r[0], target.r[i]);
        break;
      }
      EXPECT_NE(out.l[0], target.l[i]) << i;
    }
    EXPECT_NEAR(static_cast<double>(i + 1 - from) / rate * 1000.0, 12.0 * std::log(1e6), 0.1);
    // From here on the output is exactly the target signal.
    const Stereo rest = run(*c, in, i + 1, 2000);
    std::size_t differing = 0;
    for (std::size_t k = 0; k < 2000; ++k) {
      if (rest.l[k] != target.l[i + 1 + k] || rest.r[k] != target.r[i + 1 + k]) ++differing;
    }
    EXPECT_EQ(differing, 0u);
    return i + 2001;
  };
  run(*c, in, 0, 1000);
  const std::size_t afterOn = fade(1000, true, in);
  fade(afterOn, false, ref);
}

// Trim -24 dB: its gain glides with a 25 ms one-pole; the meter follows it, the clip indicator
// keeps reporting the engine at its ceiling. +12 dB on a moderate signal: meter above full
// scale, no clip.
TEST(Crusher, TrimGlidesAndClipIgnoresIt) {
  const double rate = 48000.0;
  const Stereo loud{dsptest::sine(48000, 100.0, rate, 0.95),
                    dsptest::sine(48000, 100.0, rate, 0.95)};
  auto c = prepared(rate, 1.0f, 0.0f, true, false);
  run(*c, loud, 0, 4800);
  EXPECT_GT(c->peak.exchange(0.0f), 0.999f);
  EXPECT_TRUE(c->clip.exchange(false));

  c->setParams(1.0f, -24.0f, true, false);
  const double target = std::pow(10.0, -24.0 * 0.05);
  const double keep = 1.0 - c->trimCoef;
  float lastPeak = 1.0f;
  for (int block = 0; block < 20; ++block) {
    const std::size_t offset = 4800 + static_cast<std::size_t>(block) * 480;
    const double trimAtStart = c->trimGain;
    run(*c, loud, offset, 480);  // 10 ms, five periods of the sine: the engine reaches its ceiling
    const int frames = (block + 1) * 480;
    EXPECT_NEAR(c->trimGain, target + (1.0 - target) * std::pow(keep, frames), 1e-9) << block;
    const float peak = c->peak.exchange(0.0f);
    EXPECT_LT(peak, lastPeak) << block;
    EXPECT_LE(peak, 0.9999 * trimAtStart + 1e-6) << block;
    EXPECT_TRUE(c->clip.exchange(false)) << block;
    lastPeak = peak;
  }
  // After 25 ms the glide has covered 1 - 1/e of the way.
  auto d = prepared(rate, 1.0f, 0.0f, true, false);
  d->setParams(1.0f, -24.0f, true, false);
  run(*d, loud, 0, 1200);
  EXPECT_NEAR((1.0 - d->trimGain) / (1.0 - target), 1.0 - std::exp(-1.0), 1e-4);

  const Stereo moderate{dsptest::sine(4800, 100.0, rate, 0.15),
                        dsptest::sine(4800, 100.0, rate, 0.15)};
  auto boosted = prepared(rate, 1.0f, 12.0f, true, false);
  run(*boosted, moderate, 0, 4800);
  EXPECT_GT(boosted->peak.load(), 1.0f);
  EXPECT_FALSE(boosted->clip.load());
}

// Bypassed, the meter still shows the processed (trimmed) level and the clip lamp still lights.
TEST(Crusher, MeterWatchesTheProcessedSignalWhileBypassed) {
  const double rate = 48000.0;
  const Stereo loud{dsptest::sine(4800, 100.0, rate, 0.95), dsptest::sine(4800, 100.0, rate, 0.95)};
  auto c = prepared(rate, 1.0f, -6.0f, false, true);
  const Stereo out = run(*c, loud, 0, 4800);
  EXPECT_EQ(out.l, loud.l);
  EXPECT_NEAR(c->peak.load(), 0.9999 * std::pow(10.0, -6.0 * 0.05), 1e-3);
  EXPECT_TRUE(c->clip.load());
}

// The peak only rises between reads, and a quieter block after a read is reported again.
TEST(Crusher, PeakRisesBetweenReadsOnly) {
  auto c = prepared(48000.0, 0.0f, 0.0f, true, false);
  const Stereo loud{std::vector<float>(64, 0.5f), std::vector<float>(64, -0.5f)};
  const Stereo quiet{std::vector<float>(64, 0.1f), std::vector<float>(64, 0.05f)};
  run(*c, loud, 0, 64);
  run(*c, quiet, 0, 64);
  EXPECT_EQ(c->peak.exchange(0.0f), 0.5f);
  run(*c, quiet, 0, 64);
  EXPECT_EQ(c->peak.load(), 0.1f);
  EXPECT_FALSE(c->clip.load());
}

// Two readers, each with its own readings: one taking them leaves the other's whole, in either
// order, and each sees a block that came after its own last read.
TEST(Crusher, RenderReadingsAndSharedReadingsAreTakenApart) {
  const double rate = 48000.0;
  auto c = prepared(rate, 1.0f, 0.0f, true, false);
  const Stereo loud{dsptest::sine(4800, 100.0, rate, 0.95), dsptest::sine(4800, 100.0, rate, 0.95)};
  const Stereo quiet{std::vector<float>(64, 0.1f), std::vector<float>(64, 0.05f)};
  run(*c, loud, 0, 4800);
  float peak = 0.0f;
  bool clipped = false;
  c->takeRenderReadings(peak, clipped);
  EXPECT_GT(peak, 0.99f);
  EXPECT_TRUE(clipped);
  EXPECT_EQ(c->peak.exchange(0.0f), peak);  // the shared ones are still there
  EXPECT_TRUE(c->clip.exchange(false));

  run(*c, quiet, 0, 64);
  EXPECT_GT(c->peak.exchange(0.0f), 0.0f);
  c->takeRenderReadings(peak, clipped);  // and the other way round
  EXPECT_GT(peak, 0.0f);
  EXPECT_LT(peak, 0.5f);
  EXPECT_FALSE(clipped);
  c->takeRenderReadings(peak, clipped);  // taken means cleared
  EXPECT_EQ(peak, 0.0f);
  EXPECT_FALSE(clipped);
}

// The engine reads a NaN or infinite input as silence, and at bypassMix 0 the output is the wet
// sample itself, so it does not come back through dry × 0. Bypassed, the dry input passes as is.
TEST(Crusher, NanOrInfiniteInputDoesNotReachTheOutputUnlessBypassed) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  auto c = prepared(44100.0, 0.24f, 0.0f, true, false);
  const Stereo in{{0.1f, nan, inf, -inf, 0.1f}, {0.1f, nan, 0.1f, nan, 0.1f}};
  const Stereo out = run(*c, in, 0, 5);
  EXPECT_EQ(out.l[1], 0.0f);
  EXPECT_EQ(out.r[1], 0.0f);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(std::isfinite(out.l[i])) << i;
    EXPECT_TRUE(std::isfinite(out.r[i])) << i;
    EXPECT_LE(std::fabs(out.l[i]), 0.9999f) << i;
  }
  EXPECT_NEAR(out.l[4], 0.135427, 5e-7);
  EXPECT_TRUE(std::isfinite(c->peak.load()));

  auto bypassed = prepared(44100.0, 0.24f, 0.0f, true, true);
  const Stereo passed = run(*bypassed, in, 0, 5);
  EXPECT_TRUE(std::isnan(passed.l[1]));
  EXPECT_EQ(passed.l[2], inf);
}

// Both entry points, settled and while the trim still glides: a NaN, an infinity, or a double
// too large for a float (it narrows to infinity) gives the output of a zero in its place.
TEST(Crusher, NonFiniteInputGivesTheOutputOfSilenceThroughFloatAndDoubleChannels) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const float trimDb : {0.0f, -6.0f}) {
    for (const bool doubles : {false, true}) {
      auto bad = prepared(48000.0, 1.0f, 0.0f, true, false);
      auto zeroed = prepared(48000.0, 1.0f, 0.0f, true, false);
      bad->setParams(1.0f, trimDb, true, false);  // -6 dB: the trim glides through the block
      zeroed->setParams(1.0f, trimDb, true, false);
      const Stereo noise = stereoNoise(300, 31);
      std::vector<double> l(noise.l.begin(), noise.l.end());
      std::vector<double> r(noise.r.begin(), noise.r.end());
      std::vector<double> lZero = l;
      std::vector<double> rZero = r;
      for (const auto& [at, value] : {std::pair{3, nan}, std::pair{150, inf}, std::pair{299, -inf},
                                      std::pair{200, doubles ? 1e300 : -inf}}) {
        l[at] = value;
        r[299 - at] = -value;
        lZero[at] = 0.0;
        rZero[299 - at] = 0.0;
      }
      std::vector<double> out[2] = {std::vector<double>(300), std::vector<double>(300)};
      std::vector<double> outZero[2] = {std::vector<double>(300), std::vector<double>(300)};
      const auto process = [doubles](tovrasat::Crusher& c, const std::vector<double>& inL,
                                     const std::vector<double>& inR, std::vector<double>* o) {
        if (doubles) {
          const double* ins[2] = {inL.data(), inR.data()};
          double* outs[2] = {o[0].data(), o[1].data()};
          c.process(ins, outs, 300);
          return;
        }
        std::vector<float> fl(inL.begin(), inL.end());
        std::vector<float> fr(inR.begin(), inR.end());
        std::vector<float> ol(300);
        std::vector<float> orr(300);
        const float* ins[2] = {fl.data(), fr.data()};
        float* outs[2] = {ol.data(), orr.data()};
        c.process(ins, outs, 300);
        o[0].assign(ol.begin(), ol.end());
        o[1].assign(orr.begin(), orr.end());
      };
      process(*bad, l, r, out);
      process(*zeroed, lZero, rZero, outZero);
      EXPECT_EQ(out[0], outZero[0]) << "trim " << trimDb << (doubles ? ", doubles" : ", floats");
      EXPECT_EQ(out[1], outZero[1]) << "trim " << trimDb << (doubles ? ", doubles" : ", floats");
      EXPECT_EQ(bad->peak.load(), zeroed->peak.load());
    }
  }
}

// Bad parameter values keep the previous ones, so the ramps never hold a NaN.
TEST(Crusher, NonFiniteParametersAreIgnored) {
  auto c = prepared(48000.0, 0.5f, -3.0f, true, false);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float gain;
    float trim;
  };
  for (const Case bad :
       {Case{nan, -3.0f}, Case{inf, -3.0f}, Case{0.5f, nan}, Case{0.5f, inf}, Case{0.5f, 1e30f}}) {
    c->setParams(bad.gain, bad.trim, true, false);
    EXPECT_EQ(c->gain, 0.5f);
    EXPECT_EQ(c->trimDb, -3.0f);
    EXPECT_EQ(c->engine.mixSm.step, 0.0);
    EXPECT_EQ(c->engine.fastCount, 0);
  }
  const Stereo in = stereoNoise(256, 5);
  const Stereo out = run(*c, in, 0, 256);
  for (const float y : out.l) ASSERT_TRUE(std::isfinite(y));
}

TEST(Crusher, EmptyOrNullCallsWriteNothingAndPublishNothing) {
  auto c = prepared(48000.0, 1.0f, 0.0f, true, false);
  c->peak.store(0.25f);
  const std::vector<float> in(16, 0.9f);
  std::vector<float> outL(16, 7.0f);
  std::vector<float> outR(16, 7.0f);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  const float* nullIns[2] = {in.data(), nullptr};
  const dsptest::FieldDump before = dsptest::engineFields(c->engine);
  c->process(ins, outs, 0);
  c->process(ins, outs, -3);
  c->process(nullIns, outs, 16);
  c->process(nullptr, outs, 16);
  c->process(ins, nullptr, 16);
  EXPECT_EQ(outL, std::vector<float>(16, 7.0f));
  EXPECT_EQ(outR, std::vector<float>(16, 7.0f));
  EXPECT_EQ(c->peak.load(), 0.25f);
  EXPECT_FALSE(c->clip.load());
  EXPECT_EQ(dsptest::differingFields(dsptest::engineFields(c->engine), before), "");
}

}  // namespace
