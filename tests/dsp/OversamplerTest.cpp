// The half-band oversampler and the oversampled crusher: stopband, passband, latency, bypass,
// the aliasing of the whole chain, and the real-time rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/OversampledCrusher.h"
#include "dsp/Oversampler.h"
#include "dsp/TruePeakLimiter.h"
#include "tests/dsp/DspFixtures.h"
#include "tests/dsp/FrequencyAnalysis.h"
#include "tests/dsp/TruePeakTestSupport.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> sine(int frames, double cyclesPerFrame, double amplitude) {
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    x[static_cast<std::size_t>(i)] =
        static_cast<float>(amplitude * std::sin(2.0 * kPi * cyclesPerFrame * i));
  }
  return x;
}

// Runs x through up and down of one oversampler in runs of `run` frames.
std::vector<float> roundTrip(tovrasat::Oversampler& o, const std::vector<float>& x, int run) {
  std::vector<float> high(static_cast<std::size_t>(run * o.factor()));
  std::vector<float> y(x.size());
  for (std::size_t offset = 0; offset < x.size(); offset += static_cast<std::size_t>(run)) {
    const int m =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(run), x.size() - offset));
    o.up(x.data() + offset, high.data(), m);
    o.down(high.data(), y.data() + offset, m);
  }
  return y;
}

// The delay in frames and the level of a tone at f cycles a frame in y against x, from the
// correlation of the settled part of each with a sine and a cosine.
struct ToneShift {
  double delay;
  double gain;
};
ToneShift shiftOf(const std::vector<float>& x, const std::vector<float>& y, double f) {
  const auto phasor = [f](const std::vector<float>& v) {
    double re = 0.0, im = 0.0;
    for (std::size_t i = 1000; i < v.size(); ++i) {
      re += v[i] * std::cos(2.0 * kPi * f * double(i));
      im += v[i] * std::sin(2.0 * kPi * f * double(i));
    }
    return std::make_pair(std::atan2(im, re), std::hypot(re, im));
  };
  const auto [phaseX, levelX] = phasor(x);
  const auto [phaseY, levelY] = phasor(y);
  double turn = (phaseY - phaseX) / (2.0 * kPi);
  turn -= std::floor(turn);
  return {turn / f, levelY / levelX};
}

// A tone in the passband comes back at its level at every factor and run length, and a low one
// later by the latency less what the first stage's pair delays it less than an impulse's peak.
TEST(Oversampler, PassbandTonesKeepTheirLevelAndLowOnesTheLatency) {
  const double lowDelay =
      0.5 * (tovrasat::HalfBandAllpass::upDelay() + tovrasat::HalfBandAllpass::downDelay());
  const double early = tovrasat::HalfBandAllpass::kPairPeakDelay - lowDelay;
  EXPECT_NEAR(early, 0.715, 0.01);
  for (int stages = 1; stages <= tovrasat::Oversampler::kMaxStages; ++stages) {
    for (const double f : {0.005, 0.1, 0.25, 0.38}) {
      for (const int run : {1, 7, 32}) {
        auto o = std::make_unique<tovrasat::Oversampler>(stages);
        const std::vector<float> x = sine(5000, f, 0.9);
        const ToneShift s = shiftOf(x, roundTrip(*o, x, run), f);
        EXPECT_NEAR(s.gain, 1.0, 1e-4)
            << stages << " stages, " << f << " of the rate, runs of " << run;
        if (f < 0.01) {
          // The padding is rounded to a sample of the highest rate.
          EXPECT_NEAR(s.delay, o->latency() - early, 0.5 / o->factor() + 0.002)
              << stages << " stages, runs of " << run;
        }
      }
    }
  }
}

