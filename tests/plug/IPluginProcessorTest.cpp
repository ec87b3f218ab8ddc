// IPluginProcessor: configuration parsing, legal I/O, bus queries, buffers, pass-through, latency.
#include "plug/IPluginProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plug/FourCC.h"
#include "tests/plug/TestPlugin.h"

namespace {

using plug::IBusInfo;
using plug::IOConfig;
using plug::IPluginProcessor;
using plug::kInput;
using plug::kOutput;
using plugtest::TestPlugin;

plug::Config ConfigWithIO(const char* io, int latency = 0) {
  plug::Config c = plugtest::TovraConfig();
  c.channelIOStr = io;
  c.latency = latency;
  return c;
}

// ------------------------------------------------------------------- configuration parsing

TEST(ChannelIO, ParseChannelIOStr) {
  const struct {
    const char* text;
    int nConfigs, maxIn, maxOut, maxInBuses, maxOutBuses;
  } cases[] = {
      {"1-1 2-2", 2, 2, 2, 1, 1},
      {"0-2", 1, 0, 2, 0, 1},  // no input bus
      {"*-*", 1, 0, 0, 1, 1},  // one any-count bus each way, no fixed channels
      {"2.2-2", 1, 4, 2, 2, 1},
      {"", 0, 0, 0, 0, 0},
      {"  1-1   2-2 ", 2, 2, 2, 1, 1},  // runs of blanks declare nothing
      {"x-2", 1, 0, 2, 0, 1},           // not a number: 0 channels
      {"2", 1, 2, 0, 1, 0},             // no "-": no outputs
      {"2.0.1-1", 1, 3, 1, 2, 1},       // a 0 item adds no bus
      {"1--1", 1, 1, 0, 1, 0},          // a negative count is no count
      // Beyond the bound of 1024 channels or buses a direction: the configuration is refused
      // (summed unchecked, the counts would overflow an int).
      {"2.200200003.2002000035-2 2-2", 1, 2, 2, 1, 1},
      {"1024-1024", 1, 1024, 1024, 1, 1},
      {"1000.24-2", 1, 1024, 2, 2, 1},
      {"1000.25-2 1-1", 1, 1, 1, 1, 1},
      {"1-1025", 0, 0, 0, 0, 0},
      {"99999999999-1", 0, 0, 0, 0, 0},  // more than an int holds is too many as well
  };
  for (const auto& c : cases) {
    std::vector<IOConfig> configs;
    int maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
    EXPECT_EQ(IPluginProcessor::ParseChannelIOStr(c.text, configs, maxIn, maxOut, maxInBuses,
                                                  maxOutBuses),
              c.nConfigs)
        << c.text;
    EXPECT_EQ(static_cast<int>(configs.size()), c.nConfigs) << c.text;
    EXPECT_EQ(maxIn, c.maxIn) << c.text;
    EXPECT_EQ(maxOut, c.maxOut) << c.text;
    EXPECT_EQ(maxInBuses, c.maxInBuses) << c.text;
    EXPECT_EQ(maxOutBuses, c.maxOutBuses) << c.text;
  }
}

TEST(ChannelIO, ParsedBusesKeepOrderDirectionAndWildcard) {
  std::vector<IOConfig> configs;
  int a, b, c, d;
  IPluginProcessor::ParseChannelIOStr("2.1-2 *-*", configs, a, b, c, d);
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0].NBuses(kInput), 2);
  EXPECT_EQ(configs[0].NChansOnBusSAFE(kInput, 1), 1);
  EXPECT_EQ(configs[0].GetBusInfo(kOutput, 0)->mDirection, kOutput);
  EXPECT_EQ(configs[0].GetBusInfo(kOutput, 1), nullptr);
  EXPECT_EQ(configs[0].NChansOnBusSAFE(kOutput, 5), 0);
  EXPECT_EQ(configs[1].NChansOnBusSAFE(kInput, 0), IBusInfo::kAnyChannelCount);
  EXPECT_TRUE(configs[1].ContainsWildcard(kOutput));
  EXPECT_FALSE(configs[0].ContainsWildcard(kInput));
}

