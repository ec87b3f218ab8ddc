// RealTimeTest.cpp: Render allocates nothing, takes no lock and makes no system call, and a render
// thread runs cleanly beside a main thread that sets parameters, runs idle ticks and reads the
// meter.
#include <AudioToolbox/AudioUnitProperties.h>
#include <TovraSdk/RunLoopClock.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "core/TovraSatProperties.h"
#include "tests/au/AuTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/SystemCallTrap.h"

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// Renders of the sizes hosts give, each after a parameter change on the render thread (as
// automation arrives), with the input pulled from the host or rendered in place. The buffers are
// made beforehand, as a host's are.
class AutomatedRenders {
 public:
  // False at the first call that fails.
  bool Run(host::HostedUnit& unit) {
    for (UInt32 frames : {512u, 1u, 64u, 511u, 300u}) {
      if (AudioUnitSetParameter(unit.Unit(), 0, kAudioUnitScope_Global, 0,
                                static_cast<float>(frames % 100), 0) != noErr ||
          unit.Render(mIns, mOuts, frames) != noErr ||
          unit.Render(nullptr, mOuts, frames) != noErr) {
        return false;
      }
    }
    return true;
  }

 private:
  std::vector<float> mIn = std::vector<float>(512, 0.7f);
  std::vector<float> mOutL = std::vector<float>(512);
  std::vector<float> mOutR = std::vector<float>(512);
  const float* mIns[2] = {mIn.data(), mIn.data()};
  float* mOuts[2] = {mOutL.data(), mOutR.data()};
};

// Bypass is switched on the main thread, between renders.
bool Bypass(host::HostedUnit& unit) {
  const UInt32 on = 1;
  return AudioUnitSetProperty(unit.Unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global,
                              0, &on, 4) == noErr;
}

// Both components of the bundle: TovraSat and TovraSat HQ.
class AuRealTimeBoth : public ::testing::TestWithParam<OSType> {};

TEST_P(AuRealTimeBoth, RenderAllocatesNothingAndTakesNoLock) {
  auto unit = autest::ReadyUnit({48000.0, 512, 2, 2}, GetParam());
  ASSERT_TRUE(unit);
  std::vector<float> in(512, 0.7f), outL(512), outR(512);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  ASSERT_EQ(unit->Render(ins, outs, 512), noErr);

  {
    // The counters must see what they look for, or this test could not fail.
    testsupport::ScopedAllocationCount allocations;
    testsupport::ScopedLockCount locks;
    ::operator delete(::operator new(8));
    std::mutex mutex;
    { const std::lock_guard<std::mutex> hold(mutex); }
    ASSERT_EQ(allocations.Count(), 1);
    ASSERT_EQ(locks.Count(), testsupport::LocksAreCounted() ? 1 : 0);
  }

  for (const bool bypassed : {false, true}) {
    SCOPED_TRACE(bypassed ? "bypassed" : "processing");
    if (bypassed) {
      ASSERT_TRUE(Bypass(*unit));
    }
    AutomatedRenders renders;
    testsupport::ScopedAllocationCount allocations;
    testsupport::ScopedLockCount locks;
    ASSERT_TRUE(renders.Run(*unit));
    EXPECT_EQ(allocations.Count(), 0);
    EXPECT_EQ(locks.Count(), 0);
  }
}

TEST_P(AuRealTimeBoth, RenderMakesNoSystemCall) {
  if (!testsupport::SystemCallTrap::Available())
    GTEST_SKIP() << "no seccomp filter for this machine";
  if (kThreadSanitizer) GTEST_SKIP() << "ThreadSanitizer's runtime makes system calls of its own";
  auto unit = autest::ReadyUnit({48000.0, 512, 2, 2}, GetParam());
  ASSERT_TRUE(unit);
  for (const bool bypassed : {false, true}) {
    SCOPED_TRACE(bypassed ? "bypassed" : "processing");
    if (bypassed) {
      ASSERT_TRUE(Bypass(*unit));
    }
    // The first render is in the trap too: a host may start automating at once.
    AutomatedRenders renders;
    const testsupport::SystemCallTrap::Result result =
        testsupport::SystemCallTrap::Run([&unit, &renders] { return renders.Run(*unit) ? 42 : 1; });
    if (result.unavailable) GTEST_SKIP() << result.failure;
    ASSERT_EQ(result.failure, nullptr) << result.failure;
    EXPECT_EQ(result.systemCall, -1) << "Render made system call number " << result.systemCall;
    EXPECT_EQ(result.exitCode, 42);  // and every render succeeded
  }
}

