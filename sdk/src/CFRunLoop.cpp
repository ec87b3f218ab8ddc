// CFRunLoop.cpp: the run-loop, timer and source API, absolute time, and the stand-in's clock
// control.
#include "sdk/src/RunLoop.h"

#include <TovraSdk/RunLoopClock.h>

#include <algorithm>
#include <cmath>
#include <new>

using namespace tovrasdk;

namespace {

constexpr Micros kMinInterval = 100;  // 0.1 ms: a shorter period would only spin the loop

std::string_view ModeText(CFStringRef mode) {
  return IsType(mode, kTypeString) ? StringView(mode) : std::string_view{};
}

RunLoop* LoopOf(CFRunLoopRef rl) {
  return IsType(rl, kTypeRunLoop) ? rl->loop : nullptr;
}

bool IsTimer(CFRunLoopTimerRef t) {
  return IsType(t, kTypeRunLoopTimer);
}
bool IsSource(CFRunLoopSourceRef s) {
  return IsType(s, kTypeRunLoopSource);
}

}  // namespace

namespace tovrasdk {

void DestroyTimer(CFTypeRef cf) noexcept {
  auto* t = const_cast<__CFRunLoopTimer*>(static_cast<const __CFRunLoopTimer*>(cf));
  {
    // Unscheduled (a loop holds a reference while it is scheduled): this only releases info.
    Deferred later;
    std::lock_guard<std::mutex> lock(RunLoop::Mutex());
    RunLoop::InvalidateTimerLocked(t, later);
  }
  delete t;
}

void DestroySource(CFTypeRef cf) noexcept {
  auto* s = const_cast<__CFRunLoopSource*>(static_cast<const __CFRunLoopSource*>(cf));
  {
    std::lock_guard<std::mutex> lock(RunLoop::Mutex());
    if (s->descriptor->source == s) s->descriptor->source = nullptr;
  }
  CFRelease(s->descriptor);
  delete s;
}

}  // namespace tovrasdk

extern "C" {

const CFRunLoopMode kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFRunLoopMode kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");
const CFTimeInterval kCFAbsoluteTimeIntervalSince1970 = 978307200.0;
const CFTimeInterval kCFAbsoluteTimeIntervalSince1904 = 3061152000.0;

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void) {
  return ToSeconds(RunLoop::Main().Now());
}

// ------------------------------------------------------------------------------------ run loops

CFTypeID CFRunLoopGetTypeID(void) {
  return kTypeRunLoop;
}
CFRunLoopRef CFRunLoopGetMain(void) {
  return RunLoop::Main().Handle();
}
CFRunLoopRef CFRunLoopGetCurrent(void) {
  return RunLoop::Current().Handle();
}

void CFRunLoopRun(void) {
  for (;;) {
    const CFRunLoopRunResult result =
        RunLoop::Current().Run(ModeText(kCFRunLoopDefaultMode), 1.0e10, false);
    if (result == kCFRunLoopRunStopped || result == kCFRunLoopRunFinished) return;
  }
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled) {
  return RunLoop::Current().Run(ModeText(mode), std::isnan(seconds) ? 0.0 : seconds,
                                returnAfterSourceHandled != 0);
}

void CFRunLoopStop(CFRunLoopRef rl) {
  if (RunLoop* loop = LoopOf(rl)) loop->Stop();
}

void CFRunLoopWakeUp(CFRunLoopRef rl) {
  if (RunLoop* loop = LoopOf(rl)) loop->WakeUp();
}

Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode) {
  RunLoop* loop = LoopOf(rl);
  return loop != nullptr && IsSource(source) && loop->ContainsSource(source, ModeText(mode));
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode) {
  if (RunLoop* loop = LoopOf(rl); loop != nullptr && IsSource(source))
    loop->AddSource(source, ModeText(mode));
}

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode) {
  if (RunLoop* loop = LoopOf(rl); loop != nullptr && IsSource(source))
    loop->RemoveSource(source, ModeText(mode));
}

Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode) {
  RunLoop* loop = LoopOf(rl);
  return loop != nullptr && IsTimer(timer) && loop->ContainsTimer(timer, ModeText(mode));
}

void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode) {
  if (RunLoop* loop = LoopOf(rl); loop != nullptr && IsTimer(timer))
    loop->AddTimer(timer, ModeText(mode));
}

