// main.cpp: the tovrasat command line: parses with CLI11 and hands over to the subcommands.
#include "tools/audiofile/TemporaryFile.h"
#include "tools/command/Commands.h"
#include "tools/command/EditorCommand.h"
#include "tools/command/SnapshotCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using tools::CommandOptions;

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

// "; did you mean 'NAME'?" when there is a NAME.
std::string Suggestion(const std::string& name) {
  return name.empty() ? std::string() : "; did you mean '" + name + "'?";
}

// The long options a command takes: its own and the program's.
std::vector<std::string> OptionNames(const CLI::App& command, const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* at : {&command, &app})
    for (const CLI::Option* option : at->get_options())
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  return names;
}

// "tovrasat [--component PATH] help [COMMAND...]" is "tovrasat COMMAND... --help": the help asked
// for in the words a user tries first.
std::vector<std::string> HelpAsOption(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--component") {
      ++i;
      continue;
    }
    if (!args[i].empty() && args[i][0] == '-') continue;
    if (args[i] == "help") {
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      args.emplace_back("--help");
    }
    break;
  }
  return args;
}

// CLI11's message for a parse error, said the way the rest of the command speaks.
std::string UsageText(const CLI::ParseError& e, const CLI::App& app, const CLI::App& deepest) {
  const std::string what = e.what();
  // A mistyped command reads better as such than as a missing one.
  std::vector<std::string> extra = deepest.remaining();
  if (extra.empty()) extra = app.remaining(true);
  if (app.get_subcommands().empty() && !extra.empty()) {
    std::vector<std::string> commands;
    for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command->get_name());
    return "unknown command '" + extra.front() + "'" +
           Suggestion(tools::Closest(extra.front(), commands));
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !extra.empty()) {
    const bool option = extra.front().size() > 1 && extra.front()[0] == '-';
    if (!option) return "unexpected argument '" + extra.front() + "'";
    const std::string typed = extra.front().substr(0, extra.front().find('='));
    return "unknown option '" + extra.front() + "'" +
           Suggestion(tools::Closest(typed, OptionNames(deepest, app)));
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
  app.add_flag("--hq", o.hq,
               "TovraSat HQ, the oversampled plug-in of the bundle, for render, info "
               "and snapshot");
  app.add_flag_callback(
      "--version", [&o] { throw CLI::CallForVersion(tools::VersionText(o.component), 0); },
      "the command's and the plug-in's versions");

  tools::ParsedOptions parsed;
  CLI::App* render = tools::AddRenderCommand(app, o, parsed);
  CLI::App* info = tools::AddInfoCommand(app);
  CLI::App* presets = tools::AddPresetsCommand(app, o, parsed);
  CLI::App* demo = tools::AddDemoCommand(app, o);
  tools::SnapshotOptions shot;
  CLI::App* snapshot = tools::AddSnapshotCommand(app, shot);
  tools::EditorOptions editorOptions;
  CLI::App* editor = tools::AddEditorCommand(app, editorOptions);

  try {
    std::vector<std::string> args = HelpAsOption(argc, argv);
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
    app.parse(args);
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
                 "' (list, show, save, delete or restore)";
    }
    tools::SetUsageCommand(path);
    return tools::Fail(tools::kExitUsage, text);
  }
  tools::SetUsageCommand(CommandPath(app));

  if (render->parsed()) return tools::Render(o, parsed);
  if (info->parsed()) return tools::Info(o);
  if (presets->parsed()) return tools::Presets(o, parsed, *presets);
  if (demo->parsed()) return tools::Demo(o);
  if (snapshot->parsed()) {
    shot.component = o.component;
    shot.hq = o.hq;
    return tools::Snapshot(shot);
  }
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
