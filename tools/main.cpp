// main.cpp: the tovrasat command line: parses with CLI11 and hands over to the subcommands.
#include "tools/Commands.h"
#include "tools/EditorCommand.h"
#include "tools/SnapshotCommand.h"
#include "tools/TemporaryFile.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
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

CLI::Validator EditorScale() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0.0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        return ec == std::errc() && ptr == end && tools::IsEditorScale(value)
                   ? std::string()
                   : "must be 1, 1.25, 1.5 or 1.75 (got " + text + ")";
      },
      "1|1.25|1.5|1.75");
}

void AddPresetOptions(CLI::App* app, double& gain, double& trim, std::string& phantom) {
  app->add_option("--gain", gain, "Gain, percent (0 to 100)")->check(InRange(0.0, 100.0, "%"));
  app->add_option("--trim", trim, "Output Trim, dB (-24 to 12)")->check(InRange(-24.0, 12.0, "dB"));
  app->add_option("--48v", phantom, "the 48V switch: on or off")->check(OnOff());
}

// The subcommand path a usage error belongs to ("render", "presets save"), for the help hint.
std::string CommandPath(const CLI::App& app) {
  std::string path;
  for (const CLI::App* at = &app;;) {
    const std::vector<CLI::App*> parsed = at->get_subcommands();
    if (parsed.empty()) break;
    at = parsed.front();
    path += (path.empty() ? "" : " ") + at->get_name();
  }
  return path;
}

// CLI11's message for a parse error, said the way the rest of the command speaks.
std::string UsageText(const CLI::ParseError& e, const CLI::App& app, const CLI::App& deepest) {
  const std::string what = e.what();
  // A mistyped command reads better as such than as a missing one.
  std::vector<std::string> extra = deepest.remaining();
  if (extra.empty()) extra = app.remaining(true);
  if (app.get_subcommands().empty() && !extra.empty())
    return "unknown command '" + extra.front() + "'";
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !extra.empty()) {
    const bool option = extra.front().size() > 1 && extra.front()[0] == '-';
    return (option ? "unknown option '" : "unexpected argument '") + extra.front() + "'";
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    // "--gain: At Most 1 required but received 2": an option given twice.
    const size_t colon = what.find(':');
    if (colon != std::string::npos && what.find("At Most") != std::string::npos)
      return what.substr(0, colon) + " takes one value and was given more than one";
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    if (what.find("FILES") != std::string::npos) return "render needs IN and OUT";
    if (what.find("NAME") != std::string::npos) return "a preset NAME is needed";
  }
  return what.substr(0, what.find('\n'));
}

