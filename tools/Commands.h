// Commands.h: the tovrasat subcommands, each returning the process's exit code.
#pragma once

#include "tools/AudioFile.h"
#include "tools/PluginHost.h"

#include <optional>
#include <string>
#include <vector>

namespace tools {

// Exit codes: 0 success, 1 a failure (unreadable input, unwritable output, a missing plug-in or
// preset), 2 a usage error. Every failure prints one line "tovrasat: ..." on stderr.
enum EExit { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// The option values of the command line, after parsing and range checks.
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
  bool hq = false;                      // --hq: TovraSat HQ
  // presets
  std::string presetName;
  // demo
  std::string demoDir = "demo-out";
};

int Render(const CommandOptions& options);
int Info(const CommandOptions& options);
int PresetsList(const CommandOptions& options);
int PresetsShow(const CommandOptions& options);
int PresetsSave(const CommandOptions& options);
int PresetsDelete(const CommandOptions& options);
int Demo(const CommandOptions& options);

// "tovrasat VERSION (...)" and the plug-in's name and version, for --version.
std::string VersionText(const CommandOptions& options);

// Prints "tovrasat: text" on stderr, control characters escaped so it stays one line, and
// returns code.
int Fail(int code, const std::string& text);
// Prints "tovrasat: warning: text" on stderr, likewise.
void Warn(const std::string& text);

}  // namespace tools