TEST(ChannelIO, LegalIO) {
  const struct {
    const char* io;
    int nIn, nOut;
    bool legal;
  } cases[] = {
      {"1-1 2-2", 1, 1, true},  {"1-1 2-2", 2, 2, true},  {"1-1 2-2", 1, 2, false},
      {"1-1 2-2", -1, 2, true}, {"1-1 2-2", 2, -1, true}, {"1-1 2-2", 3, 3, false},
      {"1-1 2-2", 0, 0, false}, {"0-2", 0, 2, true},      {"2.2-2", 4, 2, true},
      {"2.2-2", 2, 2, false},   {"*-*", 5, 7, true},      {"", -1, -1, false},
  };
  for (const auto& c : cases) {
    TestPlugin p(ConfigWithIO(c.io));
    EXPECT_EQ(p.LegalIO(c.nIn, c.nOut), c.legal) << c.io << " " << c.nIn << "-" << c.nOut;
  }
}

TEST(ChannelIO, MaxNBusesPrefersTheLaterConfigurationOnATie) {
  const struct {
    const char* io;
    plug::ERoute direction;
    int buses, configIdx;
  } cases[] = {
      {"1-1 2-2", kInput, 1, 1}, {"1-1 2-2", kOutput, 1, 1}, {"2.2-2 1-1", kInput, 2, 0},
      {"0-2 1-1", kInput, 1, 1}, {"1-1 0-2", kInput, 1, 0},  {"", kInput, 0, -1},
  };
  for (const auto& c : cases) {
    TestPlugin p(ConfigWithIO(c.io));
    int idx = -99;
    EXPECT_EQ(p.MaxNBuses(c.direction, &idx), c.buses) << c.io;
    EXPECT_EQ(idx, c.configIdx) << c.io;
    EXPECT_EQ(p.MaxNBuses(c.direction), c.buses) << c.io;  // the index is optional
  }
}

TEST(ChannelIO, MaxNChannelsForBus) {
  const struct {
    const char* io;
    plug::ERoute direction;
    int bus, expected;
  } cases[] = {
      {"1-1 2-2", kInput, 0, 2},   {"1-1 2-2", kInput, 1, 0},  // beyond every config's buses
      {"1-1 2-2", kOutput, -1, 0}, {"*-*", kInput, 0, -1},      {"2-2 *-*", kInput, 0, 2},
      {"0-2", kInput, 0, 0},       {"2.1-2 1-1", kInput, 1, 1}, {"", kOutput, 0, 0},
  };
  for (const auto& c : cases) {
    TestPlugin p(ConfigWithIO(c.io));
    EXPECT_EQ(p.MaxNChannelsForBus(c.direction, c.bus), c.expected) << c.io << " bus " << c.bus;
  }
}

TEST(ChannelIO, BusNames) {
  const struct {
    plug::ERoute direction;
    int bus, nBuses;
    const char* name;
  } cases[] = {
      {kInput, 0, 1, "Input"},   {kInput, 0, 2, "Main"},    {kInput, 1, 2, "Aux"},
      {kInput, 2, 3, "Input 2"}, {kOutput, 0, 1, "Output"}, {kOutput, 1, 2, "Output 1"},
  };
  TestPlugin p;
  for (const auto& c : cases) {
    std::string name = "stale";
    p.GetBusName(c.direction, c.bus, c.nBuses, name);
    EXPECT_EQ(name, c.name);
  }
}

