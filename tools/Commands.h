// Commands.h: the tovrasat subcommands, each returning the process's exit code.
#pragma once

#include "tools/AudioFile.h"
#include "tools/PluginHost.h"

#include <optional>
#include <string>

namespace tools {

// Exit codes: 0 success, 1 a failure (unreadable input, unwritable output, a missing plug-in or
// preset), 2 a usage error. Every failure prints one line "tovrasat: ..." on stderr.
enum EExit { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// The option values of the command line, after parsing and range checks.
struct CommandOptions {
  std::string component;  // --component PATH, empty: PluginHost::LocateBundle's search
  // render
  std::string in, out;
  RenderSettings settings;
  std::string preset;  // --preset NAME, empty: none
  ESampleFormat format = ESampleFormat::kFloat32;
  bool quiet = false;
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

// Prints "tovrasat: text" on stderr and returns code.
int Fail(int code, const std::string& text);

}  // namespace tools
