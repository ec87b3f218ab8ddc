// FakeUnit.cpp: the fake unit's methods; each logs its name and arguments.
#include "tests/sdk/FakeUnit.h"

#include <string>

namespace sdktest {
namespace {

FakeUnit* Self(void* self) {
  return reinterpret_cast<FakeUnit*>(self);
}
void Log(void* self, std::string text) {
  Self(self)->calls.push_back(std::move(text));
}
std::string N(unsigned long v) {
  return std::to_string(v);
}

OSStatus Initialize(void* self) {
  return Log(self, "Initialize"), noErr;
}
OSStatus Uninitialize(void* self) {
  return Log(self, "Uninitialize"), noErr;
}
OSStatus GetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                         AudioUnitElement element, UInt32* size, Boolean* writable) {
  Log(self, "GetPropertyInfo " + N(id) + " " + N(scope) + " " + N(element));
  if (size != nullptr) *size = 8;
  if (writable != nullptr) *writable = true;
  return noErr;
}
OSStatus GetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                     AudioUnitElement element, void* data, UInt32* size) {
  Log(self, "GetProperty " + N(id) + " " + N(scope) + " " + N(element) + " " +
                N(size != nullptr ? *size : 0));
  if (data != nullptr && size != nullptr && *size >= sizeof(Float64))
    *static_cast<Float64*>(data) = 44100.0;
  return noErr;
}
OSStatus SetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope,
                     AudioUnitElement element, const void*, UInt32 size) {
  Log(self, "SetProperty " + N(id) + " " + N(scope) + " " + N(element) + " " + N(size));
  return id == 9999 ? static_cast<OSStatus>(kAudioUnitErr_InvalidProperty) : noErr;
}
OSStatus GetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                      AudioUnitElement element, AudioUnitParameterValue* value) {
  Log(self, "GetParameter " + N(id) + " " + N(scope) + " " + N(element));
  if (id >= 4 || scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidParameter;
  *value = Self(self)->parameters[id];
  return noErr;
}
OSStatus SetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope,
                      AudioUnitElement element, AudioUnitParameterValue value, UInt32 offset) {
  Log(self, "SetParameter " + N(id) + " " + N(scope) + " " + N(element) + " " + N(offset));
  if (id >= 4 || scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidParameter;
  Self(self)->parameters[id] = value;
  return noErr;
}
OSStatus Reset(void* self, AudioUnitScope scope, AudioUnitElement element) {
  return Log(self, "Reset " + N(scope) + " " + N(element)), noErr;
}
OSStatus AddPropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc,
                             void*) {
  return Log(self, "AddPropertyListener " + N(id)), noErr;
}
OSStatus RemovePropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc) {
  return Log(self, "RemovePropertyListener " + N(id)), noErr;
}
OSStatus RemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id,
                                            AudioUnitPropertyListenerProc, void*) {
  return Log(self, "RemovePropertyListenerWithUserData " + N(id)), noErr;
}
OSStatus AddRenderNotify(void* self, AURenderCallback, void*) {
  return Log(self, "AddRenderNotify"), noErr;
}
OSStatus RemoveRenderNotify(void* self, AURenderCallback, void*) {
  return Log(self, "RemoveRenderNotify"), noErr;
}
OSStatus ScheduleParameters(void* self, const AudioUnitParameterEvent*, UInt32 n) {
  return Log(self, "ScheduleParameters " + N(n)), noErr;
}
OSStatus Render(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp* stamp, UInt32 bus,
                UInt32 frames, AudioBufferList*) {
  Log(self, "Render " + N(bus) + " " + N(frames) + " " +
                N(static_cast<unsigned long>(stamp->mSampleTime)));
  return noErr;
}
OSStatus Process(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 frames,
                 AudioBufferList*) {
  return Log(self, "Process " + N(frames)), noErr;
}
OSStatus MIDIEvent(void* self, UInt32 status, UInt32 d1, UInt32 d2, UInt32 offset) {
  return Log(self, "MIDIEvent " + N(status) + " " + N(d1) + " " + N(d2) + " " + N(offset)), noErr;
}

template <typename F>
AudioComponentMethod M(F f) {
  return reinterpret_cast<AudioComponentMethod>(reinterpret_cast<void (*)()>(f));
}

AudioComponentMethod Lookup(SInt16 selector) {
  switch (selector) {
    case kAudioUnitInitializeSelect:
      return M(Initialize);
    case kAudioUnitUninitializeSelect:
      return M(Uninitialize);
    case kAudioUnitGetPropertyInfoSelect:
      return M(GetPropertyInfo);
    case kAudioUnitGetPropertySelect:
      return M(GetProperty);
    case kAudioUnitSetPropertySelect:
      return M(SetProperty);
    case kAudioUnitGetParameterSelect:
      return M(GetParameter);
    case kAudioUnitSetParameterSelect:
      return M(SetParameter);
    case kAudioUnitResetSelect:
      return M(Reset);
    case kAudioUnitAddPropertyListenerSelect:
      return M(AddPropertyListener);
    case kAudioUnitRemovePropertyListenerSelect:
      return M(RemovePropertyListener);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return M(RemovePropertyListenerWithUserData);
    case kAudioUnitAddRenderNotifySelect:
      return M(AddRenderNotify);
    case kAudioUnitRemoveRenderNotifySelect:
      return M(RemoveRenderNotify);
    case kAudioUnitScheduleParametersSelect:
      return M(ScheduleParameters);
    case kAudioUnitRenderSelect:
      return M(Render);
    case kAudioUnitProcessSelect:
      return M(Process);
    case kMusicDeviceMIDIEventSelect:
      return M(MIDIEvent);
    default:
      return nullptr;
  }
}

OSStatus Open(void*, AudioComponentInstance) {
  return noErr;
}
OSStatus Close(void*) {
  return noErr;
}

}  // namespace

FakeUnit::FakeUnit() : plugIn{Open, Close, Lookup, nullptr} {}

}  // namespace sdktest
