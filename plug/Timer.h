// A repeating timer on a run loop (the main thread's unless told otherwise).
#pragma once

#include <functional>
#include <memory>

#include "plug/RunLoop.h"

namespace plug {

// The first tick is due at creation, then one every period. Destroying the timer stops it.
class Timer {
 public:
  using Callback = std::function<void(Timer&)>;

  // A timer on RunLoop::Main(); null when periodMs is not positive or the callback is empty.
  // Threads: main.
  static std::unique_ptr<Timer> Create(Callback callback, int periodMs);
  // The same on the given loop, which must outlive the timer. Threads: the loop's thread.
  static std::unique_ptr<Timer> Create(RunLoop& loop, Callback callback, int periodMs);

  // Threads: main (the loop's thread).
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // No tick after this returns. Threads: main (the loop's thread).
  void Stop();
  // Threads: main (the loop's thread).
  bool IsRunning() const { return mId > 0; }
  int GetPeriodMs() const { return mPeriodMs; }

 private:
  Timer(RunLoop& loop, int periodMs);

  RunLoop& mLoop;
  int mPeriodMs;
  int mId = -1;
};

}  // namespace plug
