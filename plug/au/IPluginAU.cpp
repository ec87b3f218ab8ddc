// IPluginAU: selector dispatch, the property tables, parameters, render with input pulling, state.
#include "plug/au/IPluginAU.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "plug/au/CFAUPreset.h"

namespace plug {

namespace {

// A block size beyond this is refused: the scratch areas would be absurdly large.
constexpr UInt32 kMaxBlockSize = 1u << 20;
constexpr OSStatus kFactoryPresetArrayErr = -4960;

std::string ToUtf8(CFStringRef text) {
  if (text == nullptr) return {};
  const CFIndex size =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8) + 1;
  std::string out(static_cast<std::size_t>(std::max<CFIndex>(size, 1)), '\0');
  if (!CFStringGetCString(text, out.data(), size, kCFStringEncodingUTF8)) return {};
  out.resize(std::strlen(out.c_str()));
  return out;
}

CFStringRef MakeCFString(const char* text) {
  return CFStringCreateWithCString(nullptr, text != nullptr ? text : "", kCFStringEncodingUTF8);
}

template <typename T>
T Read(const void* data) {
  T value;
  std::memcpy(&value, data, sizeof(T));
  return value;
}

template <typename T>
void Write(void* data, const T& value) {
  std::memcpy(data, &value, sizeof(T));
}

AudioUnitParameterUnit AUUnit(IParam::EParamUnit unit) {
  switch (unit) {
    case IParam::kUnitPercentage:
      return kAudioUnitParameterUnit_Percent;
    case IParam::kUnitSeconds:
      return kAudioUnitParameterUnit_Seconds;
    case IParam::kUnitMilliseconds:
      return kAudioUnitParameterUnit_Milliseconds;
    case IParam::kUnitSamples:
      return kAudioUnitParameterUnit_SampleFrames;
    case IParam::kUnitDB:
      return kAudioUnitParameterUnit_Decibels;
    case IParam::kUnitLinearGain:
      return kAudioUnitParameterUnit_LinearGain;
    case IParam::kUnitPan:
      return kAudioUnitParameterUnit_Pan;
    case IParam::kUnitPhase:
      return kAudioUnitParameterUnit_Phase;
    case IParam::kUnitDegrees:
      return kAudioUnitParameterUnit_Degrees;
    case IParam::kUnitMeters:
      return kAudioUnitParameterUnit_Meters;
    case IParam::kUnitRate:
      return kAudioUnitParameterUnit_Rate;
    case IParam::kUnitRatio:
      return kAudioUnitParameterUnit_Ratio;
    case IParam::kUnitFrequency:
      return kAudioUnitParameterUnit_Hertz;
    case IParam::kUnitOctaves:
      return kAudioUnitParameterUnit_Octaves;
    case IParam::kUnitCents:
      return kAudioUnitParameterUnit_Cents;
    case IParam::kUnitAbsCents:
      return kAudioUnitParameterUnit_AbsoluteCents;
    case IParam::kUnitSemitones:
      return kAudioUnitParameterUnit_RelativeSemiTones;
    case IParam::kUnitMIDINote:
      return kAudioUnitParameterUnit_MIDINoteNumber;
    case IParam::kUnitMIDICC:
      return kAudioUnitParameterUnit_MIDIController;
    case IParam::kUnitBPM:
      return kAudioUnitParameterUnit_BPM;
    case IParam::kUnitBeats:
      return kAudioUnitParameterUnit_Beats;
    case IParam::kUnitCustom:
      return kAudioUnitParameterUnit_CustomUnit;
  }
  return kAudioUnitParameterUnit_Generic;
}

AudioUnitParameterOptions DisplayFlag(IParam::EDisplayType type) {
  switch (type) {
    case IParam::kDisplayLinear:
      return 0;
    case IParam::kDisplayLog:
      return kAudioUnitParameterFlag_DisplayLogarithmic;
    case IParam::kDisplayExp:
      return kAudioUnitParameterFlag_DisplayExponential;
    case IParam::kDisplaySquared:
      return kAudioUnitParameterFlag_DisplaySquared;
    case IParam::kDisplaySquareRoot:
      return kAudioUnitParameterFlag_DisplaySquareRoot;
    case IParam::kDisplayCubed:
      return kAudioUnitParameterFlag_DisplayCubed;
    case IParam::kDisplayCubeRoot:
      return kAudioUnitParameterFlag_DisplayCubeRoot;
  }
  return 0;
}

// ------------------------------------------------------------------- the methods Lookup gives

OSStatus MethodInitialize(void* self) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->Initialize() : badComponentInstance;
}
OSStatus MethodUninitialize(void* self) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->Uninitialize() : badComponentInstance;
}
OSStatus MethodGetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                               AudioUnitElement element, UInt32* size, Boolean* writable) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->GetPropertyInfo(id, scope, element, size, writable)
                      : badComponentInstance;
}
OSStatus MethodGetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                           AudioUnitElement element, void* data, UInt32* ioSize) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->GetProperty(id, scope, element, data, ioSize) : badComponentInstance;
}
OSStatus MethodSetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                           AudioUnitElement element, const void* data, UInt32 size) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->SetProperty(id, scope, element, data, size) : badComponentInstance;
}
OSStatus MethodGetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                            AudioUnitElement element, AudioUnitParameterValue* value) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->GetParameter(id, scope, element, value) : badComponentInstance;
}
OSStatus MethodSetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                            AudioUnitElement element, AudioUnitParameterValue value,
                            UInt32 bufferOffset) noexcept {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->SetParameter(id, scope, element, value, bufferOffset)
                      : badComponentInstance;
}
OSStatus MethodReset(void* self, AudioUnitScope scope, AudioUnitElement element) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->Reset(scope, element) : badComponentInstance;
}
OSStatus MethodAddPropertyListener(void* self, AudioUnitPropertyID id,
                                   AudioUnitPropertyListenerProc proc, void* userData) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->AddPropertyListener(id, proc, userData) : badComponentInstance;
}
OSStatus MethodRemovePropertyListener(void* self, AudioUnitPropertyID id,
                                      AudioUnitPropertyListenerProc proc) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->RemovePropertyListener(id, proc, nullptr, false) : badComponentInstance;
}
OSStatus MethodRemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id,
                                                  AudioUnitPropertyListenerProc proc,
                                                  void* userData) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->RemovePropertyListener(id, proc, userData, true) : badComponentInstance;
}
OSStatus MethodRender(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* stamp,
                      UInt32 outputBus, UInt32 frames, AudioBufferList* ioData) noexcept {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->Render(flags, stamp, outputBus, frames, ioData) : badComponentInstance;
}
OSStatus MethodAddRenderNotify(void* self, AURenderCallback proc, void* userData) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->AddRenderNotify(proc, userData) : badComponentInstance;
}
OSStatus MethodRemoveRenderNotify(void* self, AURenderCallback proc, void* userData) {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->RemoveRenderNotify(proc, userData) : badComponentInstance;
}
OSStatus MethodScheduleParameters(void* self, const AudioUnitParameterEvent* events,
                                  UInt32 count) noexcept {
  IPluginAU* p = IPluginAU::FromSelf(self);
  return p != nullptr ? p->ScheduleParameters(events, count) : badComponentInstance;
}

