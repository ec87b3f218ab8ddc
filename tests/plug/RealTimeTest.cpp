// The render-time operations allocate nothing: counted with the test binary's operator new.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "tests/plug/TestPlugin.h"
#include "tests/support/AllocationCounter.h"

namespace {

using plug::kInput;
using plug::kOutput;
using plugtest::TestPlugin;
using testsupport::ScopedAllocationCount;

TEST(PlugRealTime, TheCounterSeesAllocations) {
  ScopedAllocationCount count;
  auto v = std::make_unique<std::vector<int>>(10);
  EXPECT_EQ(count.Count(), 2);  // the vector object and its storage
}

TEST(PlugRealTime, RenderPathAllocatesNothing) {
  plug::Config config = plugtest::TovraConfig();
  config.latency = 3;
  TestPlugin p(config);
  p.InitTovraParams();
  p.InitLatencyDelay();
  constexpr int kBlock = 64;
  p.SetBlockSize(kBlock);
  std::vector<float> fin(2 * kBlock, 0.25f), fout(2 * kBlock);
  std::vector<double> din(2 * kBlock, 0.5), dout(2 * kBlock);
  float* finPtrs[2] = {fin.data(), fin.data() + kBlock};
  float* foutPtrs[2] = {fout.data(), fout.data() + kBlock};
  double* dinPtrs[2] = {din.data(), din.data() + kBlock};
  double* doutPtrs[2] = {dout.data(), dout.data() + kBlock};
  const std::uint8_t sysex[4] = {0xF0, 1, 2, 0xF7};

  ScopedAllocationCount count;
  for (int round = 0; round < 3; ++round) {
    p.SetChannelConnections(kInput, 0, 2, true);
    p.SetChannelConnections(kOutput, 0, 2, true);
    p.SetChannelConnections(kOutput, 1, 1, false);
    p.AttachBuffers(kInput, 0, 2, finPtrs, kBlock);
    p.AttachBuffers(kOutput, 0, 1, foutPtrs, kBlock);
    p.ProcessBuffers(0.0f, kBlock);
    p.PassThroughBuffers(0.0f, kBlock);
    p.ProcessBuffers(0.0f, kBlock * 2);  // more than the block size
    p.AttachBuffers(kInput, 0, 2, dinPtrs, kBlock);
    p.AttachBuffers(kOutput, 0, 1, doutPtrs, kBlock);
    p.ProcessBuffers(0.0, kBlock);
    p.PassThroughBuffers(0.0, kBlock);
    p.NChannelsConnected(kInput);

    for (int i = 0; i < 600; ++i) p.SendParameterValueFromAPI(i % 4, 0.5, true);  // fills, drops
    for (int i = 0; i < 40; ++i) p.PushMidiMsgToEditor({i, 0x90, 60, 100});
    for (int i = 0; i < 8; ++i) p.PushSysExToEditor({i, sysex, 4});
    plug::IMidiMsg msg;
    plug::SysExData data;
    while (p.PopMidiMsgFromEditor(msg)) {
    }
    while (p.PopSysExFromEditor(data)) {
    }
    p.ProcessMidiMsg({0, 0x90, 60, 100});
    p.GetParam(0)->Value();
    p.GetParam(0)->Set(12.0);
  }
  EXPECT_EQ(count.Count(), 0);
}

}  // namespace
