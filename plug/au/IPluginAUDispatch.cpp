// IPluginAU's component entry: the methods Lookup hands the host, the legacy selector dispatch
// and the view factory's look-up of the plug-in object.
#include <cstring>

#include "plug/au/IPluginAU.h"

namespace plug {

namespace {

// Each method finds the plug-in object through the instance block the host passes as self; a
// block whose Open has not finished answers badComponentInstance.
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

}  // namespace plug
