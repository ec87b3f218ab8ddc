// Host changes pushed on one thread and drained by the idle tick on another arrive whole, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <TovraSdk/RunLoopClock.h>

#include "plug/Timer.h"
#include "tests/plug/TestPlugin.h"

namespace {

using plugtest::TestPlugin;

TEST(ThreadedQueue, ProducerAndTimerConsumerAgreeOnEveryChange) {
  constexpr int kChanges = 200000;
  plug::Config config = plugtest::TovraConfig();
  TestPlugin p(config);
  for (int i = 0; i < p.NParams(); ++i) p.GetParam(i)->InitDouble("x", 0, 0, 1e9, 1);

  // Checked on every delivery: the index matches the value, values only grow (FIFO, nothing
  // torn or repeated), and every value was really pushed.
  long long lastValue = -1;
  int delivered = 0;
  bool ok = true;
  p.mOnFromDelegate = [&](int idx, double value, bool normalized) {
    const auto v = static_cast<long long>(value);
    if (normalized || static_cast<double>(v) != value || v <= lastValue || v >= kChanges ||
        idx != static_cast<int>(v % 4)) {
      ok = false;
    }
    lastValue = v;
    ++delivered;
  };

  std::atomic<bool> producerDone{false};
  int accepted = 0;
  std::thread producer([&] {
    for (int i = 0; i < kChanges; ++i) {
      p.GetParam(i % 4)->Set(static_cast<double>(i));
      if (p.SendParameterValueFromAPI(i % 4, static_cast<double>(i), false)) {
        ++accepted;
      } else {
        // Full: this change is dropped, as a host's would be. Let the consumer drain before going
        // on, so that on a loaded machine the test still sees the queue refill many times.
        while (p.NParamChangesQueued() > 0) std::this_thread::yield();
      }
      if (i % 1024 == 0) std::this_thread::yield();
    }
    producerDone.store(true, std::memory_order_release);
  });

  // The consumer: the thread that pumps the main run loop, ticking the plug-in on a manual clock.
  std::thread consumer([&] {
    TovraSdkRunLoopUseManualClock(0.0);
    auto timer = plug::Timer::Create([&](plug::Timer& t) { p.OnTimer(t); }, 20);
    while (!producerDone.load(std::memory_order_acquire)) TovraSdkRunLoopAdvanceBy(0.020);
    TovraSdkRunLoopAdvanceBy(0.020);  // drain what was pushed last
    timer.reset();
    TovraSdkRunLoopUseSystemClock();
  });
  producer.join();
  consumer.join();

  EXPECT_TRUE(ok);
  EXPECT_EQ(delivered, accepted);
  EXPECT_GT(accepted, 512);
  EXPECT_EQ(p.NParamChangesQueued(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p.GetParam(i)->Value(), kChanges - 4 + i);
}

}  // namespace
