// HostedUnit.cpp: factory, Open/Close, configuration, rendering, parameters, listeners, state and
// presets.
#include "host/HostedUnit.h"

#include <CoreServices/CoreServices.h>
#include <TovraSdk/RunLoopClock.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {
namespace {

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return {};
  const CFIndex size =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
  std::string text(static_cast<size_t>(size), '\0');
  if (!CFStringGetCString(s, text.data(), size, kCFStringEncodingUTF8)) return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

AudioStreamBasicDescription FloatFormat(Float64 rate, UInt32 channels) {
  AudioStreamBasicDescription f{};
  f.mSampleRate = rate;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags =
      kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  f.mBytesPerPacket = sizeof(Float32);
  f.mFramesPerPacket = 1;
  f.mBytesPerFrame = sizeof(Float32);
  f.mChannelsPerFrame = channels;
  f.mBitsPerChannel = 32;
  return f;
}

std::string Codes(const AudioComponentDescription& d) {
  auto show = [](OSType c) { return c == 0 ? std::string("*") : "'" + FourCCText(c) + "'"; };
  return show(d.componentType) + " " + show(d.componentSubType) + " " +
         show(d.componentManufacturer);
}

}  // namespace

std::unique_ptr<HostedUnit> HostedUnit::Open(std::shared_ptr<ComponentBundle> bundle,
                                             const AudioComponentDescription& wanted,
                                             std::string& error) {
  if (!bundle) {
    error = "no bundle";
    return nullptr;
  }
  const ComponentEntry* entry = bundle->Find(wanted);
  if (entry == nullptr) {
    error = "no component matches " + Codes(wanted) + " in " + bundle->Path();
    return nullptr;
  }
  AudioComponentFactoryFunction factory = bundle->Factory(*entry, error);
  if (factory == nullptr) return nullptr;
  AudioComponentPlugInInterface* plugIn = factory(&entry->description);
  if (plugIn == nullptr || plugIn->Open == nullptr || plugIn->Close == nullptr ||
      plugIn->Lookup == nullptr) {
    error = entry->factoryFunction + " returned no usable instance";
    return nullptr;
  }
  // As on macOS, the instance handed to Open, and to every AudioUnit* call, is the interface.
  auto unit = reinterpret_cast<AudioComponentInstance>(plugIn);
  const OSStatus opened = plugIn->Open(plugIn, unit);
  if (opened != noErr) {
    // A failed Open leaves nothing constructed that Close could safely destroy: the block is
    // abandoned rather than risking a crash in the component.
    error = "Open failed with status " + std::to_string(opened);
    return nullptr;
  }
  std::unique_ptr<HostedUnit> hosted(new HostedUnit);
  hosted->mBundle = std::move(bundle);
  hosted->mEntry = *entry;
  hosted->mPlugIn = plugIn;
  hosted->mUnit = unit;
  return hosted;
}

HostedUnit::~HostedUnit() {
  Close();
}

void HostedUnit::Close() {
  if (mUnit == nullptr) return;
  if (mInitialized) Uninitialize();
  if (mListener != nullptr) {
    AUListenerDispose(mListener);
    mListener = nullptr;
  }
  for (PropertyListener& l : mPropertyListeners)
    AudioUnitRemovePropertyListenerWithUserData(mUnit, l.id, PropertyProc, &l);
  mPropertyListeners.clear();
  mPlugIn->Close(mPlugIn);
  mPlugIn = nullptr;
  mUnit = nullptr;
}

