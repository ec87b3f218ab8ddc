// PresetsCommand.cpp: tovrasat presets list, show, save and delete, on the user preset folder
// and the LV2 hosts' copy of it.
#include "tools/command/Commands.h"

#include "core/TovraSatLv2Presets.h"
#include "state/TovraPresets.h"
#include "tools/command/PresetCheck.h"
#include "tools/command/Printable.h"

#include <cstdio>
#include <filesystem>

namespace tools {
namespace {

namespace fs = std::filesystem;

const char* kBuiltInPreset = "Default";

std::string Describe(const tovrapresets::Values& v) {
  return "gain " + Fixed(v.gain, 2) + " %, trim " + Fixed(v.trim, 2) + " dB, 48V " +
         (v.phat ? "on" : "off");
}

// The file a typed preset name means: the name as typed when such a preset exists, else the name
// cleaned as save cleans it, so the name a preset was saved under finds it again.
std::string PresetFileName(const std::string& typed) {
  if (tovrapresets::IsSafeName(typed) && fs::exists(tovrapresets::PathFor(typed))) return typed;
  const std::string clean = tovrapresets::Sanitize(typed);
  return clean.empty() ? typed : clean;
}

}  // namespace

// A preset's values by name: the built-in "Default" or a file, whose questionable fields are
// warned about. False with a text when unknown.
bool FindPreset(const std::string& typed, tovrapresets::Values& values, std::string& error) {
  if (typed == kBuiltInPreset) {
    values = tovrapresets::Values{};
    return true;
  }
  const std::string name = PresetFileName(typed);
  if (!tovrapresets::IsSafeName(name)) {
    error = "'" + typed + "' is not a preset name";
    return false;
  }
  const fs::path path = tovrapresets::PathFor(name);
  std::error_code ec;
  if (fs::exists(path, ec) && !PresetCheck::IsRegularFile(path)) {
    error = path.string() + ": is not a regular file";
    return false;
  }
  if (!tovrapresets::Load(name, values)) {
    error = "no preset named '" + typed + "' in " + tovrapresets::Dir().string();
    return false;
  }
  for (const std::string& warning : PresetCheck::Warnings(path)) Warn(warning);
  return true;
}

CLI::App* AddPresetsCommand(CLI::App& app, CommandOptions& o, ParsedOptions& parsed) {
  CLI::App* presets = app.add_subcommand("presets", "the user preset folder");
  presets->require_subcommand(1);
  presets->add_subcommand("list", "list the user presets and print the folder");
  CLI::App* show = presets->add_subcommand("show", "print one preset's values");
  show->add_option("NAME", o.presetName, "preset name")->required();
  CLI::App* save = presets->add_subcommand(
      "save", "save the plug-in's settings, with the given changes, as a preset");
  save->add_option("NAME", o.presetName, "preset name")->required();
  AddPresetOptions(*save, parsed.preset);
  CLI::App* remove = presets->add_subcommand("delete", "delete a user preset");
  remove->add_option("NAME", o.presetName, "preset name")->required();
  return presets;
}

namespace {

int PresetsList(const CommandOptions&) {
  std::printf("preset folder %s\n", tovrapresets::Dir().string().c_str());
  std::printf("  %-32s  %s (built in)\n", kBuiltInPreset, Describe(tovrapresets::Values{}).c_str());
  for (const std::string& name : tovrapresets::List()) {
    if (name == kBuiltInPreset) continue;  // the built-in preset hides a file of its name
    tovrapresets::Values values;
    if (tovrapresets::Load(name, values))
      std::printf("  %-32s  %s\n", name.c_str(), Describe(values).c_str());
    else
      std::printf("  %-32s  (unreadable)\n", name.c_str());
  }
  return kExitOk;
}

int PresetsShow(const CommandOptions& options) {
  tovrapresets::Values values;
  std::string error;
  if (!FindPreset(options.presetName, values, error)) return Fail(kExitFailure, error);
  std::printf("%s: %s\n", Printable(options.presetName).c_str(), Describe(values).c_str());
  return kExitOk;
}

// LV2 hosts list the user presets from a bundle of their own, kept in step with the folder; the
// preset itself is saved or deleted whatever happens there.
void SyncHostPresets() {
  if (!tovrasat::SyncLv2UserPresets())
    Warn("could not bring the LV2 user presets in " + tovrasat::Lv2UserPresetBundle().string() +
         " up to date");
}

int PresetsSave(const CommandOptions& options) {
  const std::string name = tovrapresets::Sanitize(options.presetName);
  if (name.empty())
    return Fail(kExitUsage,
                "'" + options.presetName +
                    "' has no character a preset name may hold (letters, digits, space + - . _)");
  if (name == kBuiltInPreset)
    return Fail(kExitUsage, "'Default' is the built-in preset; choose another name");
  // The plug-in takes the settings as a host would set them, and the preset is what it then holds.
  std::string error;
  auto plugin = OpenPlugin(options.component, error);
  if (!plugin) return Fail(kExitFailure, error);
  if (!plugin->Apply(options.settings, error)) return Fail(kExitFailure, error);
  const auto gain = plugin->Unit().GetParameter(kParamGain);
  const auto trim = plugin->Unit().GetParameter(kParamTrim);
  const auto phantom = plugin->Unit().GetParameter(kParam48V);
  if (!gain || !trim || !phantom)
    return Fail(kExitFailure, "the plug-in has no Gain, Output Trim or 48V parameter");
  const tovrapresets::Values values{*gain, *trim, *phantom >= 0.5f};
  if (!tovrapresets::Save(name, values))
    return Fail(kExitFailure, "cannot write " + tovrapresets::PathFor(name).string());
  std::printf("saved '%s' (%s) to %s\n", name.c_str(), Describe(values).c_str(),
              tovrapresets::PathFor(name).string().c_str());
  SyncHostPresets();
  return kExitOk;
}

int PresetsDelete(const CommandOptions& options) {
  if (options.presetName == kBuiltInPreset)
    return Fail(kExitUsage, "'Default' is the built-in preset and cannot be deleted");
  const std::string name = PresetFileName(options.presetName);
  if (!tovrapresets::Remove(name))
    return Fail(kExitFailure,
                "no preset named '" + options.presetName + "' in " + tovrapresets::Dir().string());
  std::printf("deleted '%s'\n", Printable(name).c_str());
  SyncHostPresets();
  return kExitOk;
}

}  // namespace

int Presets(const CommandOptions& options, const ParsedOptions& parsed, const CLI::App& presets) {
  if (presets.got_subcommand("list")) return PresetsList(options);
  if (presets.got_subcommand("show")) return PresetsShow(options);
  if (presets.got_subcommand("save")) {
    CommandOptions save = options;
    parsed.preset.ApplyTo(save.settings);
    return PresetsSave(save);
  }
  return PresetsDelete(options);
}

}  // namespace tools
