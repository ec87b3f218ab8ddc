// Lv2RealTimeTest: run() as a host automating every control on every block, with its meter ticks
// and notifications, allocates nothing, takes no lock and makes no system call.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>

#include "tests/lv2/Lv2TestHost.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/SystemCallTrap.h"

namespace {

using lv2test::Instance;
using testsupport::ScopedAllocationCount;
using testsupport::ScopedLockCount;
using testsupport::SystemCallTrap;

constexpr int kMaxBlock = 512;
constexpr int kBlocks = 400;

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

void FillNoise(Instance& inst) {
  uint32_t state = 12345;
  for (int c = 0; c < 2; ++c) {
    for (float& s : inst.In(c)) {
      state = state * 1664525u + 1013904223u;
      s = 1.5f * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);  // hot: up to +3.5 dBFS
    }
  }
}

// The editor's size button, as the UI's idle sees it (on the main thread, outside the probes).
void NoteEditorChange(Instance& inst) {
  inst.Plug().mEditorScale = 1.5f;
  inst.Wrapper().NoteStateChanges();
}

// What the probed runs did besides processing: the meter ticks and the notice must happen inside.
struct Automated {
  float lastGain = 0.0f;
  int meterChanges = 0;
  int notices = 0;
};

// A host's cycles: every control moves (Gain and trim over their ranges, 48V and bypass
// switching), the inputs are reconnected at the signal's position, and the blocks are of every
// size a host gives: 1 frame as lv2apply runs, odd sizes, and more than the maximum block, which
// run() slices. About 2 s of audio: the meter ports tick about 100 times. NoteEditorChange
// before it, and the notification port gets its notice too.
Automated RunAutomated(Instance& inst) {
  static constexpr uint32_t kSizes[] = {1, 64, 512, 7, 1024, 300, 1, 2};
  const plug::Lv2PortLayout& ports = inst.Wrapper().Ports();
  std::size_t offset = 0;
  Automated result;
  float gain = 0.0f;
  float meter = inst.meter;
  for (int b = 0; b < kBlocks; ++b) {
    const uint32_t frames = kSizes[static_cast<std::size_t>(b) % std::size(kSizes)];
    if (offset + frames > Instance::kMaxFrames) offset = 0;
    gain = static_cast<float>(b * 7 % 101);
    inst.Control(TovraSat::kGain) = gain;
    inst.Control(TovraSat::kOutputTrim) = static_cast<float>(b % 37) - 24.0f;
    inst.Control(TovraSat::k48V) = static_cast<float>(b % 2);
    inst.Control(TovraSat::kBypass) = b % 5 == 0 ? 1.0f : 0.0f;
    for (int c = 0; c < 2; ++c) inst.Connect(ports.AudioIn(c), inst.In(c).data() + offset);
    inst.Run(frames);
    offset += frames;
    result.meterChanges += inst.meter != meter ? 1 : 0;
    meter = inst.meter;
    result.notices += inst.StateChangedNotices();
  }
  result.lastGain = gain;
  return result;
}

TEST(Lv2RealTime, AutomatedRunsAllocateNothingAndTakeNoLock) {
  Instance inst(48000.0, true, kMaxBlock);
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  FillNoise(inst);
  {
    // The counters see what they look for, or this test could not fail.
    ScopedAllocationCount allocations;
    ScopedLockCount locks;
    ::operator delete(::operator new(8));
    std::mutex mutex;
    { const std::lock_guard<std::mutex> hold(mutex); }
    ASSERT_EQ(allocations.Count(), 1);
    ASSERT_EQ(locks.Count(), testsupport::LocksAreCounted() ? 1 : 0);
  }

  NoteEditorChange(inst);
  long allocated = 0;
  long locked = 0;
  Automated run;
  {
    ScopedAllocationCount allocations;
    ScopedLockCount locks;
    run = RunAutomated(inst);
    allocated = allocations.Count();
    locked = locks.Count();
  }
  EXPECT_EQ(allocated, 0);
  EXPECT_EQ(locked, 0);
  // The controls were taken, the meter ticked and the notice went out, all inside the probes.
  EXPECT_EQ(inst.Plug().GetParam(TovraSat::kGain)->Value(), run.lastGain);
  EXPECT_GT(run.meterChanges, 50);
  EXPECT_EQ(run.notices, 1);
  for (int c = 0; c < 2; ++c) {
    for (float s : inst.Out(c)) ASSERT_TRUE(std::isfinite(s));
  }
}

TEST(Lv2RealTime, AutomatedRunsMakeNoSystemCall) {
  if (!SystemCallTrap::Available()) GTEST_SKIP() << "no seccomp filter for this machine";
  if (kThreadSanitizer) GTEST_SKIP() << "ThreadSanitizer's runtime makes system calls of its own";
  // The trap reports a system call, or this test could not fail.
  const SystemCallTrap::Result probe =
      SystemCallTrap::Run([] { return syscall(SYS_getppid) > 0 ? 0 : 1; });
  if (probe.unavailable) GTEST_SKIP() << probe.failure;
  ASSERT_EQ(probe.failure, nullptr) << probe.failure;
  ASSERT_EQ(probe.systemCall, SYS_getppid);

  Instance inst(48000.0, true, kMaxBlock);
  ASSERT_TRUE(inst.Ok());
  inst.Activate();
  FillNoise(inst);
  NoteEditorChange(inst);
  // The very first run is in the trap too: a host may start automating at once.
  const SystemCallTrap::Result result = SystemCallTrap::Run([&inst] {
    const Automated run = RunAutomated(inst);
    return run.meterChanges > 50 && run.notices == 1 ? 42 : 1;
  });
  ASSERT_EQ(result.failure, nullptr) << result.failure;
  EXPECT_EQ(result.systemCall, -1) << "run() made system call number " << result.systemCall;
  EXPECT_EQ(result.exitCode, 42);  // and ran to its end, the meter ticking and the notice sent
}

}  // namespace
