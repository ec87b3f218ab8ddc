// Timer: a CFRunLoopTimer whose info is a reference-counted callback, so a tick survives its own
// timer's destruction.
#include "plug/Timer.h"

#include <atomic>

namespace plug {

// What the run loop holds as the timer's info. The loop retains it around each tick, so a
// callback that destroys its own Timer finishes on a live copy of itself.
struct Timer::Shared {
  static_assert(std::atomic<int>::is_always_lock_free);
  std::atomic<int> references{1};
  Callback callback;
  Timer* owner;

  static const void* Retain(const void* info) {
    static_cast<Shared*>(const_cast<void*>(info))
        ->references.fetch_add(1, std::memory_order_relaxed);
    return info;
  }
  static void Release(const void* info) {
    auto* shared = static_cast<Shared*>(const_cast<void*>(info));
    // acq_rel: every use of the callback happens before it is destroyed.
    if (shared->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete shared;
  }
  static void Fire(CFRunLoopTimerRef, void* info) {
    auto* shared = static_cast<Shared*>(info);
    shared->callback(*shared->owner);
  }
};

std::unique_ptr<Timer> Timer::Create(Callback callback, int periodMs) {
  return Create(CFRunLoopGetMain(), std::move(callback), periodMs);
}

std::unique_ptr<Timer> Timer::Create(CFRunLoopRef loop, Callback callback, int periodMs) {
  if (loop == nullptr || !callback || periodMs <= 0) return nullptr;
  std::unique_ptr<Timer> timer(new Timer(periodMs));
  auto* shared = new Shared{{1}, std::move(callback), timer.get()};
  CFRunLoopTimerContext context{0, shared, Shared::Retain, Shared::Release, nullptr};
  timer->mTimer = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent(), periodMs / 1000.0, 0, 0,
                                       Shared::Fire, &context);
  Shared::Release(shared);  // the timer holds it now (or, when creation failed, nobody)
  if (timer->mTimer == nullptr) return nullptr;
  CFRunLoopAddTimer(loop, timer->mTimer, kCFRunLoopCommonModes);
  return timer;
}

Timer::~Timer() {
  Stop();
  if (mTimer != nullptr) CFRelease(mTimer);
}

void Timer::Stop() {
  if (mTimer != nullptr) CFRunLoopTimerInvalidate(mTimer);
}

bool Timer::IsRunning() const {
  return mTimer != nullptr && CFRunLoopTimerIsValid(mTimer);
}

}  // namespace plug
