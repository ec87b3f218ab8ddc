// TovraSatLv2: binds TovraSat to the LV2 wrapper: made by its Audio Unit factory, its meter
// ports ticked by the audio it processed.
#include "core/TovraSatLv2.h"

#include "core/TovraSat.h"
#include "plug/au/IPluginAUFactory.h"
#include "plug/lv2/IPluginLV2.h"
#include "plug/lv2/IPluginLV2UI.h"

namespace tovrasat {
namespace {

// The render thread's own readings, so the editor's meter keeps the shared ones.
void TickMeter(plug::IPluginAU& plug, float& meterDb, float& lamp) noexcept {
  float peak = 0.0f;
  bool clipped = false;
  static_cast<TovraSat&>(plug).mCrusher.takeRenderReadings(peak, clipped);
  TovraSat::AdvanceMeter(peak, clipped, meterDb, lamp);
}

void StartEditorMeter(plug::IPluginAU& plug, float meterDb, float lamp) {
  auto& tovrasat = static_cast<TovraSat&>(plug);
  tovrasat.mCrusher.peak.exchange(0.0f, std::memory_order_relaxed);
  tovrasat.mCrusher.clip.exchange(false, std::memory_order_relaxed);
  tovrasat.mMeterDb = meterDb;
  tovrasat.mClipLed = lamp;
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
      {kLv2PluginUri, &plug::IPluginAUFactory<TovraSat>::Factory, &TickMeter, &StartEditorMeter});
  return &record.descriptor;
}

const LV2UI_Descriptor* Lv2UiDescriptor() {
  static const LV2UI_Descriptor descriptor = plug::IPluginLV2UI::MakeDescriptor(kLv2UiUri);
  return &descriptor;
}

}  // namespace tovrasat
