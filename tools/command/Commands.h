// Commands.h: the tovrasat commands, each declared on the command line and run by a file of its
// own, and what they share: exit codes, messages, the options that set the plug-in.
#pragma once

#include "tools/audiofile/AudioWriter.h"
#include "tools/pluginhost/PluginHost.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovrapresets {
struct Values;
}

namespace tools {

// Exit codes: 0 success, 1 a failure (unreadable input, unwritable output, a missing plug-in or
// preset), 2 a usage error. Every failure prints one line "tovrasat: ..." on stderr.
enum EExit { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// The parameters a preset holds, as every command that sets them takes them: --gain, --trim,
// --48v. Unset: the plug-in's own value (or the preset's).
struct PresetOptions {
  std::optional<double> gain;
  std::optional<double> trimDb;
  std::optional<std::string> phantom;  // on|off

  // Those given, into settings.
  void ApplyTo(RenderSettings& settings) const;
};

// The option values of render, info, presets and demo, after parsing and range checks.
struct CommandOptions {
  std::string component;  // --component PATH, empty: PluginHost::LocateBundle's search
  // render: IN OUT, or with outDir every file (or folder of files) in inputs
  std::vector<std::string> inputs;
  std::string out;
  std::string outDir;  // --out-dir DIR, empty: none
  std::string suffix;  // --suffix TEXT, appended to each output's stem in a batch
  RenderSettings settings;
  std::string preset;                   // --preset NAME, empty: none
  std::optional<ESampleFormat> format;  // --format; nullopt: like the input
  std::string type;                     // --type wav|flac|...; empty: by OUT's extension
  bool dither = true;                   // TPDF dither on 16-bit output
  int oversample = 1;                   // --oversample 1|2|4|8
  double inGainDb = 0.0;                // --in-gain DB: before the plug-in
  bool quiet = false;
  int jobs = 0;  // -j N: the files of a batch rendered at once; 0: one per processor
  bool hq = false;  // --hq: TovraSat HQ (render, info)
  // presets
  std::string presetName;
  // demo
  std::string demoDir = "demo-out";
};

// What a command's declaration binds before parsing and turns into CommandOptions after it.
struct ParsedOptions {
  PresetOptions preset;
  std::optional<std::string> bypass;  // on|off
  std::string format;                 // f32|s24|s16, empty: like the input
  int block = 512;
  bool noDither = false;
};

// Declarations on the command line: each adds its subcommand to app, binding options, and
// returns it. Each command's run reads what was parsed.
CLI::App* AddRenderCommand(CLI::App& app, CommandOptions& options, ParsedOptions& parsed);
CLI::App* AddInfoCommand(CLI::App& app);
CLI::App* AddPresetsCommand(CLI::App& app, CommandOptions& options, ParsedOptions& parsed);
CLI::App* AddDemoCommand(CLI::App& app, CommandOptions& options);

// render: options.inputs holds IN OUT, or the inputs of a batch with --out-dir.
int Render(CommandOptions options, const ParsedOptions& parsed);
int Info(const CommandOptions& options);
// presets list|show|save|delete|restore, whichever of presets' subcommands was parsed.
int Presets(const CommandOptions& options, const ParsedOptions& parsed, const CLI::App& presets);
int Demo(const CommandOptions& options);

// The option checks the commands share. A number in [lo, hi]; the message names the range.
CLI::Validator InRange(double lo, double hi, const std::string& unit);
// "on" or "off".
CLI::Validator OnOff();
// Adds --gain, --trim and --48v to command.
void AddPresetOptions(CLI::App& command, PresetOptions& options);
// Adds --bypass, on or off, to command.
void AddBypassOption(CLI::App& command, std::optional<std::string>& bypass);
// Adds --scale, one of the editor's sizes (1, 1.25, 1.5, 1.75), to command.
void AddScaleOption(CLI::App& command, double& scale, const std::string& description);

// "tovrasat VERSION (...)" and the plug-in's name and version, for --version.
std::string VersionText(const std::string& component);

// The command the help hint of a usage error names ("render", "presets save"; empty: none).
void SetUsageCommand(const std::string& command);
// "(see tovrasat COMMAND --help)" for that command.
std::string HelpHint();

// The option or command a mistyped name most likely meant: the nearest of known by edit distance
// (a swap of neighbours counts one), when near enough; empty when none is.
std::string Closest(const std::string& typed, const std::vector<std::string>& known);
size_t EditDistance(const std::string& a, const std::string& b);

// Prints "tovrasat: text" on stderr, control characters escaped so it stays one line, and
// returns code. A usage error (kExitUsage) ends with HelpHint() unless text names a help already.
int Fail(int code, const std::string& text);
// Prints "tovrasat: warning: text" on stderr, likewise.
void Warn(const std::string& text);

// Figures as the summaries print them: a fixed number of decimals; dB of a linear value (-inf
// for silence); integrated loudness (-inf for silence or audio shorter than a gating block).
std::string Fixed(double value, int decimals);
std::string Db(double linear);
std::string Lufs(double lufs);

// The bundle and a fresh unit from it, or the failure's text.
std::unique_ptr<PluginHost> OpenPlugin(const std::string& component, std::string& error,
                                       bool hq = false);

// A preset's values by name: the built-in "Default" or a file, whose questionable fields are
// warned about. False with a text when unknown.
bool FindPreset(const std::string& typed, tovrapresets::Values& values, std::string& error);

}  // namespace tools
