// RunLoop.cpp: timers ordered by fire date, descriptors through poll(2), an eventfd to end a wait.
#include "sdk/src/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <thread>

namespace tovrasdk {

namespace {

constexpr Micros kMaxMicros = 4'000'000'000'000'000;  // about 126 years: no real date is further
constexpr Micros kMicrosPerMs = 1'000;
constexpr std::string_view kDefaultMode = "kCFRunLoopDefaultMode";
constexpr std::string_view kCommonModes = "kCFRunLoopCommonModes";

Micros SteadyNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The system clock is the monotonic clock, anchored once to the wall clock's time since 2001.
Micros SystemNow() {
  static const Micros offset = [] {
    const Micros wall = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    return wall - Micros{978'307'200} * 1'000'000 - SteadyNow();
  }();
  return SteadyNow() + offset;
}

Micros AddSaturating(Micros a, Micros b) {
  const Micros sum = (b > 0 && a > kMaxMicros - b)    ? kMaxMicros
                     : (b < 0 && a < -kMaxMicros - b) ? -kMaxMicros
                                                      : a + b;
  return std::clamp(sum, -kMaxMicros, kMaxMicros);
}

// A wait in whole milliseconds, rounded up so that a wait never ends just before its target.
int WaitMs(Micros n) {
  if (n <= 0) return 0;
  const Micros ms = n / kMicrosPerMs + (n % kMicrosPerMs != 0 ? 1 : 0);
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// Objects retained for a while under the lock; their releases go to later, which runs unlocked.
class Holds {
 public:
  explicit Holds(Deferred& later) : mLater(later) {}
  ~Holds() {
    for (CFTypeRef cf : mHeld) mLater.Release(cf);
  }
  Holds(const Holds&) = delete;
  Holds& operator=(const Holds&) = delete;
  void Retain(CFTypeRef cf) { mHeld.push_back(CFRetain(cf)); }

 private:
  Deferred& mLater;
  std::vector<CFTypeRef> mHeld;
};

std::uint64_t gNextSequence = 1;  // guarded by the mutex

const std::thread::id gMainThread = std::this_thread::get_id();

}  // namespace

Micros ToMicros(double seconds) noexcept {
  if (std::isnan(seconds)) return 0;
  const double n = seconds * 1e6;
  if (n >= static_cast<double>(kMaxMicros)) return kMaxMicros;
  if (n <= -static_cast<double>(kMaxMicros)) return -kMaxMicros;
  return static_cast<Micros>(std::llround(n));
}

bool Schedule::Listed(std::string_view mode) const noexcept {
  return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

bool Schedule::ActiveIn(std::string_view mode) const noexcept {
  return Listed(mode) || (mode == kDefaultMode && Listed(kCommonModes));
}

void Deferred::Run() {
  // Taken out first: a release may lead back here through a destructor with work of its own.
  std::vector<std::function<void()>> calls;
  calls.swap(mCalls);
  std::vector<CFTypeRef> releases;
  releases.swap(mReleases);
  for (auto& call : calls) call();
  for (CFTypeRef cf : releases) CFRelease(cf);
}

RunLoop::RunLoop() : mHandle{ImmortalBase(kTypeRunLoop), this} {
  mWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

RunLoop::~RunLoop() {
  {
    Deferred later;
    std::lock_guard<std::mutex> lock(Mutex());
    while (!mTimers.empty()) UnscheduleLocked(mTimers.back(), later);
    while (!mSources.empty()) UnscheduleLocked(mSources.back(), later);
    // later runs here, after the lock is released (declared first, destroyed last).
  }
  if (mWakeFd >= 0) ::close(mWakeFd);
}

std::mutex& RunLoop::Mutex() {
  static std::mutex* const mutex = new std::mutex;  // never destroyed: loops may outlive statics
  return *mutex;
}

RunLoop& RunLoop::Main() {
  // Never destroyed: plug-ins' static objects may still remove their timers at exit.
  static RunLoop* const main = new RunLoop;
  return *main;
}

RunLoop& RunLoop::Current() {
  if (std::this_thread::get_id() == gMainThread) return Main();
  // Another thread's loop lives as long as its thread, as on macOS.
  thread_local RunLoop loop;
  return loop;
}

// --------------------------------------------------------------------------------------- clock

Micros RunLoop::NowLocked() const {
  return mManualClock ? mManualNow : SystemNow();
}

Micros RunLoop::Now() {
  std::lock_guard<std::mutex> lock(Mutex());
  return NowLocked();
}

void RunLoop::ShiftTimersLocked(Micros shift) {
  for (__CFRunLoopTimer* t : mTimers) t->fire = AddSaturating(t->fire, shift);
}

void RunLoop::UseManualClock(Micros now) {
  std::lock_guard<std::mutex> lock(Mutex());
  // Pending ticks keep their distance to "now" across the switch.
  ShiftTimersLocked(now - NowLocked());
  mManualClock = true;
  mManualNow = now;
  WakeLocked();
}

void RunLoop::UseSystemClock() {
  std::lock_guard<std::mutex> lock(Mutex());
  if (!mManualClock) return;
  const Micros before = mManualNow;
  mManualClock = false;
  ShiftTimersLocked(SystemNow() - before);
  WakeLocked();
}

bool RunLoop::IsManualClock() {
  std::lock_guard<std::mutex> lock(Mutex());
  return mManualClock;
}

void RunLoop::WakeLocked() const {
  if (!mPolling || mWakeFd < 0) return;
  const std::uint64_t one = 1;
  // A full counter already wakes the loop; nothing else can fail here.
  [[maybe_unused]] const ssize_t n = ::write(mWakeFd, &one, sizeof one);
}

void RunLoop::WakeUp() {
  std::lock_guard<std::mutex> lock(Mutex());
  WakeLocked();
}

void RunLoop::Stop() {
  std::lock_guard<std::mutex> lock(Mutex());
  mStopped = true;
  WakeLocked();
}

// ---------------------------------------------------------------------------------- scheduling

template <typename Item>
void RunLoop::Add(Item* item, std::string_view mode) {
  if (mode.empty()) return;
  std::lock_guard<std::mutex> lock(Mutex());
  if (!item->valid) return;
  Schedule& s = item->schedule;
  if (s.loop != nullptr && s.loop != this) return;  // one loop at a time
  if (s.loop == nullptr) {
    CFRetain(item);
    s.loop = this;
    s.sequence = gNextSequence++;
    ListOf(item).push_back(item);
  }
  if (!s.Listed(mode)) s.modes.emplace_back(mode);
  WakeLocked();
}

template <typename Item>
void RunLoop::UnscheduleLocked(Item* item, Deferred& later) {
  auto& list = ListOf(item);
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
  item->schedule = Schedule{};
  later.Release(item);
}

template <typename Item>
void RunLoop::Remove(Item* item, std::string_view mode) {
  Deferred later;
  std::lock_guard<std::mutex> lock(Mutex());
  Schedule& s = item->schedule;
  if (s.loop != this || !s.Listed(mode)) return;
  s.modes.erase(std::find(s.modes.begin(), s.modes.end(), mode));
  if (s.modes.empty()) UnscheduleLocked(item, later);
}

template <typename Item>
bool RunLoop::Contains(const Item* item, std::string_view mode) {
  std::lock_guard<std::mutex> lock(Mutex());
  return item->schedule.loop == this && item->schedule.ActiveIn(mode);
}

void RunLoop::AddTimer(__CFRunLoopTimer* timer, std::string_view mode) {
  Add(timer, mode);
}
void RunLoop::RemoveTimer(__CFRunLoopTimer* timer, std::string_view mode) {
  Remove(timer, mode);
}
bool RunLoop::ContainsTimer(__CFRunLoopTimer* timer, std::string_view mode) {
  return Contains(timer, mode);
}
void RunLoop::AddSource(__CFRunLoopSource* source, std::string_view mode) {
  Add(source, mode);
}
void RunLoop::RemoveSource(__CFRunLoopSource* source, std::string_view mode) {
  Remove(source, mode);
}
bool RunLoop::ContainsSource(__CFRunLoopSource* source, std::string_view mode) {
  return Contains(source, mode);
}

std::optional<Micros> RunLoop::NextFireLocked(std::string_view mode) const {
  std::optional<Micros> next;
  for (const __CFRunLoopTimer* t : mTimers) {
    if (t->valid && t->schedule.ActiveIn(mode) && (!next || t->fire < *next)) next = t->fire;
  }
  return next;
}

std::optional<Micros> RunLoop::NextFireDate(std::string_view mode) {
  std::lock_guard<std::mutex> lock(Mutex());
  return NextFireLocked(mode);
}

bool RunLoop::EmptyLocked(std::string_view mode) const {
  for (const __CFRunLoopTimer* t : mTimers)
    if (t->valid && t->schedule.ActiveIn(mode)) return false;
  for (const __CFRunLoopSource* s : mSources)
    if (s->valid && s->schedule.ActiveIn(mode)) return false;
  return true;
}

// -------------------------------------------------------------------------------- invalidation

namespace {

template <typename Object, typename Release>
void ReleaseInfoLocked(Object* o, Release release, Deferred& later) {
  if (release == nullptr || o->context.info == nullptr) {
    o->context.info = nullptr;
    return;
  }
  if (o->busy > 0) {
    o->infoReleasePending = true;  // the last call-out to return releases it
    return;
  }
  void* info = o->context.info;
  o->context.info = nullptr;
  later.Call([release, info] { release(info); });
}

}  // namespace

void RunLoop::InvalidateTimerLocked(__CFRunLoopTimer* timer, Deferred& later) {
  if (!timer->valid) return;
  timer->valid = false;
  if (timer->schedule.loop != nullptr) timer->schedule.loop->UnscheduleLocked(timer, later);
  ReleaseInfoLocked(timer, timer->context.release, later);
}

void RunLoop::InvalidateSourceLocked(__CFRunLoopSource* source, Deferred& later) {
  if (!source->valid) return;
  source->valid = false;
  if (source->schedule.loop != nullptr) source->schedule.loop->UnscheduleLocked(source, later);
}

void RunLoop::InvalidateDescriptorLocked(__CFFileDescriptor* f, Deferred& later) {
  if (!f->valid) return;
  f->valid = false;
  f->enabled = 0;
  if (f->source != nullptr) InvalidateSourceLocked(f->source, later);
  ReleaseInfoLocked(f, f->context.release, later);
  if (f->closeOnInvalidate && f->fd >= 0) ::close(f->fd);
  f->fd = -1;
}

void RunLoop::SetFireDateLocked(__CFRunLoopTimer* timer, Micros fire) {
  timer->fire = fire;
  if (timer->schedule.loop != nullptr) timer->schedule.loop->WakeLocked();
}

void RunLoop::EnableCallBacksLocked(__CFFileDescriptor* f, CFOptionFlags types) {
  if (!f->valid) return;
  f->enabled |= types & (kCFFileDescriptorReadCallBack | kCFFileDescriptorWriteCallBack);
  if (f->source != nullptr && f->source->schedule.loop != nullptr)
    f->source->schedule.loop->WakeLocked();
}

// ------------------------------------------------------------------------------------- running

void RunLoop::FireLocked(__CFRunLoopTimer* timer, Micros now, bool skipMissed,
                         std::unique_lock<std::mutex>& lock, Deferred& later) {
  const bool once = timer->interval == 0;
  if (!once) {
    timer->fire = AddSaturating(timer->fire, timer->interval);
    if (skipMissed && timer->fire <= now) {
      const Micros missed = (now - timer->fire) / timer->interval + 1;
      timer->fire = AddSaturating(timer->fire, missed > kMaxMicros / timer->interval
                                                   ? kMaxMicros
                                                   : missed * timer->interval);
    }
  }
  const Micros fireBefore = timer->fire;
  CFRetain(timer);  // alive through its call-out, even if the call-out releases the last reference
  ++timer->busy;
  const CFRunLoopTimerCallBack callout = timer->callout;
  void* const info = timer->context.info;
  lock.unlock();
  later.Run();
  callout(timer, info);
  lock.lock();
  later.Release(timer);
  --timer->busy;
  if (timer->busy == 0 && timer->infoReleasePending) {
    timer->infoReleasePending = false;
    timer->context.info = info;
    ReleaseInfoLocked(timer, timer->context.release, later);
  }
  // A one-shot timer is done, unless its call-out gave it another date.
  if (once && timer->fire == fireBefore) InvalidateTimerLocked(timer, later);
}

bool RunLoop::DispatchLocked(__CFRunLoopSource* source, short revents, std::string_view mode,
                             std::unique_lock<std::mutex>& lock, Deferred& later) {
  __CFFileDescriptor* f = source->descriptor;
  if (!source->valid || !f->valid || source->schedule.loop != this ||
      !source->schedule.ActiveIn(mode))
    return false;
  CFOptionFlags types = 0;
  // A hang-up or error is news for whoever reads or writes: each learns of it from its call.
  if ((revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0)
    types |= f->enabled & kCFFileDescriptorReadCallBack;
  if ((revents & (POLLOUT | POLLHUP | POLLERR | POLLNVAL)) != 0)
    types |= f->enabled & kCFFileDescriptorWriteCallBack;
  if (types == 0) return false;
  f->enabled &= ~types;  // one-shot: the call-out enables again what it wants
  CFRetain(f);
  ++f->busy;
  const CFFileDescriptorCallBack callout = f->callout;
  void* const info = f->context.info;
  lock.unlock();
  later.Run();
  callout(f, types, info);
  lock.lock();
  later.Release(f);
  --f->busy;
  if (f->busy == 0 && f->infoReleasePending) {
    f->infoReleasePending = false;
    f->context.info = info;
    ReleaseInfoLocked(f, f->context.release, later);
  }
  return true;
}

CFRunLoopRunResult RunLoop::Run(std::string_view mode, double seconds,
                                bool returnAfterSourceHandled) {
  if (mode.empty() || mode == kCommonModes) return kCFRunLoopRunFinished;
  Deferred later;
  std::unique_lock<std::mutex> lock(Mutex());
  if (EmptyLocked(mode)) return kCFRunLoopRunFinished;
  if (mStopped) {
    mStopped = false;
    return kCFRunLoopRunStopped;
  }
  const Micros span = seconds > 0.0 ? ToMicros(seconds) : 0;
  const Micros deadline = AddSaturating(NowLocked(), span);
  // A manual clock waits for descriptors in real time: this is when that wait ends.
  const Micros realDeadline = AddSaturating(SteadyNow(), span);

  std::vector<pollfd> fds;
  std::vector<__CFRunLoopSource*> polled;  // in the order of fds[1...]
  for (;;) {
    // What this pass looks at stays alive until the pass ends, whatever the call-outs release.
    Holds held(later);
    fds.clear();
    polled.clear();
    fds.push_back(pollfd{mWakeFd, POLLIN, 0});  // a negative descriptor is skipped by poll
    for (__CFRunLoopSource* s : mSources) {
      const __CFFileDescriptor* f = s->descriptor;
      if (!s->valid || !f->valid || f->enabled == 0 || !s->schedule.ActiveIn(mode)) continue;
      short events = 0;
      if ((f->enabled & kCFFileDescriptorReadCallBack) != 0) events |= POLLIN;
      if ((f->enabled & kCFFileDescriptorWriteCallBack) != 0) events |= POLLOUT;
      fds.push_back(pollfd{f->fd, events, 0});
      held.Retain(s);
      polled.push_back(s);
    }

    const Micros now = NowLocked();
    const std::optional<Micros> next = NextFireLocked(mode);
    const bool timerBeforeEnd = next.has_value() && *next <= deadline;
    int waitMs = 0;
    if (now < deadline) {
      if (!mManualClock) {
        waitMs = WaitMs((timerBeforeEnd ? *next : deadline) - now);
      } else if (!timerBeforeEnd && !polled.empty()) {
        waitMs = WaitMs(realDeadline - SteadyNow());
      }
    }

    // With no descriptor to watch and no wait, poll could only tell of a wake-up, which ends a
    // wait that is not there: a pump of the loop (one per idle tick while rendering) then makes
    // no system call. A wake-up written before stays counted and ends the next wait early, as
    // one arriving during it would.
    const bool poll = waitMs > 0 || !polled.empty();
    int ready = 0;
    if (poll) {
      mPolling = true;
      lock.unlock();
      later.Run();
      ready = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), waitMs);
      const int error = errno;
      lock.lock();
      mPolling = false;
      if (ready < 0 && error != EINTR)
        return kCFRunLoopRunFinished;  // poll itself failed: nothing to run
      if (ready < 0) ready = 0;
    } else {
      fds[0].revents = 0;
    }

    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(mWakeFd, &count, sizeof count);
    }
    bool handled = false;
    bool descriptorReady = false;
    for (std::size_t i = 0; i < polled.size(); ++i) {
      const short revents = fds[i + 1].revents;
      if (revents == 0) continue;
      descriptorReady = true;
      if (DispatchLocked(polled[i], revents, mode, lock, later)) handled = true;
    }

    // The timers due now, in time order, each once.
    const Micros firedAt = NowLocked();
    std::vector<__CFRunLoopTimer*> due;
    for (__CFRunLoopTimer* t : mTimers) {
      if (t->valid && t->schedule.ActiveIn(mode) && t->fire <= firedAt) {
        held.Retain(t);
        due.push_back(t);
      }
    }
    std::sort(due.begin(), due.end(), [](const __CFRunLoopTimer* a, const __CFRunLoopTimer* b) {
      return a->fire != b->fire ? a->fire < b->fire : a->schedule.sequence < b->schedule.sequence;
    });
    for (__CFRunLoopTimer* t : due) {
      // An earlier call-out may have removed, invalidated or moved it.
      if (!t->valid || t->schedule.loop != this || !t->schedule.ActiveIn(mode) || t->fire > firedAt)
        continue;
      FireLocked(t, firedAt, true, lock, later);
    }

    if (mStopped) {
      mStopped = false;
      return kCFRunLoopRunStopped;
    }
    if (returnAfterSourceHandled && handled) return kCFRunLoopRunHandledSource;
    if (EmptyLocked(mode)) return kCFRunLoopRunFinished;
    if (NowLocked() >= deadline) return kCFRunLoopRunTimedOut;
    if (mManualClock) {
      const std::optional<Micros> upcoming = NextFireLocked(mode);
      if (upcoming && *upcoming <= deadline) {
        mManualNow = std::max(mManualNow, *upcoming);  // jump instead of waiting
        continue;
      }
      const bool waitLeft = !polled.empty() && SteadyNow() < realDeadline;
      if (!waitLeft || (ready == 0 && !descriptorReady && waitMs > 0)) {
        mManualNow = std::max(mManualNow, deadline);
        return kCFRunLoopRunTimedOut;
      }
    }
  }
}

CFIndex RunLoop::AdvanceTo(Micros time) {
  Deferred later;
  std::unique_lock<std::mutex> lock(Mutex());
  if (!mManualClock) return -1;
  CFIndex ran = 0;
  for (;;) {
    __CFRunLoopTimer* earliest = nullptr;
    for (__CFRunLoopTimer* t : mTimers) {
      if (!t->valid || !t->schedule.ActiveIn(kDefaultMode) || t->fire > time) continue;
      if (earliest == nullptr || t->fire < earliest->fire ||
          (t->fire == earliest->fire && t->schedule.sequence < earliest->schedule.sequence))
        earliest = t;
    }
    if (earliest == nullptr) break;
    if (earliest->fire > mManualNow) mManualNow = earliest->fire;
    // Every tick counts here, also those of a timer whose date lay in the past.
    FireLocked(earliest, mManualNow, false, lock, later);
    ++ran;
    if (!mManualClock) return ran;  // a call-out went back to the system clock
  }
  if (time > mManualNow) mManualNow = time;
  return ran;
}

}  // namespace tovrasdk
