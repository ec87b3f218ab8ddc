// IPluginAU's GetPropertyInfo, GetProperty and SetProperty, which walk the property table
// (IPluginAUPropertyTable.cpp), and the handlers of its session, format, bus, preset and view
// properties.
#include "plug/au/IPluginAUProperties.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "plug/au/AUValues.h"
#include "plug/au/CFAUPreset.h"

namespace plug {

using namespace auvalues;

namespace {

// A block size beyond this is refused: the scratch areas would be absurdly large.
constexpr UInt32 kMaxBlockSize = 1u << 20;
constexpr OSStatus kFactoryPresetArrayErr = -4960;

}  // namespace

// ---------------------------------------------------------------------- reading and writing

OSStatus IPluginAU::ReadProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, UInt32& size, Boolean& writable,
                                 void* data) {
  const Properties::Row* row = Properties::Find(id);
  if (row == nullptr || row->mReadScopes == Properties::kNoScope) {
    return GetPlugInProperty(id, scope, element, size, writable, data);
  }
  if (!Properties::Takes(row->mReadScopes, scope)) return row->mScopeError;
  UInt32 rowSize = row->mSize;
  if (row->mCheck != nullptr) {
    const OSStatus status = row->mCheck(*this, scope, element, rowSize);
    if (status != noErr) return status;
  }
  size = rowSize;
  writable = row->mSet != nullptr;
  if (data == nullptr || row->mGet == nullptr) return noErr;
  return row->mGet(*this, scope, element, data);
}

OSStatus IPluginAU::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                    AudioUnitElement element, UInt32* size, Boolean* writable) {
  UInt32 dataSize = 0;
  Boolean canWrite = false;
  const OSStatus status = ReadProperty(id, scope, element, dataSize, canWrite, nullptr);
  if (status != noErr) return status;
  if (size != nullptr) *size = dataSize;
  if (writable != nullptr) *writable = canWrite;
  return noErr;
}

OSStatus IPluginAU::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, void* data, UInt32* ioSize) {
  UInt32 dataSize = 0;
  Boolean canWrite = false;
  OSStatus status = ReadProperty(id, scope, element, dataSize, canWrite, nullptr);
  if (status != noErr) return status;
  if (data == nullptr || ioSize == nullptr) return kAudio_ParamError;
  // Writing more than the caller's buffer holds would corrupt the host's memory.
  if (*ioSize < dataSize) return kAudioUnitErr_InvalidPropertyValue;
  status = ReadProperty(id, scope, element, dataSize, canWrite, data);
  if (status == noErr) *ioSize = dataSize;
  return status;
}

OSStatus IPluginAU::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, const void* data, UInt32 size) {
  NotifyPropertyListeners(id, scope);
  const Properties::Row* row = Properties::Find(id);
  if (row == nullptr || row->mSet == nullptr) return kAudioUnitErr_InvalidProperty;
  // Reading fewer bytes than the property holds would read past the caller's data.
  if (!row->mTakesShorter && (data == nullptr || size < row->mSize)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  if (!Properties::Takes(row->mWriteScopes, scope)) return kAudioUnitErr_InvalidProperty;
  return row->mSet(*this, scope, element, data, size);
}

OSStatus IPluginAU::GetPlugInProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                      UInt32&, Boolean&, void*) {
  return kAudioUnitErr_InvalidProperty;
}

// ------------------------------------------------------------------------ session and format

OSStatus IPluginAU::Properties::GetClassInfo(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             void* data) {
  CFPropertyListRef plist = nullptr;
  const OSStatus status = plug.GetState(&plist);
  Write(data, plist);
  return status;
}

OSStatus IPluginAU::Properties::SetClassInfo(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             const void* data, UInt32) {
  return plug.SetState(Read<CFPropertyListRef>(data));
}

OSStatus IPluginAU::Properties::SetMakeConnection(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                  const void* data, UInt32) {
  return plug.MakeConnection(Read<AudioUnitConnection>(data));
}

OSStatus IPluginAU::Properties::GetSampleRate(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                              void* data) {
  Write<Float64>(data, plug.GetSampleRate());
  return noErr;
}

