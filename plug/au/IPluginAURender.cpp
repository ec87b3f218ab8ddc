// IPluginAU's connections and render: buses and their host channel counts, stream formats, input
// connections, channel layouts, and the render path that pulls the inputs and processes.
#include <algorithm>
#include <climits>
#include <cmath>

#include "plug/au/IPluginAU.h"

namespace plug {

// -------------------------------------------------------------------------- buses and formats

int IPluginAU::NHostChannelsConnected(const std::vector<BusChannels>& buses, int skipBus) {
  int sum = 0;
  bool any = false;
  for (int i = 0; i < static_cast<int>(buses.size()); ++i) {
    const int n = buses[static_cast<std::size_t>(i)].mNHostChannels;
    if (i == skipBus || n < 0) continue;
    sum += n;
    any = true;
  }
  return any ? sum : -1;
}

int IPluginAU::GetInputType(int bus) const {
  if (bus < 0 || bus >= NInputBuses()) return kNotConnected;
  return mInBusConnections[static_cast<std::size_t>(bus)].mInputType;
}

int IPluginAU::GetHostChannels(ERoute direction, int bus) const {
  const std::vector<BusChannels>& buses = direction == kInput ? mInBuses : mOutBuses;
  if (bus < 0 || bus >= static_cast<int>(buses.size())) return -1;
  return buses[static_cast<std::size_t>(bus)].mNHostChannels;
}

IPluginAU::BusChannels* IPluginAU::GetBus(AudioUnitScope scope, AudioUnitElement element) {
  std::vector<BusChannels>* buses = nullptr;
  if (scope == kAudioUnitScope_Input) buses = &mInBuses;
  if (scope == kAudioUnitScope_Output) buses = &mOutBuses;
  if (buses == nullptr || element >= buses->size()) return nullptr;
  return &(*buses)[element];
}

void IPluginAU::AssessInputConnections() {
  SetChannelConnections(kInput, 0, MaxNChannels(kInput), false);
  for (std::size_t i = 0; i < mInBuses.size(); ++i) {
    BusChannels& bus = mInBuses[i];
    InputBusConnection& connection = mInBusConnections[i];
    if (connection.mUpstreamUnit != nullptr && connection.mUpstreamRenderProc != nullptr) {
      connection.mInputType = kDirectFastProc;
    } else if (connection.mUpstreamUnit != nullptr) {
      connection.mInputType = kDirectNoFastProc;
    } else if (connection.mUpstreamRenderCallback.inputProc != nullptr) {
      connection.mInputType = kRenderCallback;
    } else {
      connection.mInputType = kNotConnected;
    }
    bus.mConnected = connection.mInputType != kNotConnected;
    if (!bus.mConnected) continue;
    if (bus.mNHostChannels < 0) bus.mNHostChannels = bus.mNPlugChannels;
    const int n = std::clamp(bus.mNHostChannels, 0, bus.mNPlugChannels);
    SetChannelConnections(kInput, bus.mPlugChannelStartIdx, n, true);
    SetChannelConnections(kInput, bus.mPlugChannelStartIdx + n, bus.mNPlugChannels - n, false);
  }
}

int IPluginAU::LayoutTagsForChannelCount(int nChans, AudioChannelLayoutTag* tags) {
  static constexpr UInt32 kAnyLayout = 147;
  UInt32 layouts[3] = {};
  int n = 0;
  switch (nChans) {
    case 0:
      break;
    case 1:
      layouts[n++] = 100;
      break;
    case 2:
      layouts[n++] = 101;
      break;
    case 3:
      layouts[n++] = 113;
      break;
    case 4:
      layouts[n++] = 108;
      layouts[n++] = 107;
      layouts[n++] = 190;
      break;
    case 5:
      layouts[n++] = 118;
      break;
    case 6:
      layouts[n++] = 121;
      layouts[n++] = 139;
      break;
    case 7:
      layouts[n++] = 125;
      layouts[n++] = 140;
      break;
    case 8:
      layouts[n++] = 128;
      layouts[n++] = 126;
      break;
    case 9:
    case 16:
      layouts[n++] = 190;
      break;
    case 10:
      layouts[n++] = 196;
      break;
    case 12:
      layouts[n++] = 192;
      break;
    default:
      layouts[n++] = kAnyLayout;
      break;
  }
  if (nChans == 0) {
    if (tags != nullptr) tags[0] = 0;
    return 1;
  }
  // An any-count bus (negative) has no count to encode beside the layout number.
  const UInt32 count = nChans > 0 ? static_cast<UInt32>(nChans) : 0u;
  for (int i = 0; i < n && tags != nullptr; ++i) tags[i] = (layouts[i] << 16) | count;
  return n;
}

int IPluginAU::GetChannelLayoutTags(AudioUnitScope scope, int bus,
                                    AudioChannelLayoutTag* tags) const {
  if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) return 0;
  const ERoute direction = scope == kAudioUnitScope_Input ? kInput : kOutput;
  std::vector<AudioChannelLayoutTag> found;
  for (int c = 0; c < NIOConfigs(); ++c) {
    const IBusInfo* info = GetIOConfig(c)->GetBusInfo(direction, bus);
    if (info == nullptr) continue;
    AudioChannelLayoutTag candidates[3];
    const int n = LayoutTagsForChannelCount(info->mNChans, candidates);
    for (int i = 0; i < n; ++i) {
      if (std::find(found.begin(), found.end(), candidates[i]) == found.end()) {
        found.push_back(candidates[i]);
      }
    }
  }
  if (tags != nullptr) std::copy(found.begin(), found.end(), tags);
  return static_cast<int>(found.size());
}