OSStatus HostedUnit::Configure(const HostConfig& config) {
  if (mUnit == nullptr) return badComponentInstance;
  if (mInitialized) return kAudioUnitErr_Initialized;
  if (config.sampleRate <= 0 || config.maxFrames == 0 || config.outputChannels == 0)
    return kAudio_ParamError;
  OSStatus status = noErr;
  if (config.inputChannels > 0) {
    const AudioStreamBasicDescription in = FloatFormat(config.sampleRate, config.inputChannels);
    status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                  &in, sizeof in);
    if (status != noErr) return status;
  }
  const AudioStreamBasicDescription out = FloatFormat(config.sampleRate, config.outputChannels);
  status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                &out, sizeof out);
  if (status != noErr) return status;
  status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0,
                                &config.sampleRate, sizeof config.sampleRate);
  if (status != noErr) return status;
  status =
      AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global,
                           0, &config.maxFrames, sizeof config.maxFrames);
  if (status != noErr) return status;
  if (config.inputChannels > 0) {
    const AURenderCallbackStruct callback{InputProc, this};
    status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback,
                                  kAudioUnitScope_Input, 0, &callback, sizeof callback);
    if (status != noErr) return status;
  }
  // Optional for the unit: one that does not take host callbacks simply gets no transport.
  const HostCallbackInfo callbacks{this, BeatAndTempo, MusicalTimeLocation, TransportState,
                                   TransportState2};
  AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0,
                       &callbacks, sizeof callbacks);
  mConfig = config;
  mTransportChanged = true;
  mOutputListStorage.assign(
      offsetof(AudioBufferList, mBuffers) + sizeof(AudioBuffer) * config.outputChannels, 0);
  mInputScratch.assign(static_cast<size_t>(config.inputChannels) * config.maxFrames, 0.0f);
  mBlockInputs.assign(config.inputChannels, nullptr);
  mBlockOutputs.assign(config.outputChannels, nullptr);
  mConfigured = true;
  return noErr;
}

OSStatus HostedUnit::Initialize() {
  if (mUnit == nullptr) return badComponentInstance;
  if (!mConfigured) return kAudioUnitErr_Uninitialized;
  const OSStatus status = AudioUnitInitialize(mUnit);
  mInitialized = status == noErr;
  return status;
}

OSStatus HostedUnit::Uninitialize() {
  if (mUnit == nullptr) return badComponentInstance;
  const OSStatus status = AudioUnitUninitialize(mUnit);
  mInitialized = false;
  return status;
}

OSStatus HostedUnit::Reset() {
  if (mUnit == nullptr) return badComponentInstance;
  return AudioUnitReset(mUnit, kAudioUnitScope_Global, 0);
}

OSStatus HostedUnit::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                               UInt32, UInt32 frames, AudioBufferList* data) noexcept {
  auto* self = static_cast<HostedUnit*>(refCon);
  if (data == nullptr) return kAudio_ParamError;
  ++self->mInputCallbacks;
  const UInt32 available = std::min(frames, self->mCurrentFrames);
  for (UInt32 b = 0; b < data->mNumberBuffers; ++b) {
    AudioBuffer& buffer = data->mBuffers[b];
    const UInt32 capacity = buffer.mData != nullptr
                                ? static_cast<UInt32>(buffer.mDataByteSize / sizeof(float))
                                : self->mConfig.maxFrames;
    if (buffer.mData == nullptr) {
      // The unit left the buffer to us: lend it a slice of the scratch area.
      if (b >= self->mConfig.inputChannels) return kAudio_ParamError;
      buffer.mData = self->mInputScratch.data() + static_cast<size_t>(b) * self->mConfig.maxFrames;
    }
    const UInt32 n = std::min(frames, capacity);
    auto* out = static_cast<float*>(buffer.mData);
    const float* in = b < self->mConfig.inputChannels && self->mCurrentInputs != nullptr
                          ? self->mCurrentInputs[b]
                          : nullptr;
    const UInt32 copied = in != nullptr ? std::min(n, available) : 0;
    if (copied > 0) std::memcpy(out, in, copied * sizeof(float));
    if (n > copied) std::memset(out + copied, 0, (n - copied) * sizeof(float));
    buffer.mDataByteSize = n * static_cast<UInt32>(sizeof(float));
  }
  return noErr;
}

