// RunLoopTest.cpp: the CF run loop: deterministic ticks on the manual clock, modes, removal,
// re-entrancy, descriptors, threads.
#include <CoreFoundation/CoreFoundation.h>
#include <TovraSdk/RunLoopClock.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/SystemCallTrap.h"

namespace {

// A timer whose call-out runs a std::function (owned by the test, not by the timer).
using Action = std::function<void(CFRunLoopTimerRef)>;

void RunAction(CFRunLoopTimerRef timer, void* info) {
  (*static_cast<Action*>(info))(timer);
}

CFRunLoopTimerRef MakeTimer(Action* action, CFTimeInterval interval, CFAbsoluteTime fireDate) {
  CFRunLoopTimerContext context{0, action, nullptr, nullptr, nullptr};
  return CFRunLoopTimerCreate(nullptr, fireDate, interval, 0, 0, RunAction, &context);
}

// Scheduled on the main loop in the common modes, the caller's reference dropped: the loop owns it.
CFRunLoopTimerRef ScheduleTimer(Action* action, CFTimeInterval interval) {
  CFRunLoopTimerRef t = MakeTimer(action, interval, CFAbsoluteTimeGetCurrent());
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  CFRelease(t);
  return t;
}

int NowMs() {
  return static_cast<int>(std::lround(CFAbsoluteTimeGetCurrent() * 1000.0));
}

// Every test starts on a manual clock at 0 and leaves the system clock behind it.
class MainLoop : public ::testing::Test {
 protected:
  void SetUp() override { TovraSdkRunLoopUseManualClock(0.0); }
  void TearDown() override {
    TovraSdkRunLoopUseSystemClock();
    EXPECT_EQ(CFRunLoopGetNextTimerFireDate(CFRunLoopGetMain(), kCFRunLoopDefaultMode), 0.0)
        << "a timer was left";
  }
  std::vector<std::string> log;
  Action Logger(const char* name) {
    return [this, name](CFRunLoopTimerRef) {
      log.push_back(std::string(name) + "@" + std::to_string(NowMs()));
    };
  }
};

TEST_F(MainLoop, TimersTickAtTheirFireDateThenEveryIntervalInTimeOrder) {
  Action a = Logger("a"), b = Logger("b");
  CFRunLoopTimerRef ta = ScheduleTimer(&a, 0.020);
  CFRunLoopTimerRef tb = ScheduleTimer(&b, 0.030);
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.060), 7);
  const std::vector<std::string> expected = {"a@0",  "b@0",  "a@20", "b@30",
                                             "a@40", "a@60", "b@60"};  // ties: scheduling order
  EXPECT_EQ(log, expected);
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 0.060);
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.060), 0);  // nothing due twice
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.010), 0);  // the past runs nothing and leaves the clock
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 0.060);
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(1.0),
            83);  // 50 of a, 33 of b: exact on a clock of whole microseconds
  EXPECT_EQ(CFRunLoopTimerGetNextFireDate(ta), 1.080);
  CFRunLoopTimerInvalidate(ta);
  CFRunLoopTimerInvalidate(tb);
}