template <typename F>
AudioComponentMethod AsMethod(F f) {
  return reinterpret_cast<AudioComponentMethod>(f);
}

}  // namespace

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

// ---------------------------------------------------------------------------- entry machinery

AudioComponentMethod IPluginAU::Lookup(SInt16 selector) {
  switch (selector) {
    case kAudioUnitInitializeSelect:
      return AsMethod(&MethodInitialize);
    case kAudioUnitUninitializeSelect:
      return AsMethod(&MethodUninitialize);
    case kAudioUnitGetPropertyInfoSelect:
      return AsMethod(&MethodGetPropertyInfo);
    case kAudioUnitGetPropertySelect:
      return AsMethod(&MethodGetProperty);
    case kAudioUnitSetPropertySelect:
      return AsMethod(&MethodSetProperty);
    case kAudioUnitGetParameterSelect:
      return AsMethod(&MethodGetParameter);
    case kAudioUnitSetParameterSelect:
      return AsMethod(&MethodSetParameter);
    case kAudioUnitResetSelect:
      return AsMethod(&MethodReset);
    case kAudioUnitAddPropertyListenerSelect:
      return AsMethod(&MethodAddPropertyListener);
    case kAudioUnitRemovePropertyListenerSelect:
      return AsMethod(&MethodRemovePropertyListener);
    case kAudioUnitRenderSelect:
      return AsMethod(&MethodRender);
    case kAudioUnitAddRenderNotifySelect:
      return AsMethod(&MethodAddRenderNotify);
    case kAudioUnitRemoveRenderNotifySelect:
      return AsMethod(&MethodRemoveRenderNotify);
    case kAudioUnitScheduleParametersSelect:
      return AsMethod(&MethodScheduleParameters);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return AsMethod(&MethodRemovePropertyListenerWithUserData);
    default:
      return nullptr;
  }
}

bool IPluginAU::CanDoSelector(SInt16 selector) {
  return selector >= kAudioUnitInitializeSelect && selector <= kAudioUnitScheduleParametersSelect &&
         Lookup(selector) != nullptr;
}

