// Lv2Turtle: manifest.ttl, the plug-in's description and its presets, from the parameters.
#include "plug/lv2/Lv2Turtle.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "plug/IParam.h"
#include "plug/au/IPluginAU.h"
#include "state/IByteChunk.h"

namespace plug {
namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// The meter port's range: the floor the plug-in rests at, and the loudest a full-scale signal
// can read after the largest trim.
constexpr double kMeterMinDb = -120.0;
constexpr double kMeterMaxDb = 12.0;

std::string Uri(const std::string& uri) {
  return "<" + uri + ">";
}

std::string MeterUnitUri(const std::string& pluginUri) {
  return pluginUri + "#wholeDecibels";
}

// An LV2 unit and how hosts show a value in it. Hosts take the rendering from the units
// vocabulary, which many machines lack (it comes with the LV2 development files): without it
// Ardour shows Gain as "10.00" with no "%". The bundle therefore states the same rendering itself.
struct Lv2Unit {
  const char* curie;
  const char* label;
  const char* render;
  const char* symbol;
};

constexpr Lv2Unit kPercent{"units:pc", "percent", "%f%%", "%"};
constexpr Lv2Unit kDecibels{"units:db", "decibels", "%f dB", "dB"};
constexpr Lv2Unit kFrames{"units:frame", "audio frames", "%f frames", "frames"};
constexpr Lv2Unit kSeconds{"units:s", "seconds", "%f s", "s"};
constexpr Lv2Unit kMilliseconds{"units:ms", "milliseconds", "%f ms", "ms"};
constexpr Lv2Unit kHertz{"units:hz", "hertz", "%f Hz", "Hz"};
constexpr Lv2Unit kDegrees{"units:degree", "degrees", "%f deg", "deg"};
constexpr Lv2Unit kMetres{"units:m", "metres", "%f m", "m"};
constexpr Lv2Unit kOctaves{"units:oct", "octaves", "%f octaves", "oct"};
constexpr Lv2Unit kCents{"units:cent", "cents", "%f ct", "ct"};
constexpr Lv2Unit kSemitones{"units:semitone12TET", "semitones", "%f semi", "semi"};
constexpr Lv2Unit kMidiNote{"units:midiNote", "MIDI note", "MIDI note %d", "note"};
constexpr Lv2Unit kBpm{"units:bpm", "beats per minute", "%f BPM", "BPM"};
constexpr Lv2Unit kBeats{"units:beat", "beats", "%f beats", "beats"};

// The LV2 unit of a parameter: its framework unit, or for a custom unit the unit its label
// names; null when there is none to give.
const Lv2Unit* UnitOf(const IParam& param) {
  switch (param.Unit()) {
    case IParam::kUnitPercentage:
      return &kPercent;
    case IParam::kUnitSeconds:
      return &kSeconds;
    case IParam::kUnitMilliseconds:
      return &kMilliseconds;
    case IParam::kUnitSamples:
      return &kFrames;
    case IParam::kUnitDB:
      return &kDecibels;
    case IParam::kUnitDegrees:
      return &kDegrees;
    case IParam::kUnitMeters:
      return &kMetres;
    case IParam::kUnitFrequency:
      return &kHertz;
    case IParam::kUnitOctaves:
      return &kOctaves;
    case IParam::kUnitCents:
      return &kCents;
    case IParam::kUnitSemitones:
      return &kSemitones;
    case IParam::kUnitMIDINote:
      return &kMidiNote;
    case IParam::kUnitBPM:
      return &kBpm;
    case IParam::kUnitBeats:
      return &kBeats;
    default:
      break;
  }
  static constexpr struct {
    const char* label;
    const Lv2Unit* unit;
  } kByLabel[] = {{"%", &kPercent},       {"dB", &kDecibels},     {"Hz", &kHertz},
                  {"ms", &kMilliseconds}, {"Seconds", &kSeconds}, {"degrees", &kDegrees}};
  for (const auto& entry : kByLabel) {
    if (std::strcmp(param.GetLabel(), entry.label) == 0) return entry.unit;
  }
  return nullptr;
}

// A port's unit, remembered so that its rendering is stated once after the ports.
void AppendUnit(std::string& out, const Lv2Unit& unit, std::vector<const Lv2Unit*>& used) {
  out += std::string("    units:unit ") + unit.curie + " ;\n";
  if (std::find(used.begin(), used.end(), &unit) == used.end()) used.push_back(&unit);
}

void AppendComment(std::string& out, const Lv2Turtle::Names& names, const std::string& symbol) {
  const auto found = names.comments.find(symbol);
  if (found != names.comments.end()) {
    out += "    rdfs:comment " + Lv2Turtle::Quoted(found->second) + " ;\n";
  }
}

void AppendControlInput(std::string& out, const Lv2Turtle::Names& names, const IParam& param,
                        int index, std::vector<const Lv2Unit*>& units) {
  const std::string symbol = Lv2Turtle::Symbol(param.GetName());
  out += "    a lv2:InputPort, lv2:ControlPort ;\n";
  out += "    lv2:index " + std::to_string(index) + " ;\n";
  out += "    lv2:symbol " + Lv2Turtle::Quoted(symbol) + " ;\n";
  out += "    lv2:name " + Lv2Turtle::Quoted(param.GetName()) + " ;\n";
  AppendComment(out, names, symbol);
  out += "    lv2:default " + Lv2Turtle::Decimal(param.GetDefault()) + " ;\n";
  out += "    lv2:minimum " + Lv2Turtle::Decimal(param.GetMin()) + " ;\n";
  out += "    lv2:maximum " + Lv2Turtle::Decimal(param.GetMax()) + " ;\n";
  if (param.Type() == IParam::kTypeBool) {
    out += "    lv2:portProperty lv2:toggled ;\n";
  } else if (param.Type() == IParam::kTypeEnum) {
    out += "    lv2:portProperty lv2:integer, lv2:enumeration ;\n";
    for (int i = 0; i < param.NDisplayTexts(); ++i) {
      double value = 0.0;
      const char* text = param.GetDisplayTextAtIdx(i, &value);
      out += "    lv2:scalePoint [ rdfs:label " + Lv2Turtle::Quoted(text) + " ; rdf:value " +
             Lv2Turtle::Decimal(value) + " ] ;\n";
    }
  } else if (param.GetStepped()) {
    out += "    lv2:portProperty lv2:integer ;\n";
  }
  if (const Lv2Unit* unit = UnitOf(param)) AppendUnit(out, *unit, units);
}

void AppendAudio(std::string& out, bool input, int channel, int nChannels, int index) {
  const char* side = nChannels == 2 ? (channel == 0 ? "Left" : "Right") : nullptr;
  const std::string number = std::to_string(channel + 1);
  const std::string name = std::string(input ? "Input " : "Output ") + (side ? side : number);
  const std::string symbol =
      std::string(input ? "in_" : "out_") + (side ? (channel == 0 ? "l" : "r") : number);
  out += std::string("    a lv2:") + (input ? "InputPort" : "OutputPort") + ", lv2:AudioPort ;\n";
  out += "    lv2:index " + std::to_string(index) + " ;\n";
  out += "    lv2:symbol " + Lv2Turtle::Quoted(symbol) + " ;\n";
  out += "    lv2:name " + Lv2Turtle::Quoted(name) + " ;\n";
}

}  // namespace

