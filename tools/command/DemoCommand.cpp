// DemoCommand.cpp: tovrasat demo: a built-in signal rendered at several settings, each written
// and measured beside the input.
#include "tools/command/Commands.h"

#include "tools/command/DemoSignal.h"
#include "tools/command/ProgressBar.h"
#include "tools/meters/LoudnessMeter.h"
#include "tools/meters/SignalStats.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tools {
namespace {

namespace fs = std::filesystem;

// Opens, prepares, applies and renders one file's worth; the failure's exit code, or kExitOk.
int RenderWith(const std::shared_ptr<host::ComponentBundle>& bundle, const AudioFile& in,
               const RenderSettings& settings, AudioFile& out, RenderReport& report,
               ProgressBar* bar) {
  std::string error;
  auto plugin = PluginHost::Open(bundle, error);
  if (!plugin) return Fail(kExitFailure, error);
  if (!plugin->Prepare(in.sampleRate, in.NChannels(), settings.block, error) ||
      !plugin->Apply(settings, error))
    return Fail(kExitFailure, error);
  const PluginHost::Progress progress = [bar](size_t done, size_t total) {
    if (bar != nullptr) bar->Update(done, total);
  };
  const bool ok = plugin->Render(in, out, progress, report, error);
  if (bar != nullptr) bar->Finish();
  return ok ? kExitOk : Fail(kExitFailure, error);
}

// A whole file through a meter of its own shape.
void Measure(const AudioFile& file, LoudnessMeter& meter) {
  if (!meter.Open(file.NChannels(), file.sampleRate)) return;
  std::vector<const float*> data;
  for (const std::vector<float>& channel : file.channels) data.push_back(channel.data());
  meter.Add(data.data(), file.Frames());
}

}  // namespace

CLI::App* AddDemoCommand(CLI::App& app, CommandOptions& o) {
  CLI::App* demo =
      app.add_subcommand("demo", "render a built-in demo signal at several settings and compare");
  demo->add_option("DIR", o.demoDir, "output folder (default demo-out)");
  return demo;
}

int Demo(const CommandOptions& options) {
  std::string error;
  auto bundle = PluginHost::LoadBundle(PluginHost::LocateBundle(options.component), error);
  if (!bundle) return Fail(kExitFailure, error);
  const fs::path dir(options.demoDir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec))
    return Fail(kExitFailure, "cannot create the folder " + dir.string());

  const AudioFile in = DemoSignal::Make(48000.0);
  const std::string inPath = (dir / "demo-input.wav").string();
  if (!in.Write(inPath, ESampleFormat::kFloat32, error)) return Fail(kExitFailure, error);
  const SignalStats inStats = SignalStats::Measure(in);
  LoudnessMeter inLoudness;
  Measure(in, inLoudness);

  struct Setting {
    const char* file;
    const char* label;
    RenderSettings settings;
  };
  const Setting settings[] = {
      {"gain0", "Gain 0 %", {0.0, 0.0, true, false, 512}},
      {"gain24", "Gain 24 % (default)", {24.0, 0.0, true, false, 512}},
      {"gain60", "Gain 60 %", {60.0, 0.0, true, false, 512}},
      {"gain100", "Gain 100 %", {100.0, 0.0, true, false, 512}},
      {"gain100-48v-off", "Gain 100 %, 48V off", {100.0, 0.0, false, false, 512}},
      {"gain60-trim-6", "Gain 60 %, trim -6 dB", {60.0, -6.0, true, false, 512}},
      {"gain100-bypass", "Gain 100 %, bypass", {100.0, 0.0, true, true, 512}},
  };
  std::printf("demo signal %s: %.1f s of drums, bass and chords, stereo, 48000 Hz\n",
              inPath.c_str(), in.Seconds());
  std::printf("%-22s | %8s %8s %6s %8s %8s | %8s %8s %6s %8s %8s | %s\n", "setting", "in peak",
              "in RMS", "crest", "in loud", "in TP", "out peak", "out RMS", "crest", "out loud",
              "out TP", "file");
  std::printf("%-22s | %8s %8s %6s %8s %8s | %8s %8s %6s %8s %8s |\n", "", "dBFS", "dBFS", "dB",
              "LUFS", "dBTP", "dBFS", "dBFS", "dB", "LUFS", "dBTP");
  for (const Setting& s : settings) {
    AudioFile out;
    RenderReport report;
    if (const int code = RenderWith(bundle, in, s.settings, out, report, nullptr); code != kExitOk)
      return code;
    const std::string outPath = (dir / (std::string(s.file) + ".wav")).string();
    if (!out.Write(outPath, ESampleFormat::kFloat32, error)) return Fail(kExitFailure, error);
    const SignalStats o = SignalStats::Measure(out);
    LoudnessMeter outLoudness;
    Measure(out, outLoudness);
    std::printf("%-22s | %8s %8s %6.2f %8s %8s | %8s %8s %6.2f %8s %8s | %s\n", s.label,
                Db(inStats.peak).c_str(), Db(inStats.rms).c_str(), inStats.CrestDb(),
                Lufs(inLoudness.IntegratedLufs()).c_str(), Db(inLoudness.TruePeak()).c_str(),
                Db(o.peak).c_str(), Db(o.rms).c_str(), o.CrestDb(),
                Lufs(outLoudness.IntegratedLufs()).c_str(), Db(outLoudness.TruePeak()).c_str(),
                outPath.c_str());
  }
  return kExitOk;
}

}  // namespace tools