TEST_F(MainLoop, TheLoopRetainsWhatItSchedulesUntilRemovalOrInvalidation) {
  int ticks = 0;
  Action count = [&](CFRunLoopTimerRef) { ++ticks; };
  CFRunLoopTimerRef t = MakeTimer(&count, 0.020, 0.0);
  EXPECT_EQ(CFGetRetainCount(t), 1);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t,
                    kCFRunLoopDefaultMode);  // a second mode: still one reference
  EXPECT_EQ(CFGetRetainCount(t), 2);
  EXPECT_TRUE(CFRunLoopContainsTimer(CFRunLoopGetMain(), t, kCFRunLoopDefaultMode));
  CFRunLoopRemoveTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  EXPECT_EQ(CFGetRetainCount(t), 2);  // still in the default mode
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.0), 1);
  CFRunLoopRemoveTimer(CFRunLoopGetMain(), t, kCFRunLoopDefaultMode);
  EXPECT_EQ(CFGetRetainCount(t), 1);
  EXPECT_FALSE(CFRunLoopContainsTimer(CFRunLoopGetMain(), t, kCFRunLoopDefaultMode));
  EXPECT_TRUE(CFRunLoopTimerIsValid(t));  // removed, not invalidated
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.1), 0);

  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  EXPECT_EQ(CFGetRetainCount(t), 2);
  CFRunLoopTimerInvalidate(t);
  EXPECT_EQ(CFGetRetainCount(t), 1);
  EXPECT_FALSE(CFRunLoopTimerIsValid(t));
  CFRunLoopAddTimer(CFRunLoopGetMain(), t,
                    kCFRunLoopCommonModes);  // an invalid timer is not scheduled
  EXPECT_EQ(CFGetRetainCount(t), 1);
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.1), 0);
  EXPECT_EQ(ticks, 1);
  CFRelease(t);
}

// Counts the info's references, and checks that none is used after its last release.
struct CountedInfo {
  int references = 1;
  int releases = 0;
  bool alive = true;
  static const void* Retain(const void* p) {
    ++static_cast<CountedInfo*>(const_cast<void*>(p))->references;
    return p;
  }
  static void Release(const void* p) {
    auto* c = static_cast<CountedInfo*>(const_cast<void*>(p));
    ++c->releases;
    if (--c->references == 0) c->alive = false;
  }
};

TEST_F(MainLoop, CallOutsMayInvalidateTheirOwnTimerAndScheduleNewOnes) {
  CountedInfo counted;
  counted.references = 0;  // the timer holds the only reference
  bool infoAliveDuringCallOut = false;
  CFRunLoopTimerRef spawned = nullptr;
  Action fresh = Logger("new");
  struct Self {
    CountedInfo* counted;
    std::function<void(CFRunLoopTimerRef)> body;
  };
  Self self{&counted, nullptr};
  self.body = [&](CFRunLoopTimerRef timer) {
    log.push_back("self@" + std::to_string(NowMs()));
    spawned = ScheduleTimer(&fresh, 0.050);
    CFRunLoopTimerInvalidate(timer);  // the last reference to the running timer goes here
    infoAliveDuringCallOut = counted.alive;
  };
  CFRunLoopTimerContext context{0, &self, nullptr, nullptr, nullptr};
  // The counted info is the Self; its retain and release act on the CountedInfo inside.
  context.retain = [](const void* p) -> const void* {
    CountedInfo::Retain(static_cast<const Self*>(p)->counted);
    return p;
  };
  context.release = [](const void* p) {
    CountedInfo::Release(static_cast<const Self*>(p)->counted);
  };
  CFRunLoopTimerRef t = CFRunLoopTimerCreate(
      nullptr, 0.0, 0.010, 0, 0,
      [](CFRunLoopTimerRef timer, void* info) { static_cast<Self*>(info)->body(timer); }, &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  CFRelease(t);
  EXPECT_EQ(counted.references, 1);

  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.100), 4);
  const std::vector<std::string> expected = {"self@0", "new@0", "new@50", "new@100"};
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(infoAliveDuringCallOut);
  EXPECT_EQ(counted.releases, 1);  // exactly once, after the call-out that invalidated the timer
  EXPECT_FALSE(counted.alive);
  CFRunLoopTimerInvalidate(spawned);
}

TEST_F(MainLoop, AOneShotTimerFiresOnceAndIsThenInvalid) {
  int ticks = 0;
  Action count = [&](CFRunLoopTimerRef) { ++ticks; };
  CFRunLoopTimerRef t = MakeTimer(&count, 0.0, 0.5);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopDefaultMode);
  EXPECT_FALSE(CFRunLoopTimerDoesRepeat(t));
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(0.4), 0);
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(2.0), 1);
  EXPECT_FALSE(CFRunLoopTimerIsValid(t));
  EXPECT_EQ(CFGetRetainCount(t), 1);  // the loop let go
  CFRelease(t);
}

