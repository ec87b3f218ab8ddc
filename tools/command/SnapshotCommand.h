// SnapshotCommand.h: tovrasat snapshot: the plug-in's own editor, drawn offscreen, as a PNG file.
#pragma once

#include "tools/command/Commands.h"

#include <optional>
#include <string>

namespace tools {

// The option values of tovrasat snapshot, after parsing and range checks.
struct SnapshotOptions {
  std::string component;  // --component PATH, empty: PluginHost::LocateBundle's search
  bool hq = false;        // --hq: TovraSat HQ
  std::string out;
  double scale = 1.0;                 // the editor's size: 1, 1.25, 1.5 or 1.75
  PresetOptions parameters;           // --gain, --trim, --48v
  std::optional<std::string> bypass;  // on|off
  std::string preset;                 // empty: none; its values fill what is not given
  std::optional<double> meterDb;      // the output level the meter is to show, dBFS
  std::optional<double> clip;         // the overload lamp's brightness, 0 to 1
};

// Adds the snapshot subcommand to app, binding its options.
CLI::App* AddSnapshotCommand(CLI::App& app, SnapshotOptions& options);

// Loads the bundle as a host does, restores a project state holding the editor size and the preset
// name, sets the parameters, plays audio through the plug-in until its meter shows what was asked,
// opens the editor through the module's view entry without a parent window (its offscreen view),
// lets it draw a frame and writes that as a PNG (through a temporary file, so a failure leaves OUT
// as it was). Prints one line naming the file, its size and the meter's reading.
// Threads: main.
int Snapshot(const SnapshotOptions& options);

}  // namespace tools
