// Lv2Turtle: the Turtle files of an LV2 bundle, written from the plug-in object's own parameters.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plug/lv2/Lv2PortLayout.h"

namespace plug {

class IPluginAU;

// The build makes the bundle's Turtle from a live plug-in object, so ports, ranges, defaults and
// units can never disagree with the parameters the binary has. Threads: main.
class Lv2Turtle {
 public:
  struct Names {
    std::string pluginUri;
    std::string binary;  // file name of the module in the bundle
    std::string uiUri;   // empty: no UI
    std::string pluginClass = "lv2:Plugin";
    std::string presetName = "Default";  // the factory preset, stored with its whole state
    std::string presetsFile = "presets.ttl";
    // The state chunk's key is "<stateUri>#state" (empty: the plug-in URI), so that plug-ins
    // of one binary that share a state format can take each other's states and presets.
    std::string stateUri;
    // The file that describes the plug-in; empty: the binary's stem with ".ttl".
    std::string ttlFile;
    // False when another plug-in of the bundle describes the (shared) UI.
    bool describeUi = true;
    // What each port does, for hosts' tooltips and generic views, by port symbol.
    std::map<std::string, std::string> comments;
  };

  // manifest.ttl: the plug-in, its UI and its preset, each with the file that describes it.
  static std::string Manifest(const Names& names);
  // <binary stem>.ttl: name, maker, version, features, extension data, every port, and how the
  // ports' units are shown.
  static std::string Plugin(const Names& names, const IPluginAU& plug);
  // presets.ttl: the factory preset as port values plus the state chunk of a fresh object
  // (which is what restoring the factory preset gives).
  static std::string Presets(const Names& names, const IPluginAU& plug);
  // One preset: port values by symbol, and the state chunk the plug-in restores.
  struct Preset {
    std::string uri;
    std::string pluginUri;
    std::vector<std::string> alsoAppliesTo;
    std::string stateUri;  // empty: pluginUri
    std::string label;
    std::vector<std::pair<std::string, double>> ports;
    std::vector<unsigned char> chunk;
    // More state properties, as Turtle ("<key> value"), each restored beside the chunk.
    std::vector<std::string> moreState;
  };
  // The preset's statements, for a file that declares the prefixes lv2, pset, rdfs, state and
  // xsd. Threads: any.
  static std::string PresetStatements(const Preset& preset);
  // Those prefixes, for a file of presets alone. Threads: any.
  static std::string PresetPrefixes();

  // The key of the state chunk in saved state: "<plug-in URI>#state". Threads: any.
  static std::string StateKeyUri(const std::string& pluginUri);

  // Port symbols are C identifiers made from the names: "Output Trim" gives output_trim,
  // "48V" gives _48v. Threads: any.
  static std::string Symbol(const char* name);
  // A Turtle decimal, always with a point: 24 gives 24.0. Threads: any.
  static std::string Decimal(double value);
  // A Turtle string literal with quotes, backslashes and controls escaped; bytes that are no
  // valid UTF-8 become U+FFFD, so a name from a file name never makes the file unreadable.
  // Threads: any.
  static std::string Quoted(const std::string& text);
  static std::string Base64(const unsigned char* data, int size);
  static std::string PluginFileName(const Names& names);
  static std::string PresetUri(const Names& names);
};

}  // namespace plug