TEST_F(MainLoop, BadArgumentsGiveNoObjectAndChangeNothing) {
  Action nothing = [](CFRunLoopTimerRef) {};
  CFRunLoopTimerContext context{0, &nothing, nullptr, nullptr, nullptr};
  EXPECT_EQ(CFRunLoopTimerCreate(nullptr, 0.0, 0.02, 0, 0, nullptr, &context), nullptr);
  EXPECT_EQ(CFRunLoopTimerCreate(nullptr, NAN, 0.02, 0, 0, RunAction, &context), nullptr);
  EXPECT_EQ(CFRunLoopTimerCreate(nullptr, 0.0, NAN, 0, 0, RunAction, &context), nullptr);
  EXPECT_EQ(CFFileDescriptorCreate(
                nullptr, -1, false, [](CFFileDescriptorRef, CFOptionFlags, void*) {}, nullptr),
            nullptr);
  EXPECT_EQ(CFFileDescriptorCreate(nullptr, 0, false, nullptr, nullptr), nullptr);

  CFRunLoopTimerRef tiny = MakeTimer(&nothing, 1e-9, 0.0);
  EXPECT_EQ(CFRunLoopTimerGetInterval(tiny), 0.0001);       // a shorter period would only spin
  CFRunLoopAddTimer(CFRunLoopGetMain(), tiny, nullptr);     // no mode: not scheduled
  CFRunLoopAddTimer(nullptr, tiny, kCFRunLoopDefaultMode);  // no loop
  CFRunLoopRemoveTimer(CFRunLoopGetMain(), tiny, kCFRunLoopDefaultMode);  // never added
  EXPECT_EQ(CFGetRetainCount(tiny), 1);
  CFRunLoopAddTimer(CFRunLoopGetMain(),
                    reinterpret_cast<CFRunLoopTimerRef>(const_cast<__CFString*>(CFSTR("x"))),
                    kCFRunLoopDefaultMode);  // not a timer
  EXPECT_EQ(CFRunLoopGetNextTimerFireDate(CFRunLoopGetMain(), kCFRunLoopDefaultMode), 0.0);
  EXPECT_EQ(CFRunLoopTimerIsValid(nullptr), false);
  CFRunLoopTimerInvalidate(nullptr);
  CFRelease(tiny);

  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(NAN), -1);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopCommonModes, 0.0, false),
            kCFRunLoopRunFinished);  // not a mode to run
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false),
            kCFRunLoopRunFinished);  // nothing scheduled
  TovraSdkRunLoopUseSystemClock();
  EXPECT_FALSE(TovraSdkRunLoopIsManualClock());
  EXPECT_EQ(TovraSdkRunLoopAdvanceTo(10.0), -1);  // only a manual clock is advanced
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(1.0), -1);
}

TEST_F(MainLoop, ModesDecideWhatRuns) {
  Action d = Logger("default"), c = Logger("common"), x = Logger("x");
  CFStringRef modeX = CFSTR("X");
  CFRunLoopTimerRef td = MakeTimer(&d, 0.0, 0.0);
  CFRunLoopTimerRef tc = MakeTimer(&c, 0.0, 0.0);
  CFRunLoopTimerRef tx = MakeTimer(&x, 0.0, 0.0);
  CFRunLoopAddTimer(CFRunLoopGetMain(), td, kCFRunLoopDefaultMode);
  CFRunLoopAddTimer(CFRunLoopGetMain(), tc, kCFRunLoopCommonModes);
  CFRunLoopAddTimer(CFRunLoopGetMain(), tx, modeX);
  EXPECT_TRUE(CFRunLoopContainsTimer(CFRunLoopGetMain(), tc,
                                     kCFRunLoopDefaultMode));  // default is a common mode
  EXPECT_FALSE(CFRunLoopContainsTimer(CFRunLoopGetMain(), tx, kCFRunLoopDefaultMode));

  EXPECT_EQ(CFRunLoopRunInMode(modeX, 0.0, false),
            kCFRunLoopRunFinished);  // x fired once, nothing left in X
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunFinished);
  const std::vector<std::string> expected = {"x@0", "default@0", "common@0"};
  EXPECT_EQ(log, expected);
  for (CFRunLoopTimerRef t : {td, tc, tx}) CFRelease(t);
}

