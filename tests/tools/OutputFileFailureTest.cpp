// OutputFileFailureTest.cpp: the tovrasat binary writing OUT onto a file system that fills up
// (a file-size limit in the child makes the kernel refuse writes with EFBIG, as a full disk
// would): the command fails with one line, an existing OUT stays as it was and nothing is left
// behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/support/FolderNames.h"
#include "tests/tools/ToolsTestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FolderNames;
using toolstest::Component;
using toolstest::ReadText;
using toolstest::RunResult;
using toolstest::TempDir;
using toolstest::WriteText;

// Two seconds of stereo float at 48 kHz: far more than the limit below lets OUT have.
void WriteInput(const std::string& path) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  std::vector<float> frames(2 * 96000);
  for (std::size_t i = 0; i < frames.size(); ++i)
    frames[i] = static_cast<float>(0.8 * std::sin(0.01 * static_cast<double>(i)));
  ASSERT_EQ(sf_writef_float(file, frames.data(), 96000), 96000);
  sf_close(file);
}

// Runs the binary with files limited to limitBytes (SIGXFSZ ignored, so writes fail instead of
// killing it); stdout and stderr go to files under the limit too, which a one-line message fits.
RunResult RunLimited(const std::vector<std::string>& args, const TempDir& scratch,
                     rlim_t limitBytes) {
  const std::string outPath = scratch / "stdout";
  const std::string errPath = scratch / "stderr";
  std::vector<std::string> all{TOVRASAT_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  const std::vector<char*> argv = toolstest::ExecArgv(all);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{limitBytes, limitBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return toolstest::Reap(pid, outPath, errPath);
}

TEST(TovrasatOutputFailure, AFullFileSystemKeepsTheExistingOutAndLeavesNothingBehind) {
  TempDir scratch;
  TempDir outFolder;  // OUT alone in its folder, so any leftover shows
  WriteInput(scratch / "in.wav");
  const std::string kept = "an earlier render, which must survive\n";
  WriteText(outFolder / "out.wav", kept);

  for (const std::string format : {"f32", "s16"}) {
    const RunResult r = RunLimited({"--component", Component(), "render", scratch / "in.wav",
                                    outFolder / "out.wav", "--format", format, "-q"},
                                   scratch, 64 * 1024);
    EXPECT_EQ(r.exitCode, 1) << format << ": " << r.err;
    EXPECT_EQ(r.err.rfind("tovrasat:", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(ReadText(outFolder / "out.wav"), kept) << format;
    EXPECT_EQ(FolderNames(outFolder.Path()), std::vector<std::string>{"out.wav"}) << format;
  }

  // Without an OUT before, none appears.
  fs::remove(outFolder / "out.wav");
  const RunResult r = RunLimited(
      {"--component", Component(), "render", scratch / "in.wav", outFolder / "out.wav", "-q"},
      scratch, 64 * 1024);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(FolderNames(outFolder.Path()).empty());

  // The same command under a limit it fits in succeeds: the failure above was the limit's.
  const RunResult fits = RunLimited(
      {"--component", Component(), "render", scratch / "in.wav", outFolder / "out.wav", "-q"},
      scratch, 4 * 1024 * 1024);
  EXPECT_EQ(fits.exitCode, 0) << fits.err;
  EXPECT_GT(fs::file_size(outFolder / "out.wav"), 96000u * 2 * 4);
}

}  // namespace