// An impulse comes out at its peak exactly the latency later, at every factor and run length:
// the latency a host compensates is where the filters put a click.
TEST(Oversampler, ImpulsePeaksAtTheLatency) {
  for (int stages = 1; stages <= tovrasat::Oversampler::kMaxStages; ++stages) {
    for (const int run : {1, 7, 32}) {
      auto o = std::make_unique<tovrasat::Oversampler>(stages);
      std::vector<float> x(200, 0.0f);
      x[37] = 1.0f;
      const std::vector<float> y = roundTrip(*o, x, run);
      std::size_t peakAt = 0;
      for (std::size_t i = 0; i < y.size(); ++i) {
        if (std::fabs(y[i]) > std::fabs(y[peakAt])) peakAt = i;
      }
      EXPECT_EQ(peakAt, 37u + static_cast<std::size_t>(o->latency()))
          << stages << " stages, runs of " << run;
    }
  }
}

// Both channels in one call give the bits of one call per channel, up and down, at every number
// of stages, with run lengths that vary from call to call.
TEST(Oversampler, StereoCallsGiveTheBitsOfOneChannelAtATime) {
  using tovrasat::Oversampler;
  const std::vector<int> runs = {1, 32, 5, 32, 17, 3, 32, 32, 8};
  for (int stages = 1; stages <= Oversampler::kMaxStages; ++stages) {
    auto mono = std::make_unique<std::array<Oversampler, 2>>(
        std::array<Oversampler, 2>{Oversampler(stages, 1), Oversampler(stages, 1)});
    auto stereo = std::make_unique<std::array<Oversampler, 2>>(*mono);
    const int factor = (*mono)[0].factor();
    const std::vector<float> inL = dsptest::noise(32 * runs.size(), 11);
    const std::vector<float> inR = dsptest::noise(32 * runs.size(), 12, 0.9f);
    std::vector<float> highMono[2], highStereo[2];
    for (auto* v : {&highMono[0], &highMono[1], &highStereo[0], &highStereo[1]}) {
      v->resize(static_cast<std::size_t>(Oversampler::kMaxRun * factor));
    }
    std::vector<float> outMono[2] = {std::vector<float>(32), std::vector<float>(32)};
    std::vector<float> outStereo[2] = {std::vector<float>(32), std::vector<float>(32)};
    std::size_t at = 0;
    for (const int m : runs) {
      (*mono)[0].up(inL.data() + at, highMono[0].data(), m);
      (*mono)[1].up(inR.data() + at, highMono[1].data(), m);
      Oversampler::upStereo((*stereo)[0], (*stereo)[1], inL.data() + at, inR.data() + at,
                            highStereo[0].data(), highStereo[1].data(), m);
      const auto high = static_cast<std::size_t>(m * factor);
      for (int ch = 0; ch < 2; ++ch) {
        ASSERT_EQ(0, std::memcmp(highMono[ch].data(), highStereo[ch].data(), high * sizeof(float)))
            << stages << " stages, up, channel " << ch << ", frame " << at;
        // Something other than the up output on the way down, hotter on the right.
        for (std::size_t i = 0; i < high; ++i) highMono[ch][i] = std::tanh(3.0f * highMono[ch][i]);
        highStereo[ch] = highMono[ch];
      }
      (*mono)[0].down(highMono[0].data(), outMono[0].data(), m);
      (*mono)[1].down(highMono[1].data(), outMono[1].data(), m);
      Oversampler::downStereo((*stereo)[0], (*stereo)[1], highStereo[0].data(),
                              highStereo[1].data(), outStereo[0].data(), outStereo[1].data(), m);
      for (int ch = 0; ch < 2; ++ch) {
        ASSERT_EQ(0, std::memcmp(outMono[ch].data(), outStereo[ch].data(),
                                 static_cast<std::size_t>(m) * sizeof(float)))
            << stages << " stages, down, channel " << ch << ", frame " << at;
      }
      at += static_cast<std::size_t>(m);
    }
  }
}