TEST_F(MainLoop, RunInModeJumpsAManualClockFromTickToTickAndStops) {
  int ticks = 0;
  Action count = [&](CFRunLoopTimerRef) { ++ticks; };
  CFRunLoopTimerRef t = ScheduleTimer(&count, 0.020);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false), kCFRunLoopRunTimedOut);
  EXPECT_EQ(ticks, 6);  // 0, 20, 40, 60, 80, 100 ms: no waiting on a manual clock
  EXPECT_EQ(NowMs(), 100);

  // A stop requested from a call-out ends CFRunLoopRun after that tick.
  Action stopAtThird = [&](CFRunLoopTimerRef) {
    if (++ticks == 9) CFRunLoopStop(CFRunLoopGetCurrent());
  };
  CFRunLoopTimerInvalidate(t);
  t = ScheduleTimer(&stopAtThird, 0.020);
  CFRunLoopRun();
  EXPECT_EQ(ticks, 9);
  EXPECT_EQ(NowMs(), 140);

  // A stop requested while the loop is not running ends its next run at once.
  CFRunLoopStop(CFRunLoopGetMain());
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10.0, false), kCFRunLoopRunStopped);
  EXPECT_EQ(ticks, 9);
  CFRunLoopTimerInvalidate(t);
  CFRunLoopRun();  // nothing left: returns at once
}

TEST_F(MainLoop, ATimerDueNowIsDueAtAnyDate) {
  // A date read from the clock and handed back must be "now" exactly, also far from 2001.
  for (const CFAbsoluteTime date :
       {0.0, 1.0e-6, 0.1, 818568347.095996976, 818568347.1, 2.0e9, 5.0e-7}) {
    TovraSdkRunLoopUseManualClock(date);
    TovraSdkRunLoopAdvanceBy(0.0103);  // where a host's pump may have left it
    int ticks = 0;
    Action count = [&](CFRunLoopTimerRef) { ++ticks; };
    CFRunLoopTimerRef t = ScheduleTimer(&count, 0.020);
    EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.0), 1) << date;
    EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.020), 1) << date;
    CFRunLoopTimerInvalidate(t);
  }
}

TEST_F(MainLoop, SwitchingClocksKeepsEachTimersDistanceToNow) {
  Action nothing = [](CFRunLoopTimerRef) {};
  TovraSdkRunLoopUseManualClock(100.0);
  CFRunLoopTimerRef t = ScheduleTimer(&nothing, 0.050);
  EXPECT_EQ(TovraSdkRunLoopAdvanceBy(0.0), 1);
  EXPECT_EQ(CFRunLoopTimerGetNextFireDate(t), 100.05);
  TovraSdkRunLoopUseSystemClock();
  const double untilNext = CFRunLoopTimerGetNextFireDate(t) - CFAbsoluteTimeGetCurrent();
  EXPECT_GT(untilNext, 0.0);
  EXPECT_LE(untilNext, 0.05 + 1e-6);
  EXPECT_GT(CFAbsoluteTimeGetCurrent(), 7e8);  // the system clock tells the time since 2001
  TovraSdkRunLoopUseManualClock(5.0);
  EXPECT_NEAR(CFRunLoopTimerGetNextFireDate(t) - 5.0, untilNext, 1e-3);
  CFRunLoopTimerInvalidate(t);
}

