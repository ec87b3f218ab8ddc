// `tovrasat editor` as a user runs it: a window named after the plug-in and the file, real
// clicks, the host's parameter events on stdout, and OUT holding what was played.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PlatePixels.h"
#include "tests/support/XSession.h"
#include "tests/support/XvfbEnvironment.h"
#include "tools/audiofile/AudioFile.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::XSession;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class EditorCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::XvfbRunning());
    char tmpl[] = "/tmp/x11-editor-cmd-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  /** Starts the command with stdout and stderr in files of dir. */
  void Start(const std::vector<std::string>& args) {
    std::vector<std::string> all{TOVRASAT_BINARY, "--component", TOVRASAT_REAL_COMPONENT};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (dir / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  int Wait() {
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  /** Waits (at most ten seconds) for stdout to hold line. */
  bool WaitForLine(const std::string& line) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadFile(dir / "stdout").find(line + "\n") == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  fs::path dir;
  pid_t pid = -1;
  XSession xs;
};

TEST_F(EditorCommand, BypassClickedWhilePlayingMakesTheRestOfOutTheDryInput) {
  // Half a second of a loud two-tone signal, looped: the saturation changes it audibly.
  tools::AudioFile in;
  in.sampleRate = 48000.0;
  in.channels.assign(2, std::vector<float>(24000));
  for (std::size_t i = 0; i < 24000; ++i) {
    const double t = double(i) / in.sampleRate;
    in.channels[0][i] = float(0.9 * std::sin(2.0 * M_PI * 110.0 * t));
    in.channels[1][i] = float(0.9 * std::sin(2.0 * M_PI * 165.0 * t));
  }
  std::string error;
  ASSERT_TRUE(in.Write((dir / "loop.wav").string(), tools::ESampleFormat::kFloat32, error))
      << error;

  Start({"editor", (dir / "loop.wav").string(), "--out", (dir / "out.wav").string(), "--no-audio"});
  // The window carries the plug-in's and the file's names; xdotool waits until it exists.
  ASSERT_TRUE(
      XSession::Xdo("search --sync --name 'TovraSat - loop.wav' > " + (dir / "window").string()));
  const Window window = std::stoul(ReadFile(dir / "window"));
  ASSERT_TRUE(xs.WaitForFrames(window, 1)) << ReadFile(dir / "stderr");

  // Plays on at the pace of real time; the click comes in the middle of the run.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ASSERT_TRUE(XSession::Xdo("mousemove --window " + std::to_string(window) + " " +
                            testsupport::PlatePoint(337, 768) + " click 1"));
  ASSERT_TRUE(WaitForLine("Bypass = on")) << ReadFile(dir / "stdout");
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  xs.Close(window);
  ASSERT_EQ(Wait(), 0) << ReadFile(dir / "stderr");

  tools::AudioFile out;
  ASSERT_TRUE(tools::AudioFile::Read((dir / "out.wav").string(), out, error)) << error;
  ASSERT_EQ(out.NChannels(), 2);
  ASSERT_GT(out.Frames(), 48000u) << "over a second was played";
  // Frame i of OUT is input frame i modulo the loop's length.
  auto maxDiff = [&](std::size_t from, std::size_t to) {
    double m = 0.0;
    for (int c = 0; c < 2; ++c)
      for (std::size_t i = from; i < to; ++i)
        m = std::max(m, std::abs(double(out.channels[std::size_t(c)][i]) -
                                 in.channels[std::size_t(c)][i % 24000]));
    return m;
  };
  EXPECT_GT(maxDiff(0, 12000), 0.01) << "the start is saturated";
  EXPECT_LT(maxDiff(out.Frames() - 12000, out.Frames()), 1e-6) << "the end is the dry input";
}

TEST_F(EditorCommand, ScaleOpensTheEditorAtThatSize) {
  Start({"editor", "--scale", "1.5", "--no-audio"});
  ASSERT_TRUE(XSession::Xdo("search --sync --name '^TovraSat$' > " + (dir / "window").string()));
  const Window window = std::stoul(ReadFile(dir / "window"));
  ASSERT_TRUE(xs.WaitForFrames(window, 1)) << ReadFile(dir / "stderr");
  const XSession::Geometry g = xs.WindowGeometry(window);
  EXPECT_EQ(g.w, 333);
  EXPECT_EQ(g.h, 999);
  xs.Close(window);
  EXPECT_EQ(Wait(), 0) << ReadFile(dir / "stderr");
}

}  // namespace
