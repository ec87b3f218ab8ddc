// The audio half of the plug-in: channel configurations, channel buffers, processing calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plug/Config.h"
#include "plug/ERoute.h"
#include "plug/IChannelData.h"
#include "plug/IMidiMsg.h"
#include "plug/IOConfig.h"
#include "plug/ISysEx.h"
#include "plug/ITimeInfo.h"
#include "plug/NChanDelayLine.h"

namespace plug {

// The host wrapper drives a processor from the render thread: it marks channels connected,
// attaches the host's buffers and asks for one block to be processed or passed through. Set-up
// (block size, latency, sample rate, labels) happens while the host is not rendering.
//
// Render entry points (AttachBuffers, ProcessBuffers, PassThroughBuffers, SetChannelConnections,
// ProcessBlock, the MIDI calls) are noexcept and allocate nothing, take no lock, make no system
// call and throw nothing. They handle at most GetBlockSize() frames wherever they go through the
// channels' scratch buffers; frames beyond that are left unprocessed (host outputs get silence),
// since the scratch buffers hold no more.
class IPluginProcessor {
 public:
  // Parses config.channelIOStr and creates one disconnected channel per pointer-array entry.
  // Threads: main.
  explicit IPluginProcessor(const Config& config);
  virtual ~IPluginProcessor();
  IPluginProcessor(const IPluginProcessor&) = delete;
  IPluginProcessor& operator=(const IPluginProcessor&) = delete;

  // --- Virtual operations, in slot order.

  // Processes one block of de-interleaved doubles. Channels without data may be null.
  // Default: output i copies input i while i is below both counts, other outputs get zeros.
  // Threads: render.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept;
  // Default: sends the message straight out. Threads: render.
  virtual void ProcessMidiMsg(const IMidiMsg& msg) noexcept;
  // Default: nothing. Threads: render.
  virtual void ProcessSysEx(const ISysEx& msg) noexcept;
  // The host (re)initialised audio. Default: nothing. Threads: main, not while rendering.
  virtual void OnReset();
  // Default: nothing. Threads: main, not while rendering.
  virtual void OnActivate(bool active);
  // Sending to the host; the host wrapper implements these. Threads: render.
  virtual bool SendMidiMsg(const IMidiMsg& msg) noexcept = 0;
  // Calls SendMidiMsg for every message; true only when every call was. Threads: render.
  virtual bool SendMidiMsgs(const IMidiMsg* msgs, int count) noexcept;
  virtual bool SendSysEx(const ISysEx& msg) noexcept = 0;
  // Input: one bus "Input"; two "Main" and "Aux"; more "Input %i". Output: one bus "Output",
  // more "Output %i". At most 31 characters. Threads: main.
  virtual void GetBusName(ERoute direction, int busIdx, int nBuses, std::string& name) const;
  // Stores the latency; an existing latency delay gets that length, zeroed.
  // Threads: main, not while rendering.
  virtual void SetLatency(int samples);
  // Threads: main, not while rendering.
  virtual void SetTailSize(int samples);

  // --- Channel configurations. Threads: any (fixed after construction).

  // The most channels, and the most buses, that one direction of a configuration may declare.
  static constexpr int kMaxNChannels = 1024;

  // Parses text into configs (appended in text order) and the four maxima; returns the number of
  // configurations parsed. A null text parses as "". A configuration that declares more than
  // kMaxNChannels channels or buses in a direction (a count or a sum beyond the bound) is refused:
  // it is left out, as if the text did not hold it.
  static int ParseChannelIOStr(const char* text, std::vector<IOConfig>& configs, int& maxNInChans,
                               int& maxNOutChans, int& maxNInBuses, int& maxNOutBuses);
  // True when some configuration has exactly nIn input and nOut output channels; a negative count
  // on either side (the caller's or an any-count bus) matches anything. False with no
  // configurations.
  bool LegalIO(int nIn, int nOut) const;
  // The largest bus count of that direction and, when configIdx is not null, the configuration
  // that has it (the later one on a tie; -1 with no configurations).
  int MaxNBuses(ERoute direction, int* configIdx = nullptr) const;
  // -1 when the first configuration has an any-count bus in that direction; else the largest
  // channel count of bus busIdx over all configurations (0 where it is missing).
  int MaxNChannelsForBus(ERoute direction, int busIdx) const;
  int NIOConfigs() const { return static_cast<int>(mIOConfigs.size()); }
  // Null when idx is outside the list.
  const IOConfig* GetIOConfig(int idx) const;
  bool HasWildcardBus(ERoute direction) const;
  // Size of that direction's pointer array.
  int MaxNChannels(ERoute direction) const {
    return static_cast<int>(mChannelData[direction].size());
  }

