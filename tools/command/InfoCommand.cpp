// InfoCommand.cpp: tovrasat info: what a host sees of the plug-in (codes, parameters, channels,
// latency, presets, state).
#include "tools/command/Commands.h"

#include "host/ComponentEntry.h"

#include <cinttypes>
#include <cstdio>
#include <utility>
#include <vector>

namespace tools {
namespace {

std::string UnitName(const host::ParameterInfo& p) {
  switch (p.unit) {
    case kAudioUnitParameterUnit_Generic:
      return "generic";
    case kAudioUnitParameterUnit_Indexed:
      return "indexed";
    case kAudioUnitParameterUnit_Boolean:
      return "boolean";
    case kAudioUnitParameterUnit_Percent:
      return "percent";
    case kAudioUnitParameterUnit_Seconds:
      return "seconds";
    case kAudioUnitParameterUnit_Hertz:
      return "hertz";
    case kAudioUnitParameterUnit_Decibels:
      return "decibels";
    case kAudioUnitParameterUnit_LinearGain:
      return "linear gain";
    case kAudioUnitParameterUnit_Milliseconds:
      return "milliseconds";
    case kAudioUnitParameterUnit_CustomUnit:
      return "custom \"" + p.unitName + "\"";
    default:
      return "unit " + std::to_string(p.unit);
  }
}

std::string FlagNames(AudioUnitParameterOptions flags) {
  const std::pair<AudioUnitParameterOptions, const char*> names[] = {
      {kAudioUnitParameterFlag_IsReadable, "readable"},
      {kAudioUnitParameterFlag_IsWritable, "writable"},
      {kAudioUnitParameterFlag_CanRamp, "can-ramp"},
      {kAudioUnitParameterFlag_IsHighResolution, "high-resolution"},
      {kAudioUnitParameterFlag_NonRealTime, "non-real-time"},
      {kAudioUnitParameterFlag_ValuesHaveStrings, "values-have-strings"},
      {kAudioUnitParameterFlag_HasClump, "has-clump"},
      {kAudioUnitParameterFlag_HasCFNameString, "cf-name"},
      {kAudioUnitParameterFlag_MeterReadOnly, "meter"},
      {kAudioUnitParameterFlag_ExpertMode, "expert"},
      {kAudioUnitParameterFlag_OmitFromPresets, "omit-from-presets"},
      {kAudioUnitParameterFlag_DisplayLogarithmic, "display-log"},
  };
  std::string text;
  for (const auto& [bit, name] : names)
    if ((flags & bit) != 0) text += std::string(text.empty() ? "" : " ") + name;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08" PRIX32, static_cast<uint32_t>(flags));
  return std::string(hex) + (text.empty() ? "" : " (" + text + ")");
}

template <typename T>
std::optional<T> GetProperty(AudioUnit unit, AudioUnitPropertyID id) {
  T value{};
  UInt32 size = sizeof value;
  if (AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &value, &size) != noErr)
    return std::nullopt;
  return value;
}

std::vector<AUChannelInfo> ChannelConfigurations(AudioUnit unit) {
  UInt32 size = 0;
  Boolean writable = false;
  if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels,
                               kAudioUnitScope_Global, 0, &size, &writable) != noErr)
    return {};
  std::vector<AUChannelInfo> configs(size / sizeof(AUChannelInfo));
  if (configs.empty() ||
      AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                           configs.data(), &size) != noErr)
    return {};
  configs.resize(size / sizeof(AUChannelInfo));
  return configs;
}

std::string Seconds(const std::optional<Float64>& value) {
  return value ? Fixed(*value, 6) + " s" : std::string("n/a");
}

}  // namespace

CLI::App* AddInfoCommand(CLI::App& app) {
  return app.add_subcommand("info", "show what a host sees of the plug-in");
}

