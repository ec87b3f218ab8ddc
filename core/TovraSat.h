// TovraSat: the plug-in object: parameters, reset and idle handling, block processing and state.
#pragma once

#include <functional>
#include <string>

#include "dsp/Crusher.h"
#include "dsp/OversampledCrusher.h"
#include "plug/au/IPluginAU.h"
#include "state/TovraPresets.h"

// One object per Audio Unit instance, made by the component factory. It owns the processing chain
// (the crusher and its engine), hands the parameters to it once per block, turns the chain's
// published peak and clip flag into the meter values on the idle tick, and writes and reads its
// state chunk (parameters, mEditorScale, mPresetName: state/TovraStateChunk.h has the layout).
//
// The HQ variant (TovraSatHQ) is the same object with its own codes and name: it runs the
// crusher at a multiple of the rate between filters of its own and reports their fixed latency.
// Both write and read the same state chunk, so a state or preset moves between them unchanged.
//
// Threads: ProcessBlock on the render thread; everything else on the main thread. Values cross
// only through the parameters' atomics and the crusher's peak and clip atomics.
class TovraSat : public plug::IPluginAU {
 public:
  enum EParams : int { kGain = 0, kOutputTrim = 1, k48V = 2, kBypass = 3, kNumParams = 4 };

  // The editor's output meter and its preset bar are attached with these tags.
  static constexpr int kMeterCtrlTag = 0;
  static constexpr int kPresetBarCtrlTag = 1;
  static constexpr int kEditorWidth = 222;
  static constexpr int kEditorHeight = 666;
  static constexpr int kEditorFps = 60;
  // Audio is converted to single precision in chunks of this many frames.
  static constexpr int kChunkFrames = 512;

  enum class EVariant { kStandard, kHq };

  // The configuration record this plug-in hands to the framework. Threads: any.
  static plug::Config MakeConfig(EVariant variant = EVariant::kStandard);
  // "TovraSat_View" unless the build names the class otherwise (TOVRASAT_VIEW_CLASS).
  static const char* ViewFactoryClassName() { return PLUG_AU_VIEW_CLASS_NAME; }

  // Threads: main.
  explicit TovraSat(const plug::InstanceInfo& info, EVariant variant = EVariant::kStandard);
  // True for TovraSat HQ. Threads: any.
  bool IsHq() const { return mVariant == EVariant::kHq; }
  ~TovraSat() override;

  // Appends the state chunk to what chunk holds; the result is that of SerializeParams.
  // Threads: main.
  bool SerializeState(plug::IByteChunk& chunk) const override;
  // Restores the state chunk at startPos: -1 when the parameter block does not fit; the position
  // after the parameters when the zoom factor is missing or not one of the four; after the zoom
  // factor when the name cannot be read; else after the name. Threads: main.
  int UnserializeState(const plug::IByteChunk& chunk, int startPos) override;
  // Meter fall-off and clip-lamp fade from the chain's readings; redraws an open meter.
  // Threads: main.
  void OnIdle() override;
  // After a state restore or a preset load by the host: the restored values and the preset name
  // to an open editor, whose preset bar shows the name at its next frame. Threads: main.
  void OnRestoreState() override;
  // One meter tick: the level of peak (dBFS) where it is above meterDb, else meterDb falling by
  // at most 3 dB; the clip lamp lit by a clip, else fading by 0.15. The editor's idle tick and
  // meters that follow the audio share it. Threads: any; no allocation, no system call.
  static void AdvanceMeter(float peak, bool clipped, float& meterDb, float& clipLed) noexcept;
  // Threads: render. No allocation, no lock, no system call, no exception.
  void ProcessBlock(double** inputs, double** outputs, int nFrames) noexcept override;
  // Current parameters and sample rate to the chain, which is cleared; latency 0 (HQ: the
  // oversampling filters' and limiter's latency, the same number of frames at every rate).
  // Threads: main, not while rendering.
  void OnReset() override;

  // Gain, Output Trim and 48V as a user preset holds them. Threads: main.
  tovrapresets::Values SnapshotPreset() const;
  // Takes over a user preset as if the user had moved the three controls (each change inside its
  // own host gesture), remembers its name and refreshes an open editor. Threads: main.
  void ApplyPreset(const std::string& name, const tovrapresets::Values& values);

  // The preset bar calls this after it saved, overwrote or deleted a user preset or read the
  // folder afresh, so that copies of the presets kept elsewhere (a host's preset list) follow.
  // Does nothing unless a wrapper set mUserPresetsChanged. Threads: main.
  void UserPresetsChanged() const {
    if (mUserPresetsChanged) mUserPresetsChanged();
  }
  std::function<void()> mUserPresetsChanged;

  // Read by the editor and the meter property. Threads: main.
  tovrasat::Crusher mCrusher;
  // HQ only: runs mCrusher oversampled.
  tovrasat::OversampledCrusher mHqChain{mCrusher};
  float mMeterDb = -120.0f;
  float mClipLed = 0.0f;
  float mEditorScale = 1.0f;
  std::string mPresetName = "Default";

 protected:
  OSStatus GetPlugInProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& size, Boolean& writable, void* data) override;

 private:
  void HandParamsToChain() noexcept;

  const EVariant mVariant;
};
