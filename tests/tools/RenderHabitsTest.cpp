// RenderHabitsTest.cpp: tovrasat render where a user meets it first: outputs kept inside
// --out-dir, bypass that nulls, damaged input said as such, and the command's messages, help and
// summary.
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/audiofile/AudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tools::AudioFile;
using tools::ESampleFormat;
using toolstest::ReadText;
using toolstest::Refusal;
using toolstest::RenderFixture;
using toolstest::RunResult;
using toolstest::Sine;
using toolstest::WriteText;

// A file's samples as 16-bit integers, interleaved.
std::vector<short> ReadShorts(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) return {};
  std::vector<short> samples(static_cast<size_t>(info.frames * info.channels));
  sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);
  return samples;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class RenderHabits : public RenderFixture {};

// A suffix is part of a file name: one that would lead the output anywhere else is refused
// before anything is rendered, and the file it pointed at stays as it was.
TEST_F(RenderHabits, ASuffixThatLeavesTheOutputFolderIsRefusedBeforeRendering) {
  const fs::path work = scratch / "work";
  fs::create_directories(work / "o");
  const fs::path victim = scratch / "b.wav";
  struct Case {
    const char* what;
    std::string suffix;
    std::string message;
  };
  const Case cases[] = {
      {"up and out through separators", "/../../b", "holds a path separator"},
      {"into a sub-folder", "/x", "holds a path separator"},
      {"a parent reference alone", "..", "holds '..'"},
      {"a newline", "-a\nb", "holds a control character"},
      {"an escape", "-\x1b[2K", "holds a control character"},
  };
  for (const Case& k : cases) {
    WriteText(victim, "KEEP");
    const RunResult r =
        Run({"render", in, "--out-dir", (work / "o").string(), "--suffix", k.suffix, "-q"});
    toolstest::ExpectRefused(r, Refusal{k.what, {}, 2, k.message});
    EXPECT_NE(r.err.find("(see tovrasat render --help)"), std::string::npos) << k.what;
    EXPECT_EQ(ReadText(victim), "KEEP") << k.what;
    EXPECT_TRUE(fs::is_empty(work / "o")) << k.what;
  }
  // A suffix that stays a name is written where it says.
  ASSERT_EQ(
      Run({"render", in, "--out-dir", (work / "o").string(), "--suffix", "-sat.v2", "-q"}).exitCode,
      0);
  EXPECT_TRUE(fs::exists(work / "o" / "in-sat.v2.wav"));
}

// 16-bit audio that passes untouched (bypass, Gain 0 %) is written back bit for bit, so a null
// test against the input is digital silence; audio the plug-in changed keeps its dither.
TEST_F(RenderHabits, UntouchedSixteenBitAudioNullsAndProcessedAudioKeepsItsDither) {
  if (!toolstest::RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Gain and Bypass";
  // Noise over nearly the whole range and a quiet passage: every step value, not only a sine's.
  AudioFile source = Sine(48000.0, 48000, 441.0, 0.02);
  uint32_t state = 12345;
  for (size_t i = 0; i < 24000; ++i) {
    state = state * 1664525u + 1013904223u;
    // Within the engine's ceiling (0.9999 of full scale), which Gain 0 % keeps as well.
    const auto step = static_cast<int>((state >> 16) % 64001) - 32000;
    source.channels[0][i] = static_cast<float>(step) / 32768.0f;
    source.channels[1][i] = static_cast<float>(step / 7) / 32768.0f;
  }
  const std::string in16 = scratch / "in16.wav";
  Write(source, in16, ESampleFormat::kInt16);
  const std::vector<short> input = ReadShorts(in16);

  struct Case {
    const char* what;
    std::vector<std::string> options;
    bool nulls;
  };
  const Case cases[] = {
      {"bypass", {"--bypass", "on", "--gain", "80"}, true},
      {"Gain 0 %", {"--gain", "0"}, true},
      {"Gain 60 %", {"--gain", "60"}, false},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"render", in16, scratch / "out.wav", "-q"};
    args.insert(args.end(), k.options.begin(), k.options.end());
    ASSERT_EQ(Run(args).exitCode, 0) << k.what;
    const std::vector<short> output = ReadShorts(scratch / "out.wav");
    ASSERT_EQ(output.size(), input.size()) << k.what;
    size_t differing = 0;
    for (size_t i = 0; i < input.size(); ++i) differing += output[i] != input[i] ? 1 : 0;
    if (k.nulls) {
      EXPECT_EQ(differing, 0u) << k.what;
      continue;
    }
    // Processed: the dithered file and the undithered one differ in a good share of samples.
    args.push_back("--no-dither");
    args[2] = scratch / "plain.wav";
    ASSERT_EQ(Run(args).exitCode, 0) << k.what;
    const std::vector<short> plain = ReadShorts(scratch / "plain.wav");
    size_t dithered = 0;
    for (size_t i = 0; i < output.size(); ++i) dithered += output[i] != plain[i] ? 1 : 0;
    EXPECT_GT(dithered, output.size() / 5) << k.what;
  }
}