OSStatus IPluginAU::Properties::SetSampleRate(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                              const void* data, UInt32) {
  const auto rate = Read<Float64>(data);
  if (!(rate > 0.0) || !std::isfinite(rate)) return kAudioUnitErr_InvalidPropertyValue;
  plug.SetSampleRate(rate);
  plug.OnReset();
  return noErr;
}

// Renders through the dispatch, never a fast path: a host must not call Render around it.
OSStatus IPluginAU::Properties::NoFastDispatch(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                               UInt32&) {
  return kAudioUnitErr_InvalidElement;
}

OSStatus IPluginAU::Properties::CheckBus(IPluginAU& plug, AudioUnitScope scope,
                                         AudioUnitElement element, UInt32&) {
  return plug.GetBus(scope, element) != nullptr ? OSStatus{noErr}
                                                : OSStatus{kAudioUnitErr_InvalidElement};
}

OSStatus IPluginAU::Properties::GetStreamFormat(IPluginAU& plug, AudioUnitScope scope,
                                                AudioUnitElement element, void* data) {
  const BusChannels* bus = plug.GetBus(scope, element);
  AudioStreamBasicDescription format{};
  format.mSampleRate = plug.GetSampleRate();
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
  return noErr;
}

OSStatus IPluginAU::Properties::SetStreamFormat(IPluginAU& plug, AudioUnitScope scope,
                                                AudioUnitElement element, const void* data,
                                                UInt32) {
  return plug.SetStreamFormat(scope, element, Read<AudioStreamBasicDescription>(data));
}

OSStatus IPluginAU::Properties::GetElementCount(IPluginAU& plug, AudioUnitScope scope,
                                                AudioUnitElement, void* data) {
  UInt32 count = 0;
  if (scope == kAudioUnitScope_Global) count = 1;
  if (scope == kAudioUnitScope_Input) count = static_cast<UInt32>(plug.mInBuses.size());
  if (scope == kAudioUnitScope_Output) count = static_cast<UInt32>(plug.mOutBuses.size());
  Write(data, count);
  return noErr;
}

OSStatus IPluginAU::Properties::GetLatency(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                           void* data) {
  Write<Float64>(data, static_cast<double>(plug.GetLatency()) / plug.GetSampleRate());
  return noErr;
}

OSStatus IPluginAU::Properties::CheckNumChannels(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                 UInt32& size) {
  size = static_cast<UInt32>(sizeof(AUChannelInfo)) * static_cast<UInt32>(plug.NIOConfigs());
  return noErr;
}

// Each count is the sum of the configuration's buses, or -1 when a bus takes any count.
OSStatus IPluginAU::Properties::GetNumChannels(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                               void* data) {
  for (int c = 0; c < plug.NIOConfigs(); ++c) {
    const IOConfig* config = plug.GetIOConfig(c);
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
  return noErr;
}

OSStatus IPluginAU::Properties::GetMaxFrames(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             void* data) {
  Write<UInt32>(data, static_cast<UInt32>(plug.GetBlockSize()));
  return noErr;
}

OSStatus IPluginAU::Properties::SetMaxFrames(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             const void* data, UInt32) {
  const auto frames = Read<UInt32>(data);
  if (frames == 0 || frames > kMaxBlockSize) return kAudioUnitErr_InvalidPropertyValue;
  plug.SetBlockSize(static_cast<int>(frames));
  plug.ResizeScratchBuffers();
  plug.OnReset();
  return noErr;
}

// The buses carry no layout of their own; hosts fall back to the layout tags.
OSStatus IPluginAU::Properties::NoChannelLayout(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                                UInt32&) {
  return kAudioUnitErr_InvalidPropertyValue;
}

OSStatus IPluginAU::Properties::GetTailTime(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                            void* data) {
  const Float64 tail = plug.GetTailSize() == INT_MAX
                           ? std::numeric_limits<Float64>::infinity()
                           : static_cast<double>(plug.GetTailSize()) / plug.GetSampleRate();
  Write(data, tail);
  return noErr;
}

OSStatus IPluginAU::Properties::GetBypass(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                          void* data) {
  Write<UInt32>(data, plug.GetBypassed() ? 1u : 0u);
  return noErr;
}

OSStatus IPluginAU::Properties::SetBypass(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                          const void* data, UInt32) {
  const bool bypassed = Read<UInt32>(data) != 0;
  plug.SetBypassed(bypassed);
  plug.OnActivate(!bypassed);
  plug.OnReset();
  return noErr;
}

OSStatus IPluginAU::Properties::GetLastRenderError(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                                   void* data) {
  Write<OSStatus>(data, noErr);
  return noErr;
}

OSStatus IPluginAU::Properties::CheckInputBus(IPluginAU& plug, AudioUnitScope,
                                              AudioUnitElement element, UInt32&) {
  return element < plug.mInBuses.size() ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidElement};
}

