// Lv2MeterTest: the meter and lamp ports follow the audio (one tick per 20 ms of processed frames,
// the same values at any block size and speed, the editor meter's numbers without taking its
// readings), and no thread of ours exists while no editor is open.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "tests/lv2/Lv2TestHost.h"

namespace {

using lv2test::Instance;

// Hot bursts (the engine reaches its ceiling: the lamp lights) and quiet and silent passages (the
// meter falls, the lamp fades), 1.5 s at 48 kHz.
struct Signal {
  std::vector<float> left;
  std::vector<float> right;

  explicit Signal(int frames) {
    for (int i = 0; i < frames; ++i) {
      const int phase = (i / 9000) % 3;
      const float level = phase == 0 ? 1.4f : phase == 1 ? 0.05f : 0.0f;
      left.push_back(level * static_cast<float>(std::sin(0.031 * i)));
      right.push_back(level * static_cast<float>(std::sin(0.047 * i + 0.5)));
    }
  }
  int Frames() const { return static_cast<int>(left.size()); }
};

struct Reading {
  uint64_t frame;  // frames processed when the ports were read
  float meter;
  float lamp;
};

// Runs the signal through a fresh instance at Gain 100 % in runs of the given sizes (cycled),
// reading the ports after each run; paced, each run waits until its audio's time has come, as
// a host playing in real time does.
std::vector<Reading> Play(const Signal& signal, const std::vector<uint32_t>& sizes, bool paced,
                          double rate = 48000.0) {
  Instance inst(rate, true, 512);
  EXPECT_TRUE(inst.Ok());
  if (!inst.Ok()) return {};
  inst.Control(TovraSat::kGain) = 100.0f;
  inst.Activate();
  std::vector<Reading> readings;
  const auto start = std::chrono::steady_clock::now();
  int done = 0;
  for (std::size_t b = 0; done < signal.Frames(); ++b) {
    const int n = std::min(static_cast<int>(sizes[b % sizes.size()]), signal.Frames() - done);
    std::copy_n(signal.left.begin() + done, n, inst.In(0).begin());
    std::copy_n(signal.right.begin() + done, n, inst.In(1).begin());
    if (paced) {
      std::this_thread::sleep_until(start + std::chrono::duration<double>(done / rate));
    }
    inst.Run(static_cast<uint32_t>(n));
    done += n;
    readings.push_back({static_cast<uint64_t>(done), inst.meter, inst.lamp});
  }
  return readings;
}

TEST(Lv2Meter, PortsGiveTheSameValuesAtAnyBlockSizeAndSpeed) {
  const Signal signal(72000);
  // One frame per run, as lv2apply runs: the ports' value after every single frame.
  const std::vector<Reading> reference = Play(signal, {1}, false);
  ASSERT_EQ(reference.size(), 72000u);

  // The reference itself moved as a meter does: it rose, fell, and the lamp lit and faded.
  float highest = -120.0f;
  float lowest = 0.0f;
  bool lampFaded = false;
  for (std::size_t i = 1; i < reference.size(); ++i) {
    highest = std::max(highest, reference[i].meter);
    lowest = std::min(lowest, reference[i].meter);
    lampFaded = lampFaded || (reference[i - 1].lamp == 1.0f && reference[i].lamp == 0.85f);
  }
  EXPECT_GT(highest, -1.0f);
  EXPECT_LT(lowest, -60.0f);
  EXPECT_TRUE(lampFaded);

  struct Case {
    const char* what;
    std::vector<uint32_t> sizes;
    bool paced;
  };
  const Case cases[] = {
      {"64 frames", {64}, false},
      {"one tick per run", {960}, false},
      {"past the maximum block", {1024}, false},
      {"sizes that never meet a tick", {7, 300, 1, 1000, 13}, false},
      {"256 frames in real time", {256}, true},
  };
  for (const Case& c : cases) {
    const std::vector<Reading> readings = Play(signal, c.sizes, c.paced);
    ASSERT_FALSE(readings.empty()) << c.what;
    std::size_t differing = 0;
    for (const Reading& r : readings) {
      const Reading& expected = reference[r.frame - 1];
      differing += r.meter != expected.meter || r.lamp != expected.lamp ? 1 : 0;
    }
    EXPECT_EQ(differing, 0u) << c.what << ": of " << readings.size() << " runs";
  }
}

TEST(Lv2Meter, TicksEveryTwentyMillisecondsOfFramesAtTheInstancesRate) {
  // A loud stretch from frame 1000 on, then silence: at 44.1 kHz ticks end every 882 frames, so
  // the level shows when the tick holding frame 1000 (frames 882 to 1763) ends, and the lamp
  // fades by 0.15 and the meter falls by 3 dB on each tick after the silence begins.
  constexpr double kRate = 44100.0;
  constexpr int kTick = 882;
  Signal signal(0);
  for (int i = 0; i < 10 * kTick; ++i) {
    const float level = i >= 1000 && i < 3 * kTick ? 1.4f : 0.0f;
    signal.left.push_back(level * static_cast<float>(std::sin(0.031 * i)));
    signal.right.push_back(signal.left.back());
  }
  const std::vector<Reading> r = Play(signal, {1}, false, kRate);
  ASSERT_EQ(r.size(), signal.left.size());
  auto at = [&r](int frames) { return r[static_cast<std::size_t>(frames - 1)]; };

  EXPECT_EQ(at(2 * kTick - 1).meter, -120.0f);  // the tick is not over yet
  EXPECT_GT(at(2 * kTick).meter, -1.0f);
  EXPECT_EQ(at(2 * kTick).lamp, 1.0f);
  // Constant between ticks.
  EXPECT_EQ(at(2 * kTick + 500).meter, at(2 * kTick).meter);
  // The engine's last loud frames are in the tick that ends at 3 ticks; after it, silence.
  const float last = at(4 * kTick).meter;
  for (int t = 5; t <= 9; ++t) {
    EXPECT_FLOAT_EQ(at(t * kTick).meter, last - 3.0f * static_cast<float>(t - 4)) << t;
    EXPECT_NEAR(at(t * kTick).lamp, std::max(1.0f - 0.15f * static_cast<float>(t - 3), 0.0f), 1e-6f)
        << t;
  }
}

TEST(Lv2Meter, PortsShowTheEditorMetersNumbersAndLeaveItsReadings) {
  // Two instances take the same audio. One runs in odd sizes; the other runs exactly one tick per
  // run and, after each, the editor's idle work (as an open editor's tick would), which reads
  // the plug-in's shared readings. Its editor meter must see the audio although the ports
  // ticked on the same audio, and both must show the same numbers.
  const Signal signal(48000);
  const std::vector<Reading> ports = Play(signal, {7, 300, 1, 1000, 13}, false);

  Instance editor(48000.0, true, 512);
  ASSERT_TRUE(editor.Ok());
  editor.Control(TovraSat::kGain) = 100.0f;
  editor.Activate();
  constexpr int kTick = 960;
  std::size_t compared = 0;
  for (int done = 0; done + kTick <= signal.Frames(); done += kTick) {
    std::copy_n(signal.left.begin() + done, kTick, editor.In(0).begin());
    std::copy_n(signal.right.begin() + done, kTick, editor.In(1).begin());
    editor.Run(kTick);
    editor.Plug().OnIdle();
    EXPECT_EQ(editor.Plug().mMeterDb, editor.meter) << done;
    EXPECT_EQ(editor.Plug().mClipLed, editor.lamp) << done;
    for (const Reading& r : ports) {
      if (r.frame != static_cast<uint64_t>(done + kTick)) continue;
      EXPECT_EQ(r.meter, editor.Plug().mMeterDb) << done;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0u);
}

TEST(Lv2Meter, AnOpeningEditorStartsAtThePortsNotAtOldReadingsOrQueuedChanges) {
  Instance inst;
  ASSERT_TRUE(inst.Ok());
  inst.Control(TovraSat::kGain) = 100.0f;
  inst.Activate();
  // Loud audio and 600 host changes while no editor is open: the queue to the editor is full
  // (its newest changes dropped), and the shared readings wait from long ago.
  std::fill(inst.In(0).begin(), inst.In(0).end(), 0.9f);
  std::fill(inst.In(1).begin(), inst.In(1).end(), 0.9f);
  for (int i = 0; i < 600; ++i) {
    inst.Control(TovraSat::kGain) = static_cast<float>(i % 100);
    inst.Run(16);
  }
  ASSERT_EQ(inst.Plug().NParamChangesQueued(), 512);
  std::fill(inst.In(0).begin(), inst.In(0).end(), 0.0f);
  std::fill(inst.In(1).begin(), inst.In(1).end(), 0.0f);
  for (int i = 0; i < 100; ++i) inst.Run(960);  // two seconds of silence: the ports at rest
  ASSERT_EQ(inst.meter, -120.0f);

  inst.Wrapper().ClaimIdle();
  EXPECT_EQ(inst.Plug().NParamChangesQueued(), 0);
  EXPECT_EQ(inst.Plug().mMeterDb, -120.0f);
  EXPECT_EQ(inst.Plug().mClipLed, 0.0f);
  inst.Plug().OnIdle();  // the editor's first tick: nothing old comes back
  EXPECT_EQ(inst.Plug().mMeterDb, -120.0f);
  inst.Wrapper().ReleaseIdle();
}

int ThreadsOfThisProcess() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(dir)) n += entry->d_name[0] != '.' ? 1 : 0;
    closedir(dir);
  }
  return n;
}

TEST(Lv2Meter, ThirtyTwoInstancesWithoutEditorStartNoThread) {
  const int before = ThreadsOfThisProcess();
  ASSERT_GT(before, 0);
  std::vector<std::unique_ptr<Instance>> instances;
  for (int i = 0; i < 32; ++i) {
    instances.push_back(std::make_unique<Instance>());
    ASSERT_TRUE(instances.back()->Ok());
    instances.back()->Activate();
    instances.back()->Run(512);
  }
  EXPECT_EQ(ThreadsOfThisProcess(), before);
  // An editor's idle tick is the host's UI loop's, not a thread; giving it back starts none.
  instances[0]->Wrapper().ClaimIdle();
  instances[0]->Wrapper().ReleaseIdle();
  EXPECT_EQ(ThreadsOfThisProcess(), before);
}

}  // namespace