// NaN and infinite samples are damage in a float file: the render counts them and says so.
TEST_F(RenderHabits, NonFiniteInputSamplesAreCountedInAWarning) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    std::vector<float> damage;  // written into the left channel from frame 100 on
    std::string warning;        // empty: none
  };
  const Case cases[] = {
      {"clean", {}, ""},
      {"one NaN", {nan}, "1 sample is not a number or infinite"},
      {"NaN and both infinities", {nan, inf, -inf, nan}, "4 samples are not a number or infinite"},
  };
  for (const Case& k : cases) {
    AudioFile source = Sine(48000.0, 4800, 220.0, 0.5);
    for (size_t i = 0; i < k.damage.size(); ++i) source.channels[0][100 + 7 * i] = k.damage[i];
    const std::string damaged = scratch / "damaged.wav";
    Write(source, damaged, ESampleFormat::kFloat32);
    const RunResult r = Run({"render", damaged, scratch / "out.wav", "-q"});
    EXPECT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    if (k.warning.empty()) {
      EXPECT_TRUE(r.err.empty()) << k.what << ": " << r.err;
    } else {
      EXPECT_EQ(r.err.rfind("tovrasat: warning: " + damaged + ": " + k.warning, 0), 0u)
          << k.what << ": " << r.err;
    }
  }
}

// Usage errors: a slip of the keys gets the name it most likely meant, and every usage error
// ends with the help that shows the right usage.
TEST_F(RenderHabits, UsageErrorsSuggestTheNameMeantAndPointAtTheHelp) {
  const std::string c = toolstest::Component();
  const std::string out = scratch / "out.wav";
  const Refusal cases[] = {
      {"a swapped pair of letters",
       {"render", in, out, "--gian", "5"},
       2,
       "unknown option '--gian'; did you mean '--gain'? (see tovrasat render --help)"},
      {"a missing letter",
       {"render", in, out, "--oversampe", "2"},
       2,
       "did you mean '--oversample'? (see tovrasat render --help)"},
      {"a misspelt command",
       {"rendr", in, out},
       2,
       "unknown command 'rendr'; did you mean 'render'?"},
      {"nothing near", {"render", in, out, "--xyzzy"}, 2, "unknown option '--xyzzy' (see"},
      {"the input as output", {"render", in, in}, 2, "(see tovrasat render --help)"},
      {"standard input in a batch",
       {"render", "-", "--out-dir", scratch / "o"},
       2,
       "render it alone as IN OUT (see tovrasat render --help)"},
      {"a container no writer has",
       {"render", in, scratch / "x.mp3"},
       2,
       "(see tovrasat render --help)"},
      {"saving the built-in preset",
       {"presets", "save", "Default"},
       2,
       "choose another name (see tovrasat presets save --help)"},
      {"a snapshot not named .png",
       {"snapshot", scratch / "x.jpg"},
       2,
       "name it .png (see tovrasat snapshot --help)"},
  };
  for (const Refusal& k : cases) {
    std::vector<std::string> args{"--component", c};
    args.insert(args.end(), k.args.begin(), k.args.end());
    const RunResult r = toolstest::RunTool(args, scratch);
    toolstest::ExpectRefused(r, k);
    EXPECT_EQ(r.err.substr(r.err.size() - 8), "--help)\n") << k.what << ": " << r.err;
  }
}

// "help COMMAND" is the command's --help.
TEST_F(RenderHabits, HelpCommandShowsTheCommandsHelp) {
  struct Case {
    std::vector<std::string> args;
    std::string usage;
  };
  const Case cases[] = {
      {{"help", "render"}, "Usage: tovrasat render [OPTIONS] FILES..."},
      {{"help", "presets", "save"}, "Usage: tovrasat presets save [OPTIONS] NAME"},
      {{"help"}, "Usage: tovrasat [OPTIONS] SUBCOMMAND"},
  };
  for (const Case& k : cases) {
    const RunResult asked = toolstest::RunTool(k.args, scratch);
    EXPECT_EQ(asked.exitCode, 0) << k.usage << ": " << asked.err;
    EXPECT_NE(asked.out.find(k.usage), std::string::npos) << asked.out;
    std::vector<std::string> option(k.args.begin() + 1, k.args.end());
    option.emplace_back("--help");
    EXPECT_EQ(asked.out, toolstest::RunTool(option, scratch).out) << k.usage;
  }
}

// What the file libraries report, said as the command speaks: the reason, not the library's
// wording or its codec's internals.
TEST_F(RenderHabits, LibraryFailuresAreSaidInTheCommandsWords) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {"a missing input",
       {"render", scratch / "none.wav", scratch / "o.wav"},
       "none.wav: cannot read audio: no such file or directory"},
      {"a file that is not audio",
       {"render", scratch / "text.wav", scratch / "o.wav"},
       "text.wav: cannot read audio: format not recognised"},
      {"FLAC to a full disk",
       {"render", in, "/dev/full", "--type", "flac"},
       "/dev/full: cannot write: no space left on device"},
      {"WAV to a full disk",
       {"render", in, "/dev/full", "--type", "wav"},
       "/dev/full: cannot write: no space left on device"},
  };
  WriteText(scratch / "text.wav", "not audio at all\n");
  for (const Case& k : cases) {
    const RunResult r = Run(k.args);
    EXPECT_EQ(r.exitCode, 1) << k.what;
    EXPECT_EQ(
        r.err,
        "tovrasat: " + (k.message.find("/dev/full") == 0 ? k.message : (scratch / "") + k.message) +
            "\n")
        << k.what;
  }
}

