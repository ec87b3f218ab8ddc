// EditorPlayer.h: a standalone player around the plug-in's editor window.
#pragma once

#include <string>

#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"

namespace tools {

struct EditorOptions {
  std::string component;  // --component PATH, empty: PluginHost::LocateBundle's search
  std::string in;         // IN, empty: silence at 48 kHz
  std::string out;        // --out OUT, empty: nothing written
  double scale = 0.0;     // --scale S: 1, 1.25, 1.5 or 1.75; 0: the plug-in's own
  bool noAudio = false;   // --no-audio: real-time pace without a sound device
};

// Opens the editor in a window through the host, loops IN through the plug-in at the pace of real
// time on the default sound output (or silently), prints every parameter change the host hears
// ("Gain = 40.0"), and writes what was played to OUT when the window closes. False with the
// failure's text (no display among them) when the session could not run or OUT not be written.
bool PlayInEditor(const EditorOptions& options, std::string& error);

// Opens the unit's editor through the bundle's view entry (TovraSat_CreateView) as a child of
// parent, an X11 window (the root window gives a top-level window; 0 an offscreen editor). The
// view (the X11 window's ID as a pointer, or the offscreen target), or null when the bundle has no
// such entry or the unit no editor. Threads: main.
void* OpenEditorView(const host::ComponentBundle& bundle, host::HostedUnit& unit,
                     unsigned long parent);

}  // namespace tools
