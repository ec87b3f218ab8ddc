// IPluginBase: identity, parameter hooks, the parameter block of the state and factory presets.
#include "plug/api/IPluginBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plug {

namespace {

std::string Limited(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(IPluginBase::kMaxNameLength));
}

}  // namespace

IPluginBase::IPluginBase(const Config& config, EAPI api)
    : IGfxEditorDelegate(config.nParams),
      mPluginName(Limited(config.pluginName)),
      mProductName(Limited(config.productName)),
      mMfrName(Limited(config.mfrName)),
      mUniqueID(config.uniqueID),
      mMfrID(config.mfrID),
      mVersion(config.vendorVersion),
      mHasUI(config.plugHasUI),
      mHostResize(config.plugHostResize),
      mStateChunks(config.plugDoesChunks),
      mAPI(api),
      mBundleID(config.bundleID),
      mAppGroupID(config.appGroupID) {
  SetEditorSize(config.plugWidth, config.plugHeight);
  SetSizeConstraints(config.plugMinWidth, config.plugMaxWidth, config.plugMinHeight,
                     config.plugMaxHeight);
  for (int i = 0; i < config.nPresets; ++i) mPresets.push_back(std::make_unique<IPreset>());
}

IPluginBase::~IPluginBase() = default;

// -------------------------------------------------------------------------------- identity

int IPluginBase::VersionToDecimal(int packed) {
  const int major = (packed >> 16) & 0xFFFF;
  const int minor = (packed >> 8) & 0xFF;
  const int patch = packed & 0xFF;
  return major * 10000 + minor * 100 + patch;
}

void IPluginBase::VersionToStr(int packed, std::string& str) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "v%d.%d.%d", (packed >> 16) & 0xFFFF, (packed >> 8) & 0xFF,
                packed & 0xFF);
  str = buf;
}

int IPluginBase::GetPluginVersion(bool decimal) const {
  return decimal ? VersionToDecimal(mVersion) : mVersion;
}

void IPluginBase::GetPluginVersionStr(std::string& str) const {
  VersionToStr(mVersion, str);
}

const char* IPluginBase::GetAPIStr(EAPI api) {
  switch (api) {
    case kAPIVST2:
      return "VST2";
    case kAPIVST3:
      return "VST3";
    case kAPIAU:
      return "AU";
    case kAPIAUv3:
      return "AUv3";
    case kAPIAAX:
      return "AAX";
    case kAPIAPP:
      return "APP";
    case kAPIWAM:
      return "WAM";
    case kAPIWEB:
      return "WEB";
    case kAPICLAP:
      return "CLAP";
  }
  return "";
}

const char* IPluginBase::GetAPIStr() const {
  return GetAPIStr(mAPI);
}

// ------------------------------------------------------------------------- parameter hooks

void IPluginBase::OnParamChange(int) {}

void IPluginBase::OnParamChange(int paramIdx, EParamSource, int) {
  OnParamChange(paramIdx);
}

void IPluginBase::OnParamReset(EParamSource source) {
  for (int i = 0; i < NParams(); ++i) {
    OnParamChange(i, source, -1);
    OnParamChangeUI(i, source);
  }
}

void IPluginBase::OnRestoreState() {
  for (int i = 0; i < NParams(); ++i) {
    SendParameterValueFromDelegate(i, std::clamp(GetParam(i)->GetNormalized(), 0.0, 1.0), true);
  }
}

void IPluginBase::OnPresetsModified() {}

// ----------------------------------------------------------------------------------- state

bool IPluginBase::SerializeParams(IByteChunk& chunk) const {
  if (NParams() == 0) return true;
  for (int i = 0; i < NParams(); ++i) {
    const double value = GetParam(i)->Value();
    // A chunk that cannot take the value (it would outgrow 32-bit positions) holds an incomplete
    // block: that is a failure, not a state to store.
    if (chunk.Put(value) <= 0) return false;
  }
  return chunk.Size() > 0;
}

int IPluginBase::UnserializeParams(const IByteChunk& chunk, int startPos) {
  int result = startPos;
  if (startPos >= 0) {
    int pos = startPos;
    for (int i = 0; i < NParams(); ++i) {
      double value = 0.0;
      pos = chunk.Get(&value, pos);
      if (pos < 0) {
        result = -1;
        break;
      }
      GetParam(i)->Set(value);
      result = pos;
    }
  }
  OnParamReset(kPresetRecall);
  return result;
}

bool IPluginBase::SerializeState(IByteChunk& chunk) const {
  return SerializeParams(chunk);
}

int IPluginBase::UnserializeState(const IByteChunk& chunk, int startPos) {
  return UnserializeParams(chunk, startPos);
}

// ---------------------------------------------------------------------------------- presets

void IPluginBase::MakeDefaultPreset(const char* name, int count) {
  if (count < 1 || mPresets.empty()) return;
  for (int n = 0; n < count; ++n) {
    const auto it = std::find_if(mPresets.begin(), mPresets.end(),
                                 [](const auto& preset) { return !preset->mInitialized; });
    if (it == mPresets.end()) return;
    IPreset& preset = **it;
    preset.mInitialized = true;
    std::snprintf(preset.mName, sizeof preset.mName, "%s", name != nullptr ? name : "Empty");
    preset.mChunk.Clear();
    SerializeState(preset.mChunk);
  }
}

bool IPluginBase::RestorePreset(int idx) {
  if (idx < 0 || idx >= NPresets()) return false;
  const bool ok = UnserializeState(mPresets[static_cast<std::size_t>(idx)]->mChunk, 0) >= 1;
  if (ok) {
    mCurrentPresetIdx = idx;
    OnPresetsModified();
    OnRestoreState();
  }
  return ok;
}

bool IPluginBase::RestorePreset(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  for (int i = 0; i < NPresets(); ++i) {
    if (std::strcmp(mPresets[static_cast<std::size_t>(i)]->mName, name) == 0) {
      return RestorePreset(i);
    }
  }
  return false;
}

const char* IPluginBase::GetPresetName(int idx) const {
  const IPreset* preset = GetPreset(idx);
  return preset != nullptr ? preset->mName : "";
}

void IPluginBase::PruneUninitializedPresets() {
  std::erase_if(mPresets, [](const auto& preset) { return !preset->mInitialized; });
}

const IPreset* IPluginBase::GetPreset(int idx) const {
  if (idx < 0 || idx >= NPresets()) return nullptr;
  return mPresets[static_cast<std::size_t>(idx)].get();
}

}  // namespace plug