// The padding that makes the latency whole frames is a delay of exactly that many samples at the
// highest rate, however much of it runs at the base rate: one more sample of processing delay
// (the same latency, one sample less padding) gives the same bits as the input one sample later.
TEST(Oversampler, PaddingIsAnExactDelayAtTheHighestRate) {
  using tovrasat::Oversampler;
  for (int stages = 1; stages <= Oversampler::kMaxStages; ++stages) {
    for (int delay = 0; delay < (1 << stages); ++delay) {
      auto shorter = std::make_unique<Oversampler>(stages, delay);
      auto longer = std::make_unique<Oversampler>(stages, delay + 1);
      if (shorter->latency() != longer->latency()) continue;
      const int factor = shorter->factor();
      const std::vector<float> x = dsptest::noise(static_cast<std::size_t>(40 * factor), 5);
      std::vector<float> later(x.size());
      later[0] = 0.0f;
      std::copy(x.begin(), x.end() - 1, later.begin() + 1);
      std::vector<float> a(40), b(40);
      const int runs[] = {1, 7, 3, 13, 16};
      for (int at = 0, r = 0; at < 40; ++r) {
        const int m = std::min(runs[r % 5], 40 - at);
        shorter->down(x.data() + at * factor, a.data() + at, m);
        longer->down(later.data() + at * factor, b.data() + at, m);
        at += m;
      }
      EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)))
          << stages << " stages, processing delay " << delay;
    }
  }
}

// One stage against its definition, the convolution with its impulse response in double: up
// zero-stuffs and filters with gain 2, down filters and keeps every other sample. Runs longer than
// a block and of odd lengths, in both builds of the filter loop, which give the same bits.
TEST(HalfBand, UpAndDownAreTheConvolutionWithTheImpulseInEveryBuild) {
  const std::vector<float> x = dsptest::noise(1500, 3, 0.9f);
  const tovrasat::HalfBand design(31, 10.06);
  const int taps = design.taps();
  const auto convolve = [&](const std::vector<double>& v, std::size_t i) {
    double sum = 0.0;
    for (int k = 0; k < taps && static_cast<std::size_t>(k) <= i; ++k) {
      sum += design.tap(k) * v[i - static_cast<std::size_t>(k)];
    }
    return sum;
  };
  std::vector<double> stuffed(2 * x.size(), 0.0);
  for (std::size_t i = 0; i < x.size(); ++i) stuffed[2 * i] = 2.0 * x[i];
  std::vector<double> wide(x.begin(), x.end());

  const bool savedBuild = tovrasat::HalfBand::usesAvx2;
  std::vector<std::vector<float>> ups;
  std::vector<std::vector<float>> downs;
  for (const bool avx2 : {false, savedBuild}) {
    tovrasat::HalfBand::usesAvx2 = avx2;
    for (const int run : {1, 7, 600}) {
      tovrasat::HalfBand up(31, 10.06);
      tovrasat::HalfBand down(31, 10.06);
      std::vector<float> high(2 * x.size());
      std::vector<float> low(x.size() / 2);
      for (std::size_t at = 0; at < x.size(); at += static_cast<std::size_t>(run)) {
        const int m = static_cast<int>(std::min<std::size_t>(run, x.size() - at));
        up.up(x.data() + at, high.data() + 2 * at, m);
      }
      for (std::size_t at = 0; at < low.size(); at += static_cast<std::size_t>(run)) {
        const int m = static_cast<int>(std::min<std::size_t>(run, low.size() - at));
        down.down(x.data() + 2 * at, low.data() + at, m);
      }
      for (std::size_t i = 0; i < high.size(); ++i) {
        ASSERT_NEAR(high[i], convolve(stuffed, i), 1e-5) << "up, runs of " << run << ", " << i;
      }
      for (std::size_t i = 0; i < low.size(); ++i) {
        // Output i takes input 2i + 1 as its newest sample.
        ASSERT_NEAR(low[i], convolve(wide, 2 * i + 1), 1e-5) << "down, runs of " << run;
      }
      ups.push_back(high);
      downs.push_back(low);
    }
  }
  tovrasat::HalfBand::usesAvx2 = savedBuild;
  for (std::size_t k = 1; k < ups.size(); ++k) {
    EXPECT_EQ(0, std::memcmp(ups[k].data(), ups[0].data(), ups[0].size() * sizeof(float))) << k;
    EXPECT_EQ(0, std::memcmp(downs[k].data(), downs[0].data(), downs[0].size() * sizeof(float)))
        << k;
  }
}

