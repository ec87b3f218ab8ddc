// RunLoop: timers ordered by due time, descriptors through poll(2).
#include "plug/RunLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <vector>

namespace plug {

RunLoop::RunLoop() = default;

RunLoop::~RunLoop() = default;

RunLoop& RunLoop::Main() {
  // Never destroyed: timers owned by static objects may still stop themselves at exit.
  static RunLoop* const sMain = new RunLoop;
  return *sMain;
}

double RunLoop::NowMs() const {
  if (mManualClock) return mManualNowMs;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(now).count();
}

void RunLoop::UseManualClock(double startMs) {
  // Pending ticks keep their distance to "now" across the switch.
  const double shift = startMs - NowMs();
  for (auto& [id, timer] : mTimers) timer.dueMs += shift;
  mManualClock = true;
  mManualNowMs = startMs;
}

void RunLoop::UseSystemClock() {
  if (!mManualClock) return;
  const double before = NowMs();
  mManualClock = false;
  const double shift = NowMs() - before;
  for (auto& [id, timer] : mTimers) timer.dueMs += shift;
}

int RunLoop::AddTimer(TimerCallback callback, double periodMs) {
  if (!callback || !(periodMs > 0.0)) return -1;
  const int id = mNextId++;
  TimerEntry entry;
  entry.callback = std::make_shared<TimerCallback>(std::move(callback));
  entry.periodMs = periodMs;
  entry.dueMs = NowMs();
  mTimers.emplace(id, std::move(entry));
  return id;
}

bool RunLoop::RemoveTimer(int id) { return mTimers.erase(id) > 0; }

double RunLoop::NextDueMs() const {
  double next = -1.0;
  for (const auto& [id, timer] : mTimers) {
    if (next < 0.0 || timer.dueMs < next) next = timer.dueMs;
  }
  return next;
}

int RunLoop::WatchFd(int fd, short events, FdCallback callback) {
  if (fd < 0 || !callback) return -1;
  const int id = mNextId++;
  WatchEntry entry;
  entry.fd = fd;
  entry.events = events;
  entry.callback = std::make_shared<FdCallback>(std::move(callback));
  mWatches.emplace(id, std::move(entry));
  return id;
}

bool RunLoop::UnwatchFd(int id) { return mWatches.erase(id) > 0; }

int RunLoop::EarliestDue(double timeMs) const {
  int best = 0;
  double bestDue = 0.0;
  for (const auto& [id, timer] : mTimers) {
    if (timer.dueMs <= timeMs && (best == 0 || timer.dueMs < bestDue)) {
      best = id;
      bestDue = timer.dueMs;
    }
  }
  return best;
}

int RunLoop::AdvanceTo(double timeMs) {
  if (!mManualClock) return -1;
  int ran = 0;
  for (int id = EarliestDue(timeMs); id != 0; id = EarliestDue(timeMs)) {
    TimerEntry& timer = mTimers.at(id);
    if (timer.dueMs > mManualNowMs) mManualNowMs = timer.dueMs;
    timer.dueMs += timer.periodMs;
    // Held here so that the callback survives its own timer's removal.
    const std::shared_ptr<TimerCallback> callback = timer.callback;
    (*callback)();
    ++ran;
  }
  if (timeMs > mManualNowMs) mManualNowMs = timeMs;
  return ran;
}

int RunLoop::RunOnce(int timeoutMs) {
  int ran = 0;

  // Wait no longer than until the next tick on the system clock; a manual clock does not move
  // while we wait, so its ticks never shorten the wait.
  int waitMs = timeoutMs;
  const double next = NextDueMs();
  if (!mManualClock && next >= 0.0) {
    const double untilDue = std::max(0.0, std::ceil(next - NowMs()));
    if (waitMs < 0 || untilDue < static_cast<double>(waitMs)) waitMs = static_cast<int>(untilDue);
  }

  std::vector<pollfd> fds;
  std::vector<int> ids;
  fds.reserve(mWatches.size());
  ids.reserve(mWatches.size());
  for (const auto& [id, watch] : mWatches) {
    fds.push_back(pollfd{watch.fd, watch.events, 0});
    ids.push_back(id);
  }
  // With nothing to watch, a negative wait would block forever: then there is nothing to wait for.
  if (!fds.empty() || waitMs > 0) {
    int ready = 0;
    do {
      ready = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return -1;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      const auto it = mWatches.find(ids[i]);
      if (it == mWatches.end()) continue;  // unwatched by an earlier callback
      const std::shared_ptr<FdCallback> callback = it->second.callback;
      (*callback)(fds[i].fd, fds[i].revents);
      ++ran;
    }
  }

  const double now = NowMs();
  std::vector<int> due;
  for (const auto& [id, timer] : mTimers) {
    if (timer.dueMs <= now) due.push_back(id);
  }
  for (int id : due) {
    const auto it = mTimers.find(id);
    if (it == mTimers.end()) continue;  // removed by an earlier callback
    TimerEntry& timer = it->second;
    timer.dueMs += timer.periodMs;
    if (timer.dueMs <= now) {
      timer.dueMs += timer.periodMs * std::floor((now - timer.dueMs) / timer.periodMs + 1.0);
    }
    const std::shared_ptr<TimerCallback> callback = timer.callback;
    (*callback)();
    ++ran;
  }
  return ran;
}

void RunLoop::Run() {
  mQuit = false;
  while (!mQuit) {
    if (mTimers.empty() && mWatches.empty()) break;
    if (!mManualClock) {
      if (RunOnce(-1) < 0) break;
      continue;
    }
    // A manual clock never moves by itself: jump it to the next tick instead of waiting for it.
    const double next = NextDueMs();
    if (RunOnce(next >= 0.0 ? 0 : -1) < 0) break;
    if (!mQuit && next >= 0.0) AdvanceTo(std::max(next, NowMs()));
  }
}

}  // namespace plug
