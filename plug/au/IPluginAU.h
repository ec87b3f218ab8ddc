// IPluginAU: the plug-in object as an Audio Unit (version 2) effect: selectors, properties, render.
#pragma once

#include <AudioToolbox/AudioUnit.h>
#include <AudioToolbox/AudioUnitUtilities.h>
#include <CoreServices/CoreServices.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plug/IPluginProcessor.h"
#include "plug/api/IPluginAPIBase.h"
#include "plug/au/InstanceInfo.h"

// The Cocoa view factory class's name, set by the build (TOVRASAT_VIEW_CLASS), as a string.
#define PLUG_AU_STRINGIFY_(name) #name
#define PLUG_AU_STRINGIFY(name) PLUG_AU_STRINGIFY_(name)
#define PLUG_AU_VIEW_CLASS_NAME PLUG_AU_STRINGIFY(PLUG_AU_VIEW_CLASS)

namespace plug {

class IPluginAU;

// The block a component factory hands to the host: the plug-in interface comes first, because the
// instance pointer that every AudioUnit* call passes back as `self` is the address of this block.
// The plug-in object itself lives in storage that follows it (see IPluginAUFactory).
struct AUInstanceHeader {
  AudioComponentPlugInInterface mInterface;
  void (*mConstruct)(void* storage, AudioComponentInstance instance);
  void (*mDestruct)(void* storage);
  IPluginAU* mPlug = nullptr;  // set once Open has constructed the object
};

// Makes a plug-in object an Audio Unit effect. The host talks to it through the component
// methods below (dispatched by Lookup or by the legacy entry); the plug-in supplies ProcessBlock,
// OnReset, OnIdle and its state through the bases.
//
// Error codes at this boundary are Apple's: kAudioUnitErr_InvalidProperty for unsupported
// properties, scopes of parameter calls and failed connections; kAudioUnitErr_InvalidElement for
// elements out of range; kAudioUnitErr_InvalidScope for element names in a wrong scope;
// kAudioUnitErr_InvalidPropertyValue for bad render calls, restores and data sizes too small for
// the property; kAudioUnitErr_InvalidParameter for unknown parameter IDs; badComponentInstance
// for an illegal channel configuration at Initialize.
class IPluginAU : public IPluginAPIBase, public IPluginProcessor {
 public:
  // The address of the plug-in object, 8 bytes, global scope, element 0: read by the view factory.
  static constexpr AudioUnitPropertyID kPlugInObjectProperty = 4294967195u;
  static constexpr int kDefaultBlockSize = 512;
  static constexpr UInt32 kMaxClassInfoNameBytes = 63;

  // Input types of an input bus, in AUInputTypeStr order.
  enum EAUInputType : int {
    kNotConnected = 0,
    kDirectFastProc = 1,
    kDirectNoFastProc = 2,
    kRenderCallback = 3
  };
  // "NotConnected", "DirectFastProc", "DirectNoFastProc", "RenderCallback"; "" otherwise.
  static const char* AUInputTypeStr(int type);

  // Builds buses, connections, a block size of 512 with zeroed scratch areas and the latency
  // delay. The idle timer is started by the entry once the whole object is constructed.
  // Threads: main.
  IPluginAU(const Config& config, const InstanceInfo& info);
  ~IPluginAU() override;

  // --- Component entry. Threads: main.

  void SetComponentInstance(AudioComponentInstance instance) { mInstance = instance; }
  AudioComponentInstance GetComponentInstance() const { return mInstance; }
  // The method for selectors 1 to 18 (null otherwise). Methods take the instance block as self.
  // Threads: any.
  static AudioComponentMethod Lookup(SInt16 selector);
  // The plug-in object of an instance block (null before Open finished). Threads: any.
  static IPluginAU* FromSelf(void* self) {
    return self != nullptr ? static_cast<AUInstanceHeader*>(self)->mPlug : nullptr;
  }
  // Whether the legacy entry answers a selector (1 to 17). Threads: any.
  static bool CanDoSelector(SInt16 selector);
  // The legacy Component Manager dispatch of one Audio Unit selector, arguments in params->params
  // in reverse order (the last argument in params[0]); badComponentSelector for anything else.
  // Threads: that of the selector's method.
  ComponentResult DispatchLegacy(ComponentParameters* params);
  // The view factory's work: reads the plug-in object property of unit and returns the editor
  // view from OpenWindow(parent); null when the unit is not such an object or has no editor.
  // Threads: main.
  static void* CreateView(AudioUnit unit, void* parent);