ComponentResult IPluginAU::DispatchLegacy(ComponentParameters* params) {
  if (params == nullptr) return paramErr;
  const long* slots = params->params;
  // Arguments lie in reverse order: of n arguments, argument i is in slot n - 1 - i.
  const auto have = [&](int n) { return params->paramSize >= n * static_cast<int>(sizeof(long)); };
  const auto arg = [&](int i, int n) { return slots[n - 1 - i]; };
  const auto ptr = [&](int i, int n) { return reinterpret_cast<void*>(arg(i, n)); };
  const auto u32 = [&](int i, int n) { return static_cast<UInt32>(arg(i, n)); };
  const auto f32 = [&](int i, int n) {
    float value;
    std::memcpy(&value, &slots[n - 1 - i], sizeof value);  // the value's bits, not a conversion
    return value;
  };
  switch (params->what) {
    case kAudioUnitInitializeSelect:
      return Initialize();
    case kAudioUnitUninitializeSelect:
      return Uninitialize();
    case kAudioUnitGetPropertyInfoSelect:
      if (!have(5)) return paramErr;
      return GetPropertyInfo(u32(0, 5), u32(1, 5), u32(2, 5), static_cast<UInt32*>(ptr(3, 5)),
                             static_cast<Boolean*>(ptr(4, 5)));
    case kAudioUnitGetPropertySelect:
      if (!have(5)) return paramErr;
      return GetProperty(u32(0, 5), u32(1, 5), u32(2, 5), ptr(3, 5),
                         static_cast<UInt32*>(ptr(4, 5)));
    case kAudioUnitSetPropertySelect:
      if (!have(5)) return paramErr;
      return SetProperty(u32(0, 5), u32(1, 5), u32(2, 5), ptr(3, 5), u32(4, 5));
    case kAudioUnitGetParameterSelect:
      if (!have(4)) return paramErr;
      return GetParameter(u32(0, 4), u32(1, 4), u32(2, 4),
                          static_cast<AudioUnitParameterValue*>(ptr(3, 4)));
    case kAudioUnitSetParameterSelect:
      if (!have(5)) return paramErr;
      return SetParameter(u32(0, 5), u32(1, 5), u32(2, 5), f32(3, 5), u32(4, 5));
    case kAudioUnitResetSelect:
      if (!have(2)) return paramErr;
      return Reset(u32(0, 2), u32(1, 2));
    case kAudioUnitAddPropertyListenerSelect:
      if (!have(3)) return paramErr;
      return AddPropertyListener(
          u32(0, 3), reinterpret_cast<AudioUnitPropertyListenerProc>(arg(1, 3)), ptr(2, 3));
    case kAudioUnitRemovePropertyListenerSelect:
      if (!have(2)) return paramErr;
      return RemovePropertyListener(
          u32(0, 2), reinterpret_cast<AudioUnitPropertyListenerProc>(arg(1, 2)), nullptr, false);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      if (!have(3)) return paramErr;
      return RemovePropertyListener(
          u32(0, 3), reinterpret_cast<AudioUnitPropertyListenerProc>(arg(1, 3)), ptr(2, 3), true);
    case kAudioUnitRenderSelect:
      if (!have(5)) return paramErr;
      return Render(static_cast<AudioUnitRenderActionFlags*>(ptr(0, 5)),
                    static_cast<const AudioTimeStamp*>(ptr(1, 5)), u32(2, 5), u32(3, 5),
                    static_cast<AudioBufferList*>(ptr(4, 5)));
    case kAudioUnitAddRenderNotifySelect:
      if (!have(2)) return paramErr;
      return AddRenderNotify(reinterpret_cast<AURenderCallback>(arg(0, 2)), ptr(1, 2));
    case kAudioUnitRemoveRenderNotifySelect:
      if (!have(2)) return paramErr;
      return RemoveRenderNotify(reinterpret_cast<AURenderCallback>(arg(0, 2)), ptr(1, 2));
    case kAudioUnitScheduleParametersSelect:
      if (!have(2)) return paramErr;
      return ScheduleParameters(static_cast<const AudioUnitParameterEvent*>(ptr(0, 2)), u32(1, 2));
    default:
      return badComponentSelector;
  }
}

void* IPluginAU::CreateView(AudioUnit unit, void* parent) {
  void* object = nullptr;
  UInt32 size = sizeof object;
  if (unit == nullptr ||
      AudioUnitGetProperty(unit, kPlugInObjectProperty, kAudioUnitScope_Global, 0, &object,
                           &size) != noErr ||
      object == nullptr) {
    return nullptr;
  }
  auto* plug = static_cast<IPluginAU*>(object);
  return plug->HasUI() ? plug->OpenWindow(parent) : nullptr;
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

// --------------------------------------------------------------------------------- channels

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

// ------------------------------------------------------------------------------ parameters

int IPluginAU::ClumpIDForGroup(const char* group) {
  auto it = std::find(mParamGroups.begin(), mParamGroups.end(), group);
  if (it == mParamGroups.end()) {
    mParamGroups.emplace_back(group);
    it = mParamGroups.end() - 1;
  }
  return static_cast<int>(it - mParamGroups.begin()) + 1;
}

void IPluginAU::FillParameterInfo(int paramIdx, AudioUnitParameterInfo& info) {
  const IParam* param = GetParam(paramIdx);
  info = AudioUnitParameterInfo{};
  std::snprintf(info.name, sizeof info.name, "%s", param->GetName());
  info.cfNameString = MakeCFString(param->GetName());
  info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
               kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
               kAudioUnitParameterFlag_CFNameRelease;
  if (!param->GetCanAutomate()) info.flags |= kAudioUnitParameterFlag_NonRealTime;
  if (param->GetMeta()) info.flags |= kAudioUnitParameterFlag_IsElementMeta;
  if (param->NDisplayTexts() > 0) info.flags |= kAudioUnitParameterFlag_ValuesHaveStrings;
  info.flags |= DisplayFlag(param->GetDisplayType());

  switch (param->Type()) {
    case IParam::kTypeBool:
      info.unit = kAudioUnitParameterUnit_Boolean;
      break;
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
      info.unit = kAudioUnitParameterUnit_Indexed;
      break;
    default: {
      info.unit = AUUnit(param->Unit());
      if (info.unit == kAudioUnitParameterUnit_CustomUnit) {
        const char* label = param->GetLabel();
        if (label[0] != '\0') {
          info.unitName = MakeCFString(label);
        } else {
          info.unit = kAudioUnitParameterUnit_Generic;
        }
      }
    }
  }
  info.minValue = static_cast<AudioUnitParameterValue>(param->GetMin());
  info.maxValue = static_cast<AudioUnitParameterValue>(param->GetMax());
  info.defaultValue = static_cast<AudioUnitParameterValue>(param->GetDefault());
  const char* group = param->GetGroup();
  if (group[0] != '\0') {
    info.flags |= kAudioUnitParameterFlag_HasClump;
    info.clumpID = static_cast<UInt32>(ClumpIDForGroup(group));
  }
}

// ------------------------------------------------------------------------------ properties

OSStatus IPluginAU::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                    AudioUnitElement element, UInt32* size, Boolean* writable) {
  UInt32 dataSize = 0;
  Boolean canWrite = false;
  const OSStatus status = DoGetProperty(id, scope, element, dataSize, canWrite, nullptr);
  if (status != noErr) return status;
  if (size != nullptr) *size = dataSize;
  if (writable != nullptr) *writable = canWrite;
  return noErr;
}

