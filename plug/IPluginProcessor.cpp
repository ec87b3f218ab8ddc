// IPluginProcessor: configuration parsing, channel bookkeeping and the render-time buffer moves.
#include "plug/IPluginProcessor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "plug/FourCC.h"

namespace plug {

namespace {

constexpr int kMaxNameLength = 31;

// One "."-separated item: "*" is any count; otherwise a leading decimal integer, 0 when there is
// none or when it is negative (no channel count is); INT_MAX when it does not fit an int, which
// the parser refuses as too many.
int ParseChannelCount(std::string_view item) {
  if (item == "*") return IBusInfo::kAnyChannelCount;
  const std::string text(item);
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || n < 0) return 0;
  if (errno == ERANGE || n > INT_MAX) return INT_MAX;
  return static_cast<int>(n);
}

// True when format holds at most one conversion and that one is an int ("%i", "%02d", ...), so
// that it can be formatted with the channel number and nothing else; "%%" is plain text. A width
// wider than the label cannot show and would only make snprintf pad for nothing (a width of
// 2147483647 takes seconds), so it is refused too.
bool IsChannelNumberFormat(const char* format) {
  int conversions = 0;
  for (const char* c = format; *c != '\0'; ++c) {
    if (*c != '%') continue;
    ++c;
    if (*c == '%') continue;
    while (*c != '\0' && std::strchr("-+ #0", *c) != nullptr) ++c;
    int width = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
      width = width * 10 + (*c - '0');
      if (width > kMaxNameLength) return false;
    }
    if (*c != 'd' && *c != 'i') return false;
    ++conversions;
  }
  return conversions <= 1;
}

