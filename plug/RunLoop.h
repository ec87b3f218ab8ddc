// The platform's main run loop seen in milliseconds: a thin view kept for callers written before the loop moved into sdk.
#pragma once

namespace plug {

// The run loop itself is the platform's (<CoreFoundation/CFRunLoop.h>), shared by the host and
// every plug-in module; its clock control is <TovraSdk/RunLoopClock.h>. New code uses those and
// plug::Timer directly: this view only forwards, in milliseconds, and goes once nobody uses it.
// Linux stand-in only. Threads: main.
class RunLoop {
 public:
  static RunLoop& Main();

  double NowMs() const;
  // Switches the main loop to a manual clock that reads startMs until advanced.
  void UseManualClock(double startMs = 0.0);
  void UseSystemClock();
  bool IsManualClock() const;
  // Manual clock only: every timer tick due at or before timeMs, in time order; -1 otherwise.
  int AdvanceTo(double timeMs);
  int AdvanceBy(double ms);

 private:
  RunLoop() = default;
};

}  // namespace plug