OSStatus IPluginAU::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, void* data, UInt32* ioSize) {
  UInt32 dataSize = 0;
  Boolean canWrite = false;
  OSStatus status = DoGetProperty(id, scope, element, dataSize, canWrite, nullptr);
  if (status != noErr) return status;
  if (data == nullptr || ioSize == nullptr) return kAudio_ParamError;
  // Writing more than the caller's buffer holds would corrupt the host's memory.
  if (*ioSize < dataSize) return kAudioUnitErr_InvalidPropertyValue;
  status = DoGetProperty(id, scope, element, dataSize, canWrite, data);
  if (status == noErr) *ioSize = dataSize;
  return status;
}

OSStatus IPluginAU::DoGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32& size, Boolean& writable,
                                  void* data) {
  const bool global = scope == kAudioUnitScope_Global;
  const int nParams = NParams();
  writable = false;
  switch (id) {
    case kAudioUnitProperty_ClassInfo: {
      size = sizeof(CFPropertyListRef);
      writable = true;
      if (data == nullptr) return noErr;
      CFPropertyListRef plist = nullptr;
      const OSStatus status = GetState(&plist);
      Write(data, plist);
      return status;
    }
    case kAudioUnitProperty_MakeConnection:
      size = sizeof(AudioUnitConnection);
      writable = true;
      return noErr;
    case kAudioUnitProperty_SampleRate:
      size = sizeof(Float64);
      writable = true;
      if (data != nullptr) Write<Float64>(data, GetSampleRate());
      return noErr;
    case kAudioUnitProperty_ParameterList: {
      size = global
                 ? static_cast<UInt32>(sizeof(AudioUnitParameterID)) * static_cast<UInt32>(nParams)
                 : 0;
      if (data != nullptr && global) {
        for (int i = 0; i < nParams; ++i) {
          const auto pid = static_cast<AudioUnitParameterID>(i);
          std::memcpy(static_cast<UInt8*>(data) + sizeof pid * static_cast<std::size_t>(i), &pid,
                      sizeof pid);
        }
      }
      return noErr;
    }
    case kAudioUnitProperty_ParameterInfo: {
      if (!global) return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<UInt32>(nParams)) return kAudioUnitErr_InvalidElement;
      size = sizeof(AudioUnitParameterInfo);
      if (data != nullptr) {
        AudioUnitParameterInfo info;
        FillParameterInfo(static_cast<int>(element), info);
        Write(data, info);
      }
      return noErr;
    }
    case kAudioUnitProperty_FastDispatch:
      return kAudioUnitErr_InvalidElement;
    case kAudioUnitProperty_StreamFormat: {
      const BusChannels* bus = GetBus(scope, element);
      if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) {
        return kAudioUnitErr_InvalidProperty;
      }
      if (bus == nullptr) return kAudioUnitErr_InvalidElement;
      size = sizeof(AudioStreamBasicDescription);
      writable = true;
      if (data != nullptr) {
        AudioStreamBasicDescription format{};
        format.mSampleRate = GetSampleRate();
        format.mFormatID = kAudioFormatLinearPCM;
        format.mFormatFlags = static_cast<AudioFormatFlags>(kAudioFormatFlagsNativeFloatPacked) |
                              static_cast<AudioFormatFlags>(kAudioFormatFlagIsNonInterleaved);
        format.mBytesPerPacket = sizeof(Float32);
        format.mFramesPerPacket = 1;
        format.mBytesPerFrame = sizeof(Float32);
        format.mChannelsPerFrame = static_cast<UInt32>(
            std::max(bus->mNHostChannels < 0 ? bus->mNPlugChannels : bus->mNHostChannels, 0));
        format.mBitsPerChannel = 32;
        Write(data, format);
      }
      return noErr;
    }
    case kAudioUnitProperty_ElementCount: {
      size = sizeof(UInt32);
      if (data != nullptr) {
        UInt32 count = 0;
        if (global) count = 1;
        if (scope == kAudioUnitScope_Input) count = static_cast<UInt32>(mInBuses.size());
        if (scope == kAudioUnitScope_Output) count = static_cast<UInt32>(mOutBuses.size());
        Write(data, count);
      }
      return noErr;
    }
    case kAudioUnitProperty_Latency:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(Float64);
      if (data != nullptr)
        Write<Float64>(data, static_cast<double>(GetLatency()) / GetSampleRate());
      return noErr;
    case kAudioUnitProperty_SupportedNumChannels: {
      if (!global) return kAudioUnitErr_InvalidProperty;
      const int n = NIOConfigs();
      size = static_cast<UInt32>(sizeof(AUChannelInfo)) * static_cast<UInt32>(n);
      if (data != nullptr) {
        for (int c = 0; c < n; ++c) {
          const IOConfig* config = GetIOConfig(c);
          const auto count = [&](ERoute direction) {
            if (config->ContainsWildcard(direction)) return -1;
            int sum = 0;
            for (int b = 0; b < config->NBuses(direction); ++b)
              sum += config->NChansOnBusSAFE(direction, b);
            return sum;
          };
          const AUChannelInfo info{static_cast<SInt16>(count(kInput)),
                                   static_cast<SInt16>(count(kOutput))};
          std::memcpy(static_cast<UInt8*>(data) + sizeof info * static_cast<std::size_t>(c), &info,
                      sizeof info);
        }
      }
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(UInt32);
      writable = true;
      if (data != nullptr) Write<UInt32>(data, static_cast<UInt32>(GetBlockSize()));
      return noErr;
    case kAudioUnitProperty_ParameterValueStrings: {
      if (!global) return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<UInt32>(nParams)) return kAudioUnitErr_InvalidElement;
      const IParam* param = GetParam(static_cast<int>(element));
      const int n = param->NDisplayTexts();
      if (n < 1) return kAudioUnitErr_InvalidProperty;
      size = sizeof(CFArrayRef);
      if (data != nullptr) {
        CFMutableArrayRef strings = CFArrayCreateMutable(nullptr, n, &kCFTypeArrayCallBacks);
        for (int i = 0; i < n; ++i) {
          CFStringRef text = MakeCFString(param->GetDisplayText(static_cast<double>(i)));
          CFArrayAppendValue(strings, text);
          CFRelease(text);
        }
        Write<CFArrayRef>(data, strings);
      }
      return noErr;
    }
    case kAudioUnitProperty_AudioChannelLayout:
      return kAudioUnitErr_InvalidPropertyValue;
    case kAudioUnitProperty_TailTime:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(Float64);
      if (data != nullptr) {
        const Float64 tail = GetTailSize() == INT_MAX
                                 ? std::numeric_limits<Float64>::infinity()
                                 : static_cast<double>(GetTailSize()) / GetSampleRate();
        Write(data, tail);
      }
      return noErr;
    case kAudioUnitProperty_BypassEffect:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(UInt32);
      writable = true;
      if (data != nullptr) Write<UInt32>(data, GetBypassed() ? 1u : 0u);
      return noErr;
    case kAudioUnitProperty_LastRenderError:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(OSStatus);
      if (data != nullptr) Write<OSStatus>(data, noErr);
      return noErr;
    case kAudioUnitProperty_SetRenderCallback:
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
      if (element >= mInBuses.size()) return kAudioUnitErr_InvalidElement;
      size = sizeof(AURenderCallbackStruct);
      writable = true;
      return noErr;
    case kAudioUnitProperty_FactoryPresets: {
      size = sizeof(CFArrayRef);
      if (data == nullptr) return noErr;
      CFArrayCallBacks callBacks;
      CFAUPresetArrayCallBacks_Init(&callBacks);
      CFMutableArrayRef presets = CFArrayCreateMutable(nullptr, NPresets(), &callBacks);
      if (presets == nullptr) return kFactoryPresetArrayErr;
      for (int i = 0; i < NPresets(); ++i) {
        CFStringRef name = MakeCFString(GetPresetName(i));
        CFAUPresetRef record = CFAUPresetCreate(kCFAllocatorDefault, i, name);
        CFRelease(name);
        if (record == nullptr) continue;
        CFArrayAppendValue(presets, record);
        CFAUPresetRelease(record);
      }
      Write<CFArrayRef>(data, presets);
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
      if (!global) return kAudioUnitErr_InvalidProperty;
      size = sizeof(HostCallbackInfo);
      writable = true;
      return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset: {
      size = sizeof(AUPreset);
      writable = true;
      if (data != nullptr) {
        const AUPreset preset{GetCurrentPresetIdx(),
                              MakeCFString(GetPresetName(GetCurrentPresetIdx()))};
        Write(data, preset);
      }
      return noErr;
    }
    case kAudioUnitProperty_ElementName: {
      if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) {
        return kAudioUnitErr_InvalidScope;
      }
      const int nBuses = scope == kAudioUnitScope_Input ? NInputBuses() : NOutputBuses();
      if (element >= static_cast<UInt32>(nBuses)) return kAudioUnitErr_InvalidElement;
      size = sizeof(CFStringRef);
      if (data != nullptr) {
        std::string name;
        GetBusName(scope == kAudioUnitScope_Input ? kInput : kOutput, static_cast<int>(element),
                   nBuses, name);
        Write<CFStringRef>(data, MakeCFString(name.c_str()));
      }
      return noErr;
    }
    case kAudioUnitProperty_CocoaUI: {
      if (!HasUI()) return kAudioUnitErr_InvalidProperty;
      CFStringRef bundleID = MakeCFString(GetBundleID());
      CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
      CFRelease(bundleID);
      if (bundle == nullptr) return kAudioUnitErr_InvalidProperty;
      size = sizeof(AudioUnitCocoaViewInfo);
      if (data != nullptr) {
        AudioUnitCocoaViewInfo info{};
        info.mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
        info.mCocoaAUViewClass[0] = MakeCFString(mCocoaViewFactoryClassName.c_str());
        Write(data, info);
      }
      return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags: {
      const int n = GetChannelLayoutTags(
          scope, static_cast<int>(std::min<UInt32>(element, INT_MAX)), nullptr);
      if (n < 1) return kAudioUnitErr_InvalidProperty;
      size = static_cast<UInt32>(sizeof(AudioChannelLayoutTag)) * static_cast<UInt32>(n);
      if (data != nullptr) {
        std::vector<AudioChannelLayoutTag> tags(static_cast<std::size_t>(n));
        GetChannelLayoutTags(scope, static_cast<int>(element), tags.data());
        std::memcpy(data, tags.data(), size);
      }
      return noErr;
    }
    case kAudioUnitProperty_ParameterStringFromValue: {
      size = sizeof(AudioUnitParameterStringFromValue);
      if (data == nullptr) return noErr;
      auto request = Read<AudioUnitParameterStringFromValue>(data);
      const IParam* param =
          GetParam(static_cast<int>(std::min<UInt32>(request.inParamID, INT_MAX)));
      if (param == nullptr) return kAudioUnitErr_InvalidParameter;
      const double value =
          request.inValue != nullptr ? static_cast<double>(*request.inValue) : param->Value();
      param->GetDisplay(value, false, mParamValueString, true);
      request.outString = MakeCFString(mParamValueString.c_str());
      Write(data, request);
      return noErr;
    }
    case kAudioUnitProperty_ParameterIDName: {
      size = sizeof(AudioUnitParameterIDName);
      if (data == nullptr) return noErr;
      auto request = Read<AudioUnitParameterIDName>(data);
      const IParam* param = GetParam(static_cast<int>(std::min<UInt32>(request.inID, INT_MAX)));
      if (param == nullptr) return kAudioUnitErr_InvalidParameter;
      std::string name = param->GetName();
      if (request.inDesiredLength != kAudioUnitParameterName_Full) {
        // The length counts characters: a cut inside a multi-byte character would leave text
        // that is no UTF-8 at all, and the host would get no name.
        const auto length =
            static_cast<std::size_t>(std::clamp<SInt32>(request.inDesiredLength, 0, 31));
        std::size_t chars = 0;
        for (std::size_t i = 0; i < name.size(); ++i) {
          const bool starts = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
          if (starts && chars++ == length) {
            name.resize(i);
            break;
          }
        }
      }
      request.outName = MakeCFString(name.c_str());
      Write(data, request);
      return noErr;
    }
    case kAudioUnitProperty_ParameterClumpName: {
      size = sizeof(AudioUnitParameterIDName);
      if (data == nullptr) return noErr;
      auto request = Read<AudioUnitParameterIDName>(data);
      if (request.inID == kAudioUnitClumpID_System) return kAudioUnitErr_PropertyNotInUse;
      if (request.inID > mParamGroups.size()) return kAudioUnitErr_InvalidPropertyValue;
      request.outName = MakeCFString(mParamGroups[request.inID - 1].c_str());
      Write(data, request);
      return noErr;
    }
    case kAudioUnitProperty_ParameterValueFromString: {
      size = sizeof(AudioUnitParameterValueFromString);
      if (data == nullptr) return noErr;
      auto request = Read<AudioUnitParameterValueFromString>(data);
      const IParam* param =
          GetParam(static_cast<int>(std::min<UInt32>(request.inParamID, INT_MAX)));
      if (param == nullptr) return kAudioUnitErr_InvalidParameter;
      if (request.inString == nullptr) return kAudioUnitErr_InvalidPropertyValue;
      request.outValue = static_cast<AudioUnitParameterValue>(
          param->StringToValue(ToUtf8(request.inString).c_str()));
      Write(data, request);
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallbackInfo: {
      size = sizeof(CFArrayRef);
      if (data != nullptr) {
        CFStringRef name = MakeCFString("midiOut");
        const void* values[] = {name};
        Write<CFArrayRef>(data, CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks));
        CFRelease(name);
      }
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallback:
      size = sizeof(AUMIDIOutputCallbackStruct);
      writable = true;
      return noErr;
    case kAudioUnitProperty_SupportsMPE:
      size = sizeof(UInt32);
      if (data != nullptr) Write<UInt32>(data, 0u);
      return noErr;
    case kPlugInObjectProperty:
      size = sizeof(void*);
      if (data != nullptr) Write<void*>(data, this);
      return noErr;
    case kMusicDeviceProperty_InstrumentCount:
      if (GetPlugType() != 1) return kAudioUnitErr_InvalidProperty;
      size = sizeof(UInt32);
      if (data != nullptr) Write<UInt32>(data, 1u);
      return noErr;
    default:
      return GetPlugInProperty(id, scope, element, size, writable, data);
  }
}

