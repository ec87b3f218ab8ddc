// ToolsTestSupport.h: the shared folders and environment (tests/support), file text, and a runner
// for the tovrasat binary.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Environment.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace toolstest {

using testsupport::TempDir;

using testsupport::PrivateHome;
using testsupport::ScopedEnv;

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Whether the tests run against TovraSat.component. When the build makes it, always (a missing
// bundle then fails the tests); otherwise only if one happens to be there, and the host tests' gain
// unit stands in for it.
inline bool RealBundleBuilt() {
#ifdef TOVRASAT_REAL_COMPONENT_EXPECTED
  return true;
#else
  return std::filesystem::exists(std::filesystem::path(TOVRASAT_REAL_COMPONENT) / "Contents" /
                                 "Info.plist");
#endif
}

inline std::string Component() {
  return RealBundleBuilt() ? TOVRASAT_REAL_COMPONENT : GAIN_FIXTURE_BUNDLE;
}

struct RunResult {
  int exitCode = -1;  // -1: did not exit normally (a crash)
  std::string out, err;
};

// A run the command must refuse: the exit code it ends with and a part of the one line it prints.
struct Refusal {
  const char* what;
  std::vector<std::string> args;
  int code;
  std::string message;
};

// Refused as a user should see it: the right code and one line on stderr, "tovrasat: ...", that
// holds the message.
inline void ExpectRefused(const RunResult& r, const Refusal& k) {
  EXPECT_EQ(r.exitCode, k.code) << k.what << ": " << r.err;
  EXPECT_EQ(r.err.rfind("tovrasat: ", 0), 0u) << k.what << ": " << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << k.what << ": " << r.err;
  EXPECT_NE(r.err.find(k.message), std::string::npos) << k.what << ": " << r.err;
}

// The argument vector exec wants: pointers into args, then a null.
inline std::vector<char*> ExecArgv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Waits for the child pid (-1: none was started) and reads what it wrote to the two files.
inline RunResult Reap(pid_t pid, const std::string& outPath, const std::string& errPath) {
  RunResult result;
  if (pid < 0) return result;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

// Runs args[0] (a path) with the rest as its arguments in the current environment, its stdout
// and stderr into the two files, and waits for it.
inline RunResult RunCapturing(std::vector<std::string> args, const std::string& outPath,
                              const std::string& errPath) {
  const std::vector<char*> argv = ExecArgv(args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return Reap(spawned == 0 ? pid : -1, outPath, errPath);
}

// Runs the tovrasat binary with args in the current environment (use ScopedEnv), capturing its
// stdout and stderr in files of scratch.
inline RunResult RunTool(const std::vector<std::string>& args, const TempDir& scratch) {
  static int serial = 0;
  const std::string outPath = scratch / ("stdout" + std::to_string(serial));
  const std::string errPath = scratch / ("stderr" + std::to_string(serial++));
  std::vector<std::string> all{TOVRASAT_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  return RunCapturing(std::move(all), outPath, errPath);
}

// Runs command with /bin/sh, the tovrasat binary in $T, capturing stdout and stderr likewise: for
// pipes between processes.
inline RunResult RunShell(const std::string& command, const TempDir& scratch) {
  ScopedEnv binary("T", std::string(TOVRASAT_BINARY));
  return RunCapturing({"/bin/sh", "-c", command}, scratch / "shell-stdout",
                      scratch / "shell-stderr");
}

}  // namespace toolstest