// The filters leave the limiter its look-ahead within 1 ms at 44.1 kHz: HQ's whole delay.
TEST(Oversampler, LatencyIsAtMostOneMillisecondAt44k1) {
  for (int stages = 1; stages <= tovrasat::Oversampler::kMaxStages; ++stages) {
    EXPECT_LE(tovrasat::Oversampler(stages).latency(), 16) << stages;
  }
  EXPECT_EQ(
      tovrasat::Oversampler(tovrasat::OversampledCrusher::kStages, tovrasat::HighRateChain::kDelay)
          .latency(),
      16);
  tovrasat::Crusher crusher;
  auto hq = std::make_unique<tovrasat::OversampledCrusher>(crusher);
  EXPECT_EQ(hq->latency(), tovrasat::OversampledCrusher::kLatency);
  EXPECT_LE(tovrasat::OversampledCrusher::kLatency / 44100.0, 0.001);
}

// Upsampling a tone leaves its images (at k·rate ± f) at least 92 dB below it; downsampling a
// tone from the high rate's stopband leaves at most -92 dB of it at the base rate.
TEST(Oversampler, ImagesAndAliasesStayInTheStopband) {
  constexpr int kBase = 1000;  // one second of 1000 frames: bins of one cycle per second
  for (int stages = 1; stages <= tovrasat::Oversampler::kMaxStages; ++stages) {
    auto o = std::make_unique<tovrasat::Oversampler>(stages);
    const int n = o->factor();
    // Up: a tone at 0.37 of the rate, the last second of two analysed at the high rate.
    const std::vector<float> x = sine(2 * kBase, 370.0 / kBase, 1.0);
    std::vector<float> high(static_cast<std::size_t>(2 * kBase * n));
    for (int offset = 0; offset < 2 * kBase; offset += 25) {
      o->up(x.data() + offset, high.data() + offset * n, 25);
    }
    const std::vector<double> mags =
        dsptest::magnitudes(high.data() + kBase * n, static_cast<std::size_t>(kBase * n));
    double worstImage = 0.0;
    for (std::size_t k = 600; k < mags.size(); ++k) worstImage = std::max(worstImage, mags[k]);
    EXPECT_LT(dsptest::db(worstImage / mags[370]), -92.0) << stages << " stages";

    // Down: tones across the high rate's stopband, above 0.6 of the base rate.
    for (int f = 600; f < kBase * n / 2; f += 997) {
      o->reset();
      const std::vector<float> v = sine(2 * kBase * n, double(f) / (kBase * n), 1.0);
      std::vector<float> y(2 * kBase);
      for (int offset = 0; offset < 2 * kBase; offset += 25) {
        o->down(v.data() + offset * n, y.data() + offset, 25);
      }
      double peak = 0.0;
      for (std::size_t i = kBase; i < y.size(); ++i) peak = std::max(peak, std::fabs(double(y[i])));
      EXPECT_LT(dsptest::db(peak), -92.0) << stages << " stages, tone at " << f;
    }
  }
}

std::unique_ptr<tovrasat::Crusher> hqCrusher() {
  return std::make_unique<tovrasat::Crusher>();
}