std::string Lv2Turtle::PluginFileName(const Names& names) {
  if (!names.ttlFile.empty()) return names.ttlFile;
  // lib/TovraSat.so is described by TovraSat.ttl at the bundle's top.
  const std::size_t slash = names.binary.rfind('/');
  const std::string file =
      slash == std::string::npos ? names.binary : names.binary.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  return (dot == std::string::npos ? file : file.substr(0, dot)) + ".ttl";
}

std::string Lv2Turtle::PresetUri(const Names& names) {
  return names.pluginUri + "#preset-" + Symbol(names.presetName.c_str());
}

std::string Lv2Turtle::Manifest(const Names& names) {
  std::string out = kPrefixes;
  out += Uri(names.pluginUri) + "\n    a lv2:Plugin ;\n";
  out += "    lv2:binary <" + names.binary + "> ;\n";
  out += "    rdfs:seeAlso <" + PluginFileName(names) + "> .\n\n";
  if (!names.uiUri.empty() && names.describeUi) {
    out += Uri(names.uiUri) + "\n    a ui:X11UI ;\n";
    out += "    ui:binary <" + names.binary + "> ;\n";
    out += "    rdfs:seeAlso <" + PluginFileName(names) + "> .\n\n";
  }
  if (!names.presetName.empty()) {
    out += Uri(PresetUri(names)) + "\n    a pset:Preset ;\n";
    out += "    lv2:appliesTo " + Uri(names.pluginUri) + " ;\n";
    out += "    rdfs:seeAlso <" + names.presetsFile + "> .\n";
  }
  return out;
}

