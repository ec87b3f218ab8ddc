// DocsProbe.cpp: renders a file through TovraSat as the command does, but can switch a parameter
// part-way and logs the meter after every idle tick, so the manual can show the bypass cross-fade,
// the trim glide and the meter's ballistics as the built plug-in behaves.
//
//   tovrasat_docs_probe IN OUT [--gain PCT] [--trim DB] [--48v on|off] [--bypass on|off]
//                       [--at SECONDS NAME=VALUE]... [--meter CSV]
//
// NAME is gain, trim, 48v or bypass. A switch lands on the first block boundary at or after its
// time; the frame it landed on is printed as "switch FRAME NAME=VALUE". The CSV holds one line per
// idle tick: time in seconds, meter dBFS, overload lamp level.
#include "tools/audiofile/AudioFile.h"
#include "tools/pluginhost/PluginHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Switch {
  double seconds = 0.0;
  std::string name;
  std::string value;
  bool done = false;
};

bool SetOne(tools::RenderSettings& s, const std::string& name, const std::string& value) {
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  const bool isNumber = !value.empty() && *end == '\0';
  if (name == "gain" && isNumber) {
    s.gain = number;
  } else if (name == "trim" && isNumber) {
    s.trimDb = number;
  } else if ((name == "48v" || name == "bypass") && (value == "on" || value == "off")) {
    (name == "48v" ? s.phantom : s.bypass) = value == "on";
  } else {
    return false;
  }
  return true;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "tovrasat_docs_probe: %s\n", text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3)
    return Fail("usage: IN OUT [--gain|--trim|--48v|--bypass V] [--at S NAME=V]... [--meter CSV]");
  const std::string inPath = argv[1], outPath = argv[2];
  tools::RenderSettings settings;
  settings.block = 0;
  std::vector<Switch> switches;
  std::string meterPath;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Fail("missing value after " + arg);
    const std::string value = argv[++i];
    if (arg == "--meter") {
      meterPath = value;
    } else if (arg == "--at") {
      if (i + 1 >= argc) return Fail("--at needs SECONDS and NAME=VALUE");
      const std::string change = argv[++i];
      const size_t eq = change.find('=');
      tools::RenderSettings check;
      if (eq == std::string::npos || !SetOne(check, change.substr(0, eq), change.substr(eq + 1)))
        return Fail("not a parameter change: " + change);
      switches.push_back({std::atof(value.c_str()), change.substr(0, eq), change.substr(eq + 1)});
    } else if (arg.size() < 3 || !SetOne(settings, arg.substr(2), value)) {
      return Fail("unknown option or value: " + arg + " " + value);
    }
  }

  std::string error;
  tools::AudioFile in;
  if (!tools::AudioFile::Read(inPath, in, error)) return Fail(error);
  auto bundle = tools::PluginHost::LoadBundle(tools::PluginHost::LocateBundle(""), error);
  if (!bundle) return Fail(error);
  auto plugin = tools::PluginHost::Open(bundle, error);
  if (!plugin) return Fail(error);
  // Blocks of 10 ms, two to an idle tick, so every tick's reading can be taken between calls.
  const auto block = static_cast<UInt32>(in.sampleRate / 100.0);
  const size_t tick = 2 * static_cast<size_t>(block);
  if (block * 100 != static_cast<UInt32>(in.sampleRate))
    return Fail("the rate must be a multiple of 100 Hz");
  settings.block = block;
  if (!plugin->Prepare(in.sampleRate, in.NChannels(), block, error) ||
      !plugin->Apply(settings, error))
    return Fail(error);

  tools::AudioFile out;
  out.sampleRate = in.sampleRate;
  out.channels.assign(in.channels.size(), std::vector<float>(in.Frames(), 0.0f));
  tools::RenderReport report;
  if (!plugin->Start(report, error)) return Fail(error);
  std::ofstream meter;
  if (!meterPath.empty()) {
    meter.open(meterPath);
    if (!meter) return Fail("cannot write " + meterPath);
    meter << "seconds,meter_db,overload_lamp\n";
  }
  std::vector<const float*> inputs(in.channels.size());
  std::vector<float*> outputs(in.channels.size());
  for (size_t done = 0; done < in.Frames();) {
    // A switch due within this tick lands on the block boundary at or after its time.
    size_t n = std::min(tick, in.Frames() - done);
    for (Switch& s : switches) {
      if (s.done) continue;
      const auto at = static_cast<size_t>(s.seconds * in.sampleRate);
      const size_t boundary = (at + block - 1) / block * block;
      if (boundary <= done) {
        tools::RenderSettings change;
        SetOne(change, s.name, s.value);
        if (!plugin->Apply(change, error)) return Fail(error);
        std::printf("switch %zu %s=%s\n", done, s.name.c_str(), s.value.c_str());
        s.done = true;
      } else if (boundary < done + n) {
        n = boundary - done;
      }
    }
    for (size_t c = 0; c < in.channels.size(); ++c) {
      inputs[c] = in.channels[c].data() + done;
      outputs[c] = out.channels[c].data() + done;
    }
    if (!plugin->Process(inputs.data(), outputs.data(), n, error)) return Fail(error);
    done += n;
    if (meter.is_open() && done % tick == 0) {
      const auto reading = plugin->ReadMeter();
      if (!reading) return Fail("the plug-in does not answer the meter property");
      meter << static_cast<double>(done) / in.sampleRate << ',' << reading->meterDb << ','
            << reading->clipLed << '\n';
    }
  }
  plugin->Finish();
  if (!out.Write(outPath, tools::ESampleFormat::kFloat32, error)) return Fail(error);
  return 0;
}