OSStatus HostedUnit::Render(const float* const* inputs, float* const* outputs,
                            UInt32 frames) noexcept {
  if (mUnit == nullptr) return badComponentInstance;
  if (!mConfigured || outputs == nullptr) return kAudio_ParamError;
  auto* list = reinterpret_cast<AudioBufferList*>(mOutputListStorage.data());
  list->mNumberBuffers = mConfig.outputChannels;
  for (UInt32 c = 0; c < mConfig.outputChannels; ++c) {
    list->mBuffers[c].mNumberChannels = 1;
    list->mBuffers[c].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    list->mBuffers[c].mData = outputs[c];
  }
  mCurrentInputs = inputs;
  mCurrentFrames = frames;
  AudioTimeStamp stamp{};
  stamp.mSampleTime = mSampleTime;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus status = AudioUnitRender(mUnit, &flags, &stamp, 0, frames, list);
  mCurrentInputs = nullptr;
  if (status != noErr) return status;
  // A unit may answer with buffers of its own; the caller's outputs get their contents.
  for (UInt32 c = 0; c < mConfig.outputChannels; ++c) {
    if (list->mBuffers[c].mData != outputs[c] && list->mBuffers[c].mData != nullptr)
      std::memcpy(outputs[c], list->mBuffers[c].mData,
                  std::min<UInt32>(frames * sizeof(float), list->mBuffers[c].mDataByteSize));
  }
  mSampleTime += frames;
  return noErr;
}

OSStatus HostedUnit::Process(const float* const* inputs, float* const* outputs, UInt32 frames) {
  if (!mConfigured) return kAudio_ParamError;
  for (UInt32 done = 0; done < frames;) {
    const UInt32 n = std::min(mConfig.maxFrames, frames - done);
    for (UInt32 c = 0; c < mConfig.inputChannels; ++c)
      mBlockInputs[c] = inputs != nullptr && inputs[c] != nullptr ? inputs[c] + done : nullptr;
    for (UInt32 c = 0; c < mConfig.outputChannels; ++c) mBlockOutputs[c] = outputs[c] + done;
    const OSStatus status =
        Render(inputs != nullptr ? mBlockInputs.data() : nullptr, mBlockOutputs.data(), n);
    if (status != noErr) return status;
    done += n;
    if (mPump) mPump(static_cast<double>(n) / mConfig.sampleRate);
  }
  return noErr;
}

HostedUnit::Pump HostedUnit::OfflinePump() {
  if (!TovraSdkRunLoopIsManualClock()) TovraSdkRunLoopUseManualClock(0.0);
  // The clock counts whole microseconds; a block rarely lasts a whole number of them (256 frames at
  // 48 kHz: 5333.33 us). Advancing by the rounded total, not by each rounded block, keeps the
  // clock within half a microsecond of the audio however long the render.
  return [audio = 0.0, advanced = 0.0](double seconds) mutable {
    audio += seconds;
    const double target = std::round(audio * 1e6) / 1e6;
    if (TovraSdkRunLoopAdvanceBy(target - advanced) < 0)
      return;  // back on the system clock: real time rules
    advanced = target;
    // Only the main thread runs the main loop; another thread's run would run that thread's loop.
    if (CFRunLoopGetCurrent() == CFRunLoopGetMain())
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.0, false);
  };
}

void HostedUnit::SetTransport(Float64 tempo, bool playing) {
  mConfig.tempo = tempo;
  mConfig.playing = playing;
  mTransportChanged = true;
}

Float64 HostedUnit::CurrentBeat() const noexcept {
  return mSampleTime / mConfig.sampleRate * mConfig.tempo / 60.0;
}

OSStatus HostedUnit::BeatAndTempo(void* userData, Float64* beat, Float64* tempo) noexcept {
  const auto* self = static_cast<const HostedUnit*>(userData);
  if (beat != nullptr) *beat = self->CurrentBeat();
  if (tempo != nullptr) *tempo = self->mConfig.tempo;
  return noErr;
}