OSStatus IPluginAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription& format) {
  if (scope == kAudioUnitScope_Global) {
    scope = kAudioUnitScope_Output;
    element = 0;
  }
  if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) {
    return kAudioUnitErr_InvalidProperty;
  }
  BusChannels* bus = GetBus(scope, element);
  if (bus == nullptr) return kAudioUnitErr_InvalidElement;
  const bool isInput = scope == kAudioUnitScope_Input;
  bus->mNHostChannels = 0;  // this bus does not count while its new format is checked
  const int nChans = static_cast<int>(std::min<UInt32>(format.mChannelsPerFrame, INT_MAX));
  int nIn = NHostChannelsConnected(mInBuses);
  int nOut = NHostChannelsConnected(mOutBuses);
  if (isInput) {
    nIn = std::max(nIn, 0) + nChans;
  } else {
    nOut = std::max(nOut, 0) + nChans;
  }
  const bool ok = format.mFormatID == kAudioFormatLinearPCM && nChans >= 1 && LegalIO(nIn, nOut) &&
                  (format.mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked)) != 0;
  OSStatus status = noErr;
  if (ok) {
    bus->mNHostChannels = nChans;
    if (format.mSampleRate > 0.0 && std::isfinite(format.mSampleRate))
      SetSampleRate(format.mSampleRate);
  } else {
    bus->mNHostChannels = bus->mNPlugChannels;
    status = kAudioUnitErr_InvalidProperty;
  }
  AssessInputConnections();
  return status;
}

OSStatus IPluginAU::MakeConnection(const AudioUnitConnection& connection) {
  if (connection.destInputNumber >= mInBuses.size()) return kAudioUnitErr_InvalidElement;
  InputBusConnection& record = mInBusConnections[connection.destInputNumber];
  record = InputBusConnection{};
  OSStatus status = noErr;
  if (connection.sourceAudioUnit != nullptr) {
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof format;
    if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                             kAudioUnitScope_Output, connection.sourceOutputNumber, &format,
                             &size) != noErr ||
        SetStreamFormat(kAudioUnitScope_Input, connection.destInputNumber, format) != noErr) {
      status = kAudioUnitErr_InvalidProperty;
    } else {
      record.mUpstreamUnit = connection.sourceAudioUnit;
      record.mUpstreamBusIdx =
          static_cast<int>(std::min<UInt32>(connection.sourceOutputNumber, INT_MAX));
      AudioUnitRenderProc proc = nullptr;
      UInt32 procSize = sizeof proc;
      if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_FastDispatch,
                               kAudioUnitScope_Global, kAudioUnitRenderSelect, &proc,
                               &procSize) == noErr &&
          proc != nullptr) {
        record.mUpstreamRenderProc = proc;
        // On this platform a method's instance storage is the instance itself.
        record.mUpstreamStorage = connection.sourceAudioUnit;
      }
    }
  }
  AssessInputConnections();
  return status;
}

// ------------------------------------------------------------------------------------ render

