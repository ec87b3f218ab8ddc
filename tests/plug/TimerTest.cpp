// Timer on the platform's main run loop: ticks at creation then every period on the manual clock,
// stopping, re-entrancy.
#include "plug/Timer.h"

#include <CoreFoundation/CoreFoundation.h>
#include <TovraSdk/RunLoopClock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using plug::Timer;

class MainLoopTimer : public ::testing::Test {
 protected:
  void SetUp() override { TovraSdkRunLoopUseManualClock(0.0); }
  void TearDown() override { TovraSdkRunLoopUseSystemClock(); }

  // Ticks as "name@ms".
  std::vector<std::string> log;
  void Add(const char* name) {
    log.push_back(std::string(name) + "@" +
                  std::to_string(std::lround(CFAbsoluteTimeGetCurrent() * 1000.0)));
  }
};

TEST_F(MainLoopTimer, TicksAtCreationThenEveryPeriodInTimeOrder) {
  auto a = Timer::Create([&](Timer&) { Add("a"); }, 20);
  auto b = Timer::Create([&](Timer&) { Add("b"); }, 30);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetPeriodMs(), 20);
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.060), 7);
  const std::vector<std::string> expected = {"a@0",  "b@0",  "a@20", "b@30",
                                             "a@40", "a@60", "b@60"};  // ties: creation order
  EXPECT_EQ(log, expected);
}

TEST_F(MainLoopTimer, ItTicksWhenTheHostRunsTheLoopInTheDefaultMode) {
  int ticks = 0;
  auto t = Timer::Create([&](Timer&) { ++ticks; }, 20);
  // Scheduled in the common modes: a host running the default mode sees it (manual clock: no
  // waiting).
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false), kCFRunLoopRunTimedOut);
  EXPECT_EQ(ticks, 6);
}

TEST_F(MainLoopTimer, DestroyedOrStoppedTimersNeverTickAgain) {
  int ticks = 0;
  auto t = Timer::Create([&](Timer&) { ++ticks; }, 20);
  EXPECT_TRUE(t->IsRunning());
  TovraSdkRunLoopAdvanceBy(0.0);
  EXPECT_EQ(ticks, 1);
  t->Stop();
  EXPECT_FALSE(t->IsRunning());
  TovraSdkRunLoopAdvanceBy(0.1);
  EXPECT_EQ(ticks, 1);

  auto u = Timer::Create([&](Timer&) { ++ticks; }, 20);
  u.reset();
  EXPECT_EQ(CFRunLoopGetNextTimerFireDate(CFRunLoopGetMain(), kCFRunLoopDefaultMode),
            0.0);  // nothing scheduled
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.1), 0);
  EXPECT_EQ(ticks, 1);
}

TEST_F(MainLoopTimer, ACallbackMayDestroyItsOwnTimerAndCreateNewOnes) {
  std::unique_ptr<Timer> self;
  std::unique_ptr<Timer> spawned;
  self = Timer::Create(
      [&](Timer& running) {
        EXPECT_EQ(&running, self.get());
        Add("self");
        spawned = Timer::Create([&](Timer&) { Add("new"); }, 50);
        self.reset();  // destroys the running timer; the callback finishes on its own copy
        Add("after");
      },
      10);
  TovraSdkRunLoopAdvanceTo(0.100);
  const std::vector<std::string> expected = {"self@0", "after@0", "new@0", "new@50", "new@100"};
  EXPECT_EQ(log, expected);
}

TEST_F(MainLoopTimer, BadArgumentsGiveNoTimer) {
  EXPECT_EQ(Timer::Create([](Timer&) {}, 0), nullptr);
  EXPECT_EQ(Timer::Create([](Timer&) {}, -5), nullptr);
  EXPECT_EQ(Timer::Create(nullptr, 20), nullptr);
  EXPECT_EQ(Timer::Create(
                nullptr, [](Timer&) {}, 20),
            nullptr);  // no loop
  EXPECT_EQ(CFRunLoopGetNextTimerFireDate(CFRunLoopGetMain(), kCFRunLoopDefaultMode), 0.0);
}

}  // namespace
