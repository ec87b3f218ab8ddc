// DebuggedHost: a host process run under gdb in batch mode, so that when it crashes or stalls
// the stacks of all its threads are printed (thread-stacks.py) before it goes.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/lv2/HostProcess.h"

namespace lv2test {

class DebuggedHost {
 public:
  enum class End {
    kExited,   // the host ended by itself; Status() is its exit status
    kCrashed,  // a fatal signal stopped it
    kStalled,  // it did not end in time and was interrupted
    kLost,     // gdb gave no account of the host
  };

  /** args[0] is a shell script that execs the host (found on PATH when it names no folder);
   *  stacksScript is thread-stacks.py. */
  DebuggedHost(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               const std::string& stacksScript)
      : mGdb(GdbArgs(args, stacksScript), env) {}

  bool Started() const { return mGdb.Started(); }
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
    return mGdb.WaitFor(text, timeout);
  }

  /** Waits for the host to end; when it has not ended within timeout, interrupts it, so that
   *  gdb prints its stacks and ends it. */
  End Finish(std::chrono::milliseconds timeout) {
    if (mGdb.Finish(timeout) < 0) {
      mInterrupted = true;
      for (const pid_t child : Children(mGdb.Pid())) kill(child, SIGINT);
      if (mGdb.Finish(std::chrono::seconds(60)) < 0) return End::kLost;
    }
    const std::string& out = mGdb.Output();
    const std::size_t exited = out.find("[Inferior 1 (process ");
    if (exited != std::string::npos) {
      const std::size_t code = out.find(") exited with code ", exited);
      mStatus = code == std::string::npos ? 0 : std::stoi(out.substr(code + 19), nullptr, 8);
      return End::kExited;
    }
    if (mInterrupted) return End::kStalled;
    if (out.find(" received signal SIG") != std::string::npos) return End::kCrashed;
    return End::kLost;
  }

  int Status() const { return mStatus; }
  /** What the host and gdb printed, the stacks last. */
  const std::string& Output() const { return mGdb.Output(); }

 private:
  static std::vector<std::string> GdbArgs(const std::vector<std::string>& args,
                                          const std::string& stacksScript) {
    std::vector<std::string> gdb{
        "gdb", "-batch", "-nx", "-q",
        // Nothing is fetched from the network, and the host's own signals pass through.
        "-ex", "set debuginfod enabled off", "-ex", "set pagination off", "-ex",
        "set print thread-events off", "-ex", "set startup-with-shell off", "-ex",
        "handle all nostop noprint pass", "-ex",
        "handle SIGSEGV SIGABRT SIGBUS SIGFPE SIGILL stop print nopass", "-ex",
        "handle SIGINT stop print nopass", "-ex", "run", "-ex", "source " + stacksScript,
        "--args"};
    // gdb follows the wrapper script's exec into the host itself.
    gdb.insert(gdb.end(), {"/bin/sh", OnPath(args.at(0))});
    gdb.insert(gdb.end(), args.begin() + 1, args.end());
    return gdb;
  }

  static std::string OnPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
      const std::filesystem::path file = std::filesystem::path(folder) / name;
      if (access(file.c_str(), X_OK) == 0) return file.string();
    }
    return name;
  }

  // The host is gdb's child; a wrapper script's exec keeps its process id.
  static std::vector<pid_t> Children(pid_t parent) {
    std::vector<pid_t> children;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(parent) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
      std::ifstream list(task.path() / "children");
      for (pid_t pid = 0; list >> pid;) children.push_back(pid);
    }
    return children;
  }

  HostProcess mGdb;
  bool mInterrupted = false;
  int mStatus = -1;
};

}  // namespace lv2test
