// TovraSatLv2: binds TovraSat to the LV2 wrapper: made by its Audio Unit factory, its meter
// ports ticked by the audio it processed, its user presets listed by hosts.
#include "core/lv2/TovraSatLv2.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/TovraSat.h"
#include "core/TovraSatHQ.h"
#include "core/lv2/presets/TovraSatLv2Presets.h"
#include "lv2/state/state.h"
#include "plug/au/IPluginAUFactory.h"
#include "plug/lv2/IPluginLV2.h"
#include "plug/lv2/IPluginLV2UI.h"
#include "state/TovraStateChunk.h"

namespace tovrasat {
namespace {

static_assert(plug::IPluginLV2::kParamBytes * TovraSat::kNumParams == statechunk::kScaleOffset,
              "the wrapper's parameter block is the state chunk's");

// The LV2 port symbol of a parameter.
std::string Symbol(int param) {
  return plug::Lv2Turtle::Symbol(statechunk::kParamNames[param]);
}

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

const plug::Lv2Binding kBinding{kLv2PluginUri, &plug::IPluginAUFactory<TovraSat>::Factory,
                                &TickMeter, &StartEditorMeter};
const plug::Lv2Binding kHqBinding{kLv2HqPluginUri, &plug::IPluginAUFactory<TovraSatHQ>::Factory,
                                  &TickMeter, &StartEditorMeter, kLv2PluginUri};

// The wrapper's instantiate, with the user presets: each new instance brings the bundle hosts
// list them from up to date with the preset folder (so presets made by hand, or before the bundle
// existed, show up too), and its editor's preset bar keeps it so.
template <const plug::Lv2Binding& binding>
LV2_Handle InstantiateWithPresets(const LV2_Descriptor*, double rate, const char*,
                                  const LV2_Feature* const* features) {
  std::unique_ptr<plug::IPluginLV2> self = plug::IPluginLV2::Create(binding, rate, features);
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

const void* RetrieveKeepingSize(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
  auto* keeping = static_cast<KeepingSize*>(handle);
  const void* data = keeping->retrieve(keeping->handle, key, size, type, flags);
  if (data == nullptr || key != keeping->chunkKey) return data;
  const auto* bytes = static_cast<const unsigned char*>(data);
  keeping->chunk.assign(bytes, bytes + *size);
  if (!statechunk::ReplaceEditorScale(keeping->chunk, keeping->scale)) return data;
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
      KeepingSize keeping{retrieve,
                          handle,
                          map->map(map->handle, self->StateKeyUri()),
                          static_cast<TovraSat&>(self->Plug()).mEditorScale,
                          {}};
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

plug::Lv2Turtle::Names Lv2Names(bool hq) {
  plug::Lv2Turtle::Names names;
  names.pluginUri = hq ? kLv2HqPluginUri : kLv2PluginUri;
  if (hq) {
    names.stateUri = kLv2PluginUri;
    names.ttlFile = "TovraSatHQ.ttl";
    names.presetsFile = "presets-hq.ttl";
    names.describeUi = false;
  }
  names.binary = kLv2Binary;
  names.uiUri = kLv2UiUri;
  names.pluginClass = "lv2:DistortionPlugin";
  names.presetName = "Default";
  names.comments = {
      {Symbol(TovraSat::kGain),
       "How much of the saturated signal is mixed with the unprocessed input: 0 % is the input "
       "untouched, 100 % all saturation. Changes glide over 10 ms."},
      {Symbol(TovraSat::kOutputTrim),
       "Output level after the saturation, -24 to +12 dB, gliding to a new setting over about "
       "25 ms. The meter shows the level after it."},
      {Symbol(TovraSat::k48V),
       "How the final limiter reacts. On: it grabs every peak the instant it comes and lets go "
       "quickly (tight, snappy transients with a little edge). Off: it follows a smoothed "
       "envelope (rounder, softer attacks)."},
      {Symbol(TovraSat::kBypass),
       "On: the output cross-fades to the unprocessed input in about 12 ms, without a click, and "
       "fades back when switched off. The meter and the overload lamp keep showing the processed "
       "signal."},
      {"latency", hq ? "The delay the plug-in adds: 44 frames at every sample rate for its "
                       "oversampling filters and its true-peak limiter (under 1 ms from 44.1 kHz "
                       "up), fixed, for the host to compensate."
                     : "The delay the plug-in adds: none (0 frames)."},
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

const LV2_Descriptor* Lv2Descriptor(bool hq) {
  static const plug::Lv2PluginDescriptor record = [] {
    plug::Lv2PluginDescriptor r = plug::IPluginLV2::MakeDescriptor(kBinding);
    r.descriptor.instantiate = InstantiateWithPresets<kBinding>;
    r.descriptor.extension_data = ExtensionData;
    return r;
  }();
  static const plug::Lv2PluginDescriptor hqRecord = [] {
    plug::Lv2PluginDescriptor r = plug::IPluginLV2::MakeDescriptor(kHqBinding);
    r.descriptor.instantiate = InstantiateWithPresets<kHqBinding>;
    r.descriptor.extension_data = ExtensionData;
    return r;
  }();
  return hq ? &hqRecord.descriptor : &record.descriptor;
}

const LV2UI_Descriptor* Lv2UiDescriptor() {
  static const LV2UI_Descriptor descriptor = plug::IPluginLV2UI::MakeDescriptor(kLv2UiUri);
  return &descriptor;
}

}  // namespace tovrasat