TEST(ChannelIO, AUPluginType) {
  const struct {
    int plugType;
    bool midiIn;
    const char* code;
  } cases[] = {{0, false, "aufx"}, {0, true, "aumf"},  {1, false, "aumu"},
               {2, false, "aumi"}, {3, false, "augn"}, {7, false, "aufx"}};
  for (const auto& c : cases) {
    plug::Config config = plugtest::TovraConfig();
    config.plugType = c.plugType;
    config.plugDoesMidiIn = c.midiIn;
    TestPlugin p(config);
    const char code[5] = {c.code[0], c.code[1], c.code[2], c.code[3], 0};
    EXPECT_EQ(p.GetAUPluginType(), plug::MakeFourCC(code)) << c.code;
  }
}

// ------------------------------------------------------------------------------- channels

TEST(Channels, LabelsConnectionsAndDefaults) {
  TestPlugin p;
  EXPECT_EQ(p.MaxNChannels(kInput), 2);
  EXPECT_EQ(p.MaxNChannels(kOutput), 2);
  EXPECT_EQ(p.NChannelsConnected(kInput), 0);
  EXPECT_EQ(p.GetSampleRate(), 48000.0);
  EXPECT_EQ(p.GetBlockSize(), 0);
  EXPECT_FALSE(p.GetBypassed());
  EXPECT_EQ(p.GetTimeInfo().mTempo, 120.0);
  EXPECT_EQ(p.GetTimeInfo().mSamplePos, -1.0);
  EXPECT_EQ(p.GetTimeInfo().mNumerator, 4);
  EXPECT_EQ(p.GetSamplesPerBeat(), 24000.0);
  plug::ITimeInfo stopped;
  stopped.mTempo = 0.0;
  p.SetTimeInfo(stopped);
  EXPECT_EQ(p.GetSamplesPerBeat(), 0.0);

  p.SetChannelConnections(kInput, 1, 5, true);  // clipped to the two channels
  EXPECT_FALSE(p.IsChannelConnected(kInput, 0));
  EXPECT_TRUE(p.IsChannelConnected(kInput, 1));
  EXPECT_EQ(p.NInChansConnected(), 1);
  p.SetChannelConnections(kInput, -1, 2, true);
  EXPECT_EQ(p.NInChansConnected(), 2);

  p.SetChannelLabel(kInput, 0, "In %i", false);
  p.SetChannelLabel(kOutput, 1, "Out %i", true);
  p.SetChannelLabel(kOutput, 2, "Nope %i", false);  // out of range: ignored
  EXPECT_STREQ(p.GetChannelLabel(kInput, 0), "In 1");
  EXPECT_STREQ(p.GetChannelLabel(kOutput, 1), "Out 1");
  EXPECT_STREQ(p.GetChannelLabel(kOutput, 2), "");
  p.SetChannelLabel(kInput, 1, "A very long channel label number %i that goes on", false);
  EXPECT_EQ(std::string(p.GetChannelLabel(kInput, 1)).size(), 31u);
  const struct {
    const char* format;
    const char* label;
  } formats[] = {{"Ch %02d", "Ch 01"},
                 {"100%% %i", "100% 1"},
                 {"Name %s", "Name %s"},
                 {"%i and %i", "%i and %i"},
                 {"Plain", "Plain"},
                 {"%", "%"},
                 // A width beyond the label is refused as plain text: "%2147483647d" would take
                 // seconds in snprintf.
                 {"%31d", "                              1"},
                 {"%32d", "%32d"},
                 {"%-2147483647d", "%-2147483647d"},
                 {"%0000000000000000002d", "01"}};
  for (const auto& f : formats) {
    p.SetChannelLabel(kOutput, 0, f.format, false);
    EXPECT_STREQ(p.GetChannelLabel(kOutput, 0), f.label) << f.format;
  }
}

// Fixture: the plug-in's stereo configuration with float host buffers of 8 frames.
class Buffers : public ::testing::Test {
 protected:
  static constexpr int kBlock = 8;

  void SetUp() override {
    for (int c = 0; c < 2; ++c) {
      for (int f = 0; f < kBlock; ++f) in[c][f] = static_cast<float>((c + 1) * 10 + f);
      std::fill(std::begin(out[c]), std::end(out[c]), -99.0f);
      inPtrs[c] = in[c];
      outPtrs[c] = out[c];
    }
  }