OSStatus IPluginAU::Properties::SetRenderCallback(IPluginAU& plug, AudioUnitScope,
                                                  AudioUnitElement element, const void* data,
                                                  UInt32) {
  if (element >= plug.mInBuses.size()) return kAudioUnitErr_InvalidElement;
  InputBusConnection& record = plug.mInBusConnections[element];
  record = InputBusConnection{};
  const auto callback = Read<AURenderCallbackStruct>(data);
  if (callback.inputProc != nullptr) record.mUpstreamRenderCallback = callback;
  plug.AssessInputConnections();
  return noErr;
}

OSStatus IPluginAU::Properties::SetHostCallbacks(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                 const void* data, UInt32 size) {
  if (data == nullptr) return kAudioUnitErr_InvalidPropertyValue;
  // What an older host's shorter record leaves out stays absent.
  plug.mHostCallbacks = HostCallbackInfo{};
  std::memcpy(&plug.mHostCallbacks, data, std::min<std::size_t>(size, sizeof plug.mHostCallbacks));
  return noErr;
}

OSStatus IPluginAU::Properties::SetContextName(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                               const void* data, UInt32) {
  plug.mTrackName = ToUtf8(Read<CFStringRef>(data));
  return noErr;
}

OSStatus IPluginAU::Properties::SetOfflineRender(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                 const void* data, UInt32) {
  plug.mOffline = Read<UInt32>(data) != 0;
  return noErr;
}

// Only the first identification counts: Initialize identifies the host too when it was not told.
OSStatus IPluginAU::Properties::SetHostIdentifier(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                  const void* data, UInt32) {
  if (plug.GetHost() < 0) {
    const auto identifier = Read<AUHostIdentifier>(data);
    const AUNumVersion& v = identifier.hostVersion;
    const int version =
        (v.majorRev << 16) | ((v.minorAndBugRev >> 4) << 8) | (v.minorAndBugRev & 0x0F);
    plug.SetHost(ToUtf8(identifier.hostName).c_str(), version);
  }
  return noErr;
}

// ------------------------------------------------------------------------- presets and buses

OSStatus IPluginAU::Properties::GetFactoryPresets(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                  void* data) {
  CFArrayCallBacks callBacks;
  CFAUPresetArrayCallBacks_Init(&callBacks);
  CFMutableArrayRef presets = CFArrayCreateMutable(nullptr, plug.NPresets(), &callBacks);
  if (presets == nullptr) return kFactoryPresetArrayErr;
  for (int i = 0; i < plug.NPresets(); ++i) {
    CFStringRef name = MakeCFString(plug.GetPresetName(i));
    CFAUPresetRef record = CFAUPresetCreate(kCFAllocatorDefault, i, name);
    CFRelease(name);
    if (record == nullptr) continue;
    CFArrayAppendValue(presets, record);
    CFAUPresetRelease(record);
  }
  Write<CFArrayRef>(data, presets);
  return noErr;
}

OSStatus IPluginAU::Properties::GetPreset(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                          void* data) {
  const int current = plug.GetCurrentPresetIdx();
  const AUPreset preset{current, MakeCFString(plug.GetPresetName(current))};
  Write(data, preset);
  return noErr;
}

// The result of the restore is not the host's concern: an unknown number changes nothing.
OSStatus IPluginAU::Properties::SetPreset(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                          const void* data, UInt32) {
  plug.RestorePreset(static_cast<int>(Read<AUPreset>(data).presetNumber));
  return noErr;
}

OSStatus IPluginAU::Properties::CheckElementName(IPluginAU& plug, AudioUnitScope scope,
                                                 AudioUnitElement element, UInt32&) {
  const int nBuses = scope == kAudioUnitScope_Input ? plug.NInputBuses() : plug.NOutputBuses();
  return element < static_cast<UInt32>(nBuses) ? OSStatus{noErr}
                                               : OSStatus{kAudioUnitErr_InvalidElement};
}

