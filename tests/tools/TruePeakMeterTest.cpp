// TruePeakMeterTest.cpp: the command's true-peak meter against libebur128's, and the same result
// however the audio is cut into blocks.
#include "tools/command/DemoSignal.h"
#include "tools/meters/TruePeakMeter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

double Db(double linear) { return 20.0 * std::log10(linear); }

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
      {"a quarter of the rate, between", Make(48000, [&](double i) {
         return 0.8 * std::sin(quarter * i + quarter / 2.0);
       })},
      {"a third of the rate", Make(48000, [](double i) { return 0.8 * std::sin(2 * M_PI * i / 3.0 + 0.5); })},
      {"a lone impulse", impulse},
      {"the demo mix", demo},
      {"the demo mix clipped at -6 dBFS", [&] {
         std::vector<float> y = demo;
         for (float& v : y) v = std::clamp(v, -0.5f, 0.5f);
         return y;
       }()},
  };
  for (const Case& k : cases) {
    const double ours = Ours(k.x, 4096);
    EXPECT_NEAR(Db(ours), Db(Reference(k.x)), 0.25) << k.what;
    double samples = 0.0;
    for (const float v : k.x) samples = std::max(samples, static_cast<double>(std::fabs(v)));
    EXPECT_GE(ours, samples) << k.what;
    for (const size_t block : {1, 7, 31, 32, 33, 12000})
      EXPECT_EQ(Ours(k.x, block), ours) << k.what << ", blocks of " << block;
  }
  // Between the samples the quarter-rate sine reaches its amplitude; the samples miss 3 dB of it.
  EXPECT_NEAR(Db(Ours(cases[1].x, 4096)), Db(0.8), 0.15);
}

}  // namespace
