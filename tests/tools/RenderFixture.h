// RenderFixture.h: what the tests of tovrasat render share: a sine in a file, files read back, the
// hidden files a render may leave, and a fixture running the command on the plug-in bundle.
#pragma once

#include "tests/tools/ToolsTestSupport.h"
#include "tools/audiofile/AudioFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace toolstest {

// amplitude times a sine at hz, each channel 0.3 rad later than the one before.
inline tools::AudioFile Sine(double rate, size_t frames, double hz, double amplitude,
                             int channels = 2) {
  tools::AudioFile f;
  f.sampleRate = rate;
  f.channels.assign(static_cast<size_t>(channels), std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      f.channels[static_cast<size_t>(c)][i] = static_cast<float>(
          amplitude * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate + 0.3 * c));
  return f;
}

inline tools::AudioFile ReadOrFail(const std::string& path) {
  tools::AudioFile f;
  std::string error;
  EXPECT_TRUE(tools::AudioFile::Read(path, f, error)) << error;
  return f;
}

// Names starting with a dot under dir: what an unfinished or failed write leaves.
inline std::vector<std::filesystem::path> HiddenFiles(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> hidden;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.path().filename().string().rfind(".", 0) == 0) hidden.push_back(e.path());
  return hidden;
}

// in: 9000 frames of a 220 Hz sine at half scale, 48 kHz stereo float.
class RenderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(Sine(48000.0, 9000, 220.0, 0.5), in, tools::ESampleFormat::kFloat32);
  }

  static void Write(const tools::AudioFile& f, const std::string& path,
                    tools::ESampleFormat format) {
    std::string error;
    ASSERT_TRUE(f.Write(path, format, error)) << error;
  }

  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--component", Component()});
    return RunTool(args, scratch);
  }

  TempDir scratch;
  PrivateHome home;
  ScopedEnv componentEnv{"TOVRASAT_COMPONENT", std::nullopt};
  std::string in = scratch / "in.wav";
};

}  // namespace toolstest
