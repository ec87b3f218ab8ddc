// Timer: a run-loop timer registration that calls back with the timer itself.
#include "plug/Timer.h"

namespace plug {

Timer::Timer(RunLoop& loop, int periodMs) : mLoop(loop), mPeriodMs(periodMs) {}

std::unique_ptr<Timer> Timer::Create(Callback callback, int periodMs) {
  return Create(RunLoop::Main(), std::move(callback), periodMs);
}

std::unique_ptr<Timer> Timer::Create(RunLoop& loop, Callback callback, int periodMs) {
  if (!callback || periodMs <= 0) return nullptr;
  std::unique_ptr<Timer> timer(new Timer(loop, periodMs));
  Timer* self = timer.get();
  timer->mId = loop.AddTimer([self, cb = std::move(callback)]() { cb(*self); },
                             static_cast<double>(periodMs));
  if (timer->mId < 0) return nullptr;
  return timer;
}

Timer::~Timer() { Stop(); }

void Timer::Stop() {
  if (mId > 0) mLoop.RemoveTimer(mId);
  mId = -1;
}

}  // namespace plug