  // --- Channels.

  // Threads: render or main.
  int NChannelsConnected(ERoute direction) const noexcept;
  int NInChansConnected() const noexcept { return NChannelsConnected(kInput); }
  int NOutChansConnected() const noexcept { return NChannelsConnected(kOutput); }
  bool IsChannelConnected(ERoute direction, int idx) const noexcept;
  // Sets the connected flag of channels first .. first + count - 1 (clipped to the channels).
  // A disconnected channel's slot points at its scratch buffer (null when that is empty); a
  // disconnected input's scratch is zeroed, so that it reads as silence and never as the last
  // audio it carried. Threads: render.
  void SetChannelConnections(ERoute direction, int first, int count, bool connected) noexcept;
  // Labels channel idx with format and the channel number (idx + 1 unless zeroBased); at most 31
  // characters; ignored for an index out of range. A format with any conversion other than one
  // integer ("%i", "%d"), or with a field width beyond the label's 31 characters, is taken as plain
  // text. Threads: main, not while rendering.
  void SetChannelLabel(ERoute direction, int idx, const char* format, bool zeroBased = false);
  // "" for an index out of range. Threads: main.
  const char* GetChannelLabel(ERoute direction, int idx) const;

  // Single-precision host buffers for channels first .. first + count - 1; buffers advance over
  // connected channels only. Inputs are widened into scratch; outputs are remembered and get
  // scratch to be computed into. Null buffers are not read or written. Threads: render.
  void AttachBuffers(ERoute direction, int first, int count, float** buffers, int nFrames) noexcept;
  // Double-precision host buffers: each connected channel's slot takes the next buffer directly.
  // Threads: render.
  void AttachBuffers(ERoute direction, int first, int count, double** buffers,
                     int nFrames) noexcept;
  // ProcessBlock, then each connected output is narrowed into its host buffer. Threads: render.
  void ProcessBuffers(float, int nFrames) noexcept;
  // ProcessBlock only. Threads: render.
  void ProcessBuffers(double, int nFrames) noexcept;
  // Copies inputs to outputs (through the latency delay when there is one) instead of
  // processing; the single-precision form then narrows like ProcessBuffers. Threads: render.
  void PassThroughBuffers(float, int nFrames) noexcept;
  void PassThroughBuffers(double, int nFrames) noexcept;

  // --- Set-up. Threads: main, not while rendering.

  // When n differs from the block size, every scratch buffer becomes n zeros.
  void SetBlockSize(int n);
  // When there are input channels, creates (or replaces) the latency delay: one line per input
  // channel, length = latency, zeroed.
  void InitLatencyDelay();
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  // Threads: main or render (a plain flag the host's property call writes between renders).
  void SetBypassed(bool bypassed) { mBypassed = bypassed; }
  void SetTimeInfo(const ITimeInfo& timeInfo) { mTimeInfo = timeInfo; }

  // --- Reads. Threads: any.

  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  bool GetBypassed() const { return mBypassed; }
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  // Sample rate * 60 / tempo, or 0 without a positive tempo.
  double GetSamplesPerBeat() const;
  // Host component type: 'aufx' (or 'aumf' with MIDI in) for effects, 'aumu' instruments, 'aumi'
  // MIDI effects, 'augn' generators; 'aufx' for anything else.
  std::uint32_t GetAUPluginType() const;
  int GetPlugType() const { return mPlugType; }
  bool DoesMIDIIn() const { return mDoesMIDIIn; }
  bool DoesMIDIOut() const { return mDoesMIDIOut; }
  const NChanDelayLine* GetLatencyDelay() const { return mLatencyDelay.get(); }

 private:
  // nFrames limited to the scratch length whenever a slot points at scratch memory.
  int FramesToProcess(int nFrames) const noexcept;
  double** PointerArray(ERoute direction) noexcept;
  // Copies (or delays) inputs to outputs for frames frames.
  void PassThrough(int frames) noexcept;
  // Narrows connected outputs into their host buffers; frames from `frames` to nFrames get zeros.
  void NarrowOutputs(int frames, int nFrames) noexcept;

  int mPlugType = 0;
  bool mDoesMIDIIn = false;
  bool mDoesMIDIOut = false;
  int mLatency = 0;
  int mTailSize = 0;
  double mSampleRate = 48000.0;
  int mBlockSize = 0;
  bool mBypassed = false;
  std::vector<IOConfig> mIOConfigs;
  std::vector<double*> mChannelPtrs[2];
  std::vector<std::unique_ptr<IChannelData>> mChannelData[2];
  std::unique_ptr<NChanDelayLine> mLatencyDelay;
  ITimeInfo mTimeInfo;
};

}  // namespace plug
