// AudioUnitDispatch.cpp: the AudioUnit* and MusicDevice* calls, dispatched through the instance's
// Lookup.
#include <AudioToolbox/AudioUnit.h>
#include <CoreServices/CoreServices.h>

namespace {

// Calls the method the unit's Lookup gives for selector, with the instance as self. No lock and no
// allocation: AudioUnitRender costs one indirect call more than the unit's own Render.
template <typename Proc, typename... Args>
OSStatus Dispatch(AudioComponentInstance unit, SInt16 selector, Args... args) noexcept {
  auto* plugIn = reinterpret_cast<AudioComponentPlugInInterface*>(unit);
  if (plugIn == nullptr || plugIn->Lookup == nullptr) return badComponentInstance;
  AudioComponentMethod method = plugIn->Lookup(selector);
  if (method == nullptr) return badComponentSelector;
  // Lookup's generic type is variadic; the concrete prototype per selector is Proc. The detour
  // through void(*)() is the sanctioned way to say so to the compiler.
  auto proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(method));
  return proc(plugIn, args...);
}

}  // namespace

extern "C" {

OSStatus AudioUnitInitialize(AudioUnit inUnit) {
  return Dispatch<AudioUnitInitializeProc>(inUnit, kAudioUnitInitializeSelect);
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit) {
  return Dispatch<AudioUnitUninitializeProc>(inUnit, kAudioUnitUninitializeSelect);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                  AudioUnitScope inScope, AudioUnitElement inElement,
                                  UInt32* outDataSize, Boolean* outWritable) {
  return Dispatch<AudioUnitGetPropertyInfoProc>(inUnit, kAudioUnitGetPropertyInfoSelect, inID,
                                                inScope, inElement, outDataSize, outWritable);
}

OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize) {
  return Dispatch<AudioUnitGetPropertyProc>(inUnit, kAudioUnitGetPropertySelect, inID, inScope,
                                            inElement, outData, ioDataSize);
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize) {
  return Dispatch<AudioUnitSetPropertyProc>(inUnit, kAudioUnitSetPropertySelect, inID, inScope,
                                            inElement, inData, inDataSize);
}

OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData) {
  return Dispatch<AudioUnitAddPropertyListenerProc>(inUnit, kAudioUnitAddPropertyListenerSelect,
                                                    inID, inProc, inProcUserData);
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc) {
  return Dispatch<AudioUnitRemovePropertyListenerProc>(
      inUnit, kAudioUnitRemovePropertyListenerSelect, inID, inProc);
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc,
                                                     void* inProcUserData) {
  return Dispatch<AudioUnitRemovePropertyListenerWithUserDataProc>(
      inUnit, kAudioUnitRemovePropertyListenerWithUserDataSelect, inID, inProc, inProcUserData);
}

OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData) {
  return Dispatch<AudioUnitAddRenderNotifyProc>(inUnit, kAudioUnitAddRenderNotifySelect, inProc,
                                                inProcUserData);
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                     void* inProcUserData) {
  return Dispatch<AudioUnitRemoveRenderNotifyProc>(inUnit, kAudioUnitRemoveRenderNotifySelect,
                                                   inProc, inProcUserData);
}

OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue) {
  return Dispatch<AudioUnitGetParameterProc>(inUnit, kAudioUnitGetParameterSelect, inID, inScope,
                                             inElement, outValue);
}

OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames) {
  return Dispatch<AudioUnitSetParameterProc>(inUnit, kAudioUnitSetParameterSelect, inID, inScope,
                                             inElement, inValue, inBufferOffsetInFrames);
}

OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                     const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents) {
  return Dispatch<AudioUnitScheduleParametersProc>(inUnit, kAudioUnitScheduleParametersSelect,
                                                   inParameterEvent, inNumParamEvents);
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData) {
  return Dispatch<AudioUnitRenderProc>(inUnit, kAudioUnitRenderSelect, ioActionFlags, inTimeStamp,
                                       inOutputBusNumber, inNumberFrames, ioData);
}

OSStatus AudioUnitProcess(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                          const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames,
                          AudioBufferList* ioData) {
  return Dispatch<AudioUnitProcessProc>(inUnit, kAudioUnitProcessSelect, ioActionFlags, inTimeStamp,
                                        inNumberFrames, ioData);
}

OSStatus AudioUnitProcessMultiple(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                                  const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames,
                                  UInt32 inNumberInputBufferLists,
                                  const AudioBufferList** inInputBufferLists,
                                  UInt32 inNumberOutputBufferLists,
                                  AudioBufferList** ioOutputBufferLists) {
  return Dispatch<AudioUnitProcessMultipleProc>(
      inUnit, kAudioUnitProcessMultipleSelect, ioActionFlags, inTimeStamp, inNumberFrames,
      inNumberInputBufferLists, inInputBufferLists, inNumberOutputBufferLists, ioOutputBufferLists);
}

OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement) {
  return Dispatch<AudioUnitResetProc>(inUnit, kAudioUnitResetSelect, inScope, inElement);
}

OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus, UInt32 inData1,
                              UInt32 inData2, UInt32 inOffsetSampleFrame) {
  return Dispatch<MusicDeviceMIDIEventProc>(inUnit, kMusicDeviceMIDIEventSelect, inStatus, inData1,
                                            inData2, inOffsetSampleFrame);
}

OSStatus MusicDeviceSysEx(MusicDeviceComponent inUnit, const UInt8* inData, UInt32 inLength) {
  return Dispatch<MusicDeviceSysExProc>(inUnit, kMusicDeviceSysExSelect, inData, inLength);
}

}  // extern "C"
