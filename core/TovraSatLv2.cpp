// TovraSatLv2: binds TovraSat to the LV2 wrapper: made by its Audio Unit factory, metered by its
// idle tick, its user presets listed by hosts.
#include "core/TovraSatLv2.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/TovraSat.h"
#include "core/TovraSatLv2Presets.h"
#include "lv2/state/state.h"
#include "plug/au/IPluginAUFactory.h"
#include "plug/lv2/IPluginLV2.h"
#include "plug/lv2/IPluginLV2UI.h"

namespace tovrasat {
namespace {

void ReadMeter(const plug::IPluginAU& plug, float& meterDb, float& lamp) {
  const auto& tovrasat = static_cast<const TovraSat&>(plug);
  meterDb = tovrasat.mMeterDb;
  lamp = tovrasat.mClipLed;
}

const plug::Lv2Binding kBinding{kLv2PluginUri, &plug::IPluginAUFactory<TovraSat>::Factory,
                                &ReadMeter};

// The wrapper's instantiate, with the user presets: each new instance brings the bundle hosts
// list them from up to date with the preset folder (so presets made by hand, or before the bundle
// existed, show up too), and its editor's preset bar keeps it so.
LV2_Handle InstantiateWithPresets(const LV2_Descriptor*, double rate, const char*,
                                  const LV2_Feature* const* features) {
  std::unique_ptr<plug::IPluginLV2> self = plug::IPluginLV2::Create(kBinding, rate, features);
  if (self == nullptr) return nullptr;
  SyncLv2UserPresets();
  static_cast<TovraSat&>(self->Plug()).mUserPresetsChanged = [] { SyncLv2UserPresets(); };
  return self.release();
}

// A restore that takes the state chunk with the editor's current size in place of the stored
// one: what a user preset asks for with its keep-size flag.
struct KeepingSize {
  LV2_State_Retrieve_Function retrieve;
  LV2_State_Handle handle;
  LV2_URID chunkKey;
  float scale;
  std::vector<unsigned char> chunk;
};

const void* RetrieveKeepingSize(LV2_State_Handle handle, uint32_t key, size_t* size,
                                uint32_t* type, uint32_t* flags) {
  auto* keeping = static_cast<KeepingSize*>(handle);
  const void* data = keeping->retrieve(keeping->handle, key, size, type, flags);
  constexpr std::size_t kScaleAt = plug::IPluginLV2::kParamBytes * TovraSat::kNumParams;
  if (data == nullptr || key != keeping->chunkKey || *size < kScaleAt + sizeof(float)) return data;
  const auto* bytes = static_cast<const unsigned char*>(data);
  keeping->chunk.assign(bytes, bytes + *size);
  std::memcpy(keeping->chunk.data() + kScaleAt, &keeping->scale, sizeof(float));
  return keeping->chunk.data();
}

const LV2_State_Interface* WrapperState() {
  return static_cast<const LV2_State_Interface*>(
      plug::IPluginLV2::MakeDescriptor(kBinding).descriptor.extension_data(LV2_STATE__interface));
}

LV2_State_Status RestoreWithPresets(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                    LV2_State_Handle handle, uint32_t flags,
                                    const LV2_Feature* const* features) {
  auto* self = static_cast<plug::IPluginLV2*>(instance);
  LV2_URID_Map* map = self->UridMap();
  if (map != nullptr) {
    const std::string keepUri = Lv2KeepEditorSizeUri();
    size_t size = 0;
    uint32_t type = 0;
    uint32_t valueFlags = 0;
    if (retrieve(handle, map->map(map->handle, keepUri.c_str()), &size, &type, &valueFlags) !=
        nullptr) {
      KeepingSize keeping{retrieve, handle, map->map(map->handle, self->StateKeyUri()),
                          static_cast<TovraSat&>(self->Plug()).mEditorScale, {}};
      return WrapperState()->restore(instance, RetrieveKeepingSize, &keeping, flags, features);
    }
  }
  return WrapperState()->restore(instance, retrieve, handle, flags, features);
}

const void* ExtensionData(const char* uri) {
  static const LV2_State_Interface kState{WrapperState()->save, RestoreWithPresets};
  if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
  return plug::IPluginLV2::MakeDescriptor(kBinding).descriptor.extension_data(uri);
}

}  // namespace

plug::Lv2Turtle::Names Lv2Names() {
  plug::Lv2Turtle::Names names;
  names.pluginUri = kLv2PluginUri;
  names.binary = kLv2Binary;
  names.uiUri = kLv2UiUri;
  names.pluginClass = "lv2:DistortionPlugin";
  names.presetName = "Default";
  return names;
}

const LV2_Descriptor* Lv2Descriptor() {
  static const plug::Lv2PluginDescriptor record = [] {
    plug::Lv2PluginDescriptor r = plug::IPluginLV2::MakeDescriptor(kBinding);
    r.descriptor.instantiate = InstantiateWithPresets;
    r.descriptor.extension_data = ExtensionData;
    return r;
  }();
  return &record.descriptor;
}

const LV2UI_Descriptor* Lv2UiDescriptor() {
  static const LV2UI_Descriptor descriptor = plug::IPluginLV2UI::MakeDescriptor(kLv2UiUri);
  return &descriptor;
}

}  // namespace tovrasat
