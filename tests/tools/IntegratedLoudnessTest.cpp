// IntegratedLoudnessTest.cpp: the command's loudness meter against libebur128 on a table of
// signals and rates, the same result however the audio is cut into blocks, and the K-weighting
// against the coefficients ITU-R BS.1770 gives at 48 kHz.
#include "tools/meters/IntegratedLoudness.h"
#include "tools/meters/KWeighting.h"
#include "tools/meters/LoudnessMeter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Channels = std::vector<std::vector<float>>;

double Reference(const Channels& x, double rate) {
  const size_t nc = x.size(), frames = x[0].size();
  std::vector<float> interleaved(nc * frames);
  for (size_t c = 0; c < nc; ++c)
    for (size_t i = 0; i < frames; ++i) interleaved[i * nc + c] = x[c][i];
  ebur128_state* state =
      ebur128_init(static_cast<unsigned>(nc), static_cast<unsigned long>(rate), EBUR128_MODE_I);
  ebur128_add_frames_float(state, interleaved.data(), frames);
  double lufs = 0.0;
  ebur128_loudness_global(state, &lufs);
  ebur128_destroy(&state);
  return lufs;
}

double Ours(const Channels& x, double rate, size_t block) {
  tools::IntegratedLoudness meter;
  EXPECT_TRUE(meter.Open(static_cast<int>(x.size()), rate));
  const size_t frames = x[0].size();
  for (size_t at = 0; at < frames; at += block) {
    const float* data[] = {x[0].data() + at, x.back().data() + at};
    meter.Add(data, std::min(block, frames - at));
  }
  return meter.Lufs();
}

// seconds of level(t) * shape(t), t in seconds; the second channel, if any, a little different.
Channels Make(double rate, double seconds, size_t channels,
              const std::function<double(double t, size_t c)>& at) {
  Channels x(channels, std::vector<float>(static_cast<size_t>(rate * seconds)));
  for (size_t c = 0; c < channels; ++c)
    for (size_t i = 0; i < x[c].size(); ++i)
      x[c][i] = static_cast<float>(at(static_cast<double>(i) / rate, c));
  return x;
}

double Sine(double t, double hz, double amplitude) {
  return amplitude * std::sin(2 * M_PI * hz * t);
}

// White noise through a first-order low-pass, plus some of it unfiltered: falls off towards the
// highs as music does. Fixed seed, a stream per channel.
std::function<double(double, size_t)> PinkishNoise(double amplitude) {
  struct State {
    std::mt19937 random{17};
    double low[2] = {0.0, 0.0};
  };
  auto s = std::make_shared<State>();
  return [s, amplitude](double, size_t c) {
    const double white = std::uniform_real_distribution<double>(-1.0, 1.0)(s->random);
    s->low[c] = 0.98 * s->low[c] + 0.1 * white;
    return amplitude * (s->low[c] + 0.3 * white);
  };
}

