// Lv2Turtle: the Turtle files of an LV2 bundle, written from the plug-in object's own parameters.
#pragma once

#include <map>
#include <string>

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
  // The key of the state chunk in saved state: "<plug-in URI>#state". Threads: any.
  static std::string StateKeyUri(const std::string& pluginUri);

  // Port symbols are C identifiers made from the names: "Output Trim" gives output_trim,
  // "48V" gives _48v. Threads: any.
  static std::string Symbol(const char* name);
  // A Turtle decimal, always with a point: 24 gives 24.0. Threads: any.
  static std::string Decimal(double value);
  // A Turtle string literal with quotes, backslashes and controls escaped. Threads: any.
  static std::string Quoted(const std::string& text);
  static std::string Base64(const unsigned char* data, int size);
  static std::string PluginFileName(const Names& names);
  static std::string PresetUri(const Names& names);
};

}  // namespace plug
