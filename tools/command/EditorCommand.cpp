// EditorCommand.cpp: tovrasat editor: the plug-in's editor in a window with a file looping
// through it.
#include "tools/command/EditorCommand.h"
#include "tools/command/Commands.h"

namespace tools {

CLI::App* AddEditorCommand(CLI::App& app, EditorOptions& options) {
  CLI::App* editor = app.add_subcommand(
      "editor", "open the plug-in's editor in a window and play a file through it in a loop");
  editor->add_option("IN", options.in, "audio file to loop (mono or stereo)");
  editor->add_option("--out", options.out, "write what was played here (WAV) at the end");
  AddScaleOption(*editor, options.scale, "editor size: 1, 1.25, 1.5 or 1.75 (100 to 175 %)");
  editor->add_flag("--no-audio", options.noAudio, "no sound device: play silently in real time");
  return editor;
}

int Editor(const EditorOptions& options) {
  std::string error;
  return PlayInEditor(options, error) ? kExitOk : Fail(kExitFailure, error);
}

}  // namespace tools
