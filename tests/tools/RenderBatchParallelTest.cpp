// RenderBatchParallelTest.cpp: a batch rendered on several processes at once writes the same bytes
// and prints the same lines, in the same order, as one rendered a file at a time.
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tools::ESampleFormat;
using toolstest::ReadText;
using toolstest::RunResult;
using toolstest::Sine;

using RenderBatchParallel = toolstest::RenderFixture;

// The messages with what may differ between two runs taken out: the output folder's name and the
// time a render took.
std::string Comparable(std::string text, const std::string& outDir) {
  for (size_t at = text.find(outDir); at != std::string::npos; at = text.find(outDir, at))
    text.replace(at, outDir.size(), "OUT");
  for (const std::string before : {"rendered in ", "of audio in "}) {
    for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at + 1)) {
      const size_t from = at + before.size();
      const size_t to = text.find_first_not_of("0123456789.", from);
      if (to != from && to != std::string::npos && text.compare(to, 2, " s") == 0) {
        text.replace(from, to - from, "T");
      }
    }
  }
  return text;
}

TEST_F(RenderBatchParallel, EveryWorkerCountWritesTheSameFilesAndLinesAsOneAtATime) {
  if (!toolstest::RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Output Trim";
  const fs::path src = scratch.Path() / "src";
  fs::create_directories(src);
  // Files of different lengths, so they end out of order when rendered together; one that is not
  // audio, whose failure leaves the others; with the trim up, warnings about full scale that must
  // stay beside their file's summary line.
  Write(Sine(48000.0, 40000, 220.0, 0.5), src / "a-long.wav", ESampleFormat::kFloat32);
  Write(Sine(44100.0, 3000, 330.0, 0.4, 1), src / "b-short.flac", ESampleFormat::kInt16);
  toolstest::WriteText(src / "c-broken.wav", "not audio");
  Write(Sine(48000.0, 20000, 440.0, 1.5), src / "d-hot.wav", ESampleFormat::kInt16);
  Write(Sine(96000.0, 9000, 550.0, 0.3), src / "e.wav", ESampleFormat::kInt24);
  Write(Sine(48000.0, 100, 660.0, 0.3), src / "f-tiny.wav", ESampleFormat::kFloat32);
  const std::vector<std::string> names{"a-long.wav", "b-short.flac", "d-hot.wav", "e.wav",
                                       "f-tiny.wav"};

  const std::string serialDir = scratch / "serial";
  const RunResult serial = Run({"render", src.string(), "--out-dir", serialDir, "-j", "1",
                                "--format", "s16", "--trim", "6"});
  ASSERT_EQ(serial.exitCode, 1) << serial.err;
  ASSERT_NE(serial.err.find("c-broken.wav"), std::string::npos) << serial.err;
  ASSERT_NE(serial.err.find("6 files: 5 rendered"), std::string::npos) << serial.err;

  struct Case {
    const char* what;
    std::vector<std::string> workers;
  };
  const Case cases[] = {
      {"two at a time", {"-j", "2"}},
      {"more workers than files", {"-j", "16"}},
      {"every core (the default)", {}},
  };
  for (const Case& k : cases) {
    const std::string outDir = scratch / ("parallel" + std::to_string(&k - cases));
    std::vector<std::string> args{"render",   src.string(), "--out-dir", outDir,
                                  "--format", "s16",        "--trim",    "6"};
    args.insert(args.end(), k.workers.begin(), k.workers.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, serial.exitCode) << k.what << ": " << r.err;
    EXPECT_EQ(Comparable(r.err, outDir), Comparable(serial.err, serialDir)) << k.what;
    for (const std::string& name : names) {
      ASSERT_TRUE(fs::exists(fs::path(outDir) / name)) << k.what << ": " << name;
      EXPECT_EQ(ReadText(fs::path(outDir) / name), ReadText(fs::path(serialDir) / name))
          << k.what << ": " << name << " differs";
    }
    EXPECT_FALSE(fs::exists(fs::path(outDir) / "c-broken.wav")) << k.what;
    EXPECT_TRUE(toolstest::HiddenFiles(outDir).empty()) << k.what;
  }
}

TEST_F(RenderBatchParallel, AWorkerCountBelowOneIsRefused) {
  const RunResult r = Run({"render", in, "--out-dir", scratch / "o", "-j", "0"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("-j"), std::string::npos) << r.err;
}

}  // namespace