  void Connect(TestPlugin& p, int nIn, int nOut) {
    p.SetChannelConnections(kInput, 0, 2, false);
    p.SetChannelConnections(kOutput, 0, 2, false);
    p.SetChannelConnections(kInput, 0, nIn, true);
    p.SetChannelConnections(kOutput, 0, nOut, true);
  }

  float in[2][kBlock * 2];
  float out[2][kBlock * 2];
  float* inPtrs[2];
  float* outPtrs[2];
};

TEST_F(Buffers, FloatBuffersAreWidenedProcessedAndNarrowed) {
  TestPlugin p;
  p.SetBlockSize(kBlock);
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  EXPECT_EQ(p.mLastFrames, kBlock);
  for (int c = 0; c < 2; ++c) {
    for (int f = 0; f < kBlock; ++f) EXPECT_EQ(out[c][f], in[c][f]) << c << " " << f;
  }
}

TEST_F(Buffers, DisconnectedOutputStillGetsAScratchBuffer) {
  TestPlugin p;
  p.SetBlockSize(kBlock);
  Connect(p, 2, 1);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 1, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  ASSERT_NE(p.mSeenOut[0], nullptr);
  ASSERT_NE(p.mSeenOut[1], nullptr);  // computed into scratch, then discarded
  EXPECT_NE(p.mSeenOut[0], p.mSeenOut[1]);
  EXPECT_EQ(out[0][3], in[0][3]);
  EXPECT_EQ(out[1][3], -99.0f);  // the second host buffer was never attached
}

TEST_F(Buffers, DisconnectedInputReadsSilenceNotItsLastBlock) {
  TestPlugin p;
  p.SetBlockSize(kBlock);
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  Connect(p, 1, 2);  // the host stops feeding input 1
  p.AttachBuffers(kInput, 0, 1, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  for (int f = 0; f < kBlock; ++f) EXPECT_EQ(out[1][f], 0.0f) << f;
}

TEST_F(Buffers, DoubleBuffersAreUsedInPlace) {
  TestPlugin p;
  double din[2][kBlock] = {{1, 2, 3, 4, 5, 6, 7, 8}, {-1, -2, -3, -4, -5, -6, -7, -8}};
  double dout[2][kBlock] = {};
  double* dinPtrs[2] = {din[0], din[1]};
  double* doutPtrs[2] = {dout[0], dout[1]};
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, dinPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, doutPtrs, kBlock);
  p.ProcessBuffers(0.0, kBlock);
  EXPECT_EQ(p.mSeenIn[1], din[1]);
  EXPECT_EQ(p.mSeenOut[0], dout[0]);
  EXPECT_EQ(dout[1][7], -8.0);
}

TEST_F(Buffers, DefaultProcessBlockZeroFillsOutputsWithoutInput) {
  TestPlugin p(ConfigWithIO("1-2"));
  p.SetBlockSize(kBlock);
  Connect(p, 1, 2);
  p.AttachBuffers(kInput, 0, 1, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  EXPECT_EQ(out[0][2], in[0][2]);
  EXPECT_EQ(out[1][2], 0.0f);
}

TEST_F(Buffers, MoreFramesThanTheBlockSizeNeverOverrunScratch) {
  TestPlugin p;
  p.SetBlockSize(4);
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  EXPECT_EQ(p.mLastFrames, 4);
  EXPECT_EQ(out[0][3], in[0][3]);
  EXPECT_EQ(out[0][4], 0.0f);  // beyond what could be processed: silence, not stale data
  EXPECT_EQ(out[0][7], 0.0f);
  EXPECT_EQ(out[0][8], -99.0f);  // and nothing past nFrames
}

TEST_F(Buffers, SetBlockSizeKeepsContentsOnlyWhenTheSizeIsUnchanged) {
  TestPlugin p;
  p.SetBlockSize(kBlock);
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);  // widened into the input scratch
  double dout[2][kBlock] = {};
  double* doutPtrs[2] = {dout[0], dout[1]};
  p.AttachBuffers(kOutput, 0, 2, doutPtrs, kBlock);

  p.SetBlockSize(kBlock);
  p.ProcessBuffers(0.0, kBlock);
  EXPECT_EQ(dout[0][5], in[0][5]);

  p.SetBlockSize(kBlock * 2);  // a new size: the scratch is zeroed, the slot follows it
  p.ProcessBuffers(0.0, kBlock);
  EXPECT_EQ(dout[0][5], 0.0);
}

