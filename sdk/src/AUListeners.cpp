// AUListeners.cpp: parameter and event listeners, delivered synchronously on the notifying thread.
#include <AudioToolbox/AudioUnitUtilities.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct Registration {
  void* object;
  AudioUnitEvent event;
  bool removed;
};

}  // namespace

struct AUListenerBase {
  AUEventListenerProc eventProc;      // event listeners
  AUParameterListenerProc paramProc;  // parameter listeners
  void* userData;
  std::vector<Registration> registrations;
  bool disposed;
};

namespace {

// One registry per process. The recursive mutex is held while call-backs run, so a call-back may
// register or dispose, and AUListenerDispose on another thread waits for deliveries in progress.
// Entries removed during a delivery are only marked, and swept when the outermost delivery ends.
struct Registry {
  std::recursive_mutex mutex;
  std::vector<AUListenerBase*> listeners;
  int delivering = 0;

  bool Knows(AUListenerBase* l) const {
    // Membership first: a stranger's pointer is never dereferenced.
    return l != nullptr && std::find(listeners.begin(), listeners.end(), l) != listeners.end() &&
           !l->disposed;
  }

  void Sweep() {
    if (delivering > 0) return;
    for (AUListenerBase* l : listeners) {
      auto& regs = l->registrations;
      regs.erase(
          std::remove_if(regs.begin(), regs.end(), [](const Registration& r) { return r.removed; }),
          regs.end());
    }
    auto dead = std::stable_partition(listeners.begin(), listeners.end(),
                                      [](AUListenerBase* l) { return !l->disposed; });
    for (auto it = dead; it != listeners.end(); ++it) delete *it;
    listeners.erase(dead, listeners.end());
  }
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // lives as long as the process
  return *registry;
}

bool IsParameterEvent(AudioUnitEventType t) {
  return t == kAudioUnitEvent_ParameterValueChange ||
         t == kAudioUnitEvent_BeginParameterChangeGesture ||
         t == kAudioUnitEvent_EndParameterChangeGesture;
}

bool SameEvent(const AudioUnitEvent& a, const AudioUnitEvent& b) {
  if (a.mEventType != b.mEventType) return false;
  if (IsParameterEvent(a.mEventType)) {
    const AudioUnitParameter& p = a.mArgument.mParameter;
    const AudioUnitParameter& q = b.mArgument.mParameter;
    return p.mAudioUnit == q.mAudioUnit && p.mParameterID == q.mParameterID &&
           p.mScope == q.mScope && p.mElement == q.mElement;
  }
  const AudioUnitProperty& p = a.mArgument.mProperty;
  const AudioUnitProperty& q = b.mArgument.mProperty;
  return p.mAudioUnit == q.mAudioUnit && p.mPropertyID == q.mPropertyID && p.mScope == q.mScope &&
         p.mElement == q.mElement;
}

// Does a registration for `wanted` receive `sent`? kAUParameterListener_AnyParameter matches
// every parameter ID.
bool Matches(const AudioUnitEvent& wanted, const AudioUnitEvent& sent) {
  if (wanted.mEventType != sent.mEventType) return false;
  if (!IsParameterEvent(sent.mEventType)) return SameEvent(wanted, sent);
  const AudioUnitParameter& w = wanted.mArgument.mParameter;
  const AudioUnitParameter& s = sent.mArgument.mParameter;
  return w.mAudioUnit == s.mAudioUnit &&
         (w.mParameterID == kAUParameterListener_AnyParameter ||
          w.mParameterID == s.mParameterID) &&
         w.mScope == s.mScope && w.mElement == s.mElement;
}

OSStatus Create(AUEventListenerProc eventProc, AUParameterListenerProc paramProc, void* userData,
                AUListenerBase** out) {
  if (out == nullptr || (eventProc == nullptr && paramProc == nullptr)) return kAudio_ParamError;
  auto* l = new (std::nothrow) AUListenerBase{eventProc, paramProc, userData, {}, false};
  if (l == nullptr) return kAudio_MemFullError;
  Registry& r = TheRegistry();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  r.listeners.push_back(l);
  *out = l;
  return noErr;
}

OSStatus Add(AUListenerBase* l, void* object, const AudioUnitEvent& event) {
  Registry& r = TheRegistry();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  if (!r.Knows(l)) return kAudio_ParamError;
  l->registrations.push_back({object, event, false});
  return noErr;
}

OSStatus Remove(AUListenerBase* l, void* object, const AudioUnitEvent& event) {
  Registry& r = TheRegistry();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  if (!r.Knows(l)) return kAudio_ParamError;
  for (Registration& reg : l->registrations)
    if (!reg.removed && reg.object == object && SameEvent(reg.event, event)) reg.removed = true;
  r.Sweep();
  return noErr;
}

AudioUnitEvent ValueChange(const AudioUnitParameter& p) {
  AudioUnitEvent e{};
  e.mEventType = kAudioUnitEvent_ParameterValueChange;
  e.mArgument.mParameter = p;
  return e;
}

}  // namespace

