// TruePeakMeterTest.cpp: the command's true-peak meter against a 16x oversampled reference and
// libebur128's, and the same result however the audio is cut into blocks.
#include "dsp/Crusher.h"
#include "tools/command/DemoSignal.h"
#include "tools/meters/TruePeakMeter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

double Db(double linear) {
  return 20.0 * std::log10(linear);
}

double Reference(const std::vector<float>& x) {
  ebur128_state* state = ebur128_init(1, 48000, EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_float(state, x.data(), x.size());
  double peak = 0.0;
  ebur128_true_peak(state, 0, &peak);
  ebur128_destroy(&state);
  return peak;
}

double Ours(const std::vector<float>& x, size_t block) {
  tools::TruePeakMeter meter;
  meter.Reset(1);
  for (size_t at = 0; at < x.size(); at += block) {
    const float* data[] = {x.data() + at};
    meter.Add(data, std::min(block, x.size() - at));
  }
  return meter.Peak();
}

std::vector<float> Make(size_t frames, const std::function<double(double)>& at) {
  std::vector<float> x(frames);
  for (size_t i = 0; i < frames; ++i) x[i] = static_cast<float>(at(static_cast<double>(i)));
  return x;
}

// The reference: the signal reconstructed 16 times per sample by a 129-tap Kaiser-windowed sinc
// (beta 10, flat to 0.47 of the rate), evaluated directly in double, the largest magnitude.
double SixteenTimes(const std::vector<float>& x) {
  constexpr int kHalf = 64;
  constexpr int kSteps = 16;
  constexpr double kBeta = 10.0;
  const double i0Beta = std::cyl_bessel_i(0.0, kBeta);
  std::vector<std::vector<double>> kernel(kSteps, std::vector<double>(2 * kHalf + 1));
  for (int s = 0; s < kSteps; ++s) {
    for (int k = -kHalf; k <= kHalf; ++k) {
      const double t = static_cast<double>(s) / kSteps - k;  // from sample n + k to n + s / 16
      const double sinc = t == 0.0 ? 1.0 : std::sin(M_PI * t) / (M_PI * t);
      const double r = t / (kHalf + 1);
      kernel[s][k + kHalf] =
          sinc * std::cyl_bessel_i(0.0, kBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0Beta;
    }
  }
  double peak = 0.0;
  const auto n = static_cast<int>(x.size());
  for (int i = 0; i < n; ++i) {
    for (int s = 0; s < kSteps; ++s) {
      double y = 0.0;
      for (int k = std::max(-kHalf, -i); k <= std::min(kHalf, n - 1 - i); ++k)
        y += kernel[s][k + kHalf] * x[i + k];
      peak = std::max(peak, std::fabs(y));
    }
  }
  return peak;
}

// Pink noise (white noise through a sum of one-pole filters, -3 dB per octave within 0.05 dB
// over the audio band), scaled to a sample peak of 0.8.
std::vector<float> PinkNoise(size_t frames, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> white(0.0, 1.0);
  double b[7] = {};
  std::vector<double> y(frames);
  for (double& v : y) {
    const double w = white(rng);
    b[0] = 0.99886 * b[0] + w * 0.0555179;
    b[1] = 0.99332 * b[1] + w * 0.0750759;
    b[2] = 0.96900 * b[2] + w * 0.1538520;
    b[3] = 0.86650 * b[3] + w * 0.3104856;
    b[4] = 0.55000 * b[4] + w * 0.5329522;
    b[5] = -0.7616 * b[5] - w * 0.0168980;
    v = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
    b[6] = w * 0.115926;
  }
  double most = 0.0;
  for (const double v : y) most = std::max(most, std::fabs(v));
  std::vector<float> x(frames);
  for (size_t i = 0; i < frames; ++i) x[i] = static_cast<float>(0.8 * y[i] / most);
  return x;
}

// The first half second of the demo's drums and bass, rendered twice through the plug-in's
// engine at full Gain: clipped flat tops, bright edges, the true peak well above the samples.
std::vector<float> SaturatedDrums(double rate) {
  std::vector<float> l = tools::DemoSignal::Make(rate).channels[0];
  std::vector<float> r = tools::DemoSignal::Make(rate).channels[1];
  l.resize(static_cast<size_t>(rate / 2));
  r.resize(l.size());
  for (int pass = 0; pass < 2; ++pass) {
    tovrasat::Crusher crusher;
    crusher.setParams(1.0f, 0.0f, true, false);
    crusher.prepare(rate);
    float* data[] = {l.data(), r.data()};
    crusher.process(data, data, static_cast<int>(l.size()));
  }
  return l;
}

// A sinc pulse band-limited to 0.9 of the Nyquist frequency under a Hann window of 97 samples,
// centred half-way between two samples: its crest falls where the 4x grid's half-sample phase
// reads it, so the filter's response near the Nyquist frequency decides the reading.
std::vector<float> PulseBetweenSamples() {
  std::vector<float> x(400, 0.0f);
  const double centre = 200.5;
  for (size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) - centre;
    if (std::fabs(t) > 48.0) continue;
    const double sinc = std::sin(M_PI * 0.9 * t) / (M_PI * 0.9 * t);
    x[i] = static_cast<float>(0.8 * sinc * (0.5 + 0.5 * std::cos(M_PI * t / 48.5)));
  }
  return x;
}

// Gaussian, sigma times full scale: what the quickest bounds cannot rule out.
std::vector<float> WhiteNoise(size_t frames, double sigma, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> white(0.0, sigma);
  std::vector<float> x(frames);
  for (float& v : x) v = static_cast<float>(white(rng));
  return x;
}

TEST(TruePeakMeter, WithinATenthOfADecibelOfSixteenTimesOversamplingAtEveryRate) {
  for (const double rate : {44100.0, 48000.0, 96000.0}) {
    struct Case {
      const char* what;
      std::vector<float> x;
    };
    const Case cases[] = {
        {"a quarter of the rate, 45 degrees off its crests",
         Make(8000, [](double i) { return 0.8 * std::sin(M_PI / 2.0 * i + M_PI / 4.0); })},
        {"pink noise", PinkNoise(static_cast<size_t>(rate / 4), 7)},
        {"white noise", WhiteNoise(static_cast<size_t>(rate / 4), 0.25, 5)},
        {"saturated drums", SaturatedDrums(rate)},
        {"a pulse at 0.9 of Nyquist, half a sample off", PulseBetweenSamples()},
        {"the demo mix clipped at -6 dBFS",
         [rate] {
           std::vector<float> y = tools::DemoSignal::Make(rate).channels[0];
           y.resize(static_cast<size_t>(rate / 2));
           for (float& v : y) v = std::clamp(v, -0.5f, 0.5f);
           return y;
         }()},
    };
    for (const Case& c : cases) {
      const double reference = SixteenTimes(c.x);
      const double ours = Ours(c.x, 4096);
      EXPECT_NEAR(Db(ours), Db(reference), 0.1) << c.what << " at " << rate << " Hz";
    }
  }
}

TEST(TruePeakMeter, AgreesWithLibebur128AndDoesNotDependOnTheBlocks) {
  const double quarter = M_PI / 2.0;
  struct Case {
    const char* what;
    std::vector<float> x;
  };
  const std::vector<float> demo = tools::DemoSignal::Make(kRate).channels[0];
  std::vector<float> impulse(4800, 0.0f);
  impulse[2400] = 0.9f;
  const Case cases[] = {
      {"997 Hz", Make(48000, [](double i) { return 0.5 * std::sin(2 * M_PI * 997 * i / kRate); })},
      // Sampled 45 degrees off its crests: the samples stay 3 dB under the peak.
      {"a quarter of the rate, between",
       Make(48000, [&](double i) { return 0.8 * std::sin(quarter * i + quarter / 2.0); })},
      {"a third of the rate",
       Make(48000, [](double i) { return 0.8 * std::sin(2 * M_PI * i / 3.0 + 0.5); })},
      {"a lone impulse", impulse},
      {"the demo mix", demo},
      {"white noise", WhiteNoise(48000, 0.25, 3)},
      {"the demo mix clipped at -6 dBFS",
       [&] {
         std::vector<float> y = demo;
         for (float& v : y) v = std::clamp(v, -0.5f, 0.5f);
         return y;
       }()},
  };
  for (const Case& k : cases) {
    const double ours = Ours(k.x, 4096);
    // libebur128's filter reads hard-clipped material low (the sixteen-times table below has the
    // clipped mix); there ours must not read lower than it.
    if (&k == &cases[6]) {
      EXPECT_GT(Db(ours), Db(Reference(k.x))) << k.what;
    } else {
      EXPECT_NEAR(Db(ours), Db(Reference(k.x)), 0.25) << k.what;
    }
    double samples = 0.0;
    for (const float v : k.x) samples = std::max(samples, static_cast<double>(std::fabs(v)));
    EXPECT_GE(ours, samples) << k.what;
    // Around the stretch (64) and the head of a block read from a copy (128).
    for (const size_t block : {1, 7, 31, 32, 33, 64, 65, 127, 128, 129, 200, 12000})
      EXPECT_EQ(Ours(k.x, block), ours) << k.what << ", blocks of " << block;
  }
  // Between the samples the quarter-rate sine reaches its amplitude; the samples miss 3 dB of it.
  EXPECT_NEAR(Db(Ours(cases[1].x, 4096)), Db(0.8), 0.15);
}

// The meter skips stretches that cannot pass the peak found so far: an earlier loud moment must
// not hide a later, higher peak. Each pattern is the worst case of one phase of a 64-sample sinc
// interpolator: every sample the sign of its weight, so that the point between them sums the
// weights' magnitudes, most of them from samples far from the point (a Nyquist-rate square wave
// turning over). An impulse a little under the pattern's own peak comes first.
TEST(TruePeakMeter, AnEarlierLoudMomentDoesNotHideALaterPeak) {
  for (const double offset : {0.25, 0.5, 0.75}) {
    std::vector<float> pattern(512, 0.0f);
    for (int j = 0; j < 64; ++j) {
      const double t = j - 32 + offset;
      const double weight = std::sin(M_PI * t) / (M_PI * t);
      pattern[static_cast<size_t>(300 - j)] = static_cast<float>(weight > 0.0 ? 0.3 : -0.3);
    }
    const double alone = Ours(pattern, 4096);
    ASSERT_GT(alone, 0.3 * 2.5) << offset;  // far past its samples, as the pattern means it to
    std::vector<float> after(1000, 0.0f);
    after[100] = static_cast<float>(0.95 * alone);
    after.insert(after.end(), pattern.begin(), pattern.end());
    for (const size_t block : {64, 4096}) EXPECT_EQ(Ours(after, block), alone) << offset;
  }
}

}  // namespace