TEST(SystemClockLoop, OnePassFiresDueTimersOnceAndSkipsMissedTicks) {
  ASSERT_FALSE(TovraSdkRunLoopIsManualClock());
  int ticks = 0;
  Action count = [&](CFRunLoopTimerRef) { ++ticks; };
  // Due a minute ago on a 20 ms period: one tick, then the next on the period's grid after now.
  const CFAbsoluteTime start = CFAbsoluteTimeGetCurrent() - 60.0;
  CFRunLoopTimerRef t = MakeTimer(&count, 0.020, start);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunTimedOut);
  EXPECT_EQ(ticks, 1);
  const CFAbsoluteTime next = CFRunLoopTimerGetNextFireDate(t);
  EXPECT_GT(next, CFAbsoluteTimeGetCurrent() - 0.020);
  EXPECT_NEAR(std::remainder(next - start, 0.020), 0.0, 1e-6);

  CFRunLoopTimerSetNextFireDate(t, CFAbsoluteTimeGetCurrent() + 60.0);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunTimedOut);
  EXPECT_EQ(ticks, 1);  // a minute away, and a zero timeout does not wait
  CFRunLoopTimerInvalidate(t);
  CFRelease(t);
}

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void Write(char c) const { ASSERT_EQ(::write(fds[1], &c, 1), 1); }
};

struct Reader {
  std::vector<char> got;
  bool reenable = false;
  static void CallBack(CFFileDescriptorRef f, CFOptionFlags types, void* info) {
    auto* self = static_cast<Reader*>(info);
    char c = 0;
    if ((types & kCFFileDescriptorReadCallBack) != 0 &&
        ::read(CFFileDescriptorGetNativeDescriptor(f), &c, 1) == 1)
      self->got.push_back(c);
    if (self->reenable) CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);
  }
};

TEST_F(MainLoop, DescriptorCallBacksAreOneShotAndDispatchedFromThePoll) {
  Pipe pipe;
  Reader reader;
  CFFileDescriptorContext context{0, &reader, nullptr, nullptr, nullptr};
  CFFileDescriptorRef f =
      CFFileDescriptorCreate(nullptr, pipe.fds[0], false, Reader::CallBack, &context);
  ASSERT_NE(f, nullptr);
  CFRunLoopSourceRef source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  ASSERT_NE(source, nullptr);
  CFRunLoopSourceRef again = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  EXPECT_EQ(again, source);  // one source per descriptor
  CFRelease(again);
  CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopDefaultMode);
  CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);

  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, true),
            kCFRunLoopRunTimedOut);  // nothing written yet
  pipe.Write('x');
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, true), kCFRunLoopRunHandledSource);
  pipe.Write('y');
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, true),
            kCFRunLoopRunTimedOut);  // not enabled again
  EXPECT_EQ(reader.got, std::vector<char>{'x'});

  // Enabled from the call-out: every byte, and a timer in the same pass may invalidate the
  // descriptor.
  reader.reenable = true;
  CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);
  Action invalidate = [&](CFRunLoopTimerRef timer) {
    CFFileDescriptorInvalidate(f);
    CFRunLoopTimerInvalidate(timer);
  };
  ScheduleTimer(&invalidate, 0.020);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false),
            kCFRunLoopRunFinished);  // all gone
  EXPECT_EQ(reader.got, (std::vector<char>{'x', 'y'}));
  EXPECT_FALSE(CFRunLoopContainsSource(CFRunLoopGetMain(), source, kCFRunLoopDefaultMode));
  EXPECT_FALSE(CFRunLoopSourceIsValid(source));
  EXPECT_EQ(CFFileDescriptorGetNativeDescriptor(f), -1);
  EXPECT_EQ(CFFileDescriptorCreateRunLoopSource(nullptr, f, 0), nullptr);
  pipe.Write('z');
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunFinished);
  EXPECT_EQ(reader.got, (std::vector<char>{'x', 'y'}));
  EXPECT_NE(::fcntl(pipe.fds[0], F_GETFD), -1);  // not closed: it was not asked for
  CFRelease(source);
  CFRelease(f);
}

