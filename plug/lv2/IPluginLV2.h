// IPluginLV2: a plug-in object of this framework as an LV2 plug-in: ports, run, state, idle.
#pragma once

#include <AudioToolbox/AudioComponent.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
  // Copies the plug-in's meter reading (dBFS) and overload lamp (0 to 1) after an idle tick.
  // Null when the plug-in has no meter: the ports then read -120 and 0. Threads: main.
  void (*readMeter)(const IPluginAU& plug, float& meterDb, float& lamp) = nullptr;
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
// Idle: the plug-in's 20 ms tick (queued host changes to the editor, its OnIdle) runs on a
// thread of this instance while no editor is open, and on the host's UI thread while the LV2 UI
// holds it (ClaimIdle / ReleaseIdle): exactly one thread ticks at any time, and the hand-over
// joins the idle thread, so whatever one tick wrote the next one sees. The meter ports carry the
// values of the last tick.
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
  // Stops the idle thread, closes the plug-in. Threads: main.
  ~IPluginLV2();
  IPluginLV2(const IPluginLV2&) = delete;
  IPluginLV2& operator=(const IPluginLV2&) = delete;

  IPluginAU& Plug() { return *mPlug; }
  const Lv2PortLayout& Ports() const { return mPorts; }

  // Threads: not while rendering (or render, as LV2 allows).
  void ConnectPort(uint32_t port, void* data) noexcept;
  // Control inputs that are connected become the parameters, then the plug-in is reset.
  // Threads: not while rendering.
  void Activate();
  void Deactivate();
  // Processes frames in slices of the plug-in's block size. In-place buffers are fine: inputs
  // are widened into the plug-in's scratch before anything is written. No allocation, no lock,
  // no file or system call, no exception. Threads: render.
  void Run(uint32_t frames) noexcept;

  // State: the plug-in's state chunk, stored as one atom:Chunk property. Restoring refuses a
  // missing or foreign property, one that is no chunk, and a chunk too short for the parameters,
  // all without changing anything; then the editor shows the restored values. Threads: main.
  LV2_State_Status SaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The UI takes the idle tick onto its own thread (on the main run loop, which the UI pumps)
  // and gives it back when it closes. Threads: main (the host's UI thread).
  void ClaimIdle();
  void ReleaseIdle();
  // One idle tick: the plug-in's OnTimer, then the meter into the ports' values.
  // Threads: the one that holds the idle.
  void Tick(Timer& timer);

  // The values the meter ports get at the next run. Threads: any.
  float MeterDb() const { return mMeterDb.load(std::memory_order_relaxed); }
  float Lamp() const { return mLamp.load(std::memory_order_relaxed); }

  // The URI under which the state chunk is stored, "<plug-in URI>#state". Threads: any.
  const char* StateKeyUri() const { return mStateKeyUri.c_str(); }
  // The host's URID map; null when it gave none. Threads: any.
  LV2_URID_Map* UridMap() const { return mMap; }

 private:
  IPluginLV2(const Lv2Binding& binding, AudioComponentPlugInInterface* instance, IPluginAU* plug);

  void StartIdleThread();
  void StopIdleThread();
  void TakeControlInputs(bool all) noexcept;

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

  static_assert(std::atomic<float>::is_always_lock_free);
  std::atomic<float> mMeterDb{kMeterFloorDb};
  std::atomic<float> mLamp{0.0f};

  LV2_URID_Map* mMap = nullptr;
  std::string mStateKeyUri;
  LV2_URID mStateKey = 0;
  LV2_URID mChunkType = 0;

  std::thread mIdleThread;
  std::atomic<bool> mIdleStop{false};
  bool mIdleClaimed = false;
};

}  // namespace plug
