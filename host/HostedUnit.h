// HostedUnit.h: one Audio Unit instance driven the way a DAW drives it.
#pragma once

#include "host/CFRef.h"
#include "host/ComponentBundle.h"
#include "host/HostConfig.h"
#include "host/ParameterInfo.h"
#include "host/Preset.h"

#include <AudioToolbox/AudioUnit.h>
#include <AudioToolbox/AudioUnitUtilities.h>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Threads: Render runs on the caller's audio thread, and SetParameter/GetParameter may be called
// from any thread while it does (the unit must allow that); everything else is the main thread's
// and must not overlap a Render (Configure, Initialize, Reset, presets, class info, Close).
class HostedUnit {
 public:
  // Audio time that passed, handed to the caller's run loop between blocks (see Process).
  using Pump = std::function<void(double seconds)>;
  // A parameter event with the parameter's value at delivery (0 for gestures); called
  // synchronously on the thread that notified (see <AudioToolbox/AudioUnitUtilities.h>).
  using ParameterEventHandler =
      std::function<void(const AudioUnitEvent& event, AudioUnitParameterValue value)>;
  using PropertyHandler =
      std::function<void(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)>;

  // Finds the component matching wanted in the bundle, calls its factory and opens an instance.
  // Null with a text when nothing matches, the symbol is missing, or the factory or Open fails.
  static std::unique_ptr<HostedUnit> Open(std::shared_ptr<ComponentBundle> bundle,
                                          const AudioComponentDescription& wanted,
                                          std::string& error);
  ~HostedUnit();
  HostedUnit(const HostedUnit&) = delete;
  HostedUnit& operator=(const HostedUnit&) = delete;

  AudioUnit Unit() const { return mUnit; }
  const ComponentEntry& Entry() const { return mEntry; }
  const HostConfig& Config() const { return mConfig; }
  bool Initialized() const { return mInitialized; }

  // Sets the input and output stream formats (32-bit float, packed, non-interleaved), the sample
  // rate, the maximum frames per slice and, with input channels, the input render callback.
  // Uninitialized units only. The first failing property's status is returned. Then offers the
  // host callbacks (beat and tempo, musical time, transport state from the sample time, the tempo
  // and the playing flag); a unit that does not take them is not an error.
  OSStatus Configure(const HostConfig& config);
  OSStatus Initialize();
  OSStatus Uninitialize();
  OSStatus Reset();

  // One AudioUnitRender of frames (at most the configured maximum: more is the unit's error to
  // report) with a valid, advancing sample time; inputs has one pointer per input channel, outputs
  // one per output channel. Allocates nothing and takes no lock. The sample time advances only
  // when the unit succeeds.
  OSStatus Render(const float* const* inputs, float* const* outputs, UInt32 frames) noexcept;
  // Renders frames in blocks of the maximum size, calling the pump with each block's duration after
  // it, so a 20 ms idle timer fires at the pace of the audio. Stops at the first error.
  OSStatus Process(const float* const* inputs, float* const* outputs, UInt32 frames);
  void SetPump(Pump pump) { mPump = std::move(pump); }
  // The pump for offline rendering: unit->SetPump(HostedUnit::OfflinePump()).
  // It puts the process's main run loop (the platform's, shared with every plug-in module, where
  // their idle and frame timers live) on a manual clock now, unless it already is on one, and then
  // advances that clock by each block's duration, firing every timer tick that falls due, one at a
  // time in time order; called on the main thread, it then also handles ready descriptors without
  // waiting. Ticks thus follow the audio, the same ones on every run, however fast the machine
  // renders. Call it before opening units to lay their first ticks on the manual clock (opened
  // earlier, a unit keeps its timers' distance to "now"). TovraSdkRunLoopUseSystemClock
  // (<TovraSdk/RunLoopClock.h>) goes back to real time; the pump then does nothing.
  // Threads: main (the thread that renders offline).
  static Pump OfflinePump();
  // Changes what the host callbacks report; the next transport-state answer says it changed.
  // Not while rendering.
  void SetTransport(Float64 tempo, bool playing);
  Float64 SampleTime() const { return mSampleTime; }
  UInt64 InputCallbacks() const { return mInputCallbacks; }