TEST_F(MainLoop, AHangUpReachesTheReaderAndCloseOnInvalidateClosesTheDescriptor) {
  Pipe pipe;
  Reader reader;
  CFFileDescriptorContext context{0, &reader, nullptr, nullptr, nullptr};
  CFFileDescriptorRef f =
      CFFileDescriptorCreate(nullptr, pipe.fds[0], true, Reader::CallBack, &context);
  CFRunLoopSourceRef source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
  CFRelease(source);  // the loop keeps it, and it keeps the descriptor object
  CFFileDescriptorEnableCallBacks(f,
                                  kCFFileDescriptorReadCallBack | kCFFileDescriptorWriteCallBack);
  ::close(pipe.fds[1]);
  pipe.fds[1] = -1;
  // The writer is gone: the read call-back learns it once (read returns 0), then it is disabled.
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
  EXPECT_TRUE(reader.got.empty());

  const int fd = pipe.fds[0];
  CFFileDescriptorInvalidate(f);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  pipe.fds[0] = -1;
  CFRelease(f);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunFinished);
}

// A host rendering offline pumps the main loop once per idle tick: with no descriptor to watch
// that pump runs the timers due and makes no system call; with one, it still polls it.
TEST_F(MainLoop, APumpWithNothingToWaitForMakesNoSystemCall) {
  if (!testsupport::SystemCallTrap::Available())
    GTEST_SKIP() << "no seccomp filter for this machine";
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's runtime makes system calls of its own";
#endif
  int ticks = 0;
  Action count = [&](CFRunLoopTimerRef) { ++ticks; };
  CFRunLoopTimerRef t = ScheduleTimer(&count, 0.020);
  Pipe pipe;
  Reader reader;
  CFFileDescriptorContext context{0, &reader, nullptr, nullptr, nullptr};
  CFFileDescriptorRef f =
      CFFileDescriptorCreate(nullptr, pipe.fds[0], false, Reader::CallBack, &context);
  CFRunLoopSourceRef source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopDefaultMode);
  // Four idle ticks' worth of pumps, each moving the clock 10 ms: ticks fall due on every other.
  const auto pumps = [&] {
    for (int i = 0; i < 4; ++i) {
      TovraSdkRunLoopAdvanceBy(0.010);
      if (CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false) != kCFRunLoopRunTimedOut) return 1;
    }
    return ticks;
  };
  ASSERT_EQ(pumps(), 3);  // the first pump, outside the trap, and the ticks at 0, 20 and 40 ms
  ticks = 0;

  struct Case {
    const char* name;
    bool descriptorEnabled;
    long firstCall;
  };
  for (const Case& c : {Case{"no descriptor", false, -1L}, Case{"a descriptor", true, SYS_poll}}) {
    SCOPED_TRACE(c.name);
    if (c.descriptorEnabled) CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);
    const testsupport::SystemCallTrap::Result result = testsupport::SystemCallTrap::Run(pumps);
    if (result.unavailable) GTEST_SKIP() << result.failure;
    ASSERT_EQ(result.failure, nullptr) << result.failure;
    EXPECT_EQ(result.systemCall, c.firstCall);
    if (c.firstCall == -1) {
      EXPECT_EQ(result.exitCode, 2);  // ticks at 60 and 80 ms
    }
  }
  CFRunLoopTimerInvalidate(t);
  CFFileDescriptorInvalidate(f);
  CFRelease(source);
  CFRelease(f);
}

TEST(SystemClockLoop, AStopFromAnotherThreadEndsAWait) {
  ASSERT_FALSE(TovraSdkRunLoopIsManualClock());
  Pipe pipe;  // never written: the loop would wait the whole time for it
  Reader reader;
  CFFileDescriptorContext context{0, &reader, nullptr, nullptr, nullptr};
  CFFileDescriptorRef f =
      CFFileDescriptorCreate(nullptr, pipe.fds[0], false, Reader::CallBack, &context);
  CFRunLoopSourceRef source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopDefaultMode);
  CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);

  std::thread stopper([] { CFRunLoopStop(CFRunLoopGetMain()); });
  const CFAbsoluteTime before = CFAbsoluteTimeGetCurrent();
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 60.0, false), kCFRunLoopRunStopped);
  EXPECT_LT(CFAbsoluteTimeGetCurrent() - before, 30.0);  // woken, not timed out
  stopper.join();
  CFFileDescriptorInvalidate(f);
  CFRelease(source);
  CFRelease(f);
}