OSStatus IPluginAU::PullInputs(const AudioTimeStamp* stamp, UInt32 frames) noexcept {
  auto* list = reinterpret_cast<AudioBufferList*>(mInputListStorage.data());
  const auto block = static_cast<std::size_t>(GetBlockSize());
  for (std::size_t i = 0; i < mInBuses.size(); ++i) {
    const BusChannels& bus = mInBuses[i];
    const InputBusConnection& connection = mInBusConnections[i];
    if (!bus.mConnected || connection.mInputType == kNotConnected) continue;
    const int n = std::clamp(bus.mNHostChannels, 0, bus.mNPlugChannels);
    list->mNumberBuffers = static_cast<UInt32>(n);
    for (int c = 0; c < n; ++c) {
      AudioBuffer& buffer = list->mBuffers[c];
      buffer.mNumberChannels = 1;
      buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
      buffer.mData =
          mInScratch.data() + static_cast<std::size_t>(bus.mPlugChannelStartIdx + c) * block;
    }
    AudioUnitRenderActionFlags flags = 0;
    OSStatus status = noErr;
    switch (connection.mInputType) {
      case kDirectFastProc:
        status = connection.mUpstreamRenderProc(connection.mUpstreamStorage, &flags, stamp,
                                                static_cast<UInt32>(connection.mUpstreamBusIdx),
                                                frames, list);
        break;
      case kDirectNoFastProc:
        status = AudioUnitRender(connection.mUpstreamUnit, &flags, stamp,
                                 static_cast<UInt32>(connection.mUpstreamBusIdx), frames, list);
        break;
      case kRenderCallback:
        status = connection.mUpstreamRenderCallback.inputProc(
            connection.mUpstreamRenderCallback.inputProcRefCon, &flags, stamp,
            static_cast<UInt32>(i), frames, list);
        break;
      default:
        break;
    }
    if (status != noErr) return status;
    const int got = std::min(n, static_cast<int>(list->mNumberBuffers));
    for (int c = 0; c < n; ++c) {
      mBufferPtrs[static_cast<std::size_t>(c)] =
          c < got ? static_cast<float*>(list->mBuffers[c].mData) : nullptr;
    }
    AttachBuffers(kInput, bus.mPlugChannelStartIdx, bus.mNPlugChannels, mBufferPtrs.data(),
                  static_cast<int>(frames));
  }
  return noErr;
}

void IPluginAU::UpdateTimeInfo() noexcept {
  ITimeInfo info;
  info.mSamplePos = mLastRenderSampleTime;
  const HostCallbackInfo& host = mHostCallbacks;
  if (host.beatAndTempoProc != nullptr) {
    Float64 beat = 0.0;
    Float64 tempo = 0.0;
    if (host.beatAndTempoProc(host.hostUserData, &beat, &tempo) == noErr) {
      if (tempo > 0.0) info.mTempo = tempo;
      info.mPPQPos = beat;
    }
  }
  if (host.musicalTimeLocationProc != nullptr) {
    UInt32 toNextBeat = 0;
    Float32 numerator = 0.0f;
    UInt32 denominator = 0;
    Float64 downBeat = 0.0;
    if (host.musicalTimeLocationProc(host.hostUserData, &toNextBeat, &numerator, &denominator,
                                     &downBeat) == noErr) {
      if (numerator > 0.0f) info.mNumerator = static_cast<int>(numerator);
      if (denominator > 0) info.mDenominator = static_cast<int>(denominator);
      info.mLastBar = downBeat;
    }
  }
  Boolean playing = false;
  Boolean recording = false;
  Boolean changed = false;
  Boolean cycling = false;
  Float64 sample = 0.0;
  Float64 cycleStart = 0.0;
  Float64 cycleEnd = 0.0;
  OSStatus status = -1;
  if (host.transportStateProc2 != nullptr) {
    status = host.transportStateProc2(host.hostUserData, &playing, &recording, &changed, &sample,
                                      &cycling, &cycleStart, &cycleEnd);
  } else if (host.transportStateProc != nullptr) {
    status = host.transportStateProc(host.hostUserData, &playing, &changed, &sample, &cycling,
                                     &cycleStart, &cycleEnd);
  }
  if (status == noErr) {
    info.mTransportIsRunning = playing != 0;
    info.mTransportLoopEnabled = cycling != 0;
    info.mSamplePos = sample;
    info.mCycleStart = cycleStart;
    info.mCycleEnd = cycleEnd;
  }
  SetTimeInfo(info);
}

