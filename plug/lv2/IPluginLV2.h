// IPluginLV2: a plug-in object of this framework as an LV2 plug-in: ports, run, state, idle.
#pragma once

#include <AudioToolbox/AudioComponent.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lv2/atom/atom.h"
#include "lv2/core/lv2.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"
#include "plug/Timer.h"
#include "plug/lv2/Lv2PortLayout.h"

namespace plug {

class IPluginAU;

// What a plug-in's module tells the wrapper about itself. The plug-in object is made through its
// Audio Unit factory, so it is the very object the Audio Unit host gets, with the same code for
// parameters, processing and state; its editor's gestures reach us as Audio Unit parameter events.
struct Lv2Binding {
  const char* uri = nullptr;
  AudioComponentFactoryFunction factory = nullptr;
  // One tick of the meter ports from the audio processed since the last call: takes the
  // plug-in's render-side readings and moves meterDb (dBFS) and lamp (0 to 1) on. Null when the
  // plug-in has no meter: the ports then read -120 and 0. Threads: render; no allocation, lock
  // or system call.
  void (*tickMeter)(IPluginAU& plug, float& meterDb, float& lamp) noexcept = nullptr;
  // Before an editor opens: drops the readings that waited for the editor's meter while none was
  // open, and starts that meter at the ports' values. Threads: main.
  void (*startEditorMeter)(IPluginAU& plug, float meterDb, float lamp) = nullptr;
  // The state chunk's key is "<stateUri>#state"; null: uri. Plug-ins of one binary that share a
  // state format share it, so their saved states and presets move between them.
  const char* stateUri = nullptr;
};

// The LV2 descriptor of a binding; instantiate finds the binding through the descriptor pointer.
struct Lv2PluginDescriptor {
  LV2_Descriptor descriptor;
  Lv2Binding binding;
};

// One LV2 instance around one plug-in object.
//
// Parameters: run compares each control input with the value it had at the last run (not with
// the parameter, so a restored state is not undone by ports that did not move) and hands changes
// to the plug-in as host changes (Set, SendParameterValueFromAPI, OnParamChange with the host
// source), so an open editor follows them.
//
// Meter ports: run counts the frames it processes and ticks the meter once per 20 ms of them
// (at the instance's sample rate, across runs of any size), so the same audio gives the same port
// values at any speed and block size; each tick takes what the plug-in measured in exactly those
// frames.
//
// Idle: no thread of ours runs while no editor is open. The plug-in's 20 ms tick (queued host
// changes to the editor, its OnIdle) runs on the main run loop, which the host's UI idle pumps,
// only while the LV2 UI holds it (ClaimIdle / ReleaseIdle), so it runs on one thread at a time.
//
// Editor-only state: what the state chunk holds beyond the parameters (the editor's size, the
// preset name) is not a port, so the host cannot see it change. The UI's idle compares it with
// what was last seen, and the next run sends state:StateChanged on the notification port.
class IPluginLV2 {
 public:
  static constexpr int kDefaultMaxBlock = 512;
  static constexpr int kLargestMaxBlock = 8192;
  static constexpr float kMeterFloorDb = -120.0f;
  // Each parameter's value opens the state chunk as a double.
  static constexpr size_t kParamBytes = sizeof(double);

  // The descriptor for binding (filled from constant functions). Threads: any.
  static Lv2PluginDescriptor MakeDescriptor(const Lv2Binding& binding);

  // Null when the plug-in cannot be made or its channel counts are not those of one of its
  // configurations. Threads: main.
  static std::unique_ptr<IPluginLV2> Create(const Lv2Binding& binding, double sampleRate,
                                            const LV2_Feature* const* features);
  // Stops the idle tick, closes the plug-in. Threads: main.
  ~IPluginLV2();
  IPluginLV2(const IPluginLV2&) = delete;
  IPluginLV2& operator=(const IPluginLV2&) = delete;

  IPluginAU& Plug() { return *mPlug; }
  const Lv2PortLayout& Ports() const { return mPorts; }

