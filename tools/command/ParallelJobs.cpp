// ParallelJobs.cpp: fork, a pipe per job for its messages, poll, and the messages printed in order.
#include "tools/command/ParallelJobs.h"

#include "tools/command/Printable.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

namespace tools {
namespace {

// One job's process as the parent follows it.
struct Child {
  pid_t pid = -1;
  int fd = -1;  // the read end of its standard error
  bool running = false;
  bool done = false;
  std::string messages;
};

// Writes all of text to standard error, however the writes are cut short.
void WriteAll(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

// In the child: runs the job with standard error on the pipe, puts the result where the parent
// reads it, and ends without the parent's exit handlers (they belong to the parent's copies).
[[noreturn]] void RunChild(const ParallelJobs::Job& job, size_t index, int errFd, JobResult* slot,
                           pid_t parent, int failureCode) {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(failureCode);  // the parent ended before the line above
  ::dup2(errFd, STDERR_FILENO);
  ::close(errFd);
  JobResult result{failureCode, 0.0};
  try {
    result = job(index);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tovrasat: %s\n", Printable(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "tovrasat: unexpected failure\n");
  }
  *slot = result;
  std::fflush(nullptr);
  ::_exit(0);
}

}  // namespace

int ParallelJobs::Processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

std::vector<JobResult> ParallelJobs::Run(size_t count, int workers, const Job& job,
                                         const std::vector<std::string>& names, int failureCode) {
  std::vector<JobResult> results(count, JobResult{failureCode, 0.0});
  if (count == 0) return results;
  // The results travel back through memory the children share with the parent.
  const size_t bytes = count * sizeof(JobResult);
  void* shared = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    // Without it no result could come back: the jobs run here, one at a time.
    for (size_t i = 0; i < count; ++i) results[i] = job(i);
    return results;
  }
  auto* slots = static_cast<JobResult*>(shared);
  for (size_t i = 0; i < count; ++i) slots[i] = JobResult{failureCode, 0.0};

  std::fflush(nullptr);  // nothing buffered is written twice, by parent and child
  const pid_t parent = ::getpid();
  std::vector<Child> children(count);
  size_t next = 0;     // the next job to start
  size_t printed = 0;  // jobs whose messages are out
  int running = 0;
  const auto name = [&](size_t i) { return Printable(i < names.size() ? names[i] : "job"); };
  while (printed < count) {
    while (running < std::max(1, workers) && next < count) {
      Child& c = children[next];
      int fds[2];
      if (::pipe2(fds, O_CLOEXEC) != 0) {
        c.messages = "tovrasat: " + name(next) + ": cannot start: " + std::strerror(errno) + "\n";
        c.done = true;
        ++next;
        continue;
      }
      c.pid = ::fork();
      if (c.pid == 0) {
        ::close(fds[0]);
        RunChild(job, next, fds[1], &slots[next], parent, failureCode);
      }
      ::close(fds[1]);
      if (c.pid < 0) {
        c.messages = "tovrasat: " + name(next) + ": cannot start: " + std::strerror(errno) + "\n";
        ::close(fds[0]);
        c.done = true;
      } else {
        c.fd = fds[0];
        c.running = true;
        ++running;
      }
      ++next;
    }
    // Messages are read as they come, so a child never waits on a full pipe.
    std::vector<pollfd> polled;
    std::vector<size_t> which;
    for (size_t i = 0; i < count; ++i)
      if (children[i].running) {
        polled.push_back(pollfd{children[i].fd, POLLIN, 0});
        which.push_back(i);
      }
    // A failed poll (an interrupted one, or a passing lack of memory) is tried again.
    if (!polled.empty() && ::poll(polled.data(), static_cast<nfds_t>(polled.size()), -1) < 0)
      continue;
    for (size_t k = 0; k < polled.size(); ++k) {
      if (polled[k].revents == 0) continue;
      Child& c = children[which[k]];
      char buffer[4096];
      const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
      if (n > 0) {
        c.messages.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // The end of its messages: the child is ending.
      ::close(c.fd);
      c.fd = -1;
      int status = 0;
      while (::waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
      }
      c.running = false;
      c.done = true;
      --running;
      const size_t i = which[k];
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        results[i] = slots[i];
      } else {
        const std::string how = WIFSIGNALED(status)
                                    ? std::string("signal ") + std::to_string(WTERMSIG(status)) +
                                          " (" + ::strsignal(WTERMSIG(status)) + ")"
                                    : "exit code " + std::to_string(WEXITSTATUS(status));
        c.messages += "tovrasat: " + name(i) + ": the render's process ended by " + how + "\n";
        results[i] = JobResult{failureCode, 0.0};
      }
    }
    while (printed < count && children[printed].done) {
      WriteAll(children[printed].messages);
      children[printed].messages.clear();
      ++printed;
    }
  }
  ::munmap(shared, bytes);
  return results;
}

}  // namespace tools
