// RenderWrittenFiguresTest.cpp: the output figures of tovrasat render's summary, and its warnings
// about full scale, describe the file as written: read back here with libsndfile and measured.
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/meters/LoudnessMeter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tools::AudioFile;
using tools::ESampleFormat;
using toolstest::RealBundleBuilt;
using toolstest::RunResult;
using toolstest::Sine;

using RenderWrittenFigures = toolstest::RenderFixture;

struct FileFigures {
  double peakDb = NAN, lufs = NAN, truePeakDb = NAN;
};

double Db(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -INFINITY;
}

// The file as a player decodes it, through libsndfile, measured with the command's own meter (so
// a difference is in the samples measured, not in the meter).
FileFigures Measure(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  if (file == nullptr) return {};
  std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
  EXPECT_EQ(sf_readf_float(file, interleaved.data(), info.frames), info.frames) << path;
  sf_close(file);
  const auto nc = static_cast<size_t>(info.channels);
  std::vector<std::vector<float>> channels(nc, std::vector<float>(interleaved.size() / nc));
  float peak = 0.0f;
  for (size_t i = 0; i < interleaved.size(); ++i) {
    channels[i % nc][i / nc] = interleaved[i];
    peak = std::max(peak, std::fabs(interleaved[i]));
  }
  std::vector<const float*> pointers;
  for (const std::vector<float>& c : channels) pointers.push_back(c.data());
  tools::LoudnessMeter meter;
  EXPECT_TRUE(meter.Open(info.channels, info.samplerate));
  meter.Add(pointers.data(), channels[0].size());
  return {Db(peak), meter.IntegratedLufs(), Db(meter.TruePeak())};
}

// The number printed between before and after in text (-inf included), NAN when missing. Read
// without std::regex, which g++ 12 misreads under the sanitizers.
double NumberBetween(const std::string& text, const std::string& before, const std::string& after) {
  for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at + 1)) {
    const char* start = text.c_str() + at + before.size();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end != start &&
        text.compare(static_cast<size_t>(end - text.c_str()), after.size(), after) == 0) {
      return value;
    }
  }
  return NAN;
}
double Out(const std::string& text, const std::string& unit) {
  return NumberBetween(text, "out ", " " + unit);
}

// The summary prints two decimals.
void ExpectSame(double printed, double measured, const std::string& what) {
  if (std::isinf(measured)) {
    EXPECT_EQ(printed, measured) << what;
  } else {
    EXPECT_NEAR(printed, measured, 0.006) << what;
  }
}

TEST_F(RenderWrittenFigures, SummaryAndWarningsDescribeTheSamplesInTheFile) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's chain";
  Write(Sine(48000.0, 2 * 48000, 997.0, 0.5), in, ESampleFormat::kFloat32);
  // -100 dBFS: under one 16-bit step, so the file holds mostly dither.
  Write(Sine(48000.0, 2 * 48000, 997.0, 1e-5), scratch / "faint.wav", ESampleFormat::kFloat32);
  // A sine at a quarter of the rate, 45 degrees off its crests, near full scale: the peaks
  // between the samples are where a lossy codec's changes show.
  AudioFile between;
  between.sampleRate = 48000.0;
  between.channels.assign(2, std::vector<float>(2 * 48000));
  for (size_t i = 0; i < between.channels[0].size(); ++i)
    between.channels[0][i] = between.channels[1][i] =
        static_cast<float>(0.66 * std::sin(M_PI / 2.0 * static_cast<double>(i) + M_PI / 4.0));
  Write(between, scratch / "between.wav", ESampleFormat::kFloat32);
  struct Case {
    const char* what;
    std::string input;
    const char* out;
    std::vector<std::string> options;
    bool clips;  // the file holds samples set to full scale
  };
  const Case cases[] = {
      // The render is 11 dB past full scale before the integer samples clip it.
      {"16-bit, driven past full scale",
       in,
       "o.wav",
       {"--format", "s16", "--gain", "60", "--trim", "12"},
       true},
      {"24-bit FLAC, driven past full scale",
       in,
       "o.flac",
       {"--format", "s24", "--trim", "12"},
       true},
      // The file holds the dither, a step either way, not the -100 dBFS tone.
      {"a tone under one step to 16 bits with dither",
       scratch / "faint.wav",
       "o.wav",
       {"--format", "s16", "--bypass", "on"},
       false},
      {"float holds what passes full scale",
       in,
       "o.wav",
       {"--format", "f32", "--trim", "12"},
       false},
      {"Ogg Vorbis, decoded", scratch / "between.wav", "o.ogg", {"--bypass", "on"}, false},
  };
  for (const Case& k : cases) {
    const std::string out = scratch / k.out;
    std::vector<std::string> args{"render", k.input, out};
    args.insert(args.end(), k.options.begin(), k.options.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    const FileFigures file = Measure(out);
    ExpectSame(Out(r.err, "dBFS"), file.peakDb, std::string(k.what) + " peak: " + r.err);
    ExpectSame(Out(r.err, "LUFS"), file.lufs, std::string(k.what) + " loudness: " + r.err);
    ExpectSame(Out(r.err, "dBTP"), file.truePeakDb, std::string(k.what) + " true peak: " + r.err);
    EXPECT_TRUE(std::isfinite(file.peakDb)) << k.what;
    // The warning speaks exactly when the file's own true peak passes full scale (float holds
    // it), with that figure.
    const bool integerOrLossy =
        k.options != std::vector<std::string>{"--format", "f32", "--trim", "12"};
    const double warned = NumberBetween(r.err, "true peak +", " dBTP passes full scale");
    if (integerOrLossy && file.truePeakDb > 0.0)
      ExpectSame(warned, file.truePeakDb, std::string(k.what) + " warning: " + r.err);
    else
      EXPECT_TRUE(std::isnan(warned)) << k.what << ": " << r.err;
    EXPECT_EQ(r.err.find("samples clipped at full scale") != std::string::npos, k.clips)
        << k.what << ": " << r.err;
  }
}

// A lossy stream cannot be decoded again once sent: its figures say what they describe.
TEST_F(RenderWrittenFigures, AnOggStreamLabelsItsFiguresAsBeforeEncoding) {
  const RunResult r = Run({"render", in, "-", "--type", "ogg"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("before encoding"), std::string::npos) << r.err;
  const RunResult file = Run({"render", in, scratch / "o.ogg"});
  ASSERT_EQ(file.exitCode, 0) << file.err;
  EXPECT_EQ(file.err.find("before encoding"), std::string::npos) << file.err;
}

}  // namespace