  // Threads: not while rendering (or render, as LV2 allows).
  void ConnectPort(uint32_t port, void* data) noexcept;
  // Control inputs that are connected become the parameters, then the plug-in is reset; the
  // meter starts again at rest. Threads: not while rendering.
  void Activate();
  void Deactivate();
  // Processes frames in slices of the plug-in's block size, cut also where a meter tick ends,
  // then writes the report ports and the notification port (an empty sequence, or one notice
  // when the editor-only state changed). In-place buffers are fine: inputs are widened into the
  // plug-in's scratch before anything is written. No allocation, no lock, no file or system
  // call, no exception. Threads: render.
  void Run(uint32_t frames) noexcept;

  // State: the plug-in's state chunk, stored as one atom:Chunk property. Restoring refuses a
  // missing or foreign property, one that is no chunk, and a chunk too short for the parameters,
  // all without changing anything; then the editor shows the restored values. Threads: main.
  LV2_State_Status SaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The UI takes the idle tick onto the main run loop (which it pumps) and gives it back when it
  // closes. Claiming drains what waited for an editor while none was open, so the editor starts
  // from the current values. Threads: main (the host's UI thread).
  void ClaimIdle();
  void ReleaseIdle();

  // Announces a change of the state beyond the parameters since the last call (or the last
  // restore) to the host at the next run. Threads: main.
  void NoteStateChanges();

  // The meter ports' values after the last run's ticks. Threads: any.
  float MeterDb() const { return mMeterDb.load(std::memory_order_relaxed); }
  float Lamp() const { return mLamp.load(std::memory_order_relaxed); }

  // The URI under which the state chunk is stored, "<plug-in URI>#state". Threads: any.
  const char* StateKeyUri() const { return mStateKeyUri.c_str(); }
  // The host's URID map; null when it gave none. Threads: any.
  LV2_URID_Map* UridMap() const { return mMap; }

 private:
  IPluginLV2(const Lv2Binding& binding, AudioComponentPlugInInterface* instance, IPluginAU* plug);

  void TakeControlInputs(bool all) noexcept;
  // The frame at which the meter's tick number `tick` ends.
  uint64_t TickEnd(uint64_t tick) const noexcept;
  void TickMeter() noexcept;
  void WriteNotifications() noexcept;
  // What the state chunk holds beyond the parameters. Threads: main.
  std::vector<unsigned char> EditorState() const;

  Lv2Binding mBinding;
  AudioComponentPlugInInterface* mInstance;
  IPluginAU* mPlug;
  Lv2PortLayout mPorts;
  std::vector<const float*> mControlIn;
  std::vector<double> mLastControl;  // NaN: never seen
  std::vector<const float*> mAudioIn;
  std::vector<float*> mAudioOut;
  // Per-slice views, sized at construction so that run only points.
  std::vector<float*> mInSlice;
  std::vector<float*> mOutSlice;
  float* mLatencyOut = nullptr;
  float* mMeterOut = nullptr;
  float* mLampOut = nullptr;
  LV2_Atom_Sequence* mNotifyOut = nullptr;

  // Threads: render (or main while not rendering).
  double mSampleRate = 0.0;
  uint64_t mFramesDone = 0;  // since activation
  uint64_t mTicksDone = 0;
  uint64_t mNextTickFrame = 0;
  float mRunMeterDb = kMeterFloorDb;
  float mRunLamp = 0.0f;
  uint32_t mStateChangesSent = 0;

  static_assert(std::atomic<float>::is_always_lock_free);
  std::atomic<float> mMeterDb{kMeterFloorDb};
  std::atomic<float> mLamp{0.0f};
  // Bumped on the main thread for each change of the editor-only state.
  std::atomic<uint32_t> mStateChanges{0};
  std::vector<unsigned char> mEditorStateSeen;  // main thread

  LV2_URID_Map* mMap = nullptr;
  std::string mStateKeyUri;
  LV2_URID mStateKey = 0;
  LV2_URID mChunkType = 0;
  LV2_URID mSequenceType = 0;
  LV2_URID mObjectType = 0;
  LV2_URID mStateChangedType = 0;

  std::unique_ptr<Timer> mIdleTick;  // while the UI holds the idle
};

}  // namespace plug