OSStatus HostedUnit::MusicalTimeLocation(void* userData, UInt32* deltaSampleOffsetToNextBeat,
                                         Float32* numerator, UInt32* denominator,
                                         Float64* measureDownBeat) noexcept {
  const auto* self = static_cast<const HostedUnit*>(userData);
  const Float64 beat = self->CurrentBeat();
  if (deltaSampleOffsetToNextBeat != nullptr) {
    const Float64 samplesPerBeat = self->mConfig.sampleRate * 60.0 / self->mConfig.tempo;
    const Float64 toNext = (std::ceil(beat) - beat) * samplesPerBeat;
    *deltaSampleOffsetToNextBeat = static_cast<UInt32>(std::lround(toNext));
  }
  if (numerator != nullptr) *numerator = 4.0f;
  if (denominator != nullptr) *denominator = 4;
  if (measureDownBeat != nullptr) *measureDownBeat = std::floor(beat / 4.0) * 4.0;
  return noErr;
}

OSStatus HostedUnit::TransportState(void* userData, Boolean* isPlaying, Boolean* changed,
                                    Float64* sampleInTimeLine, Boolean* isCycling,
                                    Float64* cycleStartBeat, Float64* cycleEndBeat) noexcept {
  return TransportState2(userData, isPlaying, nullptr, changed, sampleInTimeLine, isCycling,
                         cycleStartBeat, cycleEndBeat);
}

OSStatus HostedUnit::TransportState2(void* userData, Boolean* isPlaying, Boolean* isRecording,
                                     Boolean* changed, Float64* sampleInTimeLine,
                                     Boolean* isCycling, Float64* cycleStartBeat,
                                     Float64* cycleEndBeat) noexcept {
  auto* self = static_cast<HostedUnit*>(userData);
  if (isPlaying != nullptr) *isPlaying = self->mConfig.playing;
  if (isRecording != nullptr) *isRecording = false;
  if (changed != nullptr) *changed = self->mTransportChanged;
  self->mTransportChanged = false;
  if (sampleInTimeLine != nullptr) *sampleInTimeLine = self->mSampleTime;
  if (isCycling != nullptr) *isCycling = false;
  if (cycleStartBeat != nullptr) *cycleStartBeat = 0;
  if (cycleEndBeat != nullptr) *cycleEndBeat = 0;
  return noErr;
}

std::vector<AudioUnitParameterID> HostedUnit::ParameterList() const {
  UInt32 size = 0;
  Boolean writable = false;
  if (mUnit == nullptr ||
      AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                               &size, &writable) != noErr)
    return {};
  std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
  if (ids.empty()) return {};
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                           ids.data(), &size) != noErr)
    return {};
  ids.resize(size / sizeof(AudioUnitParameterID));
  return ids;
}

std::optional<ParameterInfo> HostedUnit::GetParameterInfo(AudioUnitParameterID id) const {
  AudioUnitParameterInfo raw{};
  UInt32 size = sizeof raw;
  if (mUnit == nullptr || AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterInfo,
                                               kAudioUnitScope_Global, id, &raw, &size) != noErr)
    return std::nullopt;
  ParameterInfo info;
  info.id = id;
  if ((raw.flags & kAudioUnitParameterFlag_HasCFNameString) != 0 && raw.cfNameString != nullptr) {
    info.name = Utf8(raw.cfNameString);
  } else {
    info.name.assign(raw.name, strnlen(raw.name, sizeof raw.name));
  }
  info.unit = raw.unit;
  if (raw.unit == kAudioUnitParameterUnit_CustomUnit) info.unitName = Utf8(raw.unitName);
  info.minValue = raw.minValue;
  info.maxValue = raw.maxValue;
  info.defaultValue = raw.defaultValue;
  info.flags = raw.flags;
  if ((raw.flags & kAudioUnitParameterFlag_HasClump) != 0) info.clumpID = raw.clumpID;
  // The unit hands the strings over when it says so; otherwise they stay its own.
  if ((raw.flags & kAudioUnitParameterFlag_CFNameRelease) != 0) {
    if ((raw.flags & kAudioUnitParameterFlag_HasCFNameString) != 0) CFRelease(raw.cfNameString);
    if (raw.unit == kAudioUnitParameterUnit_CustomUnit) CFRelease(raw.unitName);
  }
  return info;
}

