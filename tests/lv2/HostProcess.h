// HostProcess: runs a real LV2 host (lv2info, lv2apply, jalv, jackd) as a child process with
// its own environment, feeds its standard input and reads what it prints.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

namespace lv2test {

// A child process with pipes on stdin and stdout (stderr joins stdout). The destructor ends a
// child still running (SIGTERM, then SIGKILL) and reaps it.
class HostProcess {
 public:
  HostProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      const std::size_t eq = entry.find('=');
      if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [key, value] : env) merged[key] = value;
    std::vector<std::string> entries;
    for (const auto& [key, value] : merged) entries.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&mPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    mIn = in[1];
    mOut = out[0];
  }
  ~HostProcess() {
    CloseInput();
    if (mPid > 0 && !mReaped) {
      kill(mPid, SIGTERM);
      if (!WaitExit(std::chrono::seconds(5))) {
        kill(mPid, SIGKILL);
        WaitExit(std::chrono::seconds(5));
      }
    }
    if (mOut >= 0) close(mOut);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Started() const { return mPid > 0; }
  pid_t Pid() const { return mPid; }

  void Send(const std::string& text) {
    if (mIn >= 0 && write(mIn, text.data(), text.size()) < 0) CloseInput();
  }
  void CloseInput() {
    if (mIn >= 0) close(mIn);
    mIn = -1;
  }
  void Signal(int sig) {
    if (mPid > 0 && !mReaped) kill(mPid, sig);
  }

  // Reads output until it contains text (true) or the time is up or the output ends (false).
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (mOutput.find(text, mSearchFrom) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
    }
    mSearchFrom = mOutput.find(text, mSearchFrom) + text.size();
    return true;
  }

  // Reads everything until the child exits; its exit status, 128 + the signal that ended it, or
  // -1 on the timeout.
  int Finish(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) break;
    }
    if (!WaitExit(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()))) {
      return -1;
    }
    return WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : 128 + WTERMSIG(mStatus);
  }

  const std::string& Output() const { return mOutput; }

 private:
  bool ReadSome(int timeoutMs) {
    if (mOut < 0) return false;
    pollfd fd{mOut, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(mOut, buffer, sizeof buffer);
    if (n <= 0) return false;
    mOutput.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  bool WaitExit(std::chrono::milliseconds timeout) {
    if (mReaped) return true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (waitpid(mPid, &mStatus, WNOHANG) == mPid) {
        mReaped = true;
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) return false;
      pollfd none{-1, 0, 0};
      poll(&none, 0, 10);  // a child has no descriptor to wait on: look again shortly
    }
  }

  pid_t mPid = -1;
  int mIn = -1;
  int mOut = -1;
  int mStatus = 0;
  bool mReaped = false;
  std::string mOutput;
  std::size_t mSearchFrom = 0;
};

using testsupport::TempDir;

}  // namespace lv2test