int Run(int argc, char** argv) {
  CLI::App app{
      "Renders audio through the TovraSat Audio Unit, shows what a host sees of it, and manages "
      "its user presets.",
      "tovrasat"};
  app.require_subcommand(1);
  app.fallthrough();
  CommandOptions o;
  app.add_option("--component", o.component,
                 "the TovraSat.component bundle to load (default: $TOVRASAT_COMPONENT, else the "
                 "one built beside this program)");
  app.add_flag("--hq", o.hq, "TovraSat HQ, the oversampled plug-in of the bundle, for render, info "
               "and snapshot");
  app.add_flag_callback(
      "--version", [&o] { throw CLI::CallForVersion(tools::VersionText(o), 0); },
      "the command's and the plug-in's versions");

  double gain = 0.0, trim = 0.0;
  int block = 512;
  std::string phantom, bypass, format;
  bool noDither = false;

  CLI::App* render = app.add_subcommand(
      "render", "render audio files through the plug-in: IN OUT, or IN... --out-dir DIR");
  render
      ->add_option("FILES", o.inputs,
                   "IN OUT: an audio file (mono or stereo, - for standard input) and the file to "
                   "write (- for standard output); with --out-dir, every argument is an input, "
                   "a folder standing for the audio files in it")
      ->required();
  render->add_option("--out-dir", o.outDir,
                     "render each input to this folder under its own name (made if missing)");
  render->add_option("--suffix", o.suffix,
                     "with --out-dir, appended to each output's name before the extension");
  AddPresetOptions(render, gain, trim, phantom);
  render->add_option("--bypass", bypass, "Bypass: on or off")->check(OnOff());
  render->add_option("--preset", o.preset,
                     "start from this user preset (or Default); other options override it");
  render->add_option("--block", block, "host block size in frames (1 to 8192, default 512)")
      ->check(InRange(1, 8192, "frames"));
  render
      ->add_option("--format", format,
                   "output samples: f32, s24 or s16 (default: the input's, as far as the output "
                   "format holds them)")
      ->check(CLI::IsMember({"f32", "s24", "s16"}));
  render
      ->add_option("--type", o.type,
                   "output file type instead of OUT's extension (for - it is wav by default)")
      ->check(CLI::IsMember({"wav", "flac", "ogg", "aiff", "caf", "w64", "rf64", "au"}));
  render->add_flag("--no-dither", noDither, "no TPDF dither on 16-bit output");
  render
      ->add_option("--oversample", o.oversample,
                   "render at 2, 4 or 8 times the file's rate, resampled with libsoxr (less "
                   "aliasing; default 1)")
      ->check(CLI::IsMember({1, 2, 4, 8}));
  render
      ->add_option("--in-gain", o.inGainDb,
                   "gain before the plug-in, dB (-24 to 24), like a host's clip gain: brings hot "
                   "material under full scale before the chain")
      ->check(InRange(-24.0, 24.0, "dB"));
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

  tools::SnapshotOptions shot;
  std::optional<std::string> shotPhantom, shotBypass;
  CLI::App* snapshot =
      app.add_subcommand("snapshot", "draw the plug-in's editor in a given state into a PNG file");
  snapshot->add_option("OUT", shot.out, "output PNG file")->required();
  snapshot->add_option("--scale", shot.scale, "editor size: 1, 1.25, 1.5 or 1.75 (default 1)")
      ->check(EditorScale());
  snapshot->add_option("--gain", shot.gain, "Gain, percent (0 to 100)")
      ->check(InRange(0.0, 100.0, "%"));
  snapshot->add_option("--trim", shot.trimDb, "Output Trim, dB (-24 to 12)")
      ->check(InRange(-24.0, 12.0, "dB"));
  snapshot->add_option("--48v", shotPhantom, "the 48V switch: on or off")->check(OnOff());
  snapshot->add_option("--bypass", shotBypass, "Bypass: on or off")->check(OnOff());
  snapshot->add_option("--preset", shot.preset,
                       "the current preset (or Default); its values fill what is not given");
  snapshot->add_option("--meter-db", shot.meterDb, "the output level the meter shows, dBFS")
      ->check(InRange(-120.0, 12.0, "dBFS"));
  snapshot->add_option("--clip", shot.clip, "the overload lamp's brightness (0 to 1)")
      ->check(InRange(0.0, 1.0, ""));

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
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    const std::string path = CommandPath(app);
    const CLI::App* deepest = &app;
    while (!deepest->get_subcommands().empty()) deepest = deepest->get_subcommands().front();
    std::string text = UsageText(e, app, *deepest);
    if (presets->parsed() && presets->get_subcommands().empty()) {
      for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "presets" && argv[i + 1][0] != '-')
          text = "unknown presets command '" + std::string(argv[i + 1]) +
                 "' (list, show, save or delete)";
    }
    return tools::Fail(tools::kExitUsage,
                       text + " (see tovrasat " + (path.empty() ? "" : path + " ") + "--help)");
  }

  if (snapshot->parsed()) {
    shot.component = o.component;
    shot.hq = o.hq;
    if (shotPhantom) shot.phantom = *shotPhantom == "on";
    if (shotBypass) shot.bypass = *shotBypass == "on";
    return tools::Snapshot(shot);
  }
  CLI::App* active = render->parsed() ? render : save;
  if (active->count("--gain") > 0) o.settings.gain = gain;
  if (active->count("--trim") > 0) o.settings.trimDb = trim;
  if (active->count("--48v") > 0) o.settings.phantom = phantom == "on";
  if (render->parsed() && render->count("--bypass") > 0) o.settings.bypass = bypass == "on";
  o.settings.block = static_cast<UInt32>(block);
  if (!format.empty())
    o.format = format == "s24"   ? tools::ESampleFormat::kInt24
               : format == "s16" ? tools::ESampleFormat::kInt16
                                 : tools::ESampleFormat::kFloat32;
  o.dither = !noDither;
  // IN OUT: the last argument is the output.
  if (render->parsed() && o.outDir.empty() && o.inputs.size() == 2) {
    o.out = o.inputs.back();
    o.inputs.pop_back();
  }
  if (render->parsed() && o.outDir.empty() && !o.suffix.empty())
    return tools::Fail(tools::kExitUsage,
                       "--suffix names the outputs of --out-dir (see tovrasat render --help)");

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
  // Every command that writes audio (render, demo) leaves no temporary file when interrupted.
  tools::TemporaryFile::InstallSignalHandlers();
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return tools::Fail(tools::kExitFailure, e.what());
  } catch (...) {
    return tools::Fail(tools::kExitFailure, "unexpected failure");
  }
}