OSStatus IPluginAU::Properties::GetElementName(IPluginAU& plug, AudioUnitScope scope,
                                               AudioUnitElement element, void* data) {
  const bool input = scope == kAudioUnitScope_Input;
  std::string name;
  plug.GetBusName(input ? kInput : kOutput, static_cast<int>(element),
                  input ? plug.NInputBuses() : plug.NOutputBuses(), name);
  Write<CFStringRef>(data, MakeCFString(name.c_str()));
  return noErr;
}

OSStatus IPluginAU::Properties::CheckLayoutTags(IPluginAU& plug, AudioUnitScope scope,
                                                AudioUnitElement element, UInt32& size) {
  const int n = plug.GetChannelLayoutTags(
      scope, static_cast<int>(std::min<UInt32>(element, INT_MAX)), nullptr);
  if (n < 1) return kAudioUnitErr_InvalidProperty;
  size = static_cast<UInt32>(sizeof(AudioChannelLayoutTag)) * static_cast<UInt32>(n);
  return noErr;
}

OSStatus IPluginAU::Properties::GetLayoutTags(IPluginAU& plug, AudioUnitScope scope,
                                              AudioUnitElement element, void* data) {
  const int bus = static_cast<int>(std::min<UInt32>(element, INT_MAX));
  std::vector<AudioChannelLayoutTag> tags(
      static_cast<std::size_t>(plug.GetChannelLayoutTags(scope, bus, nullptr)));
  plug.GetChannelLayoutTags(scope, bus, tags.data());
  std::memcpy(data, tags.data(), tags.size() * sizeof(AudioChannelLayoutTag));
  return noErr;
}

// --------------------------------------------------------------------------- view and MIDI

// Only a plug-in with an editor names its view, and only from a bundle the system has loaded.
OSStatus IPluginAU::Properties::CheckCocoaUI(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                             UInt32&) {
  if (!plug.HasUI()) return kAudioUnitErr_InvalidProperty;
  CFStringRef bundleID = MakeCFString(plug.GetBundleID());
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
  CFRelease(bundleID);
  return bundle != nullptr ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidProperty};
}

OSStatus IPluginAU::Properties::GetCocoaUI(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                           void* data) {
  CFStringRef bundleID = MakeCFString(plug.GetBundleID());
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
  CFRelease(bundleID);
  AudioUnitCocoaViewInfo info{};
  info.mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
  info.mCocoaAUViewClass[0] = MakeCFString(plug.mCocoaViewFactoryClassName.c_str());
  Write(data, info);
  return noErr;
}

OSStatus IPluginAU::Properties::GetMidiOutputNames(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                                   void* data) {
  CFStringRef name = MakeCFString("midiOut");
  const void* values[] = {name};
  Write<CFArrayRef>(data, CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks));
  CFRelease(name);
  return noErr;
}

OSStatus IPluginAU::Properties::SetMidiOutputCallback(IPluginAU& plug, AudioUnitScope,
                                                      AudioUnitElement, const void* data, UInt32) {
  plug.mMidiCallback = Read<AUMIDIOutputCallbackStruct>(data);
  return noErr;
}

OSStatus IPluginAU::Properties::GetSupportsMPE(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                               void* data) {
  Write<UInt32>(data, 0u);
  return noErr;
}

OSStatus IPluginAU::Properties::GetPlugInObject(IPluginAU& plug, AudioUnitScope, AudioUnitElement,
                                                void* data) {
  Write<void*>(data, &plug);
  return noErr;
}

// Instruments only; this wrapper's effects and MIDI effects have no instrument to count.
OSStatus IPluginAU::Properties::CheckInstrumentCount(IPluginAU& plug, AudioUnitScope,
                                                     AudioUnitElement, UInt32&) {
  return plug.GetPlugType() == 1 ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidProperty};
}

OSStatus IPluginAU::Properties::GetInstrumentCount(IPluginAU&, AudioUnitScope, AudioUnitElement,
                                                   void* data) {
  Write<UInt32>(data, 1u);
  return noErr;
}

}  // namespace plug
