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
  names.comments = {
      {"gain",
       "How much of the saturated signal is mixed with the unprocessed input: 0 % is the input "
       "untouched, 100 % all saturation. Changes glide over 10 ms."},
      {"output_trim",
       "Output level after the saturation, -24 to +12 dB, gliding to a new setting over about "
       "25 ms. The meter shows the level after it."},
      {"_48v",
       "How the final limiter reacts. On: it grabs every peak the instant it comes and lets go "
       "quickly (tight, snappy transients with a little edge). Off: it follows a smoothed "
       "envelope (rounder, softer attacks)."},
      {"bypass",
       "On: the output cross-fades to the unprocessed input in about 12 ms, without a click, and "
       "fades back when switched off. The meter and the overload lamp keep showing the processed "
       "signal."},
      {"latency", "The delay the plug-in adds: none (0 frames)."},
      {"meter",
       "The output peak after the trim, in dBFS, as the editor's meter shows it: updated every "
       "20 ms of audio, rising at once and falling by at most 3 dB per update; -120 at rest."},
      {"overload",
       "1 when the saturation reached its ceiling (full scale) in the last 20 ms of audio, then "
       "0.15 less every 20 ms; 0 when off."},
      {"notify",
       "Tells the host when the editor's size or the preset name changed, so that the session "
       "saves them."},
  };
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
