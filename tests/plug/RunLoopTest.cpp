// RunLoop and Timer: deterministic ticks on a manual clock, removal, re-entrancy, descriptors.
#include "plug/RunLoop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "plug/Timer.h"

namespace {

using plug::RunLoop;
using plug::Timer;

// Ticks as "name@time".
struct TickLog {
  std::vector<std::string> ticks;
  void Add(RunLoop& loop, const char* name) {
    ticks.push_back(std::string(name) + "@" + std::to_string(static_cast<int>(loop.NowMs())));
  }
};

TEST(RunLoop, TimersTickAtCreationThenEveryPeriodInTimeOrder) {
  RunLoop loop;
  loop.UseManualClock(0.0);
  TickLog log;
  auto a = Timer::Create(loop, [&](Timer&) { log.Add(loop, "a"); }, 20);
  auto b = Timer::Create(loop, [&](Timer&) { log.Add(loop, "b"); }, 30);
  EXPECT_EQ(loop.AdvanceTo(60.0), 7);
  const std::vector<std::string> expected = {"a@0",  "b@0",  "a@20", "b@30",
                                             "a@40", "a@60", "b@60"};  // ties: creation order
  EXPECT_EQ(log.ticks, expected);
  EXPECT_EQ(loop.NowMs(), 60.0);
  EXPECT_EQ(loop.AdvanceTo(60.0), 0);  // nothing due twice
  EXPECT_EQ(loop.AdvanceTo(10.0), 0);  // the past runs nothing
  EXPECT_EQ(loop.NowMs(), 60.0);
}

TEST(RunLoop, DestroyedOrStoppedTimersNeverTickAgain) {
  RunLoop loop;
  loop.UseManualClock(0.0);
  int ticks = 0;
  auto t = Timer::Create(loop, [&](Timer&) { ++ticks; }, 20);
  EXPECT_TRUE(t->IsRunning());
  loop.AdvanceBy(0.0);
  EXPECT_EQ(ticks, 1);
  t->Stop();
  EXPECT_FALSE(t->IsRunning());
  loop.AdvanceBy(100.0);
  EXPECT_EQ(ticks, 1);

  auto u = Timer::Create(loop, [&](Timer&) { ++ticks; }, 20);
  u.reset();
  EXPECT_EQ(loop.NTimers(), 0);
  loop.AdvanceBy(100.0);
  EXPECT_EQ(ticks, 1);
}

TEST(RunLoop, CallbacksMayDestroyTheirTimerAndCreateNewOnes) {
  RunLoop loop;
  loop.UseManualClock(0.0);
  TickLog log;
  std::unique_ptr<Timer> self;
  std::unique_ptr<Timer> spawned;
  self = Timer::Create(loop,
                       [&](Timer&) {
                         log.Add(loop, "self");
                         spawned = Timer::Create(loop, [&](Timer&) { log.Add(loop, "new"); }, 50);
                         self.reset();  // destroys the running timer
                       },
                       10);
  loop.AdvanceTo(100.0);
  const std::vector<std::string> expected = {"self@0", "new@0", "new@50", "new@100"};
  EXPECT_EQ(log.ticks, expected);
}

TEST(RunLoop, BadArgumentsGiveNoTimer) {
  RunLoop loop;
  EXPECT_EQ(Timer::Create(loop, [](Timer&) {}, 0), nullptr);
  EXPECT_EQ(Timer::Create(loop, [](Timer&) {}, -5), nullptr);
  EXPECT_EQ(Timer::Create(loop, nullptr, 20), nullptr);
  EXPECT_EQ(loop.AddTimer([] {}, 0.0), -1);
  EXPECT_EQ(loop.WatchFd(-1, POLLIN, [](int, short) {}), -1);
  EXPECT_FALSE(loop.RemoveTimer(12345));
  EXPECT_EQ(loop.AdvanceTo(10.0), -1);  // only a manual clock can be advanced
}

TEST(RunLoop, SystemClockRunOnceFiresDueTimersOnce) {
  RunLoop loop;
  int ticks = 0;
  auto t = Timer::Create(loop, [&](Timer&) { ++ticks; }, 60000);
  EXPECT_EQ(loop.RunOnce(0), 1);  // due at creation
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(loop.RunOnce(0), 0);  // the next one is a minute away; no waiting with timeout 0
  EXPECT_GT(loop.NextDueMs(), loop.NowMs());
}

TEST(RunLoop, WatchedDescriptorsAreDispatchedFromThePoll) {
  RunLoop loop;
  loop.UseManualClock(0.0);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<char> got;
  const int id = loop.WatchFd(fds[0], POLLIN, [&](int fd, short revents) {
    char c = 0;
    if ((revents & POLLIN) != 0 && ::read(fd, &c, 1) == 1) got.push_back(c);
  });
  ASSERT_GT(id, 0);
  EXPECT_EQ(loop.RunOnce(0), 0);  // nothing written yet
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  EXPECT_EQ(loop.RunOnce(0), 1);
  EXPECT_EQ(got, std::vector<char>{'x'});

  // A timer and a descriptor in the same pass; the timer may unwatch the descriptor.
  auto t = Timer::Create(loop, [&](Timer&) { loop.UnwatchFd(id); }, 20);
  ASSERT_EQ(::write(fds[1], "y", 1), 1);
  EXPECT_EQ(loop.RunOnce(0), 2);
  EXPECT_EQ(loop.NWatches(), 0);
  ASSERT_EQ(::write(fds[1], "z", 1), 1);
  loop.RunOnce(0);
  EXPECT_EQ(got, (std::vector<char>{'x', 'y'}));
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoop, QuitStopsRun) {
  RunLoop loop;
  loop.UseManualClock(0.0);
  int ticks = 0;
  auto t = Timer::Create(loop, [&](Timer&) {
    if (++ticks == 1) loop.Quit();
  }, 20);
  loop.Run();
  EXPECT_EQ(ticks, 1);
}

}  // namespace