extern "C" {

OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, CFRunLoopRef,
                          CFStringRef, Float32, AUParameterListenerRef* outListener) {
  return Create(nullptr, inProc, inUserData, outListener);
}

OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef,
                               CFStringRef, Float32, Float32, AUEventListenerRef* outListener) {
  return Create(inProc, nullptr, inUserData, outListener);
}

OSStatus AUListenerDispose(AUParameterListenerRef inListener) {
  Registry& r = TheRegistry();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  if (!r.Knows(inListener)) return kAudio_ParamError;
  inListener->disposed = true;
  r.Sweep();
  return noErr;
}

OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                const AudioUnitParameter* inParameter) {
  if (inParameter == nullptr) return kAudio_ParamError;
  return Add(inListener, inObject, ValueChange(*inParameter));
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter) {
  if (inParameter == nullptr) return kAudio_ParamError;
  return Remove(inListener, inObject, ValueChange(*inParameter));
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                     const AudioUnitEvent* inEvent) {
  if (inEvent == nullptr) return kAudio_ParamError;
  return Add(inListener, inObject, *inEvent);
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                        const AudioUnitEvent* inEvent) {
  if (inEvent == nullptr) return kAudio_ParamError;
  return Remove(inListener, inObject, *inEvent);
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent) {
  if (inEvent == nullptr) return kAudio_ParamError;
  const AudioUnitEvent event = *inEvent;  // the caller's record may change under a call-back
  // The value is read from the unit once, and only when some listener receives the event: a unit
  // nobody listens to is never called.
  AudioUnitParameterValue value = 0;
  bool valueRead = event.mEventType != kAudioUnitEvent_ParameterValueChange;
  auto readValue = [&] {
    if (valueRead) return;
    valueRead = true;
    const AudioUnitParameter& p = event.mArgument.mParameter;
    if (AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value) != noErr)
      value = 0;
  };
  Registry& r = TheRegistry();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  ++r.delivering;
  // Indices, not iterators: call-backs may add listeners or registrations.
  for (size_t i = 0; i < r.listeners.size(); ++i) {
    AUListenerBase* l = r.listeners[i];
    for (size_t j = 0; j < l->registrations.size(); ++j) {
      if (l->disposed) break;
      const Registration reg = l->registrations[j];
      if (reg.removed || !Matches(reg.event, event)) continue;
      if (l == inSendingListener && (inSendingObject == nullptr || inSendingObject == reg.object))
        continue;
      readValue();
      if (l->eventProc != nullptr)
        l->eventProc(l->userData, reg.object, &event, 0, value);
      else if (event.mEventType == kAudioUnitEvent_ParameterValueChange)
        l->paramProc(l->userData, reg.object, &event.mArgument.mParameter, value);
    }
  }
  --r.delivering;
  r.Sweep();
  return noErr;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter) {
  if (inParameter == nullptr) return kAudio_ParamError;
  const AudioUnitEvent event = ValueChange(*inParameter);
  return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
}

OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames) {
  if (inParameter == nullptr) return kAudio_ParamError;
  const OSStatus status =
      AudioUnitSetParameter(inParameter->mAudioUnit, inParameter->mParameterID, inParameter->mScope,
                            inParameter->mElement, inValue, inBufferOffsetInFrames);
  if (status != noErr) return status;
  return AUParameterListenerNotify(inSendingListener, inSendingObject, inParameter);
}

}  // extern "C"
