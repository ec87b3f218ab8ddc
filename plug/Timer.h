// A repeating timer on a CoreFoundation run loop (the main thread's unless told otherwise).
#pragma once

#include <CoreFoundation/CFRunLoop.h>

#include <functional>
#include <memory>

namespace plug {

// The first tick is due at creation, then one every period, in the run loop's common modes (so
// it also ticks while the host runs the loop in a mode of its own). Destroying the timer stops it.
// The main run loop is the platform's, shared with the host: the host pumps it.
class Timer {
 public:
  using Callback = std::function<void(Timer&)>;

  // A timer on the main run loop; null when periodMs is not positive or the callback is empty.
  // Threads: main.
  static std::unique_ptr<Timer> Create(Callback callback, int periodMs);
  // The same on the given loop. Threads: the loop's thread.
  static std::unique_ptr<Timer> Create(CFRunLoopRef loop, Callback callback, int periodMs);

  // Invalidates the timer first: no tick after this, also when called from the timer's own tick.
  // Threads: main (the loop's thread).
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // No tick after this returns. Threads: main (the loop's thread).
  void Stop();
  // Threads: main (the loop's thread).
  bool IsRunning() const;
  int GetPeriodMs() const { return mPeriodMs; }

 private:
  struct Shared;

  explicit Timer(int periodMs) : mPeriodMs(periodMs) {}

  int mPeriodMs;
  CFRunLoopTimerRef mTimer = nullptr;
};

}  // namespace plug
