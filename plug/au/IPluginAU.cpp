// IPluginAU: construction, the component's lifecycle methods, parameters, listeners and host
// notification. Dispatch, properties, render and state live beside it (IPluginAU*.cpp).
#include "plug/au/IPluginAU.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "plug/au/AUValues.h"

namespace plug {

using namespace auvalues;

// ------------------------------------------------------------------------------ construction

const char* IPluginAU::AUInputTypeStr(int type) {
  switch (type) {
    case kNotConnected:
      return "NotConnected";
    case kDirectFastProc:
      return "DirectFastProc";
    case kDirectNoFastProc:
      return "DirectNoFastProc";
    case kRenderCallback:
      return "RenderCallback";
    default:
      return "";
  }
}

IPluginAU::IPluginAU(const Config& config, const InstanceInfo& info)
    : IPluginAPIBase(config, kAPIAU),
      IPluginProcessor(config),
      mCocoaViewFactoryClassName(info.mCocoaViewFactoryClassName) {
  for (ERoute direction : {kInput, kOutput}) {
    std::vector<BusChannels>& buses = direction == kInput ? mInBuses : mOutBuses;
    const int nBuses = MaxNBuses(direction);
    int start = 0;
    for (int i = 0; i < nBuses; ++i) {
      BusChannels bus;
      bus.mNPlugChannels = std::max(MaxNChannelsForBus(direction, i), 0);
      bus.mPlugChannelStartIdx = start;
      start += bus.mNPlugChannels;
      buses.push_back(bus);
    }
  }
  mInBusConnections.assign(mInBuses.size(), InputBusConnection{});
  AssessInputConnections();
  SetBlockSize(kDefaultBlockSize);
  ResizeScratchBuffers();
  InitLatencyDelay();
  const int maxChans = std::max(MaxNChannels(kInput), MaxNChannels(kOutput));
  mBufferPtrs.assign(static_cast<std::size_t>(std::max(maxChans, 1)), nullptr);
  mInputListStorage.assign(
      offsetof(AudioBufferList, mBuffers) +
          sizeof(AudioBuffer) * static_cast<std::size_t>(std::max(MaxNChannels(kInput), 1)),
      0);
}

IPluginAU::~IPluginAU() = default;

void IPluginAU::ResizeScratchBuffers() {
  const auto block = static_cast<std::size_t>(GetBlockSize());
  mInScratch.assign(static_cast<std::size_t>(MaxNChannels(kInput)) * block, 0.0f);
  mOutScratch.assign(static_cast<std::size_t>(MaxNChannels(kOutput)) * block, 0.0f);
}

// ------------------------------------------------------------------------------------ methods

OSStatus IPluginAU::Initialize() {
  if (GetHost() < 0) {
    std::string name;
    int version = 0;
    CFBundleRef mainBundle = CFBundleGetMainBundle();
    const CFStringRef identifier =
        mainBundle != nullptr ? CFBundleGetIdentifier(mainBundle) : nullptr;
    if (identifier != nullptr) {
      name = ToUtf8(identifier);
      const CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(mainBundle, kCFBundleVersionKey);
      if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()) {
        int major = 0;
        int minor = 0;
        int patch = 0;
        std::sscanf(ToUtf8(static_cast<CFStringRef>(value)).c_str(), "%d.%d.%d", &major, &minor,
                    &patch);
        version = (major << 16) | ((minor & 0xFF) << 8) | (patch & 0xFF);
      }
    }
    SetHost(name.c_str(), version);
  }
  const int nIn = NHostChannelsConnected(mInBuses);
  const int nOut = NHostChannelsConnected(mOutBuses);
  if (!(nIn == 0 && nOut == 0) && !LegalIO(nIn, nOut)) return badComponentInstance;
  mActive = true;
  OnParamReset(kReset);
  OnActivate(true);
  return noErr;
}

OSStatus IPluginAU::Uninitialize() {
  mActive = false;
  OnActivate(false);
  return noErr;
}

OSStatus IPluginAU::Reset(AudioUnitScope, AudioUnitElement) {
  OnReset();
  return noErr;
}

