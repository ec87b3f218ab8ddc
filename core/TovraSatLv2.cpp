// TovraSatLv2: binds TovraSat to the LV2 wrapper: made by its Audio Unit factory, metered by its
// idle tick, its user presets listed by hosts.
#include "core/TovraSatLv2.h"

#include "core/TovraSat.h"
#include "core/TovraSatLv2Presets.h"
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
    return r;
  }();
  return &record.descriptor;
}

const LV2UI_Descriptor* Lv2UiDescriptor() {
  static const LV2UI_Descriptor descriptor = plug::IPluginLV2UI::MakeDescriptor(kLv2UiUri);
  return &descriptor;
}

}  // namespace tovrasat