// Damaged headers: a rate no audio runs at is refused before rendering; a file one frame short
// is said in frames, where seconds would read the same.
TEST_F(RenderHabits, DamagedHeadersAreSaidAsTheyAre) {
  AudioFile source = Sine(48000.0, 21600, 220.0, 0.1);
  for (const int rate : {1, 999, 50000000}) {
    source.sampleRate = 48000.0;
    const std::string bad = scratch / "rate.wav";
    Write(source, bad, ESampleFormat::kInt16);
    // The rate sits at byte 24 of the canonical header libsndfile writes.
    std::string bytes = ReadText(bad);
    for (int b = 0; b < 4; ++b)
      bytes[24 + static_cast<size_t>(b)] = static_cast<char>(rate >> (8 * b));
    WriteText(bad, bytes);
    WriteText(scratch / "out.wav", "KEEP");
    const RunResult r = Run({"render", bad, scratch / "out.wav"});
    toolstest::ExpectRefused(
        r, Refusal{"rate", {}, 1, "header gives a sample rate of " + std::to_string(rate) + " Hz"});
    EXPECT_EQ(ReadText(scratch / "out.wav"), "KEEP") << rate;
  }
  const std::string whole = scratch / "whole.wav";
  Write(source, whole, ESampleFormat::kInt16);
  const std::string bytes = ReadText(whole);
  const std::string cut = scratch / "cut.wav";
  WriteText(cut, bytes.substr(0, bytes.size() - 4));  // one 16-bit stereo frame less
  const RunResult r = Run({"render", cut, scratch / "out.wav", "-q"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "tovrasat: warning: " + cut +
                       " ends after 21599 of the 21600 frames its header gives\n");
}

// The summary: a short block for one file, one line a file for a batch, each line within 80
// columns beside the file's name; no figure reads "-0.00".
TEST_F(RenderHabits, TheSummaryFitsATerminalAndNeverSaysMinusZero) {
  // Peaks a hair under full scale: -0.0009 dB.
  const std::string near = scratch / "near.wav";
  Write(Sine(48000.0, 48000, 1000.0, 0.9999), near, ESampleFormat::kFloat32);
  const std::string out = scratch / "o.wav";
  const RunResult one = Run({"render", near, out, "--bypass", "on"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  const std::vector<std::string> block = Lines(one.err);
  ASSERT_EQ(block.size(), 5u) << one.err;
  EXPECT_EQ(block[0].rfind(out + ": ", 0), 0u) << one.err;
  for (size_t i = 0; i < block.size(); ++i)
    EXPECT_LE(block[i].size() - (i == 0 ? out.size() : 0), 80u) << block[i];
  EXPECT_EQ(one.err.find("-0.00"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find("peak in 0.00 dBFS, out 0.00 dBFS"), std::string::npos) << one.err;

  const fs::path dir = scratch / "batch";
  const RunResult batch = Run({"render", near, in, "--out-dir", dir.string(), "--bypass", "on"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  const std::vector<std::string> lines = Lines(batch.err);
  ASSERT_EQ(lines.size(), 3u) << batch.err;  // a line per file and the batch's own
  for (const std::string& name : {(dir / "near.wav").string(), (dir / "in.wav").string()}) {
    size_t found = 0;
    for (const std::string& line : lines)
      if (line.rfind(name + ": ", 0) == 0) {
        ++found;
        EXPECT_LE(line.size() - name.size(), 60u) << line;
      }
    EXPECT_EQ(found, 1u) << name << ": " << batch.err;
  }
  EXPECT_EQ(batch.err.find("-0.00"), std::string::npos) << batch.err;
}

// An input with no frames gives a file of each container that readers take: an AIFF among them
// has its sound data chunk.
TEST_F(RenderHabits, AnEmptyAiffHasItsSoundChunk) {
  AudioFile empty;
  empty.sampleRate = 48000.0;
  empty.channels.assign(2, {});
  for (const ESampleFormat samples :
       {ESampleFormat::kFloat32, ESampleFormat::kInt24, ESampleFormat::kInt16}) {
    const std::string input = scratch / "empty.wav";
    Write(empty, input, samples);
    const std::string out = scratch / "empty.aiff";
    ASSERT_EQ(Run({"render", input, out, "-q"}).exitCode, 0);
    EXPECT_NE(ReadText(out).find("SSND"), std::string::npos) << static_cast<int>(samples);
    EXPECT_EQ(toolstest::ReadOrFail(out).Frames(), 0u);
  }
}

}  // namespace