  // --- Component methods.

  // Threads: main.
  OSStatus Initialize();
  OSStatus Uninitialize();
  OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
  // size and writable may be null. Threads: main.
  OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           UInt32* size, Boolean* writable);
  // Fails with kAudioUnitErr_InvalidPropertyValue, writing nothing, when *ioSize is smaller than
  // the property. Threads: main.
  OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       void* data, UInt32* ioSize);
  // Threads: main (not while rendering for formats, block size, connections).
  OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       const void* data, UInt32 size);
  // Threads: any.
  OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue* value);
  // Threads: render, or a host's parameter thread.
  OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                        AudioUnitParameterValue value, UInt32 bufferOffset) noexcept;
  OSStatus ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count) noexcept;
  // Threads: main.
  OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                               void* userData);
  // Removes every listener of id with proc (and userData too when matchUserData).
  OSStatus RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                  void* userData, bool matchUserData);
  OSStatus AddRenderNotify(AURenderCallback proc, void* userData);
  OSStatus RemoveRenderNotify(AURenderCallback proc, void* userData);
  // Pulls the inputs, processes (or passes through when bypassed) into ioData. No allocation, no
  // lock, no file or system call, no exception. Threads: render.
  OSStatus Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* stamp, UInt32 outputBus,
                  UInt32 frames, AudioBufferList* ioData) noexcept;

  // --- Host notification (IPluginAPIBase). Threads: main.

  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfPresetChange() override;
  void InformHostOfParameterDetailsChange();
  // Notifies the listeners of kAudioUnitProperty_Latency, then stores it.
  // Threads: main, not while rendering.
  void SetLatency(int samples) override;
  // This effect sends no MIDI to the host: false. Threads: render.
  bool SendMidiMsg(const IMidiMsg& msg) noexcept override;
  bool SendSysEx(const ISysEx& msg) noexcept override;
  // The text last set through kAudioUnitProperty_ContextName. Threads: main.
  const char* GetTrackName() const { return mTrackName.c_str(); }

  // --- State (class info). Threads: main.

  // A new class-info dictionary that the caller owns. noErr.
  OSStatus GetState(CFPropertyListRef* out);
  // noErr, or kAudioUnitErr_InvalidPropertyValue; what was applied before a failure stays.
  OSStatus SetState(CFPropertyListRef plist);
  static void PutNumberInDict(CFMutableDictionaryRef dict, const char* key, SInt32 value);
  static void PutStrInDict(CFMutableDictionaryRef dict, const char* key, const char* text);
  static bool GetNumberFromDict(CFDictionaryRef dict, const char* key, SInt32& value);
  // Up to bufferSize - 1 bytes (cut there); empty text and false when the key is absent.
  static bool GetStrFromDict(CFDictionaryRef dict, const char* key, char* text, UInt32 bufferSize);
  // Resizes chunk to the data length and copies it; false when the key is absent.
  static bool GetDataFromDict(CFDictionaryRef dict, const char* key, IByteChunk& chunk);

  // --- Channel layout. Threads: any.

  // Tags for a bus of that scope (input or output), each once; copied into tags when not null.
  int GetChannelLayoutTags(AudioUnitScope scope, int bus, AudioChannelLayoutTag* tags) const;
  static int LayoutTagsForChannelCount(int nChans, AudioChannelLayoutTag* tags);

  // --- Reads for tests and tools. Threads: main.
  int NInputBuses() const { return static_cast<int>(mInBuses.size()); }
  int NOutputBuses() const { return static_cast<int>(mOutBuses.size()); }
  int GetInputType(int bus) const;
  int GetHostChannels(ERoute direction, int bus) const;
  bool IsActive() const { return mActive; }
  bool IsOfflineRender() const { return mOffline; }

 protected:
  // Plug-in-specific properties (IDs 64000 and up are the plug-in's own). The defaults answer
  // kAudioUnitErr_InvalidProperty. For Get, data is null when only the size and writability are
  // wanted; *size then says how many bytes a read needs. Threads: main.
  virtual OSStatus GetPlugInProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& size, Boolean& writable,
                                     void* data);

 private:
  struct BusChannels {
    bool mConnected = false;
    int mNHostChannels = -1;
    int mNPlugChannels = 0;
    int mPlugChannelStartIdx = 0;
  };
  struct InputBusConnection {
    void* mUpstreamStorage = nullptr;
    AudioUnit mUpstreamUnit = nullptr;
    int mUpstreamBusIdx = 0;
    AudioUnitRenderProc mUpstreamRenderProc = nullptr;
    AURenderCallbackStruct mUpstreamRenderCallback{nullptr, nullptr};
    EAUInputType mInputType = kNotConnected;
  };
  struct PropertyListener {
    AudioUnitPropertyID mID;
    AudioUnitPropertyListenerProc mProc;
    void* mUserData;
  };
  struct RenderNotify {
    AURenderCallback mProc;
    void* mUserData;
  };

  // The property table and its handlers (IPluginAUProperties.h).
  struct Properties;

  // Get and info in one, from the property's table row: data null asks for size and writability
  // only, with no side effects.
  OSStatus ReadProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                        UInt32& size, Boolean& writable, void* data);
  OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                           const AudioStreamBasicDescription& format);
  // In global or input scope (the table checks it).
  OSStatus MakeConnection(const AudioUnitConnection& connection);
  void NotifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope);
  void SendParamEvent(AudioUnitEventType type, int paramIdx);
  void AssessInputConnections();
  // Sum of host channels over the buses (-1 when no bus has a host count).
  static int NHostChannelsConnected(const std::vector<BusChannels>& buses, int skipBus = -1);
  BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element);
  void ResizeScratchBuffers();
  void FillParameterInfo(int paramIdx, AudioUnitParameterInfo& info);
  int ClumpIDForGroup(const char* group);
  OSStatus PullInputs(const AudioTimeStamp* stamp, UInt32 frames) noexcept;
  // Points the output bus's channels at the host's buffers (or the scratch area where the host
  // left a buffer null).
  void AttachOutputBuffers(BusChannels& out, UInt32 frames, AudioBufferList& ioData) noexcept;
  // The processing that the last bus of the connected run of output buses triggers.
  void ProcessConnectedOutputs(UInt32 outputBus, UInt32 frames) noexcept;
  void UpdateTimeInfo() noexcept;

  AudioComponentInstance mInstance = nullptr;
  std::string mCocoaViewFactoryClassName;
  std::vector<BusChannels> mInBuses;
  std::vector<BusChannels> mOutBuses;
  std::vector<InputBusConnection> mInBusConnections;
  std::vector<PropertyListener> mPropertyListeners;
  std::vector<RenderNotify> mRenderNotify;
  std::vector<std::string> mParamGroups;
  HostCallbackInfo mHostCallbacks{};
  AUMIDIOutputCallbackStruct mMidiCallback{nullptr, nullptr};
  AudioTimeStamp mLastRenderTimeStamp{};
  double mLastRenderSampleTime = -1.0;
  bool mActive = false;
  bool mOffline = false;
  std::string mTrackName;
  // Single precision, channel count x block size; the host's buffers point into these when it
  // leaves their data pointers null, and input callbacks render into them.
  std::vector<float> mInScratch;
  std::vector<float> mOutScratch;
  // Render-time views, sized once at construction (channel counts are fixed by the configuration).
  std::vector<UInt8> mInputListStorage;
  std::vector<float*> mBufferPtrs;
  std::string mParamValueString;
};

}  // namespace plug