// Splits text at sep, calling f for each piece (empty pieces included).
template <typename F>
void ForEachPiece(std::string_view text, char sep, F&& f) {
  std::size_t start = 0;
  while (true) {
    const std::size_t at = text.find(sep, start);
    f(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
}

}  // namespace

IPluginProcessor::IPluginProcessor(const Config& config)
    : mPlugType(config.plugType),
      mDoesMIDIIn(config.plugDoesMidiIn),
      mDoesMIDIOut(config.plugDoesMidiOut),
      mLatency(config.latency) {
  int maxIn = 0;
  int maxOut = 0;
  int maxInBuses = 0;
  int maxOutBuses = 0;
  ParseChannelIOStr(config.channelIOStr.c_str(), mIOConfigs, maxIn, maxOut, maxInBuses,
                    maxOutBuses);
  const int maxChans[2] = {maxIn, maxOut};
  for (ERoute direction : {kInput, kOutput}) {
    const auto n = static_cast<std::size_t>(maxChans[direction]);
    // The channels' slots point into this array: it is never resized after this.
    mChannelPtrs[direction].assign(n, nullptr);
    for (std::size_t i = 0; i < n; ++i) {
      auto channel = std::make_unique<IChannelData>();
      channel->mData = &mChannelPtrs[direction][i];
      mChannelData[direction].push_back(std::move(channel));
    }
  }
}

IPluginProcessor::~IPluginProcessor() = default;

// ------------------------------------------------------------------------------- virtuals

void IPluginProcessor::ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept {
  const int nIn = MaxNChannels(kInput);
  const int nOut = MaxNChannels(kOutput);
  if (outputs == nullptr || nFrames < 1) return;
  for (int i = 0; i < nOut; ++i) {
    double* out = outputs[i];
    if (out == nullptr) continue;
    const double* in = (i < nIn && inputs != nullptr) ? inputs[i] : nullptr;
    if (in != nullptr) {
      if (in != out) std::memmove(out, in, static_cast<std::size_t>(nFrames) * sizeof(double));
    } else {
      std::fill(out, out + nFrames, 0.0);
    }
  }
}

void IPluginProcessor::ProcessMidiMsg(const IMidiMsg& msg) noexcept {
  SendMidiMsg(msg);
}

void IPluginProcessor::ProcessSysEx(const ISysEx&) noexcept {}

void IPluginProcessor::OnReset() {}

void IPluginProcessor::OnActivate(bool) {}

bool IPluginProcessor::SendMidiMsgs(const IMidiMsg* msgs, int count) noexcept {
  if (msgs == nullptr) return count <= 0;
  bool all = true;
  for (int i = 0; i < count; ++i) all = SendMidiMsg(msgs[i]) && all;
  return all;
}

void IPluginProcessor::GetBusName(ERoute direction, int busIdx, int nBuses,
                                  std::string& name) const {
  char buf[kMaxNameLength + 1];
  if (direction == kInput) {
    if (nBuses == 1) {
      std::snprintf(buf, sizeof buf, "Input");
    } else if (nBuses == 2) {
      std::snprintf(buf, sizeof buf, "%s", busIdx == 0 ? "Main" : "Aux");
    } else {
      std::snprintf(buf, sizeof buf, "Input %i", busIdx);
    }
  } else {
    if (nBuses == 1) {
      std::snprintf(buf, sizeof buf, "Output");
    } else {
      std::snprintf(buf, sizeof buf, "Output %i", busIdx);
    }
  }
  name = buf;
}

void IPluginProcessor::SetLatency(int samples) {
  mLatency = samples;
  if (mLatencyDelay) mLatencyDelay->SetDelayTime(samples);
}

void IPluginProcessor::SetTailSize(int samples) {
  mTailSize = samples;
}

// ------------------------------------------------------------------ channel configurations

int IPluginProcessor::ParseChannelIOStr(const char* text, std::vector<IOConfig>& configs,
                                        int& maxNInChans, int& maxNOutChans, int& maxNInBuses,
                                        int& maxNOutBuses) {
  maxNInChans = 0;
  maxNOutChans = 0;
  maxNInBuses = 0;
  maxNOutBuses = 0;
  int parsed = 0;

  ForEachPiece(text != nullptr ? text : "", ' ', [&](std::string_view token) {
    if (token.empty()) return;  // runs of blanks separate, they declare nothing
    const std::size_t dash = token.find('-');
    const std::string_view sides[2] = {token.substr(0, dash), dash == std::string_view::npos
                                                                  ? std::string_view{}
                                                                  : token.substr(dash + 1)};

    IOConfig config;
    bool refused = false;
    for (ERoute direction : {kInput, kOutput}) {
      int channels = 0;  // fixed counts only: any-count buses are bounded by the bus count
      ForEachPiece(sides[direction], '.', [&](std::string_view item) {
        if (refused) return;
        const int n = ParseChannelCount(item);
        if (n > kMaxNChannels - channels || (n != 0 && config.NBuses(direction) == kMaxNChannels)) {
          refused = true;
          return;
        }
        if (n > 0) channels += n;
        if (n != 0) config.AddBusInfo(direction, n);
        config.AddToTotal(direction, n);
      });
    }
    if (refused) return;
    maxNInChans = std::max(maxNInChans, config.GetTotalNChannels(kInput));
    maxNOutChans = std::max(maxNOutChans, config.GetTotalNChannels(kOutput));
    maxNInBuses = std::max(maxNInBuses, config.NBuses(kInput));
    maxNOutBuses = std::max(maxNOutBuses, config.NBuses(kOutput));
    configs.push_back(std::move(config));
    ++parsed;
  });
  return parsed;
}

bool IPluginProcessor::LegalIO(int nIn, int nOut) const {
  for (const IOConfig& config : mIOConfigs) {
    const int in = config.GetTotalNChannels(kInput);
    const int out = config.GetTotalNChannels(kOutput);
    const bool inOk = nIn < 0 || in < 0 || in == nIn;
    const bool outOk = nOut < 0 || out < 0 || out == nOut;
    if (inOk && outOk) return true;
  }
  return false;
}

int IPluginProcessor::MaxNBuses(ERoute direction, int* configIdx) const {
  int maxBuses = 0;
  int idx = -1;
  for (int i = 0; i < NIOConfigs(); ++i) {
    const int n = mIOConfigs[static_cast<std::size_t>(i)].NBuses(direction);
    if (n >= maxBuses) {
      maxBuses = n;
      idx = i;
    }
  }
  if (configIdx != nullptr) *configIdx = idx;
  return maxBuses;
}

int IPluginProcessor::MaxNChannelsForBus(ERoute direction, int busIdx) const {
  if (mIOConfigs.empty()) return 0;
  if (mIOConfigs.front().ContainsWildcard(direction)) return -1;
  int maxChans = 0;
  for (const IOConfig& config : mIOConfigs) {
    maxChans = std::max(maxChans, config.NChansOnBusSAFE(direction, busIdx));
  }
  return maxChans;
}

const IOConfig* IPluginProcessor::GetIOConfig(int idx) const {
  if (idx < 0 || idx >= NIOConfigs()) return nullptr;
  return &mIOConfigs[static_cast<std::size_t>(idx)];
}

bool IPluginProcessor::HasWildcardBus(ERoute direction) const {
  return !mIOConfigs.empty() && mIOConfigs.front().ContainsWildcard(direction);
}

// --------------------------------------------------------------------------------- channels

int IPluginProcessor::NChannelsConnected(ERoute direction) const noexcept {
  int n = 0;
  for (const auto& channel : mChannelData[direction]) n += channel->mConnected ? 1 : 0;
  return n;
}

bool IPluginProcessor::IsChannelConnected(ERoute direction, int idx) const noexcept {
  if (idx < 0 || idx >= MaxNChannels(direction)) return false;
  return mChannelData[direction][static_cast<std::size_t>(idx)]->mConnected;
}

void IPluginProcessor::SetChannelConnections(ERoute direction, int first, int count,
                                             bool connected) noexcept {
  const int begin = std::max(first, 0);
  const int end = static_cast<int>(
      std::min<long long>(static_cast<long long>(first) + count, MaxNChannels(direction)));
  for (int i = begin; i < end; ++i) {
    IChannelData& channel = *mChannelData[direction][static_cast<std::size_t>(i)];
    channel.mConnected = connected;
    if (!connected) {
      std::vector<double>& scratch = channel.mScratchBuf;
      if (direction == kInput) std::fill(scratch.begin(), scratch.end(), 0.0);
      *channel.mData = scratch.empty() ? nullptr : scratch.data();
    }
  }
}

void IPluginProcessor::SetChannelLabel(ERoute direction, int idx, const char* format,
                                       bool zeroBased) {
  if (idx < 0 || idx >= MaxNChannels(direction) || format == nullptr) return;
  char buf[kMaxNameLength + 1];
  if (IsChannelNumberFormat(format)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buf, sizeof buf, format, idx + (zeroBased ? 0 : 1));
#pragma GCC diagnostic pop
  } else {
    std::snprintf(buf, sizeof buf, "%s", format);  // shown as written, never interpreted
  }
  mChannelData[direction][static_cast<std::size_t>(idx)]->mLabel = buf;
}