TEST(ThreadLoops, EachThreadHasItsOwnLoopAndATimerBelongsToOne) {
  int mainTicks = 0;
  std::atomic<int> threadTicks{0};
  Action onMain = [&](CFRunLoopTimerRef) { ++mainTicks; };
  Action onThread = [&](CFRunLoopTimerRef) { threadTicks.fetch_add(1); };
  CFRunLoopTimerRef t = MakeTimer(&onThread, 10.0, CFAbsoluteTimeGetCurrent());
  CFRunLoopRef threadLoop = nullptr;
  std::thread worker([&] {
    threadLoop = CFRunLoopGetCurrent();
    CFRunLoopAddTimer(threadLoop, t, kCFRunLoopDefaultMode);
    CFRunLoopAddTimer(CFRunLoopGetMain(), t,
                      kCFRunLoopDefaultMode);  // already on another loop: ignored
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunTimedOut);
    EXPECT_EQ(CFGetRetainCount(t), 2);
  });
  worker.join();
  EXPECT_NE(threadLoop, CFRunLoopGetMain());
  EXPECT_EQ(CFRunLoopGetCurrent(), CFRunLoopGetMain());
  EXPECT_EQ(threadTicks.load(), 1);
  EXPECT_EQ(CFGetRetainCount(t), 1);  // the thread's loop let go when the thread ended
  EXPECT_TRUE(CFRunLoopTimerIsValid(t));

  CFRunLoopTimerSetNextFireDate(t, CFAbsoluteTimeGetCurrent());
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopDefaultMode);  // free again
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false), kCFRunLoopRunTimedOut);
  EXPECT_EQ(threadTicks.load(), 2);
  EXPECT_EQ(mainTicks, 0);
  CFRunLoopTimerInvalidate(t);
  CFRelease(t);
}

TEST_F(MainLoop, TimersScheduledFromAnotherThreadFireOnceEachOnTheMainLoop) {
  constexpr int kTimers = 2000;
  std::vector<std::atomic<int>> fired(kTimers);
  struct Tick {
    std::vector<std::atomic<int>>* fired;
    int index;
  };
  std::vector<Tick> ticks(kTimers);
  std::atomic<int> scheduled{0};
  std::thread producer([&] {
    for (int i = 0; i < kTimers; ++i) {
      ticks[i] = Tick{&fired, i};
      CFRunLoopTimerContext context{0, &ticks[i], nullptr, nullptr, nullptr};
      CFRunLoopTimerRef t = CFRunLoopTimerCreate(
          nullptr, CFAbsoluteTimeGetCurrent(), 0.001, 0, 0,
          [](CFRunLoopTimerRef timer, void* info) {
            auto* tick = static_cast<Tick*>(info);
            (*tick->fired)[tick->index].fetch_add(1);
            CFRunLoopTimerInvalidate(timer);
          },
          &context);
      CFRunLoopAddTimer(CFRunLoopGetMain(), t, kCFRunLoopCommonModes);
      CFRelease(t);
      scheduled.store(i + 1, std::memory_order_release);
    }
  });
  // The main thread pumps while the producer schedules; each timer fires exactly once.
  while (scheduled.load(std::memory_order_acquire) < kTimers) TovraSdkRunLoopAdvanceBy(0.001);
  producer.join();
  TovraSdkRunLoopAdvanceBy(0.001);
  for (int i = 0; i < kTimers; ++i) ASSERT_EQ(fired[i].load(), 1) << "timer " << i;
}

}  // namespace
