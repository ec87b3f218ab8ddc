// RenderTest.cpp: audio through the loaded bundle against the processing chain, mono, no input,
// bypass, render notifications and render errors.
#include <AudioToolbox/AudioUnitProperties.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/Crusher.h"
#include "tests/au/AuTestSupport.h"

namespace {

constexpr double kRate = 48000.0;
constexpr UInt32 kBlock = 512;

std::vector<float> Tone(int frames, int channel) {
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i);
    x[static_cast<std::size_t>(i)] = static_cast<float>(0.9 * std::sin(0.021 * t * (channel + 1)));
  }
  return x;
}

// What the chain gives for the same audio, the parameters at their defaults, blocks of kBlock.
void ChainReference(const std::vector<float>& l, const std::vector<float>& r,
                    std::vector<float>& outL, std::vector<float>& outR) {
  tovrasat::Crusher crusher;
  crusher.setParams(0.24f, 0.0f, true, false);
  crusher.prepare(kRate);
  outL.assign(l.size(), 0.0f);
  outR.assign(r.size(), 0.0f);
  for (std::size_t offset = 0; offset < l.size(); offset += kBlock) {
    const int n = static_cast<int>(std::min<std::size_t>(kBlock, l.size() - offset));
    crusher.setParams(0.24f, 0.0f, true, false);
    const float* ins[2] = {l.data() + offset, r.data() + offset};
    float* outs[2] = {outL.data() + offset, outR.data() + offset};
    crusher.process(ins, outs, n);
  }
}

struct Rendered {
  std::vector<float> l, r;
};

Rendered RenderAll(host::HostedUnit& unit, const std::vector<float>& l, const std::vector<float>& r,
                   int nIn, int nOut) {
  Rendered out{std::vector<float>(l.size(), 9.0f), std::vector<float>(l.size(), 9.0f)};
  for (std::size_t offset = 0; offset < l.size(); offset += kBlock) {
    const auto n = static_cast<UInt32>(std::min<std::size_t>(kBlock, l.size() - offset));
    const float* ins[2] = {l.data() + offset, r.data() + offset};
    float* outs[2] = {out.l.data() + offset, out.r.data() + offset};
    EXPECT_EQ(unit.Render(nIn > 0 ? ins : nullptr, outs, n), noErr);
  }
  if (nOut < 2) out.r.clear();
  return out;
}

TEST(AuRender, StereoThroughTheBundleIsTheChain) {
  auto unit = autest::ReadyUnit({kRate, kBlock, 2, 2});
  ASSERT_TRUE(unit);
  const std::vector<float> l = Tone(3000, 0), r = Tone(3000, 1);
  const Rendered got = RenderAll(*unit, l, r, 2, 2);
  std::vector<float> refL, refR;
  ChainReference(l, r, refL, refR);
  EXPECT_EQ(got.l, refL);
  EXPECT_EQ(got.r, refR);
  EXPECT_GT(unit->InputCallbacks(), 0u);
}

TEST(AuRender, MonoInMonoOut) {
  auto unit = autest::ReadyUnit({kRate, kBlock, 1, 1});
  ASSERT_TRUE(unit);
  const std::vector<float> l = Tone(1300, 0);
  std::vector<float> out(1300, 9.0f);
  for (std::size_t offset = 0; offset < l.size(); offset += kBlock) {
    const auto n = static_cast<UInt32>(std::min<std::size_t>(kBlock, l.size() - offset));
    const float* ins[1] = {l.data() + offset};
    float* outs[1] = {out.data() + offset};
    ASSERT_EQ(unit->Render(ins, outs, n), noErr);
  }
  std::vector<float> refL, refR;
  ChainReference(l, l, refL, refR);
  EXPECT_EQ(out, refL);
}

TEST(AuRender, NoInputIsSilence) {
  auto unit = autest::ReadyUnit({kRate, kBlock, 0, 2});
  ASSERT_TRUE(unit);
  const std::vector<float> l = Tone(1024, 0);
  const Rendered got = RenderAll(*unit, l, l, 0, 2);
  EXPECT_TRUE(std::all_of(got.l.begin(), got.l.end(), [](float v) { return v == 0.0f; }));
  EXPECT_TRUE(std::all_of(got.r.begin(), got.r.end(), [](float v) { return v == 0.0f; }));
  EXPECT_EQ(unit->InputCallbacks(), 0u);
}

