// main.cpp: the tovrasat command line: parses with CLI11 and hands over to the subcommands.
#include "tools/Commands.h"
#include "tools/EditorCommand.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

namespace {

using tools::CommandOptions;

// A number in [lo, hi]; the message names the range, so a user sees what is allowed.
CLI::Validator InRange(double lo, double hi, const std::string& unit) {
  const std::string range = "between " + CLI::detail::to_string(lo) + " and " +
                            CLI::detail::to_string(hi) + (unit.empty() ? "" : " " + unit);
  return CLI::Validator(
      [lo, hi, range](std::string& text) -> std::string {
        double value = 0.0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (ec != std::errc() || ptr != end) return "'" + text + "' is not a number " + range;
        if (!(value >= lo && value <= hi)) return "must be " + range + " (got " + text + ")";
        return {};
      },
      range);
}

CLI::Validator OnOff() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        return text == "on" || text == "off" ? std::string()
                                             : "must be on or off (got '" + text + "')";
      },
      "on|off");
}

void AddPresetOptions(CLI::App* app, double& gain, double& trim, std::string& phantom) {
  app->add_option("--gain", gain, "Gain, percent (0 to 100)")->check(InRange(0.0, 100.0, "%"));
  app->add_option("--trim", trim, "Output Trim, dB (-24 to 12)")->check(InRange(-24.0, 12.0, "dB"));
  app->add_option("--48v", phantom, "the 48V switch: on or off")->check(OnOff());
}

int Run(int argc, char** argv) {
  CLI::App app{
      "Renders audio through the TovraSat Audio Unit, shows what a host sees of it, and manages "
      "its user "
      "presets.",
      "tovrasat"};
  app.require_subcommand(1);
  app.fallthrough();
  CommandOptions o;
  app.add_option("--component", o.component,
                 "the TovraSat.component bundle to load (default: $TOVRASAT_COMPONENT, else the "
                 "one built beside "
                 "this program)");

  double gain = 0.0, trim = 0.0;
  int block = 512;
  std::string phantom, bypass, format = "f32";

  CLI::App* render = app.add_subcommand("render", "render an audio file through the plug-in");
  render->add_option("IN", o.in, "input audio file (mono or stereo)")->required();
  render->add_option("OUT", o.out, "output WAV file")->required();
  AddPresetOptions(render, gain, trim, phantom);
  render->add_option("--bypass", bypass, "Bypass: on or off")->check(OnOff());
  render->add_option("--preset", o.preset,
                     "start from this user preset (or Default); other options override it");
  render->add_option("--block", block, "host block size in frames (1 to 8192, default 512)")
      ->check(InRange(1, 8192, "frames"));
  render->add_option("--format", format, "output sample format: f32 (default), s24 or s16")
      ->check(CLI::IsMember({"f32", "s24", "s16"}));
  render->add_flag("--quiet,-q", o.quiet, "no progress bar and no summary");

  CLI::App* info = app.add_subcommand("info", "show what a host sees of the plug-in");

  CLI::App* presets = app.add_subcommand("presets", "the user preset folder");
  presets->require_subcommand(1);
  CLI::App* list = presets->add_subcommand("list", "list the user presets and print the folder");
  CLI::App* show = presets->add_subcommand("show", "print one preset's values");
  show->add_option("NAME", o.presetName, "preset name")->required();
  CLI::App* save = presets->add_subcommand(
      "save", "save the plug-in's settings, with the given changes, as a preset");
  save->add_option("NAME", o.presetName, "preset name")->required();
  AddPresetOptions(save, gain, trim, phantom);
  CLI::App* remove = presets->add_subcommand("delete", "delete a user preset");
  remove->add_option("NAME", o.presetName, "preset name")->required();

  CLI::App* demo =
      app.add_subcommand("demo", "render a built-in demo signal at several settings and compare");
  demo->add_option("DIR", o.demoDir, "output folder (default demo-out)");

  tools::EditorOptions editorOptions;
  CLI::App* editor = app.add_subcommand(
      "editor", "open the plug-in's editor in a window and play a file through it in a loop");
  editor->add_option("IN", editorOptions.in, "audio file to loop (mono or stereo)");
  editor->add_option("--out", editorOptions.out, "write what was played here (WAV) at the end");
  editor
      ->add_option("--scale", editorOptions.scale,
                   "editor size: 1, 1.25, 1.5 or 1.75 (100 to 175 %)")
      ->check(CLI::IsMember({1.f, 1.25f, 1.5f, 1.75f}));
  editor->add_flag("--no-audio", editorOptions.noAudio,
                   "no sound device: play silently in real time");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    std::string text = e.what();
    text = text.substr(0, text.find('\n'));
    // A mistyped command reads better as such than as a missing one.
    const std::vector<std::string> extra = app.remaining();
    if (app.get_subcommands().empty() && !extra.empty())
      text = "unknown command '" + extra.front() + "'";
    if (presets->parsed() && presets->get_subcommands().empty()) {
      for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "presets" && argv[i + 1][0] != '-')
          text = "unknown presets command '" + std::string(argv[i + 1]) +
                 "' (list, show, save or delete)";
    }
    return tools::Fail(tools::kExitUsage, text + " (see tovrasat --help)");
  }

  CLI::App* active = render->parsed() ? render : save;
  if (active->count("--gain") > 0) o.settings.gain = gain;
  if (active->count("--trim") > 0) o.settings.trimDb = trim;
  if (active->count("--48v") > 0) o.settings.phantom = phantom == "on";
  if (render->parsed() && render->count("--bypass") > 0) o.settings.bypass = bypass == "on";
  o.settings.block = static_cast<UInt32>(block);
  o.format = format == "s24"   ? tools::ESampleFormat::kInt24
             : format == "s16" ? tools::ESampleFormat::kInt16
                               : tools::ESampleFormat::kFloat32;

  if (render->parsed()) return tools::Render(o);
  if (info->parsed()) return tools::Info(o);
  if (list->parsed()) return tools::PresetsList(o);
  if (show->parsed()) return tools::PresetsShow(o);
  if (save->parsed()) return tools::PresetsSave(o);
  if (remove->parsed()) return tools::PresetsDelete(o);
  if (demo->parsed()) return tools::Demo(o);
  if (editor->parsed()) {
    editorOptions.component = o.component;
    return tools::Editor(editorOptions);
  }
  return tools::Fail(tools::kExitUsage, "no command given (see tovrasat --help)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return tools::Fail(tools::kExitFailure, e.what());
  } catch (...) {
    return tools::Fail(tools::kExitFailure, "unexpected failure");
  }
}