TEST(IntegratedLoudness, AgreesWithLibebur128AtEveryRateAndDoesNotDependOnTheBlocks) {
  struct Case {
    std::string what;
    size_t channels;
    double seconds;
    std::function<double(double, size_t)> at;
    double highestHz = 0.0;  // the case needs a rate over twice this
  };
  const auto gated = [](double t, size_t c) {
    // 4 s at -20 dBFS, 4 s far under the relative gate, 4 s just over it, 2 s under the
    // absolute gate: only the first and third passages count.
    const double level = t < 4.0 ? 0.1 : t < 8.0 ? 0.001 : t < 12.0 ? 0.035 : 1e-4;
    return Sine(t, c == 0 ? 440.0 : 550.0, level);
  };
  const std::vector<Case> cases = {
      {"997 Hz stereo", 2, 5.0, [](double t, size_t) { return Sine(t, 997.0, 0.1); }},
      {"997 Hz mono", 1, 5.0, [](double t, size_t) { return Sine(t, 997.0, 0.1); }},
      {"60 Hz and 12 kHz", 2, 3.0,
       [](double t, size_t c) { return Sine(t, c == 0 ? 60.0 : 12000.0, 0.5); }, 12000.0},
      {"60 Hz and 1.9 kHz", 2, 3.0,
       [](double t, size_t c) { return Sine(t, c == 0 ? 60.0 : 1900.0, 0.5); }},
      {"pink-ish noise stereo", 2, 6.0, PinkishNoise(0.3)},
      {"pink-ish noise mono", 1, 6.0, PinkishNoise(0.3)},
      {"quiet passages gated", 2, 14.0, gated},
      {"past full scale", 2, 2.0, [](double t, size_t) { return Sine(t, 220.0, 3.0); }},
      {"a 30 Hz rumble, then a tone", 2, 4.0,
       [](double t, size_t) { return t < 2.0 ? Sine(t, 30.0, 0.8) : Sine(t, 2000.0, 0.02); }},
  };
  // Under 44.1 kHz the high-pass's gain differs between keeping the analogue response and
  // keeping the standard's numerator; the meters in common use keep the numerator.
  for (const double rate :
       {4000.0, 8000.0, 11025.0, 16000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    for (const Case& k : cases) {
      if (2.0 * k.highestHz >= rate) continue;
      const std::string what = k.what + " at " + std::to_string(static_cast<int>(rate)) + " Hz";
      const Channels x = Make(rate, k.seconds, k.channels, k.at);
      const double ours = Ours(x, rate, 4096);
      // libebur128 keeps every block; the histogram's bins are 0.01 LU.
      EXPECT_NEAR(ours, Reference(x, rate), 0.05) << what;
      if (rate != 48000.0) continue;
      for (const size_t block : {1, 7, 4800, 4801, 1 << 20})
        EXPECT_EQ(Ours(x, rate, block), ours) << what << ", blocks of " << block;
    }
  }
}

// Nothing passes the gates: silence, sound under -70 LUFS, or less than one 400 ms block.
TEST(IntegratedLoudness, ReadsMinusInfinityWhenNoBlockCounts) {
  struct Case {
    const char* what;
    double seconds;
    double amplitude;
  };
  const Case cases[] = {
      {"silence", 3.0, 0.0},
      {"under the absolute gate", 3.0, 1e-4},
      {"399 ms of a loud tone", 0.399, 0.5},
  };
  for (const Case& k : cases) {
    const Channels x =
        Make(48000.0, k.seconds, 2, [&](double t, size_t) { return Sine(t, 997.0, k.amplitude); });
    EXPECT_EQ(Ours(x, 48000.0, 4096), -HUGE_VAL) << k.what;
    EXPECT_EQ(Reference(x, 48000.0), -HUGE_VAL) << k.what;
  }
  // One block is enough.
  const Channels block =
      Make(48000.0, 0.4, 2, [](double t, size_t) { return Sine(t, 997.0, 0.1); });
  EXPECT_TRUE(std::isfinite(Ours(block, 48000.0, 4096)));
  tools::IntegratedLoudness meter;
  EXPECT_FALSE(meter.Open(3, 48000.0));
  EXPECT_FALSE(meter.Open(2, 0.0));
}

// At twice the shelf's corner (about 3364 Hz) or less the K-weighting cannot be built: the
// loudness is not defined there (no figure, not -inf, which would read as silence), while the
// true peak still is.
TEST(IntegratedLoudness, IsNotDefinedWhereTheShelfLiesPastTheNyquistFrequency) {
  EXPECT_NEAR(tools::KWeighting::ShelfCorner(), 1681.97, 0.05);
  for (const double rate : {1000.0, 3000.0, 3363.0, 3364.0, 3365.0, 4000.0}) {
    const bool defined = rate > 2.0 * tools::KWeighting::ShelfCorner();
    const std::string what = std::to_string(static_cast<int>(rate)) + " Hz";
    EXPECT_EQ(tools::KWeighting::Defined(rate), defined) << what;
    tools::IntegratedLoudness loudness;
    EXPECT_EQ(loudness.Open(2, rate), defined) << what;
    const Channels x =
        Make(rate, 2.0, 2, [&](double t, size_t) { return Sine(t, rate / 16.0, 0.5); });
    tools::LoudnessMeter meter;
    ASSERT_TRUE(meter.Open(2, rate)) << what;
    EXPECT_EQ(meter.LoudnessDefined(), defined) << what;
    const float* data[] = {x[0].data(), x[1].data()};
    meter.Add(data, x[0].size());
    EXPECT_EQ(std::isnan(meter.IntegratedLufs()), !defined)
        << what << ": " << meter.IntegratedLufs();
    if (defined) {
      EXPECT_NEAR(meter.IntegratedLufs(), Reference(x, rate), 0.05) << what;
    }
    EXPECT_NEAR(meter.TruePeak(), 0.5, 0.01) << what;
  }
}

// The analogue prototypes taken back from the 48 kHz figures give those figures again at 48 kHz,
// and at other rates keep the analogue response: +4 dB at 10 kHz, -3 dB near 38 Hz... measured
// here as the product of both stages at a few frequencies, the same at every rate.
TEST(KWeighting, GivesTheStandardsCoefficientsAt48kHzAndTheSameResponseAtOtherRates) {
  using tools::Biquad;
  using tools::KWeighting;
  const auto same = [](const Biquad& a, const Biquad& b, const char* what) {
    EXPECT_NEAR(a.b0, b.b0, 1e-12) << what;
    EXPECT_NEAR(a.b1, b.b1, 1e-12) << what;
    EXPECT_NEAR(a.b2, b.b2, 1e-12) << what;
    EXPECT_NEAR(a.a1, b.a1, 1e-12) << what;
    EXPECT_NEAR(a.a2, b.a2, 1e-12) << what;
  };
  same(KWeighting::Shelf(48000.0), KWeighting::kShelf48k, "shelf");
  same(KWeighting::HighPass(48000.0), KWeighting::kHighPass48k, "high-pass");
  const auto db = [](const Biquad& f, double hz, double rate) {
    const double w = 2 * M_PI * hz / rate;
    const std::complex<double> z1 = std::polar(1.0, -w), z2 = z1 * z1;
    return 20 *
           std::log10(std::abs((f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2)));
  };
  const auto response = [&](double hz, double rate) {
    return db(KWeighting::Shelf(rate), hz, rate) + db(KWeighting::HighPass(rate), hz, rate);
  };
  for (const double hz : {20.0, 38.0, 100.0, 1000.0, 1681.0, 5000.0})
    for (const double rate : {44100.0, 96000.0, 192000.0})
      EXPECT_NEAR(response(hz, rate), response(hz, 48000.0), 0.05) << hz << " Hz at " << rate;
  EXPECT_NEAR(response(10000.0, 96000.0), 4.0, 0.1);
  EXPECT_NEAR(response(1000.0, 48000.0), 0.69, 0.02);
}

}  // namespace
