// RenderLoudnessTest.cpp: tovrasat render's summary gives the integrated loudness and true peak of
// input and output, warns when the output's true peak passes full scale, and --in-gain sets the
// level before the plug-in.
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using tools::AudioFile;
using tools::ESampleFormat;
using toolstest::ReadOrFail;
using toolstest::RealBundleBuilt;
using toolstest::RunResult;
using toolstest::Sine;

using RenderLoudness = toolstest::RenderFixture;

struct Figures {
  double lufsIn = NAN, lufsOut = NAN, peakIn = NAN, peakOut = NAN;
};

// The number after label in text ("-inf" included), NAN when the label is missing.
double After(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return NAN;
  const std::string rest = text.substr(at + label.size());
  return rest.rfind("-inf", 0) == 0 ? -INFINITY : std::strtod(rest.c_str(), nullptr);
}

// The loudness part of a summary line, or NANs when it has none.
Figures Read(const std::string& summary) {
  return {After(summary, "loudness in "), After(summary, " LUFS, out "),
          After(summary, "true peak in "), After(summary, " dBTP, out ")};
}

// A 997 Hz sine at A in both channels reads 20 log10(A) LUFS: its K-weighting (+0.69 dB) and the
// formula's -0.691 dB cancel, so the figures are known without a meter. True peak and sample peak
// of so low a tone are alike.
TEST_F(RenderLoudness, TheSummaryGivesLoudnessAndTruePeakOfInputAndOutput) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Bypass";
  Write(Sine(48000.0, 3 * 48000, 997.0, 0.1), in, ESampleFormat::kFloat32);
  Write(Sine(48000.0, 3 * 48000, 997.0, 0.01), scratch / "quiet.wav", ESampleFormat::kFloat32);
  struct Case {
    const char* what;
    std::vector<std::string> options;
    Figures expected;
  };
  const Case cases[] = {
      {"bypassed", {}, {-20.0, -20.0, -20.0, -20.0}},
      // The input is measured as the file holds it, the output after the gain.
      {"6 dB down first", {"--in-gain", "-6"}, {-20.0, -26.0, -20.0, -26.0}},
      {"12 dB up first", {"--in-gain", "12"}, {-20.0, -8.0, -20.0, -8.0}},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"render", in, scratch / "out.wav", "--bypass", "on"};
    args.insert(args.end(), k.options.begin(), k.options.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    const Figures f = Read(r.err);
    EXPECT_NEAR(f.lufsIn, k.expected.lufsIn, 0.05) << k.what << ": " << r.err;
    EXPECT_NEAR(f.lufsOut, k.expected.lufsOut, 0.05) << k.what << ": " << r.err;
    EXPECT_NEAR(f.peakIn, k.expected.peakIn, 0.05) << k.what << ": " << r.err;
    EXPECT_NEAR(f.peakOut, k.expected.peakOut, 0.05) << k.what << ": " << r.err;
  }
  // In a batch each file's line has its own figures; a file shorter than one gating block has no
  // integrated loudness.
  Write(Sine(48000.0, 4800, 997.0, 0.1), scratch / "short.wav", ESampleFormat::kFloat32);
  const RunResult batch = Run({"render", in, scratch / "quiet.wav", scratch / "short.wav",
                               "--out-dir", scratch / "o", "--bypass", "on"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  const size_t second = batch.err.find("quiet.wav:");
  const size_t third = batch.err.find("short.wav:");
  ASSERT_NE(second, std::string::npos) << batch.err;
  ASSERT_NE(third, std::string::npos) << batch.err;
  // A batch's line: "NAME: S s; out peak P dBFS, L LUFS, T dBTP".
  const auto lufsOut = [](const std::string& line) { return After(line, " dBFS, "); };
  const auto truePeakOut = [](const std::string& line) { return After(line, " LUFS, "); };
  EXPECT_NEAR(lufsOut(batch.err.substr(0, second)), -20.0, 0.05) << batch.err;
  EXPECT_NEAR(lufsOut(batch.err.substr(second, third - second)), -40.0, 0.05) << batch.err;
  EXPECT_EQ(lufsOut(batch.err.substr(third)), -INFINITY) << batch.err;
  EXPECT_NEAR(truePeakOut(batch.err.substr(third)), -20.0, 0.05) << batch.err;
}

// At 3 kHz the K-weighting's shelf (near 1682 Hz) lies past the Nyquist frequency: the summary
// says the loudness is not defined there rather than give a figure (or -inf, silence), and still
// gives the true peak. At 4 kHz it gives the figure.
TEST_F(RenderLoudness, TheSummarySaysLoudnessIsNotDefinedWhereTheFilterCannotBeBuilt) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Bypass";
  Write(Sine(3000.0, 3 * 3000, 3000.0 / 16.0, 0.5), in, ESampleFormat::kFloat32);
  Write(Sine(4000.0, 3 * 4000, 250.0, 0.1), scratch / "four.wav", ESampleFormat::kFloat32);
  const RunResult one = Run({"render", in, scratch / "out.wav", "--bypass", "on"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_NE(one.err.find("\n  loudness not defined at 3000 Hz (K-weighting needs over 3364 Hz)\n"),
            std::string::npos)
      << one.err;
  EXPECT_NEAR(Read(one.err).peakOut, -6.02, 0.05) << one.err;
  const RunResult batch =
      Run({"render", in, scratch / "four.wav", "--out-dir", scratch / "o", "--bypass", "on"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  const size_t second = batch.err.find("four.wav:");
  ASSERT_NE(second, std::string::npos) << batch.err;
  const std::string first = batch.err.substr(0, second);
  EXPECT_NEAR(After(first, " dBFS, loudness not defined, "), -6.02, 0.05) << batch.err;
  EXPECT_TRUE(std::isfinite(After(batch.err.substr(second), " dBFS, "))) << batch.err;
}

// A sine at a quarter of the rate, sampled 45 degrees off its crests: the samples stay 3 dB under
// the peaks between them. At 1.2 the samples reach -1.4 dBFS and the true peak +1.6 dBTP, which an
// integer or lossy file clips when played.
TEST_F(RenderLoudness, ATruePeakPastFullScaleIsWarnedOfWhereTheFileWouldClipIt) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Bypass";
  AudioFile between;
  between.sampleRate = 48000.0;
  between.channels.assign(2, std::vector<float>(48000));
  for (size_t i = 0; i < 48000; ++i)
    between.channels[0][i] = between.channels[1][i] =
        static_cast<float>(1.2 * std::sin(M_PI / 2.0 * static_cast<double>(i) + M_PI / 4.0));
  Write(between, in, ESampleFormat::kFloat32);
  const std::string over = " dBTP passes full scale ";
  struct Case {
    const char* what;
    const char* out;
    std::vector<std::string> options;
    std::string advice;  // what the warning ends with; empty: no warning
  };
  const Case cases[] = {
      {"24-bit", "o.wav", {"--format", "s24"}, "(lower --trim, or write --format f32)"},
      {"16-bit FLAC, quiet",
       "o.flac",
       {"--format", "s16", "-q"},
       "(lower --trim, or write --format f32)"},
      {"Ogg Vorbis", "o.ogg", {}, "(lower --trim)"},
      {"float holds it", "o.wav", {"--format", "f32"}, ""},
      {"brought under by --in-gain", "o.wav", {"--format", "s24", "--in-gain", "-3"}, ""},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"render", in, scratch / k.out, "--bypass", "on"};
    args.insert(args.end(), k.options.begin(), k.options.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    const bool warned = r.err.find("tovrasat: warning:") != std::string::npos;
    EXPECT_EQ(warned, !k.advice.empty()) << k.what << ": " << r.err;
    if (warned) {
      const std::string head = "tovrasat: warning: " + scratch / k.out + ": true peak +";
      const std::string line = r.err.substr(0, r.err.find('\n') + 1);
      EXPECT_EQ(line.rfind(head, 0), 0u) << k.what << ": " << r.err;
      // 20 log10 1.2; the codec moves an Ogg file's peaks, and its figure is the decoded file's
      // (RenderWrittenFigures compares it with the file).
      if (std::string(k.out) != "o.ogg")
        EXPECT_NEAR(After(line, head), 1.58, 0.2) << k.what << ": " << r.err;
      else
        EXPECT_GT(After(line, head), 0.0) << k.what << ": " << r.err;
      EXPECT_NE(line.find(over + k.advice + "\n"), std::string::npos) << k.what << ": " << r.err;
    }
  }
}

// The chain clamps at full scale before its trim, so +6 dBFS float material at Gain 0 would come
// out flat-topped. --in-gain brings it under full scale first, as a host's clip gain would.
TEST_F(RenderLoudness, InputGainBringsHotMaterialUnderFullScaleBeforeTheChain) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's chain";
  Write(Sine(48000.0, 48000, 220.0, 2.0), in, ESampleFormat::kFloat32);
  const auto atFullScale = [&](const std::vector<std::string>& more) {
    std::vector<std::string> args{"render", in, scratch / "out.wav", "-q", "--gain", "0"};
    args.insert(args.end(), more.begin(), more.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    size_t flat = 0;
    for (const std::vector<float>& channel : ReadOrFail(scratch / "out.wav").channels)
      for (const float x : channel)
        if (std::fabs(x) >= 0.999f) ++flat;
    return flat;
  };
  EXPECT_GT(atFullScale({}), 1000u);  // the fault is there to be removed
  EXPECT_EQ(atFullScale({"--in-gain", "-7"}), 0u);
}

}  // namespace