std::optional<std::vector<std::string>> HostedUnit::ParameterValueStrings(
    AudioUnitParameterID id) const {
  CFArrayRef strings = nullptr;
  UInt32 size = sizeof strings;
  if (mUnit == nullptr ||
      AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global,
                           id, &strings, &size) != noErr ||
      strings == nullptr)
    return std::nullopt;
  CFRef<CFArrayRef> owned(strings);
  std::vector<std::string> texts;
  for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
    texts.push_back(Utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, i))));
  return texts;
}

std::optional<std::string> HostedUnit::ParameterStringFromValue(
    AudioUnitParameterID id, std::optional<AudioUnitParameterValue> value) const {
  AudioUnitParameterValue v = value.value_or(0.0f);
  AudioUnitParameterStringFromValue query{id, value.has_value() ? &v : nullptr, nullptr};
  UInt32 size = sizeof query;
  if (mUnit == nullptr ||
      AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterStringFromValue,
                           kAudioUnitScope_Global, 0, &query, &size) != noErr ||
      query.outString == nullptr)
    return std::nullopt;
  CFRef<CFStringRef> owned(query.outString);
  return Utf8(query.outString);
}

std::optional<AudioUnitParameterValue> HostedUnit::ParameterValueFromString(
    AudioUnitParameterID id, std::string_view text) const {
  CFRef<CFStringRef> string(
      CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                              static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false));
  if (!string || mUnit == nullptr) return std::nullopt;
  AudioUnitParameterValueFromString query{id, string.Get(), 0.0f};
  UInt32 size = sizeof query;
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterValueFromString,
                           kAudioUnitScope_Global, 0, &query, &size) != noErr)
    return std::nullopt;
  return query.outValue;
}

std::optional<AudioUnitParameterValue> HostedUnit::GetParameter(AudioUnitParameterID id) const {
  AudioUnitParameterValue value = 0;
  if (mUnit == nullptr ||
      AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value) != noErr)
    return std::nullopt;
  return value;
}

OSStatus HostedUnit::SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value,
                                  UInt32 bufferOffset) {
  if (mUnit == nullptr) return badComponentInstance;
  return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, bufferOffset);
}

void HostedUnit::EventProc(void* userData, void*, const AudioUnitEvent* event, UInt64,
                           AudioUnitParameterValue value) {
  auto* self = static_cast<HostedUnit*>(userData);
  if (self->mParameterHandler) self->mParameterHandler(*event, value);
}

OSStatus HostedUnit::ListenToParameters(ParameterEventHandler handler) {
  if (mUnit == nullptr) return badComponentInstance;
  mParameterHandler = std::move(handler);
  if (mListener != nullptr) return noErr;
  OSStatus status = AUEventListenerCreate(EventProc, this, CFRunLoopGetCurrent(),
                                          kCFRunLoopDefaultMode, 0.0f, 0.0f, &mListener);
  if (status != noErr) return status;
  for (const AudioUnitParameterID id : ParameterList()) {
    for (const AudioUnitEventType type :
         {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
          kAudioUnitEvent_EndParameterChangeGesture}) {
      AudioUnitEvent event{};
      event.mEventType = type;
      event.mArgument.mParameter = {mUnit, id, kAudioUnitScope_Global, 0};
      status = AUEventListenerAddEventType(mListener, this, &event);
      if (status != noErr) return status;
    }
  }
  return noErr;
}

