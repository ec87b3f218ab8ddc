// TovraSatLv2: binds TovraSat to the LV2 wrapper: made by its Audio Unit factory, metered by its
// idle tick.
#include "core/TovraSatLv2.h"

#include "core/TovraSat.h"
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
  static const plug::Lv2PluginDescriptor record = plug::IPluginLV2::MakeDescriptor(
      {kLv2PluginUri, &plug::IPluginAUFactory<TovraSat>::Factory, &ReadMeter});
  return &record.descriptor;
}

const LV2UI_Descriptor* Lv2UiDescriptor() {
  static const LV2UI_Descriptor descriptor = plug::IPluginLV2UI::MakeDescriptor(kLv2UiUri);
  return &descriptor;
}

}  // namespace tovrasat
