// RunLoop: millisecond forwarding to the stand-in's main run loop and its clock control.
#include "plug/RunLoop.h"

#include <TovraSdk/RunLoopClock.h>

namespace plug {

RunLoop& RunLoop::Main() {
  static RunLoop sMain;
  return sMain;
}

double RunLoop::NowMs() const { return CFAbsoluteTimeGetCurrent() * 1000.0; }

void RunLoop::UseManualClock(double startMs) { TovraSdkRunLoopUseManualClock(startMs / 1000.0); }

void RunLoop::UseSystemClock() { TovraSdkRunLoopUseSystemClock(); }

bool RunLoop::IsManualClock() const { return TovraSdkRunLoopIsManualClock(); }

int RunLoop::AdvanceTo(double timeMs) { return static_cast<int>(TovraSdkRunLoopAdvanceTo(timeMs / 1000.0)); }

int RunLoop::AdvanceBy(double ms) { return static_cast<int>(TovraSdkRunLoopAdvanceBy(ms / 1000.0)); }

}  // namespace plug