  std::vector<AudioUnitParameterID> ParameterList() const;
  std::optional<ParameterInfo> GetParameterInfo(AudioUnitParameterID id) const;
  // kAudioUnitProperty_ParameterValueStrings; nullopt when the unit has none for the parameter.
  std::optional<std::vector<std::string>> ParameterValueStrings(AudioUnitParameterID id) const;
  // The display text of value (nullopt: the current value).
  std::optional<std::string> ParameterStringFromValue(
      AudioUnitParameterID id, std::optional<AudioUnitParameterValue> value) const;
  std::optional<AudioUnitParameterValue> ParameterValueFromString(AudioUnitParameterID id,
                                                                  std::string_view text) const;
  std::optional<AudioUnitParameterValue> GetParameter(AudioUnitParameterID id) const;
  OSStatus SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value,
                        UInt32 bufferOffset = 0);

  // Value changes and begin/end gestures of every listed parameter go to handler (one handler;
  // a second call replaces it).
  OSStatus ListenToParameters(ParameterEventHandler handler);
  // kAudioUnitEvent_PropertyChange through the AU event system for this property (global scope,
  // element 0), delivered to the parameter handler's listener; ListenToParameters first.
  OSStatus ListenToPropertyEvents(AudioUnitPropertyID id);
  // A property listener registered with the unit itself (AudioUnitAddPropertyListener).
  OSStatus AddPropertyListener(AudioUnitPropertyID id, PropertyHandler handler);

  // The class-info dictionary (kAudioUnitProperty_ClassInfo); empty, with status set, on failure.
  CFRef<CFPropertyListRef> SaveClassInfo(OSStatus* status = nullptr) const;
  OSStatus RestoreClassInfo(CFPropertyListRef classInfo);

  // kAudioUnitProperty_FactoryPresets; empty, with status set, when the unit has none or fails.
  std::vector<Preset> FactoryPresets(OSStatus* status = nullptr) const;
  std::optional<Preset> PresentPreset() const;
  // Writes kAudioUnitProperty_PresentPreset with the number (and the factory name, if listed).
  OSStatus SelectPreset(SInt32 number);

  // Uninitialises when initialised, disposes the listeners and closes the instance. Idempotent.
  void Close();

 private:
  HostedUnit() = default;

  static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* flags,
                            const AudioTimeStamp* stamp, UInt32 bus, UInt32 frames,
                            AudioBufferList* data) noexcept;
  static void EventProc(void* userData, void* object, const AudioUnitEvent* event, UInt64 hostTime,
                        AudioUnitParameterValue value);
  static OSStatus BeatAndTempo(void* userData, Float64* beat, Float64* tempo) noexcept;
  static OSStatus MusicalTimeLocation(void* userData, UInt32* deltaSampleOffsetToNextBeat,
                                      Float32* numerator, UInt32* denominator,
                                      Float64* measureDownBeat) noexcept;
  static OSStatus TransportState(void* userData, Boolean* isPlaying, Boolean* changed,
                                 Float64* sampleInTimeLine, Boolean* isCycling,
                                 Float64* cycleStartBeat, Float64* cycleEndBeat) noexcept;
  static OSStatus TransportState2(void* userData, Boolean* isPlaying, Boolean* isRecording,
                                  Boolean* changed, Float64* sampleInTimeLine, Boolean* isCycling,
                                  Float64* cycleStartBeat, Float64* cycleEndBeat) noexcept;
  Float64 CurrentBeat() const noexcept;
  static void PropertyProc(void* refCon, AudioUnit unit, AudioUnitPropertyID id,
                           AudioUnitScope scope, AudioUnitElement element);

  struct PropertyListener {
    HostedUnit* owner;
    AudioUnitPropertyID id;
    PropertyHandler handler;
  };

  std::shared_ptr<ComponentBundle> mBundle;  // keeps the binary loaded while the instance lives
  ComponentEntry mEntry;
  AudioComponentPlugInInterface* mPlugIn = nullptr;
  AudioUnit mUnit = nullptr;
  HostConfig mConfig;
  bool mConfigured = false;
  bool mInitialized = false;

  // Render state, sized by Configure so that Render allocates nothing.
  std::vector<UInt8> mOutputListStorage;
  std::vector<float> mInputScratch;
  std::vector<const float*> mBlockInputs;
  std::vector<float*> mBlockOutputs;
  const float* const* mCurrentInputs = nullptr;
  UInt32 mCurrentFrames = 0;
  Float64 mSampleTime = 0;  // of the block being rendered, then of the next one
  bool mTransportChanged = true;
  UInt64 mInputCallbacks = 0;
  Pump mPump;

  AUEventListenerRef mListener = nullptr;
  ParameterEventHandler mParameterHandler;
  std::list<PropertyListener>
      mPropertyListeners;  // stable addresses: they are the listeners' refCons
};

}  // namespace host