OSStatus IPluginAU::GetPlugInProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                      UInt32&, Boolean&, void*) {
  return kAudioUnitErr_InvalidProperty;
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

OSStatus IPluginAU::MakeConnection(AudioUnitScope scope, const AudioUnitConnection& connection) {
  if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) {
    return kAudioUnitErr_InvalidProperty;
  }
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

OSStatus IPluginAU::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, const void* data, UInt32 size) {
  NotifyPropertyListeners(id, scope);
  const bool global = scope == kAudioUnitScope_Global;
  // Reading fewer bytes than the property holds would read past the caller's data.
  const auto fits = [&](std::size_t needed) { return data != nullptr && size >= needed; };
  switch (id) {
    case kAudioUnitProperty_ClassInfo:
      if (!fits(sizeof(CFPropertyListRef))) return kAudioUnitErr_InvalidPropertyValue;
      return SetState(Read<CFPropertyListRef>(data));
    case kAudioUnitProperty_MakeConnection:
      if (!fits(sizeof(AudioUnitConnection))) return kAudioUnitErr_InvalidPropertyValue;
      return MakeConnection(scope, Read<AudioUnitConnection>(data));
    case kAudioUnitProperty_SampleRate: {
      if (!fits(sizeof(Float64))) return kAudioUnitErr_InvalidPropertyValue;
      const auto rate = Read<Float64>(data);
      if (!(rate > 0.0) || !std::isfinite(rate)) return kAudioUnitErr_InvalidPropertyValue;
      SetSampleRate(rate);
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
      if (!fits(sizeof(AudioStreamBasicDescription))) return kAudioUnitErr_InvalidPropertyValue;
      return SetStreamFormat(scope, element, Read<AudioStreamBasicDescription>(data));
    case kAudioUnitProperty_MaximumFramesPerSlice: {
      if (!fits(sizeof(UInt32))) return kAudioUnitErr_InvalidPropertyValue;
      const auto frames = Read<UInt32>(data);
      if (frames == 0 || frames > kMaxBlockSize) return kAudioUnitErr_InvalidPropertyValue;
      SetBlockSize(static_cast<int>(frames));
      ResizeScratchBuffers();
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_BypassEffect: {
      if (!fits(sizeof(UInt32))) return kAudioUnitErr_InvalidPropertyValue;
      const bool bypassed = Read<UInt32>(data) != 0;
      SetBypassed(bypassed);
      OnActivate(!bypassed);
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback: {
      if (!fits(sizeof(AURenderCallbackStruct))) return kAudioUnitErr_InvalidPropertyValue;
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
      if (element >= mInBuses.size()) return kAudioUnitErr_InvalidElement;
      InputBusConnection& record = mInBusConnections[element];
      record = InputBusConnection{};
      const auto callback = Read<AURenderCallbackStruct>(data);
      if (callback.inputProc != nullptr) record.mUpstreamRenderCallback = callback;
      AssessInputConnections();
      return noErr;
    }
    case kAudioUnitProperty_ContextName: {
      if (!fits(sizeof(CFStringRef))) return kAudioUnitErr_InvalidPropertyValue;
      mTrackName = ToUtf8(Read<CFStringRef>(data));
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks: {
      if (!global) return kAudioUnitErr_InvalidProperty;
      if (data == nullptr) return kAudioUnitErr_InvalidPropertyValue;
      // Older hosts hand a shorter record: what they leave out stays absent.
      mHostCallbacks = HostCallbackInfo{};
      std::memcpy(&mHostCallbacks, data, std::min<std::size_t>(size, sizeof mHostCallbacks));
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset: {
      if (!fits(sizeof(AUPreset))) return kAudioUnitErr_InvalidPropertyValue;
      RestorePreset(static_cast<int>(Read<AUPreset>(data).presetNumber));
      return noErr;
    }
    case kAudioUnitProperty_OfflineRender:
      if (!fits(sizeof(UInt32))) return kAudioUnitErr_InvalidPropertyValue;
      mOffline = Read<UInt32>(data) != 0;
      return noErr;
    case kAudioUnitProperty_AUHostIdentifier: {
      if (!fits(sizeof(AUHostIdentifier))) return kAudioUnitErr_InvalidPropertyValue;
      if (GetHost() < 0) {
        const auto identifier = Read<AUHostIdentifier>(data);
        const AUNumVersion& v = identifier.hostVersion;
        const int version =
            (v.majorRev << 16) | ((v.minorAndBugRev >> 4) << 8) | (v.minorAndBugRev & 0x0F);
        SetHost(ToUtf8(identifier.hostName).c_str(), version);
      }
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallback:
      if (!fits(sizeof(AUMIDIOutputCallbackStruct))) return kAudioUnitErr_InvalidPropertyValue;
      mMidiCallback = Read<AUMIDIOutputCallbackStruct>(data);
      return noErr;
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

// ----------------------------------------------------------------------------------- render

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

  BusChannels& out = mOutBuses[outputBus];
  const int nBuffers = static_cast<int>(std::min<UInt32>(ioData->mNumberBuffers, INT_MAX));
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
    AudioBuffer& buffer = ioData->mBuffers[b];
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

  int lastConnected = -1;
  for (std::size_t i = 0; i < mOutBuses.size() && mOutBuses[i].mConnected; ++i) {
    lastConnected = static_cast<int>(i);
  }
  if (!midiEffect && static_cast<int>(outputBus) == lastConnected) {
    for (int later = lastConnected + 1; later < NOutputBuses(); ++later) {
      SetChannelConnections(kOutput, 2 * later, 2, false);
    }
    if (GetBypassed()) {
      PassThroughBuffers(0.0f, static_cast<int>(frames));
    } else {
      IMidiMsg msg;
      while (PopMidiMsgFromEditor(msg)) ProcessMidiMsg(msg);
      SysExData sysex;
      while (PopSysExFromEditor(sysex))
        ProcessSysEx(ISysEx{sysex.mOffset, sysex.mData, sysex.mSize});
      UpdateTimeInfo();
      ProcessBuffers(0.0f, static_cast<int>(frames));
    }
  }

  for (const RenderNotify& notify : mRenderNotify) {
    AudioUnitRenderActionFlags post = baseFlags | kAudioUnitRenderAction_PostRender;
    notify.mProc(notify.mUserData, &post, stamp, outputBus, frames, ioData);
  }
  return noErr;
}

// ------------------------------------------------------------------------------------ state

void IPluginAU::PutNumberInDict(CFMutableDictionaryRef dict, const char* key, SInt32 value) {
  CFStringRef cfKey = MakeCFString(key);
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(dict, cfKey, number);
  CFRelease(number);
  CFRelease(cfKey);
}

void IPluginAU::PutStrInDict(CFMutableDictionaryRef dict, const char* key, const char* text) {
  CFStringRef cfKey = MakeCFString(key);
  CFStringRef value = MakeCFString(text);
  CFDictionarySetValue(dict, cfKey, value);
  CFRelease(value);
  CFRelease(cfKey);
}

bool IPluginAU::GetNumberFromDict(CFDictionaryRef dict, const char* key, SInt32& value) {
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFNumberGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  return CFNumberGetValue(static_cast<CFNumberRef>(found), kCFNumberSInt32Type, &value);
}

bool IPluginAU::GetStrFromDict(CFDictionaryRef dict, const char* key, char* text,
                               UInt32 bufferSize) {
  if (text != nullptr && bufferSize > 0) text[0] = '\0';
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFStringGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  if (text != nullptr && bufferSize > 0) {
    const std::string value = ToUtf8(static_cast<CFStringRef>(found));
    std::snprintf(text, bufferSize, "%s", value.c_str());  // a longer name is cut
  }
  return true;
}

bool IPluginAU::GetDataFromDict(CFDictionaryRef dict, const char* key, IByteChunk& chunk) {
  CFStringRef cfKey = MakeCFString(key);
  const void* found = nullptr;
  const bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &found) && found != nullptr &&
                       CFGetTypeID(found) == CFDataGetTypeID();
  CFRelease(cfKey);
  if (!present) return false;
  const auto data = static_cast<CFDataRef>(found);
  const CFIndex length = CFDataGetLength(data);
  if (length > INT_MAX) return false;
  chunk.Resize(static_cast<int>(length));
  if (length > 0)
    std::memcpy(chunk.GetData(), CFDataGetBytePtr(data), static_cast<std::size_t>(length));
  return true;
}

OSStatus IPluginAU::GetState(CFPropertyListRef* out) {
  if (out == nullptr) return kAudio_ParamError;
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumberInDict(dict, kAUPresetVersionKey, GetPluginVersion(false));
  PutNumberInDict(dict, kAUPresetTypeKey, static_cast<SInt32>(GetAUPluginType()));
  PutNumberInDict(dict, kAUPresetSubtypeKey, static_cast<SInt32>(GetUniqueID()));
  PutNumberInDict(dict, kAUPresetManufacturerKey, static_cast<SInt32>(GetMfrID()));
  PutStrInDict(dict, kAUPresetNameKey, GetPresetName(GetCurrentPresetIdx()));
  IByteChunk chunk;
  if (SerializeState(chunk)) {
    CFDataRef data = CFDataCreate(nullptr, chunk.GetData(), chunk.Size());
    CFStringRef key = MakeCFString(kAUPresetDataKey);
    CFDictionarySetValue(dict, key, data);
    CFRelease(key);
    CFRelease(data);
  }
  *out = dict;
  return noErr;
}

OSStatus IPluginAU::SetState(CFPropertyListRef plist) {
  if (plist == nullptr || CFGetTypeID(plist) != CFDictionaryGetTypeID()) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  const auto dict = static_cast<CFDictionaryRef>(plist);
  SInt32 version = 0;
  SInt32 type = 0;
  SInt32 subtype = 0;
  SInt32 manufacturer = 0;
  if (!GetNumberFromDict(dict, kAUPresetVersionKey, version) ||
      !GetNumberFromDict(dict, kAUPresetTypeKey, type) ||
      !GetNumberFromDict(dict, kAUPresetSubtypeKey, subtype) ||
      !GetNumberFromDict(dict, kAUPresetManufacturerKey, manufacturer)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  char name[kMaxClassInfoNameBytes + 1];
  if (!GetStrFromDict(dict, kAUPresetNameKey, name, sizeof name)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  if (static_cast<UInt32>(type) != GetAUPluginType() ||
      static_cast<UInt32>(subtype) != GetUniqueID() ||
      static_cast<UInt32>(manufacturer) != GetMfrID()) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  RestorePreset(name);
  IByteChunk chunk;
  if (!GetDataFromDict(dict, kAUPresetDataKey, chunk)) return kAudioUnitErr_InvalidPropertyValue;
  // A negative position is a chunk shorter than the parameter block: a damaged state that must
  // not be reported as restored (the parameters that fitted stay applied, as on every failure).
  const int pos = UnserializeState(chunk, 0);
  if (pos == 0) return kAudioUnitErr_InvalidPropertyValue;
  OnRestoreState();
  return pos > 0 ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidPropertyValue};
}

}  // namespace plug