OSStatus IPluginAU::GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue* value) {
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  const IParam* param = GetParam(static_cast<int>(std::min<UInt32>(id, INT_MAX)));
  if (param == nullptr) return kAudioUnitErr_InvalidParameter;
  if (value == nullptr) return kAudio_ParamError;
  *value = static_cast<AudioUnitParameterValue>(param->Value());
  return noErr;
}

OSStatus IPluginAU::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue value, UInt32 bufferOffset) noexcept {
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  const int idx = static_cast<int>(std::min<UInt32>(id, INT_MAX));
  IParam* param = GetParam(idx);
  if (param == nullptr) return kAudioUnitErr_InvalidParameter;
  param->Set(static_cast<double>(value));
  SendParameterValueFromAPI(idx, static_cast<double>(value), false);
  OnParamChange(idx, kHost, static_cast<int>(std::min<UInt32>(bufferOffset, INT_MAX)));
  return noErr;
}

OSStatus IPluginAU::ScheduleParameters(const AudioUnitParameterEvent* events,
                                       UInt32 count) noexcept {
  if (events == nullptr && count > 0) return kAudio_ParamError;
  for (UInt32 i = 0; i < count; ++i) {
    const AudioUnitParameterEvent& event = events[i];
    if (event.eventType != kParameterEvent_Immediate) continue;
    if (event.scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
    const OSStatus status =
        SetParameter(event.parameter, event.scope, event.element, event.eventValues.immediate.value,
                     event.eventValues.immediate.bufferOffset);
    if (status != noErr) return status;
  }
  return noErr;
}

OSStatus IPluginAU::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                        void* userData) {
  if (proc == nullptr) return kAudio_ParamError;
  mPropertyListeners.push_back({id, proc, userData});
  return noErr;
}

OSStatus IPluginAU::RemovePropertyListener(AudioUnitPropertyID id,
                                           AudioUnitPropertyListenerProc proc, void* userData,
                                           bool matchUserData) {
  std::erase_if(mPropertyListeners, [&](const PropertyListener& l) {
    return l.mID == id && l.mProc == proc && (!matchUserData || l.mUserData == userData);
  });
  return noErr;
}

OSStatus IPluginAU::AddRenderNotify(AURenderCallback proc, void* userData) {
  if (proc == nullptr) return kAudio_ParamError;
  mRenderNotify.push_back({proc, userData});
  return noErr;
}

OSStatus IPluginAU::RemoveRenderNotify(AURenderCallback proc, void* userData) {
  std::erase_if(mRenderNotify,
                [&](const RenderNotify& n) { return n.mProc == proc && n.mUserData == userData; });
  return noErr;
}

// ------------------------------------------------------------------------ host notification

void IPluginAU::SendParamEvent(AudioUnitEventType type, int paramIdx) {
  AudioUnitEvent event{};
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mInstance;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPluginAU::BeginInformHostOfParamChange(int paramIdx) {
  SendParamEvent(kAudioUnitEvent_BeginParameterChangeGesture, paramIdx);
}

void IPluginAU::InformHostOfParamChange(int paramIdx, double) {
  SendParamEvent(kAudioUnitEvent_ParameterValueChange, paramIdx);
}

void IPluginAU::EndInformHostOfParamChange(int paramIdx) {
  SendParamEvent(kAudioUnitEvent_EndParameterChangeGesture, paramIdx);
}

void IPluginAU::NotifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope) {
  // A listener may add or remove listeners: walk a copy.
  const std::vector<PropertyListener> listeners = mPropertyListeners;
  for (const PropertyListener& l : listeners) {
    if (l.mID == id) l.mProc(l.mUserData, mInstance, id, scope, 0);
  }
}

void IPluginAU::InformHostOfPresetChange() {
  NotifyPropertyListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void IPluginAU::InformHostOfParameterDetailsChange() {
  NotifyPropertyListeners(kAudioUnitProperty_ParameterList, kAudioUnitScope_Global);
  NotifyPropertyListeners(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global);
}

void IPluginAU::SetLatency(int samples) {
  NotifyPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  IPluginProcessor::SetLatency(samples);
}

bool IPluginAU::SendMidiMsg(const IMidiMsg&) noexcept {
  return false;
}

bool IPluginAU::SendSysEx(const ISysEx&) noexcept {
  return false;
}

}  // namespace plug
