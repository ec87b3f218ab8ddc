// RunLoop.h: one thread's run loop: timers and descriptor sources in one poll, on a system or
// manual clock.
#pragma once

#include "sdk/src/CFInternal.h"
#include "sdk/src/Deferred.h"
#include "sdk/src/Schedule.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovrasdk {

// Time on a loop's clock: microseconds since 2001-01-01. Whole milliseconds add up exactly, and a
// date read as CFAbsoluteTime (a double) and handed back is the same date for centuries to come,
// so a timer made "now" from CFAbsoluteTimeGetCurrent() is due now.
using Micros = std::int64_t;

// Seconds to microseconds, rounded, saturating far beyond any real date; NaN gives 0.
Micros ToMicros(double seconds) noexcept;
inline double ToSeconds(Micros n) noexcept {
  return static_cast<double>(n) / 1e6;
}

}  // namespace tovrasdk

// Every mutable field below is guarded by RunLoop::Mutex().
struct __CFRunLoop : __CFRuntimeBase {
  tovrasdk::RunLoop* loop;
};

struct __CFRunLoopTimer : __CFRuntimeBase {
  CFRunLoopTimerCallBack callout;
  CFRunLoopTimerContext context;
  CFIndex order;
  tovrasdk::Micros interval;  // 0: fires once
  tovrasdk::Micros fire;
  bool valid;
  int busy;  // call-outs running: info is released after the last one returns
  bool infoReleasePending;
  tovrasdk::Schedule schedule;
};

struct __CFFileDescriptor;

struct __CFRunLoopSource : __CFRuntimeBase {
  __CFFileDescriptor* descriptor;  // retained
  CFIndex order;
  bool valid;
  tovrasdk::Schedule schedule;
};

struct __CFFileDescriptor : __CFRuntimeBase {
  int fd;  // -1 once invalidated
  bool closeOnInvalidate;
  CFFileDescriptorCallBack callout;
  CFFileDescriptorContext context;
  CFOptionFlags enabled;
  bool valid;
  int busy;
  bool infoReleasePending;
  __CFRunLoopSource* source;  // not retained (the source retains this); cleared when it dies
};

namespace tovrasdk {

// Timers fire in time order (ties in scheduling order); descriptors are polled with poll(2) and
// dispatched before the timers of the same pass. Nothing is called out with the lock held, so
// call-outs may schedule, remove and invalidate anything, their own timer or source included.
class RunLoop {
 public:
  RunLoop();
  // Releases everything still scheduled (without invalidating it).
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // One lock for every loop and everything scheduled on one: contention is negligible, and no
  // lock ordering can go wrong.
  static std::mutex& Mutex();
  // The loop shared by the whole process (host and plug-ins), and the current thread's.
  static RunLoop& Main();
  static RunLoop& Current();
  __CFRunLoop* Handle() noexcept { return &mHandle; }

  // --- Clock.
  Micros Now();
  void UseManualClock(Micros now);
  void UseSystemClock();
  bool IsManualClock();

  // --- Scheduling (modes by text; an empty mode is ignored).
  void AddTimer(__CFRunLoopTimer* timer, std::string_view mode);
  void RemoveTimer(__CFRunLoopTimer* timer, std::string_view mode);
  bool ContainsTimer(__CFRunLoopTimer* timer, std::string_view mode);
  void AddSource(__CFRunLoopSource* source, std::string_view mode);
  void RemoveSource(__CFRunLoopSource* source, std::string_view mode);
  bool ContainsSource(__CFRunLoopSource* source, std::string_view mode);
  std::optional<Micros> NextFireDate(std::string_view mode);

  // Lock held: invalidation and changes that concern whichever loop the object is on.
  static void InvalidateTimerLocked(__CFRunLoopTimer* timer, Deferred& later);
  static void InvalidateSourceLocked(__CFRunLoopSource* source, Deferred& later);
  static void InvalidateDescriptorLocked(__CFFileDescriptor* f, Deferred& later);
  static void SetFireDateLocked(__CFRunLoopTimer* timer, Micros fire);
  static void EnableCallBacksLocked(__CFFileDescriptor* f, CFOptionFlags types);

  // --- Running (the loop's own thread).
  CFRunLoopRunResult Run(std::string_view mode, double seconds, bool returnAfterSourceHandled);
  // Manual clock only: every due tick up to time, one at a time in time order; -1 otherwise.
  CFIndex AdvanceTo(Micros time);
  void Stop();
  void WakeUp();

 private:
  Micros NowLocked() const;
  bool EmptyLocked(std::string_view mode) const;
  std::optional<Micros> NextFireLocked(std::string_view mode) const;
  void WakeLocked() const;
  void ShiftTimersLocked(Micros shift);
  // Timers and sources are scheduled alike, each kind in its own list.
  std::vector<__CFRunLoopTimer*>& ListOf(const __CFRunLoopTimer*) { return mTimers; }
  std::vector<__CFRunLoopSource*>& ListOf(const __CFRunLoopSource*) { return mSources; }
  template <typename Item>
  void Add(Item* item, std::string_view mode);
  template <typename Item>
  void Remove(Item* item, std::string_view mode);
  template <typename Item>
  bool Contains(const Item* item, std::string_view mode);
  template <typename Item>
  void UnscheduleLocked(Item* item, Deferred& later);
  // Fires one timer that is due: advances its fire date, calls out without the lock, then
  // invalidates a one-shot timer. The lock is held on entry and on return.
  void FireLocked(__CFRunLoopTimer* timer, Micros now, bool skipMissed,
                  std::unique_lock<std::mutex>& lock, Deferred& later);
  // Calls a descriptor's call-out for the ready types; false when nothing enabled was ready.
  bool DispatchLocked(__CFRunLoopSource* source, short revents, std::string_view mode,
                      std::unique_lock<std::mutex>& lock, Deferred& later);

  __CFRunLoop mHandle;
  std::vector<__CFRunLoopTimer*> mTimers;    // retained
  std::vector<__CFRunLoopSource*> mSources;  // retained
  bool mManualClock = false;
  Micros mManualNow = 0;
  bool mStopped = false;
  bool mPolling = false;
  int mWakeFd = -1;  // an eventfd that ends a wait; -1 if none could be made
};

}  // namespace tovrasdk
