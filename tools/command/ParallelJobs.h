// ParallelJobs.h: numbered jobs run a few at a time, each in a process of its own, their messages
// passed on whole and in the order of the jobs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tools {

// What one job reports back.
struct JobResult {
  int code = 0;               // the job's exit code (kExitOk: done)
  double audioSeconds = 0.0;  // audio it went through
};

// A job runs in a child process forked from the caller, so that everything a render keeps for
// the whole process (the main run loop and its manual clock, where the plug-in's idle timer lives,
// and the one temporary file the signal handlers know of) is its own, as in a render alone: the
// files and messages are those the jobs make one at a time. A child ends with its parent (it is
// sent SIGTERM, whose handler removes its unfinished file). What a job writes to standard error
// is held until that job and every one before it have ended, then passed on.
// Threads: the caller's thread must be the process's only one (fork copies only it).
class ParallelJobs {
 public:
  using Job = std::function<JobResult(size_t index)>;

  // The processors this process may run on (at least 1).
  static int Processors();

  // Runs job(0) .. job(count - 1), at most workers at once, and returns their results in order.
  // A job whose process dies or cannot be started gets exit code failureCode and a line on
  // standard error naming it by names[index]; the others go on.
  static std::vector<JobResult> Run(size_t count, int workers, const Job& job,
                                    const std::vector<std::string>& names, int failureCode);
};

}  // namespace tools
