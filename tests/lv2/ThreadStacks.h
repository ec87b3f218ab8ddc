// ThreadStacks: a stopped host's thread stacks as thread-stacks.py prints them under gdb, and
// the judgement whether the host's crash or stall is one of its own known faults or may be ours.
#pragma once

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace lv2test {

/** Ardour 7.3 corrupts its heap while it frees its export objects, and can deadlock when an
 *  export starts (the process lock held while the butler waits for it), with no plug-in on the
 *  session at all. A retry of such a failure is only sound when the stacks show that none of our
 *  code took part: these rules decide that, and any doubt counts as ours. */
class ThreadStacks {
 public:
  struct Frame {
    std::string function;
    std::string object;  // the shared object (or executable) the frame's code is in
  };
  struct Thread {
    std::string title;  // "thread", gdb's number, LWP and name, for the messages
    bool stopped = false;  // the thread the stopping signal was for
    std::vector<Frame> frames;  // innermost first
  };
  struct Verdict {
    bool hostFault = false;
    std::string reason;
  };

  /** The stacks in gdb's output (everything before the "thread stacks:" line is skipped). */
  static ThreadStacks Parse(const std::string& gdbOutput) {
    ThreadStacks stacks;
    std::istringstream lines(gdbOutput);
    bool inStacks = false;
    for (std::string line; std::getline(lines, line);) {
      if (line == "thread stacks:") {
        inStacks = true;
      } else if (!inStacks) {
        continue;
      } else if (line.starts_with("Thread ") && line.ends_with(":")) {
        Thread thread;
        thread.stopped = line.ends_with(" stopped:");
        thread.title = "thread " + line.substr(7, line.rfind(')') + 1 - 7);
        stacks.mThreads.push_back(thread);
      } else if (line.starts_with("#") && !stacks.mThreads.empty()) {
        const std::size_t in = line.rfind(" in ");
        const std::size_t name = line.find_first_not_of(' ', line.find(' '));
        if (in == std::string::npos || name == std::string::npos || name > in) continue;
        stacks.mThreads.back().frames.push_back({line.substr(name, in - name), line.substr(in + 4)});
      }
    }
    return stacks;
  }

  const std::vector<Thread>& Threads() const { return mThreads; }

  /** A crash is the host's own when the crashing thread runs Ardour's code and none of ours. */
  Verdict TriageCrash() const {
    const Thread* crashed = nullptr;
    for (const Thread& t : mThreads) {
      if (t.stopped) crashed = &t;
    }
    if (crashed == nullptr) return {false, "no stack of the crashing thread to judge by"};
    if (const Frame* ours = FirstOurs(*crashed)) {
      return {false, "the crashing " + crashed->title + " runs our code: " + Describe(*ours)};
    }
    const Frame* ardours = FirstArdours(*crashed);
    if (ardours == nullptr) {
      return {false, "the crashing " + crashed->title + " holds no frame of Ardour's"};
    }
    return {true, "Ardour's own crash in " + crashed->title + ", in " + Describe(*ardours) +
                      ", with no frame of ours"};
  }

  /** A stall is the host's own when no thread waits in our code (the poll of our run loop, which
   *  a host's idle call pumps, aside) and Ardour's threads are the ones waiting. */
  Verdict TriageStall() const {
    std::size_t ardourThreads = 0;
    for (const Thread& t : mThreads) {
      if (const Frame* ours = FirstOurs(t); ours != nullptr && !IdleWait(t)) {
        return {false, t.title + " waits inside our code: " + Describe(*ours)};
      }
      if (FirstArdours(t) != nullptr) ++ardourThreads;
    }
    if (ardourThreads == 0) return {false, "no stack of Ardour's threads to judge by"};
    return {true, "Ardour's own stall: " + std::to_string(ardourThreads) +
                      " of its threads wait, none inside our code"};
  }

  static bool IsOurs(const Frame& f) {
    const std::string name = f.object.substr(f.object.rfind('/') + 1);
    return name == "TovraSat.so" || name == "libtovrasdk.so";
  }

 private:
  static bool IsArdours(const Frame& f) { return f.object.find("/ardour7/") != std::string::npos; }
  static bool IsLibc(const Frame& f) {
    return f.object.substr(f.object.rfind('/') + 1).starts_with("libc.so");
  }

  static const Frame* FirstOurs(const Thread& t) {
    for (const Frame& f : t.frames) {
      if (IsOurs(f)) return &f;
    }
    return nullptr;
  }
  static const Frame* FirstArdours(const Thread& t) {
    for (const Frame& f : t.frames) {
      if (IsArdours(f)) return &f;
    }
    return nullptr;
  }

  // A thread pumping our run loop between two timers: its poll, inside libc, bounded by the tick.
  static bool IdleWait(const Thread& t) {
    if (t.frames.empty() || !IsLibc(t.frames[0]) ||
        t.frames[0].function.find("poll") == std::string::npos) {
      return false;
    }
    for (const Frame& f : t.frames) {
      if (IsOurs(f)) return f.function.find("RunLoop") != std::string::npos;
      if (!IsLibc(f)) return false;
    }
    return false;
  }

  static std::string Describe(const Frame& f) { return f.function + " in " + f.object; }

  std::vector<Thread> mThreads;
};

}  // namespace lv2test