// Bypassed, HQ passes its input bit for bit, later by its latency; the fade in and out stays
// within the two signals.
TEST(OversampledCrusher, BypassPassesTheInputExactlyAfterTheLatency) {
  auto crusher = hqCrusher();
  auto hq = std::make_unique<tovrasat::OversampledCrusher>(*crusher);
  hq->setParams(1.0f, 0.0f, true, true);
  ASSERT_TRUE(hq->prepare(48000.0));
  std::vector<float> l = dsptest::noise(3000, 5, 1.3f);
  std::vector<float> r = dsptest::noise(3000, 6, 1.3f);
  std::vector<float> outL(3000);
  std::vector<float> outR(3000);
  const float* ins[2] = {l.data(), r.data()};
  float* outs[2] = {outL.data(), outR.data()};
  hq->process(ins, outs, 3000);
  const std::size_t latency = static_cast<std::size_t>(hq->latency());
  for (std::size_t i = 0; i < latency; ++i) ASSERT_EQ(outL[i], 0.0f) << i;
  for (std::size_t i = latency; i < 3000; ++i) {
    ASSERT_EQ(outL[i], l[i - latency]) << i;
    ASSERT_EQ(outR[i], r[i - latency]) << i;
  }
  EXPECT_FALSE(hq->prepare(0.0));
  EXPECT_FALSE(hq->prepare(std::nan("")));
}

// Hot noise through HQ at full Gain: the down filters ring where the crusher flattens the peaks
// at the high rate (+3 dBTP and more), and the limiter brings the true peak down to its ceiling.
// Its detector reads peaks as a 4x meter does; the crusher's harmonics close to Nyquist make the
// exact peaks (16x, read here) up to 0.9 dB higher.
TEST(OversampledCrusher, HotInputStaysUnderTheTruePeakCeiling) {
  auto crusher = hqCrusher();
  auto hq = std::make_unique<tovrasat::OversampledCrusher>(*crusher);
  hq->setParams(1.0f, 0.0f, true, false);
  for (const double rate : {44100.0, 96000.0}) {
    ASSERT_TRUE(hq->prepare(rate));
    std::vector<float> l = dsptest::noise(20000, 11, 1.41f);
    std::vector<float> r = dsptest::noise(20000, 12, 1.41f);
    for (std::vector<float>* v : {&l, &r}) {
      // Weighted towards the lows as music is: a one-pole lowpass near 2 kHz, 2.8 times up.
      float y = 0.0f;
      for (float& x : *v) x = y += 0.25f * (2.8f * x - y);
    }
    for (int at = 0; at < 20000; at += 480) {
      float* io[2] = {l.data() + at, r.data() + at};
      hq->process(io, io, std::min(480, 20000 - at));
    }
    const double ceilingDb = tovrasat::TruePeakLimiter::kCeilingDb;
    EXPECT_LE(dsptest::db(dsptest::truePeak(l)), ceilingDb + 0.9) << rate;
    EXPECT_LE(dsptest::db(dsptest::truePeak(r)), ceilingDb + 0.9) << rate;
    EXPECT_GT(dsptest::db(dsptest::truePeak(l)), ceilingDb - 0.5) << rate;
  }
}

// The real-time rules of the render path: nothing allocated while it runs, with every setting
// moving and block sizes that do not divide the run length.
TEST(RealTime, OversampledRenderPathAllocatesNothing) {
  auto crusher = hqCrusher();
  auto hq = std::make_unique<tovrasat::OversampledCrusher>(*crusher);
  std::vector<float> l = dsptest::noise(1100, 7, 1.2f);
  std::vector<float> r = dsptest::noise(1100, 8, 1.2f);
  std::vector<float> outL(1100);
  std::vector<float> outR(1100);
  const float* ins[2] = {l.data(), r.data()};
  float* outs[2] = {outL.data(), outR.data()};
  hq->setParams(0.3f, -4.0f, true, false);
  ASSERT_TRUE(hq->prepare(44100.0));
  const std::size_t before = testsupport::AllocationCount();
  for (int block = 0; block < 12; ++block) {
    hq->setParams(block % 3 == 0 ? 0.9f : 0.3f, block % 2 == 0 ? -4.0f : 6.0f, block % 4 < 2,
                  block % 5 == 3);
    hq->process(ins, outs, 1100 - block * 77);
  }
  EXPECT_EQ(testsupport::AllocationCount(), before);
}

}  // namespace
