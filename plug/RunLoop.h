// The main thread's run loop on Linux: repeating timers and watched file descriptors in one poll.
#pragma once

#include <functional>
#include <map>
#include <memory>

namespace plug {

// Every operation of a run loop belongs to the thread that pumps it (for Main(): the main thread).
// A run loop does not start a thread of its own; someone pumps it with RunOnce or Run.
//
// Time is in milliseconds on the loop's clock. The system clock is the monotonic clock of the
// machine. A manual clock stands still until AdvanceTo or AdvanceBy moves it: tests and an
// offline host use it to run every timer tick up to a time T deterministically, without sleeping.
//
// Callbacks may add and remove timers and watches (their own included) while they run.
class RunLoop {
 public:
  using TimerCallback = std::function<void()>;
  // Called with the descriptor and the poll events that are ready (POLLIN, POLLHUP, ...).
  using FdCallback = std::function<void(int fd, short revents)>;

  RunLoop();
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // The process-wide loop that Timer::Create uses. It lives until the process ends.
  // Threads: main.
  static RunLoop& Main();

  // --- Clock. Threads: main.
  double NowMs() const;
  // Switches to a manual clock that reads startMs until advanced.
  void UseManualClock(double startMs = 0.0);
  void UseSystemClock();
  bool IsManualClock() const { return mManualClock; }

  // --- Timers. Threads: main.
  // Adds a repeating timer whose first tick is due now. Returns its id (> 0), or -1 when the
  // period is not positive or the callback is empty.
  int AddTimer(TimerCallback callback, double periodMs);
  // False when no such timer exists. A removed timer never fires again.
  bool RemoveTimer(int id);
  int NTimers() const { return static_cast<int>(mTimers.size()); }
  // Time of the earliest due tick, or a negative number when there is no timer.
  double NextDueMs() const;

  // --- File descriptors. Threads: main.
  // Watches fd for the poll events (POLLIN by default). Returns its id (> 0), or -1 for a
  // negative fd or an empty callback.
  int WatchFd(int fd, short events, FdCallback callback);
  bool UnwatchFd(int id);
  int NWatches() const { return static_cast<int>(mWatches.size()); }

  // --- Pumping. Threads: main.
  // Manual clock only: runs every tick due at or before timeMs, one at a time in time order
  // (ties in creation order), each with the clock set to its due time, then leaves the clock at
  // timeMs. A time in the past runs nothing. Returns the number of ticks run, or -1 on the
  // system clock.
  int AdvanceTo(double timeMs);
  int AdvanceBy(double ms) { return AdvanceTo(NowMs() + ms); }
  // Polls the watched descriptors, waiting at most timeoutMs (0: do not wait; negative: until a
  // descriptor is ready) and, on the system clock, no longer than until the next timer tick;
  // dispatches ready descriptors, then runs the timers due now, each once. A timer that fell more
  // than one period behind skips the missed ticks. Returns the number of callbacks run, or -1
  // when poll failed.
  int RunOnce(int timeoutMs);
  // Pumps until Quit is called (from a callback) or nothing is left to wait for. On a manual
  // clock it jumps the clock from tick to tick instead of waiting.
  void Run();
  void Quit() { mQuit = true; }

 private:
  struct TimerEntry {
    std::shared_ptr<TimerCallback> callback;
    double periodMs = 0.0;
    double dueMs = 0.0;
  };
  struct WatchEntry {
    int fd = -1;
    short events = 0;
    std::shared_ptr<FdCallback> callback;
  };

  // The id of the earliest timer due at or before timeMs, or 0.
  int EarliestDue(double timeMs) const;

  std::map<int, TimerEntry> mTimers;  // ordered by id: creation order breaks ties
  std::map<int, WatchEntry> mWatches;
  int mNextId = 1;
  bool mManualClock = false;
  double mManualNowMs = 0.0;
  bool mQuit = false;
};

}  // namespace plug