const char* IPluginProcessor::GetChannelLabel(ERoute direction, int idx) const {
  if (idx < 0 || idx >= MaxNChannels(direction)) return "";
  return mChannelData[direction][static_cast<std::size_t>(idx)]->mLabel.c_str();
}

void IPluginProcessor::AttachBuffers(ERoute direction, int first, int count, float** buffers,
                                     int nFrames) noexcept {
  const int begin = std::max(first, 0);
  const int end = static_cast<int>(
      std::min<long long>(static_cast<long long>(first) + count, MaxNChannels(direction)));
  const int frames = std::min(nFrames, mBlockSize);
  int next = 0;
  for (int i = begin; i < end; ++i) {
    IChannelData& channel = *mChannelData[direction][static_cast<std::size_t>(i)];
    if (!channel.mConnected) continue;
    float* host = buffers != nullptr ? buffers[next] : nullptr;
    ++next;
    std::vector<double>& scratch = channel.mScratchBuf;
    *channel.mData = scratch.empty() ? nullptr : scratch.data();
    if (direction == kInput) {
      if (host == nullptr) {
        std::fill(scratch.begin(), scratch.end(), 0.0);
      } else {
        for (int f = 0; f < frames; ++f) scratch[static_cast<std::size_t>(f)] = host[f];
      }
    } else {
      channel.mIncomingData = host;
    }
  }
}

void IPluginProcessor::AttachBuffers(ERoute direction, int first, int count, double** buffers,
                                     int) noexcept {
  const int begin = std::max(first, 0);
  const int end = static_cast<int>(
      std::min<long long>(static_cast<long long>(first) + count, MaxNChannels(direction)));
  int next = 0;
  for (int i = begin; i < end; ++i) {
    IChannelData& channel = *mChannelData[direction][static_cast<std::size_t>(i)];
    if (!channel.mConnected) continue;
    *channel.mData = buffers != nullptr ? buffers[next] : nullptr;
    ++next;
  }
}

int IPluginProcessor::FramesToProcess(int nFrames) const noexcept {
  if (nFrames <= mBlockSize) return std::max(nFrames, 0);
  for (ERoute direction : {kInput, kOutput}) {
    for (const auto& channel : mChannelData[direction]) {
      const double* slot = *channel->mData;
      if (slot != nullptr && slot == channel->mScratchBuf.data()) return mBlockSize;
    }
  }
  return nFrames;
}

