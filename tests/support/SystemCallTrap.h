// Runs code where it may make no system call: in a child process whose seccomp filter traps
// every call and reports the first one.
#pragma once

#include <functional>

namespace testsupport {

class SystemCallTrap {
 public:
  struct Result {
    // Why nothing could be judged (no child, no filter, a crash, a hang); null otherwise.
    const char* failure = nullptr;
    // The kernel refused the filter (no seccomp here, or a sandbox or debugger that forbids it):
    // the machine cannot judge, which is no fault of the code.
    bool unavailable = false;
    // The number of the first system call the code made; -1 when it made none.
    long systemCall = -1;
    // What the code returned (0 to 255) when it ran to its end without a system call.
    int exitCode = -1;
  };

  // False where no filter can be installed (a kernel or architecture we do not know).
  static bool Available() noexcept;

  // Forks; the child installs the filter and runs code, then ends with its result. Only the
  // calling thread lives on in the child, so code must not wait for another thread; memory is the
  // parent's, copied, and nothing the child changes comes back. Threads: main.
  static Result Run(const std::function<int()>& code, int timeoutMs = 30000);
};

}  // namespace testsupport