void IPluginAU::AttachOutputBuffers(BusChannels& out, UInt32 frames,
                                    AudioBufferList& ioData) noexcept {
  const int nBuffers = static_cast<int>(std::min<UInt32>(ioData.mNumberBuffers, INT_MAX));
  if (!out.mConnected || out.mNHostChannels != nBuffers) {
    const int hostChans = out.mNHostChannels < 0 ? out.mNPlugChannels : out.mNHostChannels;
    const int n = std::clamp(std::min(hostChans, nBuffers), 0, out.mNPlugChannels);
    SetChannelConnections(kOutput, out.mPlugChannelStartIdx, n, true);
    SetChannelConnections(kOutput, out.mPlugChannelStartIdx + n, out.mNPlugChannels - n, false);
    out.mConnected = true;
  }
  const auto block = static_cast<std::size_t>(GetBlockSize());
  const int nAttach =
      std::min({nBuffers, out.mNPlugChannels, static_cast<int>(mBufferPtrs.size())});
  for (int b = 0; b < nAttach; ++b) {
    AudioBuffer& buffer = ioData.mBuffers[b];
    if (buffer.mData == nullptr) {
      buffer.mData =
          mOutScratch.data() + static_cast<std::size_t>(out.mPlugChannelStartIdx + b) * block;
      buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    }
    mBufferPtrs[static_cast<std::size_t>(b)] = static_cast<float*>(buffer.mData);
  }
  for (int b = nAttach; b < static_cast<int>(mBufferPtrs.size()); ++b)
    mBufferPtrs[static_cast<std::size_t>(b)] = nullptr;
  AttachBuffers(kOutput, out.mPlugChannelStartIdx, out.mNPlugChannels, mBufferPtrs.data(),
                static_cast<int>(frames));
}

// Only the last bus of the unbroken run of connected output buses from bus 0 processes, once all
// of them have their buffers.
void IPluginAU::ProcessConnectedOutputs(UInt32 outputBus, UInt32 frames) noexcept {
  int lastConnected = -1;
  for (std::size_t i = 0; i < mOutBuses.size() && mOutBuses[i].mConnected; ++i) {
    lastConnected = static_cast<int>(i);
  }
  if (static_cast<int>(outputBus) != lastConnected) return;
  for (int later = lastConnected + 1; later < NOutputBuses(); ++later) {
    SetChannelConnections(kOutput, 2 * later, 2, false);
  }
  if (GetBypassed()) {
    PassThroughBuffers(0.0f, static_cast<int>(frames));
  } else {
    IMidiMsg msg;
    while (PopMidiMsgFromEditor(msg)) ProcessMidiMsg(msg);
    SysExData sysex;
    while (PopSysExFromEditor(sysex)) ProcessSysEx(ISysEx{sysex.mOffset, sysex.mData, sysex.mSize});
    UpdateTimeInfo();
    ProcessBuffers(0.0f, static_cast<int>(frames));
  }
}

OSStatus IPluginAU::Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* stamp,
                           UInt32 outputBus, UInt32 frames, AudioBufferList* ioData) noexcept {
  if (stamp != nullptr) mLastRenderTimeStamp = *stamp;
  if (stamp == nullptr || (stamp->mFlags & kAudioTimeStampSampleTimeValid) == 0 ||
      frames > static_cast<UInt32>(GetBlockSize()) || ioData == nullptr) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  if (outputBus >= mOutBuses.size()) return kAudioUnitErr_InvalidElement;
  for (UInt32 b = 0; b < ioData->mNumberBuffers; ++b) {
    const AudioBuffer& buffer = ioData->mBuffers[b];
    if (buffer.mData != nullptr && buffer.mDataByteSize < frames * sizeof(float)) {
      return kAudioUnitErr_InvalidPropertyValue;  // the host's buffer cannot take the block
    }
  }

  const AudioUnitRenderActionFlags baseFlags = flags != nullptr ? *flags : 0;
  for (const RenderNotify& notify : mRenderNotify) {
    AudioUnitRenderActionFlags pre = baseFlags | kAudioUnitRenderAction_PreRender;
    notify.mProc(notify.mUserData, &pre, stamp, outputBus, frames, ioData);
  }

  const bool midiEffect = GetPlugType() == 2;
  if (!midiEffect && stamp->mSampleTime != mLastRenderSampleTime) {
    const OSStatus status = PullInputs(stamp, frames);
    if (status != noErr) return status;
    mLastRenderSampleTime = stamp->mSampleTime;
  }

  AttachOutputBuffers(mOutBuses[outputBus], frames, *ioData);
  if (!midiEffect) ProcessConnectedOutputs(outputBus, frames);

  for (const RenderNotify& notify : mRenderNotify) {
    AudioUnitRenderActionFlags post = baseFlags | kAudioUnitRenderAction_PostRender;
    notify.mProc(notify.mUserData, &post, stamp, outputBus, frames, ioData);
  }
  return noErr;
}

}  // namespace plug