std::string Lv2Turtle::Plugin(const Names& names, const IPluginAU& plug) {
  Lv2PortLayout ports;
  ports.nParams = plug.NParams();
  ports.nInputs = plug.MaxNChannels(kInput);
  ports.nOutputs = plug.MaxNChannels(kOutput);

  const int version = plug.GetPluginVersion(false);
  std::string out = kPrefixes;
  out += "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";
  out += Uri(names.pluginUri) + "\n    a doap:Project, lv2:Plugin, " + names.pluginClass + " ;\n";
  out += "    doap:name " + Quoted(plug.GetPluginName()) + " ;\n";
  out += "    doap:maintainer [ foaf:name " + Quoted(plug.GetMfrName()) + " ] ;\n";
  out += "    lv2:minorVersion " + std::to_string((version >> 8) & 0xff) + " ;\n";
  out += "    lv2:microVersion " + std::to_string(version & 0xff) + " ;\n";
  out += "    lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options ;\n";
  out += "    opts:supportedOption bufsz:maxBlockLength ;\n";
  out += "    lv2:extensionData state:interface ;\n";
  if (!names.uiUri.empty()) out += "    ui:ui " + Uri(names.uiUri) + " ;\n";
  out += "    lv2:port";
  auto open = [&out](int index) { out += index == 0 ? " [\n" : " , [\n"; };
  auto close = [&out] { out += "  ]"; };
  std::vector<const Lv2Unit*> units;
  for (int i = 0; i < ports.nParams; ++i) {
    open(i);
    AppendControlInput(out, names, *plug.GetParam(i), i, units);
    close();
  }
  for (int c = 0; c < ports.nInputs; ++c) {
    open(ports.AudioIn(c));
    AppendAudio(out, true, c, ports.nInputs, ports.AudioIn(c));
    close();
  }
  for (int c = 0; c < ports.nOutputs; ++c) {
    open(ports.AudioOut(c));
    AppendAudio(out, false, c, ports.nOutputs, ports.AudioOut(c));
    close();
  }
  open(ports.Latency());
  out += "    a lv2:OutputPort, lv2:ControlPort ;\n";
  out += "    lv2:index " + std::to_string(ports.Latency()) + " ;\n";
  out += "    lv2:symbol \"latency\" ;\n    lv2:name \"Latency\" ;\n";
  AppendComment(out, names, "latency");
  out += "    lv2:designation lv2:latency ;\n";
  out += "    lv2:portProperty lv2:reportsLatency, lv2:integer ;\n";
  AppendUnit(out, kFrames, units);
  close();
  open(ports.Meter());
  out += "    a lv2:OutputPort, lv2:ControlPort ;\n";
  out += "    lv2:index " + std::to_string(ports.Meter()) + " ;\n";
  out += "    lv2:symbol \"meter\" ;\n    lv2:name \"Output Meter\" ;\n";
  AppendComment(out, names, "meter");
  out += "    lv2:default " + Decimal(kMeterMinDb) + " ;\n";
  out += "    lv2:minimum " + Decimal(kMeterMinDb) + " ;\n";
  out += "    lv2:maximum " + Decimal(kMeterMaxDb) + " ;\n";
  out += "    units:unit " + Uri(MeterUnitUri(names.pluginUri)) + " ;\n";
  close();
  open(ports.Lamp());
  out += "    a lv2:OutputPort, lv2:ControlPort ;\n";
  out += "    lv2:index " + std::to_string(ports.Lamp()) + " ;\n";
  out += "    lv2:symbol \"overload\" ;\n    lv2:name \"Overload Lamp\" ;\n";
  AppendComment(out, names, "overload");
  out += "    lv2:default 0.0 ;\n    lv2:minimum 0.0 ;\n    lv2:maximum 1.0 ;\n";
  close();
  open(ports.Notify());
  out += "    a lv2:OutputPort, atom:AtomPort ;\n";
  out += "    lv2:index " + std::to_string(ports.Notify()) + " ;\n";
  out += "    lv2:symbol \"notify\" ;\n    lv2:name \"Notifications\" ;\n";
  AppendComment(out, names, "notify");
  out += "    atom:bufferType atom:Sequence ;\n";
  out += "    atom:supports state:StateChanged ;\n";
  // Hosts that only connect audio and control ports (lv2apply) still run the plug-in.
  out += "    lv2:portProperty lv2:connectionOptional ;\n";
  close();
  out += " .\n";

  for (const Lv2Unit* unit : units) {
    out += std::string("\n") + unit->curie + "\n    a units:Unit ;\n";
    out += "    rdfs:label " + Quoted(unit->label) + " ;\n";
    out += "    units:render " + Quoted(unit->render) + " ;\n";
    out += "    units:symbol " + Quoted(unit->symbol) + " .\n";
  }

  // The meter's readout in whole decibels: hosts show an output port in a narrow field, which
  // cuts "-13.99 dB" to "-13.99 d"; "-120 dB" at rest fits, and so does every reading above it.
  out += "\n" + Uri(MeterUnitUri(names.pluginUri)) + "\n    a units:Unit ;\n";
  out += "    rdfs:label \"decibels, whole\" ;\n";
  out += "    units:render \"%.0f dB\" ;\n";
  out += "    units:symbol \"dB\" .\n";

  // The one state property: the plug-in's state chunk, as saved sessions and the presets hold it.
  out += "\n" + Uri(StateKeyUri(names.stateUri.empty() ? names.pluginUri : names.stateUri)) +
         "\n    a rdf:Property ;\n";
  out += "    rdfs:label \"state chunk\" ;\n    rdfs:range atom:Chunk .\n";

  if (!names.uiUri.empty() && names.describeUi) {
    out += "\n" + Uri(names.uiUri) + "\n    a ui:X11UI ;\n";
    // The editor is the plug-in object's own: without its instance or a window to live in
    // there is nothing to show, so hosts that cannot give both keep their generic controls.
    out +=
        "    lv2:requiredFeature ui:idleInterface, ui:parent, "
        "<http://lv2plug.in/ns/ext/instance-access> ;\n";
    // The editor has four sizes of its own and asks the host for each: a window the user could
    // resize would not shrink back when the editor does (jalv.gtk3), and could cut it.
    out += "    lv2:optionalFeature ui:resize, ui:touch, ui:noUserResize ;\n";
    out += "    lv2:extensionData ui:idleInterface .\n";
  }
  return out;
}

std::string Lv2Turtle::Presets(const Names& names, const IPluginAU& plug) {
  Preset preset;
  preset.uri = PresetUri(names);
  preset.pluginUri = names.pluginUri;
  preset.stateUri = names.stateUri;
  preset.label = names.presetName;
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParam& param = *plug.GetParam(i);
    preset.ports.emplace_back(Symbol(param.GetName()), param.Value());
  }
  IByteChunk chunk;
  plug.SerializeState(chunk);
  preset.chunk.assign(chunk.GetData(), chunk.GetData() + chunk.Size());
  return kPrefixes + PresetStatements(preset);
}

}  // namespace plug
