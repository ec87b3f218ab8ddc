// EditorCommand.h: tovrasat editor: the plug-in's editor in a window with a file looping through
// it, on the player.
#pragma once

#include "tools/player/EditorPlayer.h"

namespace CLI {
class App;
}

namespace tools {

// Adds the editor subcommand to app, binding its options.
CLI::App* AddEditorCommand(CLI::App& app, EditorOptions& options);

// Plays options.in in the editor's window until it closes; the exit code, with the failure said.
int Editor(const EditorOptions& options);

}  // namespace tools