INSTANTIATE_TEST_SUITE_P(Components, AuRealTimeBoth,
                         ::testing::Values(autest::kSubtype, autest::kSubtypeHq),
                         [](const ::testing::TestParamInfo<OSType>& param) {
                           return param.param == autest::kSubtypeHq ? "Hq" : "Standard";
                         });

TEST(AuRealTime, RenderThreadBesideParameterChangesAndIdleTicks) {
  // Idle ticks come from the main run loop that host and plug-in share, pumped here on a manual
  // clock: each pass moves it by one tick.
  autest::ManualClock clock;
  auto unit = autest::ReadyUnit({48000.0, 256, 2, 2});
  ASSERT_TRUE(unit);
  UInt32 size = 0;
  CFIndex ticksFired = 0;

  std::atomic<bool> done{false};
  std::atomic<int> blocks{0};
  std::atomic<bool> badSample{false};
  std::thread render([&] {
    std::vector<float> inL(256), inR(256), outL(256), outR(256);
    const float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    for (int b = 0; b < 3000 && !done.load(std::memory_order_acquire); ++b) {
      for (int i = 0; i < 256; ++i) {
        inL[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(0.05 * (b * 256 + i)));
        inR[static_cast<std::size_t>(i)] = -inL[static_cast<std::size_t>(i)];
      }
      if (unit->Render(ins, outs, 256) != noErr) badSample.store(true);
      for (float v : outL) {
        // The trim reaches +12 dB at most: anything beyond, or not a number, is a fault.
        if (!std::isfinite(v) || std::fabs(v) > 4.0f) badSample.store(true);
      }
      blocks.fetch_add(1, std::memory_order_release);
    }
    done.store(true, std::memory_order_release);
  });

  // The main thread's side runs until the render thread has finished its blocks; a failed check
  // stops both, so that the thread is always joined.
  int ticks = 0;
  bool mainOk = true;
  while (!done.load(std::memory_order_acquire)) {
    const auto k = static_cast<float>(ticks % 7);
    mainOk = mainOk && unit->SetParameter(0, 10.0f * k) == noErr;
    mainOk = mainOk && unit->SetParameter(1, k - 3.0f) == noErr;
    mainOk = mainOk && unit->SetParameter(2, static_cast<float>(ticks % 2)) == noErr;
    mainOk = mainOk && unit->SetParameter(3, ticks % 11 == 0 ? 1.0f : 0.0f) == noErr;
    ticksFired += TovraSdkRunLoopAdvanceBy(0.02);
    tovrasat::MeterReading reading{};
    size = sizeof reading;
    mainOk = mainOk && AudioUnitGetProperty(unit->Unit(), tovrasat::kMeterReadingProperty,
                                            kAudioUnitScope_Global, 0, &reading, &size) == noErr;
    mainOk = mainOk && reading.meterDb >= -120.0f && reading.meterDb <= 12.1f;
    mainOk = mainOk && reading.clipLed >= 0.0f && reading.clipLed <= 1.0f;
    ++ticks;
    if (!mainOk) done.store(true, std::memory_order_release);
  }
  render.join();
  EXPECT_TRUE(mainOk);
  EXPECT_FALSE(badSample.load());
  EXPECT_EQ(blocks.load(), 3000);
  EXPECT_GE(ticksFired, ticks);
}

}  // namespace