OSStatus HostedUnit::ListenToPropertyEvents(AudioUnitPropertyID id) {
  if (mUnit == nullptr) return badComponentInstance;
  if (mListener == nullptr) return kAudioUnitErr_Uninitialized;
  AudioUnitEvent event{};
  event.mEventType = kAudioUnitEvent_PropertyChange;
  event.mArgument.mProperty = {mUnit, id, kAudioUnitScope_Global, 0};
  return AUEventListenerAddEventType(mListener, this, &event);
}

void HostedUnit::PropertyProc(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element) {
  auto* listener = static_cast<PropertyListener*>(refCon);
  if (listener->handler) listener->handler(id, scope, element);
}

OSStatus HostedUnit::AddPropertyListener(AudioUnitPropertyID id, PropertyHandler handler) {
  if (mUnit == nullptr) return badComponentInstance;
  PropertyListener& l =
      mPropertyListeners.emplace_back(PropertyListener{this, id, std::move(handler)});
  const OSStatus status = AudioUnitAddPropertyListener(mUnit, id, PropertyProc, &l);
  if (status != noErr) mPropertyListeners.pop_back();
  return status;
}

CFRef<CFPropertyListRef> HostedUnit::SaveClassInfo(OSStatus* status) const {
  CFPropertyListRef classInfo = nullptr;
  UInt32 size = sizeof classInfo;
  OSStatus result = mUnit == nullptr
                        ? static_cast<OSStatus>(badComponentInstance)
                        : AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo,
                                               kAudioUnitScope_Global, 0, &classInfo, &size);
  if (result == noErr && classInfo == nullptr) result = kAudioUnitErr_InvalidPropertyValue;
  if (status != nullptr) *status = result;
  return result == noErr ? CFRef<CFPropertyListRef>(classInfo) : CFRef<CFPropertyListRef>();
}

OSStatus HostedUnit::RestoreClassInfo(CFPropertyListRef classInfo) {
  if (mUnit == nullptr) return badComponentInstance;
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                              &classInfo, sizeof classInfo);
}

std::vector<Preset> HostedUnit::FactoryPresets(OSStatus* status) const {
  CFArrayRef presets = nullptr;
  UInt32 size = sizeof presets;
  OSStatus result = mUnit == nullptr
                        ? static_cast<OSStatus>(badComponentInstance)
                        : AudioUnitGetProperty(mUnit, kAudioUnitProperty_FactoryPresets,
                                               kAudioUnitScope_Global, 0, &presets, &size);
  if (status != nullptr) *status = result;
  if (result != noErr || presets == nullptr) return {};
  CFRef<CFArrayRef> owned(presets);
  std::vector<Preset> list;
  for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i) {
    const auto* p = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
    if (p != nullptr) list.push_back({p->presetNumber, Utf8(p->presetName)});
  }
  return list;
}

std::optional<Preset> HostedUnit::PresentPreset() const {
  AUPreset p{};
  UInt32 size = sizeof p;
  if (mUnit == nullptr || AudioUnitGetProperty(mUnit, kAudioUnitProperty_PresentPreset,
                                               kAudioUnitScope_Global, 0, &p, &size) != noErr)
    return std::nullopt;
  CFRef<CFStringRef> name(p.presetName);  // the caller owns the returned name
  return Preset{p.presetNumber, Utf8(p.presetName)};
}

OSStatus HostedUnit::SelectPreset(SInt32 number) {
  if (mUnit == nullptr) return badComponentInstance;
  CFRef<CFStringRef> name;
  for (const Preset& p : FactoryPresets())
    if (p.number == number)
      name = CFRef<CFStringRef>(
          CFStringCreateWithCString(nullptr, p.name.c_str(), kCFStringEncodingUTF8));
  const AUPreset preset{number, name.Get()};
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0,
                              &preset, sizeof preset);
}

}  // namespace host