TEST_F(Buffers, PassThroughWithoutLatencyCopies) {
  TestPlugin p;
  p.SetBlockSize(kBlock);
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.PassThroughBuffers(0.0f, kBlock);
  EXPECT_EQ(p.mLastFrames, -1);  // ProcessBlock was not called
  EXPECT_EQ(out[1][6], in[1][6]);
}

TEST_F(Buffers, PassThroughWithLatencyThreeDelaysAcrossBlocks) {
  TestPlugin p(ConfigWithIO("1-1 2-2", 3));
  p.InitLatencyDelay();
  ASSERT_NE(p.GetLatencyDelay(), nullptr);
  EXPECT_EQ(p.GetLatencyDelay()->GetDelayTime(), 3);
  p.SetBlockSize(4);
  Connect(p, 2, 2);

  std::vector<float> got;
  for (int block = 0; block < 2; ++block) {
    float* inBlock[2] = {in[0] + block * 4, in[1] + block * 4};
    p.AttachBuffers(kInput, 0, 2, inBlock, 4);
    p.AttachBuffers(kOutput, 0, 2, outPtrs, 4);
    p.PassThroughBuffers(0.0f, 4);
    got.insert(got.end(), out[0], out[0] + 4);
  }
  // Three frames of the zeroed delay, then the input from its first frame on.
  const std::vector<float> expected = {0, 0, 0, 10, 11, 12, 13, 14};
  EXPECT_EQ(got, expected);

  p.SetLatency(2);  // a new length: zeroed, position reset
  p.AttachBuffers(kInput, 0, 2, inPtrs, 4);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, 4);
  p.PassThroughBuffers(0.0f, 4);
  EXPECT_EQ(std::vector<float>(out[1], out[1] + 4), (std::vector<float>{0, 0, 20, 21}));
}

TEST_F(Buffers, RenderingBeforeAnyBlockSizeIsSafe) {
  TestPlugin p;
  Connect(p, 2, 2);
  p.AttachBuffers(kInput, 0, 2, inPtrs, kBlock);
  p.AttachBuffers(kOutput, 0, 2, outPtrs, kBlock);
  p.ProcessBuffers(0.0f, kBlock);
  p.PassThroughBuffers(0.0f, kBlock);
  EXPECT_EQ(out[0][0], 0.0f);
}

// --------------------------------------------------------------------------------- MIDI

TEST(ProcessorMidi, DefaultProcessMidiMsgSendsItOutAndSendMidiMsgsReportsFailures) {
  TestPlugin p;
  const plug::IMidiMsg msgs[3] = {{0, 0x90, 60, 100}, {1, 0x80, 60, 0}, {2, 0xB0, 7, 1}};
  p.ProcessMidiMsg(msgs[0]);
  EXPECT_EQ(p.mMidiSent, 1);
  EXPECT_EQ(p.mMidiOut[0].mData1, 60);
  EXPECT_TRUE(p.SendMidiMsgs(msgs, 3));
  p.mMidiSendResult = false;
  EXPECT_FALSE(p.SendMidiMsgs(msgs, 3));
  EXPECT_EQ(p.mMidiSent, 7);  // every message was still tried
}

}  // namespace
