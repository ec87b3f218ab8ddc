// ChannelIOFuzzer: a configuration's channel-I/O text ("1-1 2-2") and a channel-label format, as
// a plug-in's configuration gives them.
//
// Properties: the parser never overflows (UBSan) and keeps every total within the refusal bound,
// a processor can be built on any text, and a label is formatted quickly (libFuzzer's -timeout)
// into at most 31 characters.
#include <string>
#include <vector>

#include "plug/IPluginProcessor.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

class Processor final : public plug::IPluginProcessor {
 public:
  using plug::IPluginProcessor::IPluginProcessor;
  bool SendMidiMsg(const plug::IMidiMsg&) noexcept override { return true; }
  bool SendSysEx(const plug::ISysEx&) noexcept override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using plug::kInput;
  using plug::kOutput;
  // The channel text, then a line feed and the label format.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string channels = input.substr(0, newline);
  const std::string format = newline == std::string::npos ? "" : input.substr(newline + 1);

  std::vector<plug::IOConfig> configs;
  int maxIn = 0, maxOut = 0, maxInBuses = 0, maxOutBuses = 0;
  const int n = plug::IPluginProcessor::ParseChannelIOStr(channels.c_str(), configs, maxIn, maxOut,
                                                          maxInBuses, maxOutBuses);
  FUZZ_CHECK(n == static_cast<int>(configs.size()));
  for (const int m : {maxIn, maxOut, maxInBuses, maxOutBuses})
    FUZZ_CHECK(m >= 0 && m <= plug::IPluginProcessor::kMaxNChannels);

  plug::Config config;
  config.channelIOStr = channels;
  Processor processor(config);
  FUZZ_CHECK(processor.NIOConfigs() == n);
  FUZZ_CHECK(processor.MaxNChannels(kInput) == maxIn);
  processor.LegalIO(maxIn, maxOut);
  processor.MaxNBuses(kOutput);
  processor.MaxNChannelsForBus(kInput, 0);
  processor.SetBlockSize(8);
  processor.SetChannelConnections(kInput, 0, maxIn, true);
  processor.SetChannelConnections(kOutput, 0, maxOut, true);
  processor.SetChannelLabel(kOutput, 0, format.c_str(), false);
  processor.SetChannelLabel(kInput, 0, format.c_str(), true);
  FUZZ_CHECK(std::string(processor.GetChannelLabel(kOutput, 0)).size() <= 31);
  return 0;
}