TEST(AuRender, BypassCopiesTheInputAndResetsTheChain) {
  auto unit = autest::ReadyUnit({kRate, kBlock, 2, 2});
  ASSERT_TRUE(unit);
  const std::vector<float> l = Tone(2048, 0), r = Tone(2048, 1);
  RenderAll(*unit, l, r, 2, 2);  // leaves state in the chain

  const UInt32 on = 1, off = 0;
  ASSERT_EQ(AudioUnitSetProperty(unit->Unit(), kAudioUnitProperty_BypassEffect,
                                 kAudioUnitScope_Global, 0, &on, 4),
            noErr);
  const Rendered bypassed = RenderAll(*unit, l, r, 2, 2);
  EXPECT_EQ(bypassed.l, l);
  EXPECT_EQ(bypassed.r, r);

  // Switching back resets the chain: the output is that of a chain prepared just now.
  ASSERT_EQ(AudioUnitSetProperty(unit->Unit(), kAudioUnitProperty_BypassEffect,
                                 kAudioUnitScope_Global, 0, &off, 4),
            noErr);
  const Rendered processed = RenderAll(*unit, l, r, 2, 2);
  std::vector<float> refL, refR;
  ChainReference(l, r, refL, refR);
  EXPECT_EQ(processed.l, refL);
  EXPECT_EQ(processed.r, refR);
}

std::vector<AudioUnitRenderActionFlags> gNotified;

OSStatus Notify(void*, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                AudioBufferList*) {
  gNotified.push_back(*flags);
  return noErr;
}

TEST(AuRender, NotificationsAroundEachRender) {
  auto unit = autest::ReadyUnit({kRate, kBlock, 2, 2});
  ASSERT_TRUE(unit);
  gNotified.clear();
  ASSERT_EQ(AudioUnitAddRenderNotify(unit->Unit(), Notify, nullptr), noErr);
  std::vector<float> in(64, 0.1f), outL(64), outR(64);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  ASSERT_EQ(unit->Render(ins, outs, 64), noErr);
  ASSERT_EQ(gNotified.size(), 2u);
  EXPECT_NE(gNotified[0] & kAudioUnitRenderAction_PreRender, 0u);
  EXPECT_NE(gNotified[1] & kAudioUnitRenderAction_PostRender, 0u);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(unit->Unit(), Notify, nullptr), noErr);
  ASSERT_EQ(unit->Render(ins, outs, 64), noErr);
  EXPECT_EQ(gNotified.size(), 2u);
}

TEST(AuRender, ErrorsProcessNothingAndNotifyNobody) {
  auto unit = autest::ReadyUnit({kRate, 256, 2, 2});
  ASSERT_TRUE(unit);
  gNotified.clear();
  ASSERT_EQ(AudioUnitAddRenderNotify(unit->Unit(), Notify, nullptr), noErr);
  std::vector<float> in(512, 0.5f), outL(512, 9.0f), outR(512, 9.0f);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};

  EXPECT_EQ(unit->Render(ins, outs, 257), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(gNotified.empty());
  EXPECT_EQ(unit->InputCallbacks(), 0u);
  EXPECT_TRUE(std::all_of(outL.begin(), outL.end(), [](float v) { return v == 9.0f; }));

  // A time stamp without a valid sample time.
  autest::StereoBufferList buffers(outL.data(), outR.data(), 64);
  AudioBufferList* list = buffers.Get();
  AudioTimeStamp stamp{};
  EXPECT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 0, 64, list),
            kAudioUnitErr_InvalidPropertyValue);
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  EXPECT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 1, 64, list),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(AudioUnitRender(unit->Unit(), nullptr, &stamp, 0, 64, nullptr),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(gNotified.empty());
  EXPECT_TRUE(std::all_of(outL.begin(), outL.end(), [](float v) { return v == 9.0f; }));

  // Once the host sends what it may, rendering works.
  EXPECT_EQ(unit->Render(ins, outs, 256), noErr);
  EXPECT_EQ(gNotified.size(), 2u);
  AudioUnitRemoveRenderNotify(unit->Unit(), Notify, nullptr);
}

}  // namespace