void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode) {
  if (RunLoop* loop = LoopOf(rl); loop != nullptr && IsTimer(timer))
    loop->RemoveTimer(timer, ModeText(mode));
}

CFAbsoluteTime CFRunLoopGetNextTimerFireDate(CFRunLoopRef rl, CFRunLoopMode mode) {
  RunLoop* loop = LoopOf(rl);
  if (loop == nullptr) return 0.0;
  const std::optional<Micros> next = loop->NextFireDate(ModeText(mode));
  return next ? ToSeconds(*next) : 0.0;
}

// -------------------------------------------------------------------------------------- sources

CFTypeID CFRunLoopSourceGetTypeID(void) {
  return kTypeRunLoopSource;
}

CFIndex CFRunLoopSourceGetOrder(CFRunLoopSourceRef source) {
  return IsSource(source) ? source->order : 0;
}

void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source) {
  if (!IsSource(source)) return;
  Deferred later;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  RunLoop::InvalidateSourceLocked(source, later);
}

Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source) {
  if (!IsSource(source)) return false;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  return source->valid;
}

// --------------------------------------------------------------------------------------- timers

CFTypeID CFRunLoopTimerGetTypeID(void) {
  return kTypeRunLoopTimer;
}

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate,
                                       CFTimeInterval interval, CFOptionFlags, CFIndex order,
                                       CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context) {
  if (callout == nullptr || std::isnan(fireDate) || std::isnan(interval)) return nullptr;
  const Micros period = interval > 0.0 ? std::max(kMinInterval, ToMicros(interval)) : 0;
  auto* t = new (std::nothrow) __CFRunLoopTimer{MortalBase(kTypeRunLoopTimer),
                                                callout,
                                                CFRunLoopTimerContext{},
                                                order,
                                                period,
                                                ToMicros(fireDate),
                                                true,
                                                0,
                                                false,
                                                Schedule{}};
  if (t == nullptr) return nullptr;
  if (context != nullptr) {
    t->context = *context;
    if (t->context.retain != nullptr && t->context.info != nullptr)
      t->context.info = const_cast<void*>(t->context.retain(t->context.info));
  }
  return t;
}

CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer) {
  if (!IsTimer(timer)) return 0.0;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  return ToSeconds(timer->fire);
}

void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate) {
  if (!IsTimer(timer) || std::isnan(fireDate)) return;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  RunLoop::SetFireDateLocked(timer, ToMicros(fireDate));
}

CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer) {
  return IsTimer(timer) ? ToSeconds(timer->interval) : 0.0;
}

Boolean CFRunLoopTimerDoesRepeat(CFRunLoopTimerRef timer) {
  return IsTimer(timer) && timer->interval > 0;
}

CFIndex CFRunLoopTimerGetOrder(CFRunLoopTimerRef timer) {
  return IsTimer(timer) ? timer->order : 0;
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer) {
  if (!IsTimer(timer)) return;
  Deferred later;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  RunLoop::InvalidateTimerLocked(timer, later);
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer) {
  if (!IsTimer(timer)) return false;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  return timer->valid;
}

void CFRunLoopTimerGetContext(CFRunLoopTimerRef timer, CFRunLoopTimerContext* context) {
  if (!IsTimer(timer) || context == nullptr) return;
  std::lock_guard<std::mutex> lock(RunLoop::Mutex());
  *context = timer->context;
}

// -------------------------------------------------------------------------------- clock control

void TovraSdkRunLoopUseManualClock(CFAbsoluteTime now) {
  if (!std::isnan(now)) RunLoop::Main().UseManualClock(ToMicros(now));
}

void TovraSdkRunLoopUseSystemClock(void) {
  RunLoop::Main().UseSystemClock();
}

Boolean TovraSdkRunLoopIsManualClock(void) {
  return RunLoop::Main().IsManualClock();
}

CFIndex TovraSdkRunLoopAdvanceTo(CFAbsoluteTime time) {
  if (std::isnan(time)) return -1;
  return RunLoop::Main().AdvanceTo(ToMicros(time));
}

CFIndex TovraSdkRunLoopAdvanceBy(CFTimeInterval seconds) {
  if (std::isnan(seconds)) return -1;
  RunLoop& main = RunLoop::Main();
  return main.AdvanceTo(main.Now() + ToMicros(seconds));
}

}  // extern "C"
