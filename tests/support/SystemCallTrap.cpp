// SystemCallTrap: fork, a seccomp filter that lets through only the report and the exit, and a
// SIGSYS handler that writes the trapped call's number to the parent.
#include "tests/support/SystemCallTrap.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <cstddef>

namespace testsupport {
namespace {

#if defined(__x86_64__)
constexpr unsigned kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kArch = AUDIT_ARCH_AARCH64;
#else
constexpr unsigned kArch = 0;
#endif

// Exit codes of the child that are not the code's own result; the pipe tells them apart.
constexpr int kTrappedExit = 111;
constexpr int kNoFilterExit = 112;
constexpr long kNoFilter = -2;

int gReportFd = -1;

[[noreturn]] void ExitThread(int code) {
  // The raw exit of the only thread: no atexit handlers, no flushing, nothing the filter traps.
  for (;;) syscall(SYS_exit, code);
}

void OnTrappedCall(int, siginfo_t* info, void*) {
  const long number = info->si_syscall;
  [[maybe_unused]] const ssize_t written = write(gReportFd, &number, sizeof number);
  ExitThread(kTrappedExit);
}

// Allowed: exit, the return from the handler, and writes to the report pipe. Everything else
// traps into OnTrappedCall; a foreign architecture's calls kill the child.
bool InstallFilter(int reportFd) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_rt_sigreturn, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_write, 0, 3),
      // The file descriptor's low 32 bits (args are 64-bit, little-endian here).
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(reportFd), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  struct sigaction action {};
  action.sa_sigaction = OnTrappedCall;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigset_t sys;
  sigemptyset(&sys);
  sigaddset(&sys, SIGSYS);
  return sigaction(SIGSYS, &action, nullptr) == 0 &&
         pthread_sigmask(SIG_UNBLOCK, &sys, nullptr) == 0 &&
         prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace

bool SystemCallTrap::Available() noexcept {
  return kArch != 0;
}

SystemCallTrap::Result SystemCallTrap::Run(const std::function<int()>& code, int timeoutMs) {
  Result result;
  if (!Available()) {
    result.failure = "no seccomp filter for this architecture";
    result.unavailable = true;
    return result;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result.failure = "pipe2 failed";
    return result;
  }
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    result.failure = "fork failed";
    return result;
  }
  if (child == 0) {
    close(fds[0]);
    gReportFd = fds[1];
    if (!InstallFilter(fds[1])) {
      [[maybe_unused]] const ssize_t written = write(fds[1], &kNoFilter, sizeof kNoFilter);
      ExitThread(kNoFilterExit);
    }
    ExitThread(code() & 0xff);
  }

  close(fds[1]);
  long report = -1;
  std::size_t got = 0;
  bool hung = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      hung = true;
      break;
    }
    const ssize_t n = read(fds[0], reinterpret_cast<char*>(&report) + got, sizeof report - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the child's end closed: it has ended
    got += static_cast<std::size_t>(n);
    if (got == sizeof report) break;
  }
  close(fds[0]);
  if (hung) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  if (hung) {
    result.failure = "the code did not end in time (waiting for a lock or another thread?)";
  } else if (got == sizeof report && report == kNoFilter) {
    result.failure = "the kernel refused the seccomp filter";
    result.unavailable = true;
  } else if (got == sizeof report) {
    result.systemCall = report;
  } else if (!WIFEXITED(status)) {
    result.failure = "the child ended by a signal (a crash, or a foreign system call)";
  } else {
    result.exitCode = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace testsupport
