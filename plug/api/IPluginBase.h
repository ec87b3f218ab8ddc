// The plug-in's identity, parameter hooks, factory presets and parameter state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/IGfxEditorDelegate.h"
#include "plug/Config.h"
#include "plug/EAPI.h"
#include "plug/EParamSource.h"
#include "plug/IPreset.h"
#include "state/IByteChunk.h"

namespace plug {

// Holds what the plug-in's configuration says about it, owns the factory-preset list and reads
// and writes the parameter block of the state chunk: one double per parameter, in index order.
class IPluginBase : public gfx::IGfxEditorDelegate {
 public:
  static constexpr int kMaxNameLength = 128;

  // Copies config; creates config.nParams empty parameters and config.nPresets uninitialised
  // presets. Threads: main.
  IPluginBase(const Config& config, EAPI api);
  ~IPluginBase() override;

  // --- Identity. Threads: any.

  const char* GetPluginName() const { return mPluginName.c_str(); }
  const char* GetProductName() const { return mProductName.c_str(); }
  const char* GetMfrName() const { return mMfrName.c_str(); }
  std::uint32_t GetUniqueID() const { return mUniqueID; }
  std::uint32_t GetMfrID() const { return mMfrID; }
  // The packed version (major << 16 | minor << 8 | patch), or major * 10000 + minor * 100 + patch.
  int GetPluginVersion(bool decimal) const;
  // "v1.0.0".
  void GetPluginVersionStr(std::string& str) const;
  EAPI GetAPI() const { return mAPI; }
  // "VST2", "VST3", "AU", "AUv3", "AAX", "APP", "WAM", "WEB", "CLAP"; "" for anything else.
  const char* GetAPIStr() const;
  static const char* GetAPIStr(EAPI api);
  bool HasUI() const { return mHasUI; }
  bool GetHostResizeEnabled() const { return mHostResize; }
  bool DoesStateChunks() const { return mStateChunks; }
  const char* GetBundleID() const { return mBundleID.c_str(); }
  const char* GetAppGroupID() const { return mAppGroupID.c_str(); }

  // Packed version helpers shared with the host version.
  static int VersionToDecimal(int packed);
  static void VersionToStr(int packed, std::string& str);

  // --- Parameter hooks.

  // The plug-in's hook for a changed parameter. Default: nothing. Threads: main or render
  // (whatever thread changed the value).
  virtual void OnParamChange(int paramIdx);
  // Calls OnParamChange(paramIdx). Threads: main or render.
  void OnParamChange(int paramIdx, EParamSource source, int sampleOffset = -1);
  // For every parameter in index order: OnParamChange(idx, source, -1), OnParamChangeUI(idx,
  // source). Threads: main.
  void OnParamReset(EParamSource source);
  // After a restore: every parameter's normalised value is pushed to the editor. Threads: main.
  virtual void OnRestoreState();
  // The preset list or the current preset changed. Default: nothing. Threads: main.
  virtual void OnPresetsModified();

  // --- State. Threads: main (values are atomic, so the render thread may run meanwhile).

  // Appends every parameter's value as a double. False when a value could not be appended.
  bool SerializeParams(IByteChunk& chunk) const;
  // Reads one double per parameter from startPos and Sets it (stepped, clamped). Returns the
  // position after the last value; -1 when the chunk ends early (the values read so far stay);
  // startPos itself when it is negative. OnParamReset(kPresetRecall) follows in every case.
  int UnserializeParams(const IByteChunk& chunk, int startPos);
  // Default: SerializeParams.
  virtual bool SerializeState(IByteChunk& chunk) const;
  // Default: UnserializeParams.
  virtual int UnserializeState(const IByteChunk& chunk, int startPos);

  // --- Factory presets. Threads: main.

  // Gives up to count uninitialised presets (in list order) the name ("Empty" for null) and the
  // current state. Nothing when count < 1 or the list is empty.
  void MakeDefaultPreset(const char* name = nullptr, int count = 1);
  // Restores preset idx through UnserializeState; true when that returned 1 or more, which also
  // makes it the current preset and pushes the values to the editor.
  bool RestorePreset(int idx);
  // The first preset whose name equals name exactly; false for null, "" or no match.
  bool RestorePreset(const char* name);
  // "" when idx is outside the list.
  const char* GetPresetName(int idx) const;
  // Removes every preset never initialised, keeping the order of the others.
  void PruneUninitializedPresets();
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  // Null when idx is outside the list.
  const IPreset* GetPreset(int idx) const;

 private:
  std::string mPluginName;
  std::string mProductName;
  std::string mMfrName;
  std::uint32_t mUniqueID = 0;
  std::uint32_t mMfrID = 0;
  int mVersion = 0;
  bool mHasUI = false;
  bool mHostResize = false;
  bool mStateChunks = false;
  EAPI mAPI;
  std::string mBundleID;
  std::string mAppGroupID;
  std::vector<std::unique_ptr<IPreset>> mPresets;
  int mCurrentPresetIdx = 0;
};

}  // namespace plug
