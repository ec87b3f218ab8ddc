// BlockProcessingTest.cpp: ProcessBlock against the processing chain driven directly, block sizes,
// mono, missing input, bypass and parameter intake on empty blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dsp/Crusher.h"
#include "tests/core/CoreTestSupport.h"

namespace {

constexpr double kRate = 48000.0;

struct Stereo {
  std::vector<double> l, r;
  explicit Stereo(int frames, double fill = 0.0)
      : l(static_cast<std::size_t>(frames), fill), r(static_cast<std::size_t>(frames), fill) {}
};

Stereo Signal(int frames) {
  Stereo s(frames);
  s.l = coretest::TestSignal(frames, 0);
  s.r = coretest::TestSignal(frames, 1);
  return s;
}

// Feeds frames [offset, offset + n) of in through ProcessBlock into out.
void Feed(TovraSat& plugin, Stereo& in, Stereo& out, int offset, int n) {
  double* ins[2] = {in.l.data() + offset, in.r.data() + offset};
  double* outs[2] = {out.l.data() + offset, out.r.data() + offset};
  plugin.ProcessBlock(ins, outs, n);
}

// The chain as ProcessBlock should drive it: the parameters once per block, float conversion in
// chunks of at most 512 frames.
Stereo DriveCrusherDirectly(const Stereo& in, int blockFrames, float gain, float trimDb,
                            bool phantom, bool bypass) {
  tovrasat::Crusher crusher;
  crusher.setParams(gain, trimDb, phantom, bypass);
  crusher.prepare(kRate);
  const int frames = static_cast<int>(in.l.size());
  Stereo out(frames);
  for (int block = 0; block < frames; block += blockFrames) {
    const int n = std::min(blockFrames, frames - block);
    crusher.setParams(gain, trimDb, phantom, bypass);
    for (int chunk = 0; chunk < n; chunk += 512) {
      const int m = std::min(512, n - chunk);
      float il[512], ir[512], ol[512], orr[512];
      for (int i = 0; i < m; ++i) {
        il[i] = static_cast<float>(in.l[static_cast<std::size_t>(block + chunk + i)]);
        ir[i] = static_cast<float>(in.r[static_cast<std::size_t>(block + chunk + i)]);
      }
      const float* ins[2] = {il, ir};
      float* outs[2] = {ol, orr};
      crusher.process(ins, outs, m);
      for (int i = 0; i < m; ++i) {
        out.l[static_cast<std::size_t>(block + chunk + i)] = ol[i];
        out.r[static_cast<std::size_t>(block + chunk + i)] = orr[i];
      }
    }
  }
  return out;
}

TEST(TovraSatProcess, OutputIsTheChainSampleForSample) {
  auto plugin = coretest::MakePlugin();
  plugin->GetParam(TovraSat::kGain)->Set(63.0);
  plugin->GetParam(TovraSat::kOutputTrim)->Set(-3.5);
  plugin->GetParam(TovraSat::k48V)->Set(0.0);
  coretest::Prepare(*plugin, 2, 2, kRate);
  Stereo in = Signal(1300);
  Stereo out(1300);
  Feed(*plugin, in, out, 0, 1300);

  const Stereo expected = DriveCrusherDirectly(in, 1300, 0.63f, -3.5f, false, false);
  EXPECT_EQ(out.l, expected.l);
  EXPECT_EQ(out.r, expected.r);
  EXPECT_NE(out.l, out.r);  // the two sides are processed apart
}

TEST(TovraSatProcess, OneBlockOf1300EqualsBlocksOf64) {
  auto whole = coretest::MakePlugin();
  auto pieces = coretest::MakePlugin();
  coretest::Prepare(*whole, 2, 2, kRate);
  coretest::Prepare(*pieces, 2, 2, kRate);
  Stereo in = Signal(1300);
  Stereo outWhole(1300), outPieces(1300);
  Feed(*whole, in, outWhole, 0, 1300);
  for (int offset = 0; offset < 1300; offset += 64) {
    Feed(*pieces, in, outPieces, offset, std::min(64, 1300 - offset));
  }
  EXPECT_EQ(outWhole.l, outPieces.l);
  EXPECT_EQ(outWhole.r, outPieces.r);
}

TEST(TovraSatProcess, MonoRunsThroughBothSidesAndWritesOnlyTheLeft) {
  auto plugin = coretest::MakePlugin();
  coretest::Prepare(*plugin, 1, 1, kRate);
  Stereo in = Signal(700);
  in.r.assign(in.r.size(), 0.25);  // a disconnected channel's contents must not be read
  Stereo out(700, 7.0);
  Feed(*plugin, in, out, 0, 700);

  Stereo mono = in;
  mono.r = mono.l;
  const Stereo expected = DriveCrusherDirectly(mono, 700, 0.24f, 0.0f, true, false);
  EXPECT_EQ(out.l, expected.l);
  EXPECT_TRUE(std::all_of(out.r.begin(), out.r.end(), [](double v) { return v == 7.0; }));
}

TEST(TovraSatProcess, NoInputGivesSilence) {
  auto plugin = coretest::MakePlugin();
  coretest::Prepare(*plugin, 0, 2, kRate);
  Stereo in = Signal(600);
  Stereo out(600, 7.0);
  Feed(*plugin, in, out, 0, 600);
  EXPECT_TRUE(std::all_of(out.l.begin(), out.l.end(), [](double v) { return v == 0.0; }));
  EXPECT_TRUE(std::all_of(out.r.begin(), out.r.end(), [](double v) { return v == 0.0; }));
}

TEST(TovraSatProcess, EmptyBlockTouchesNoBufferButTakesTheParameters) {
  auto plugin = coretest::MakePlugin();
  coretest::Prepare(*plugin, 2, 2, kRate);
  plugin->GetParam(TovraSat::kGain)->Set(80.0);
  Stereo in = Signal(8);
  Stereo out(8, 7.0);
  Feed(*plugin, in, out, 0, 0);
  EXPECT_EQ(out.l, std::vector<double>(8, 7.0));
  EXPECT_EQ(plugin->mCrusher.gain, 0.8f);
}

TEST(TovraSatProcess, BypassGivesTheInputOnceTheFadeEnds) {
  auto plugin = coretest::MakePlugin();
  coretest::Prepare(*plugin, 2, 2, kRate);
  const int frames = 24000;  // 500 ms: 250 ms processed, then 250 ms after switching
  Stereo in = Signal(frames);
  Stereo out(frames);
  Feed(*plugin, in, out, 0, 12000);
  plugin->GetParam(TovraSat::kBypass)->Set(1.0);
  for (int offset = 12000; offset < frames; offset += 480) Feed(*plugin, in, out, offset, 480);
  // About 166 ms (8000 frames) after the switch the fade has snapped to the dry side.
  for (int i = 12000 + 9600; i < frames; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    ASSERT_EQ(out.l[idx], static_cast<double>(static_cast<float>(in.l[idx]))) << "frame " << i;
    ASSERT_EQ(out.r[idx], static_cast<double>(static_cast<float>(in.r[idx]))) << "frame " << i;
  }
  // Before the switch the output was processed, not the input.
  EXPECT_NE(out.l[11000], static_cast<double>(static_cast<float>(in.l[11000])));
}

}  // namespace
