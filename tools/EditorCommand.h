// EditorCommand.h: `tovrasat editor`, a standalone player around the plug-in's editor window.
#pragma once

#include <string>

namespace tools {

struct EditorOptions {
  std::string component;  // --component PATH, empty: PluginHost::LocateBundle's search
  std::string in;         // IN, empty: silence at 48 kHz
  std::string out;        // --out OUT, empty: nothing written
  bool noAudio = false;   // --no-audio: real-time pace without a sound device
};

// Opens the editor in a window through the host, loops IN through the plug-in at the pace of real
// time on the default sound output (or silently), prints every parameter change the host hears
// ("Gain = 40.0"), and writes what was played to OUT when the window closes. Returns the exit
// status; without a display it says so in one line and returns 1.
int Editor(const EditorOptions& options);

}  // namespace tools