int Info(const CommandOptions& options) {
  std::string error;
  auto plugin = OpenPlugin(options.component, error, options.hq);
  if (!plugin) return Fail(kExitFailure, error);
  host::HostedUnit& unit = plugin->Unit();
  const host::ComponentEntry& entry = unit.Entry();
  const AudioComponentDescription& d = entry.description;
  std::printf("component    %s\n", PluginHost::LocateBundle(options.component).c_str());
  std::printf("codes        %s %s %s\n", host::FourCCText(d.componentType).c_str(),
              host::FourCCText(d.componentSubType).c_str(),
              host::FourCCText(d.componentManufacturer).c_str());
  std::printf("name         %s\n", entry.name.c_str());
  std::printf("version      %u.%u.%u (0x%08X)\n", entry.version >> 16, (entry.version >> 8) & 0xFF,
              entry.version & 0xFF, entry.version);

  const std::vector<AudioUnitParameterID> ids = unit.ParameterList();
  std::printf("parameters   %zu\n", ids.size());
  for (const AudioUnitParameterID id : ids) {
    const std::optional<host::ParameterInfo> p = unit.GetParameterInfo(id);
    if (!p) {
      std::printf("  %u  (no parameter info)\n", id);
      continue;
    }
    std::printf("  %u  %-12s %s, range %g .. %g, default %g\n", id, ("\"" + p->name + "\"").c_str(),
                UnitName(*p).c_str(), p->minValue, p->maxValue, p->defaultValue);
    std::printf("       flags %s\n", FlagNames(p->flags).c_str());
    if (const auto strings = unit.ParameterValueStrings(id)) {
      // Indexed by value from the minimum; a parameter with fewer texts than values leaves the
      // rest empty, and those are not texts the parameter shows.
      std::string list;
      for (size_t i = 0; i < strings->size(); ++i) {
        if ((*strings)[i].empty()) continue;
        list += std::string(list.empty() ? "" : ", ") +
                Fixed(p->minValue + static_cast<double>(i), 0) + " \"" + (*strings)[i] + "\"";
      }
      if (!list.empty()) std::printf("       value strings %s\n", list.c_str());
    }
    if (const auto shown = unit.ParameterStringFromValue(id, std::nullopt))
      std::printf("       shows \"%s\" now\n", shown->c_str());
  }

  const std::vector<AUChannelInfo> configs = ChannelConfigurations(unit.Unit());
  std::string channels;
  for (const AUChannelInfo& c : configs) {
    if (!channels.empty()) channels += ' ';
    channels += std::to_string(c.inChannels);
    channels += '-';
    channels += std::to_string(c.outChannels);
  }
  std::printf("channels     %s\n", channels.empty() ? "n/a" : channels.c_str());
  std::printf("latency      %s\n",
              Seconds(GetProperty<Float64>(unit.Unit(), kAudioUnitProperty_Latency)).c_str());
  std::printf("tail         %s\n",
              Seconds(GetProperty<Float64>(unit.Unit(), kAudioUnitProperty_TailTime)).c_str());

  const std::vector<host::Preset> presets = unit.FactoryPresets();
  std::printf("factory presets %zu\n", presets.size());
  for (const host::Preset& p : presets) std::printf("  %d  \"%s\"\n", p.number, p.name.c_str());

  OSStatus status = noErr;
  const host::CFRef<CFPropertyListRef> state = unit.SaveClassInfo(&status);
  std::string stateText = "n/a (status " + std::to_string(status) + ")";
  if (state && CFGetTypeID(state.Get()) == CFDictionaryGetTypeID()) {
    const void* data =
        CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("data"));
    if (data != nullptr && CFGetTypeID(data) == CFDataGetTypeID())
      stateText = std::to_string(CFDataGetLength(static_cast<CFDataRef>(data))) +
                  " bytes (class-info data)";
    else
      stateText = "no data entry";
  }
  std::printf("saved state  %s\n", stateText.c_str());
  return kExitOk;
}

}  // namespace tools