double** IPluginProcessor::PointerArray(ERoute direction) noexcept {
  return mChannelPtrs[direction].empty() ? nullptr : mChannelPtrs[direction].data();
}

void IPluginProcessor::NarrowOutputs(int frames, int nFrames) noexcept {
  for (const auto& channel : mChannelData[kOutput]) {
    if (!channel->mConnected || channel->mIncomingData == nullptr) continue;
    float* host = channel->mIncomingData;
    const double* result = *channel->mData;
    // No test per sample, so the loop vectorises.
    if (result != nullptr) {
      for (int f = 0; f < frames; ++f) host[f] = static_cast<float>(result[f]);
    } else {
      for (int f = 0; f < frames; ++f) host[f] = 0.0f;
    }
    for (int f = std::max(frames, 0); f < nFrames; ++f) host[f] = 0.0f;
  }
}

void IPluginProcessor::ProcessBuffers(float, int nFrames) noexcept {
  // Single-precision audio always goes through the scratch buffers.
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  ProcessBlock(PointerArray(kInput), PointerArray(kOutput), frames);
  NarrowOutputs(frames, nFrames);
}

void IPluginProcessor::ProcessBuffers(double, int nFrames) noexcept {
  ProcessBlock(PointerArray(kInput), PointerArray(kOutput), FramesToProcess(nFrames));
}

void IPluginProcessor::PassThrough(int frames) noexcept {
  if (frames < 1) return;
  const int nIn = MaxNChannels(kInput);
  const int nOut = MaxNChannels(kOutput);
  double** inputs = PointerArray(kInput);
  double** outputs = PointerArray(kOutput);
  if (mLatency > 0 && mLatencyDelay && mLatencyDelay->GetDelayTime() > 0) {
    mLatencyDelay->Process(inputs, outputs, std::min(nIn, nOut), frames);
    // Outputs without an input (or beyond the delay's lines) would otherwise keep stale samples.
    const int delayed = std::min({nIn, nOut, mLatencyDelay->NInChans()});
    for (int i = delayed; i < nOut; ++i) {
      if (outputs[i] != nullptr) std::fill(outputs[i], outputs[i] + frames, 0.0);
    }
  } else {
    IPluginProcessor::ProcessBlock(inputs, outputs, frames);
  }
}

void IPluginProcessor::PassThroughBuffers(double, int nFrames) noexcept {
  PassThrough(FramesToProcess(nFrames));
}

void IPluginProcessor::PassThroughBuffers(float, int nFrames) noexcept {
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  PassThrough(frames);
  NarrowOutputs(frames, nFrames);
}

// ---------------------------------------------------------------------------------- set-up

void IPluginProcessor::SetBlockSize(int n) {
  if (n == mBlockSize) return;
  const auto size = static_cast<std::size_t>(std::max(n, 0));
  for (ERoute direction : {kInput, kOutput}) {
    for (auto& channel : mChannelData[direction]) {
      // A slot that pointed at the old scratch (or at none, disconnected) must follow it.
      const bool onScratch =
          !channel->mConnected ||
          (*channel->mData != nullptr && *channel->mData == channel->mScratchBuf.data());
      channel->mScratchBuf.assign(size, 0.0);
      if (onScratch) {
        *channel->mData = channel->mScratchBuf.empty() ? nullptr : channel->mScratchBuf.data();
      }
    }
  }
  mBlockSize = std::max(n, 0);
}

void IPluginProcessor::InitLatencyDelay() {
  if (MaxNChannels(kInput) < 1) return;
  mLatencyDelay = std::make_unique<NChanDelayLine>(MaxNChannels(kInput), MaxNChannels(kOutput));
  mLatencyDelay->SetDelayTime(mLatency);
}

double IPluginProcessor::GetSamplesPerBeat() const {
  return mTimeInfo.mTempo > 0.0 ? mSampleRate * 60.0 / mTimeInfo.mTempo : 0.0;
}

std::uint32_t IPluginProcessor::GetAUPluginType() const {
  switch (mPlugType) {
    case 0:
      return mDoesMIDIIn ? MakeFourCC("aumf") : MakeFourCC("aufx");
    case 1:
      return MakeFourCC("aumu");
    case 2:
      return MakeFourCC("aumi");
    case 3:
      return MakeFourCC("augn");
    default:
      return MakeFourCC("aufx");
  }
}

}  // namespace plug
