// SnapshotCommand.cpp: state through the Audio Unit API, meter through real audio, editor through
// the view entry, pixels through the offscreen view.
#include "tools/command/SnapshotCommand.h"

#include "gfx/platform/OffscreenTarget.h"
#include "host/CFRef.h"
#include "state/TovraPresets.h"
#include "tools/audiofile/TemporaryFile.h"
#include "tools/pluginhost/PluginHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <vector>

namespace tools {
namespace {

namespace fs = std::filesystem;

constexpr double kRate = 48000.0;
constexpr UInt32 kTickFrames = 960;  // the audio of one 20 ms idle tick at kRate
constexpr double kTickSeconds = 0.02;
// Silent ticks before each try: the meter falls 3 dB per tick, from +12 dBFS to rest in 44.
constexpr int kRestTicks = 45;
constexpr int kToneTicks = 10;  // a steady tone this long shows its level
constexpr double kToneHz = 997.0;
constexpr double kLampFade = 0.15;        // what the overload lamp loses per tick
constexpr double kMeterTolerance = 0.05;  // dB between the level asked for and the one shown

// The state chunk's parameter block (four doubles), which the plug-in writes first; the editor
// scale (float) and the preset name (int32 length, bytes) follow it (core/TovraSat.h).
constexpr size_t kParameterBytes = 4 * sizeof(double);

// Plays audio through the plug-in, one idle tick at a time, and reads what its meter then shows.
class MeterFeed {
 public:
  explicit MeterFeed(PluginHost& plugin)
      : mPlugin(plugin),
        mPump(host::HostedUnit::OfflinePump()),
        mIn(kTickFrames),
        mOutLeft(kTickFrames),
        mOutRight(kTickFrames) {}

  // From a reset unit and a meter at rest: when overload, one tick that drives the engine to full
  // scale; then toneTicks ticks of a sine of the amplitude (0: silence). The reading after them.
  std::optional<tovrasat::MeterReading> Play(double amplitude, int toneTicks, bool overload) {
    if (mPlugin.Unit().Reset() != noErr) return std::nullopt;
    mPump(0.0);
    for (int i = 0; i < kRestTicks; ++i) mPump(kTickSeconds);
    mPhase = 0.0;
    if (overload && !Tick(mOverloadAmplitude)) return std::nullopt;
    for (int i = 0; i < toneTicks; ++i)
      if (!Tick(amplitude)) return std::nullopt;
    return mPlugin.ReadMeter();
  }

  // The smallest input level, in steps, at which one tick lights the overload lamp fully; false
  // when no level does (the settings keep the engine below full scale).
  bool FindOverload() {
    for (const double amplitude : {1.0, 1.5, 2.0, 4.0, 8.0}) {
      mOverloadAmplitude = amplitude;
      const auto reading = Play(0.0, 0, true);
      if (reading && reading->clipLed >= 1.0f) return true;
    }
    return false;
  }

 private:
  bool Tick(double amplitude) {
    const double step = 2.0 * std::numbers::pi * kToneHz / kRate;
    for (float& x : mIn) {
      x = static_cast<float>(amplitude * std::sin(mPhase));
      mPhase = std::fmod(mPhase + step, 2.0 * std::numbers::pi);
    }
    const float* inputs[2] = {mIn.data(), mIn.data()};
    float* outputs[2] = {mOutLeft.data(), mOutRight.data()};
    if (mPlugin.Unit().Render(inputs, outputs, kTickFrames) != noErr) return false;
    mPump(kTickSeconds);  // the tick sees the whole block
    return true;
  }

  PluginHost& mPlugin;
  host::HostedUnit::Pump mPump;
  std::vector<float> mIn, mOutLeft, mOutRight;
  double mPhase = 0.0;
  double mOverloadAmplitude = 1.0;
};

// What a host restores from a saved project: the plug-in's own state with another editor size and
// preset name. Only the plug-in's state can carry those two.
bool RestoreEditorState(host::HostedUnit& unit, float scale, const std::string& presetName,
                        std::string& error) {
  OSStatus status = noErr;
  const host::CFRef<CFPropertyListRef> saved = unit.SaveClassInfo(&status);
  const void* data = nullptr;
  if (saved && CFGetTypeID(saved.Get()) == CFDictionaryGetTypeID())
    data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(saved.Get()), CFSTR("data"));
  if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID() ||
      CFDataGetLength(static_cast<CFDataRef>(data)) < CFIndex(kParameterBytes)) {
    error = "the plug-in saved no state to start from (status " + std::to_string(status) + ")";
    return false;
  }
  const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
  std::vector<UInt8> chunk(bytes, bytes + kParameterBytes);
  const auto append = [&chunk](const void* p, size_t n) {
    const auto* b = static_cast<const UInt8*>(p);
    chunk.insert(chunk.end(), b, b + n);
  };
  const auto length = static_cast<int32_t>(presetName.size());
  append(&scale, sizeof scale);
  append(&length, sizeof length);
  append(presetName.data(), presetName.size());

  const host::CFRef<CFMutableDictionaryRef> state(
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(saved.Get())));
  const host::CFRef<CFDataRef> newData(
      CFDataCreate(nullptr, chunk.data(), static_cast<CFIndex>(chunk.size())));
  if (!state || !newData) {
    error = "out of memory";
    return false;
  }
  CFDictionarySetValue(state.Get(), CFSTR("data"), newData.Get());
  status = unit.RestoreClassInfo(state.Get());
  if (status != noErr) {
    error = "the plug-in refused the saved state (status " + std::to_string(status) + ")";
    return false;
  }
  return true;
}

// Feeds the meter until it shows options.meterDb (with the overload lamp at options.clip): plays a
// steady tone through the plug-in and searches the tone's input level at which the plug-in's own
// meter reads the level asked for. An overload is a tick that drives the engine to full scale,
// played that many ticks before the end that the lamp has faded to the brightness asked for.
// Returns the exit code; the last play leaves the meter showing the reading.
int FeedMeter(PluginHost& plugin, const SnapshotOptions& options, tovrasat::MeterReading& reading) {
  MeterFeed feed(plugin);
  const bool overload = options.clip.has_value() && *options.clip > 0.0;
  // The lamp reads 1 on the tick of the overload and 0.15 less on each one after it.
  const int fadeTicks =
      overload
          ? static_cast<int>(std::clamp(std::lround((1.0 - *options.clip) / kLampFade), 0L, 6L))
          : 0;
  if (overload && !feed.FindOverload())
    return Fail(kExitFailure,
                "the plug-in's output does not reach full scale at these settings, "
                "so its overload lamp cannot light");
  const int toneTicks = overload ? fadeTicks : kToneTicks;
  const auto play = [&](double inputDb) {
    return feed.Play(std::pow(10.0, inputDb / 20.0), toneTicks, overload);
  };

  if (!options.meterDb) {
    if (!overload) {  // nothing played: the meter rests
      const auto rest = plugin.ReadMeter();
      if (!rest) return Fail(kExitFailure, "the plug-in has no meter reading");
      reading = *rest;
      return kExitOk;
    }
    const auto r = feed.Play(0.0, toneTicks, overload);  // the lamp fades in silence
    if (!r) return Fail(kExitFailure, "the plug-in failed to render or has no meter reading");
    reading = *r;
    return kExitOk;
  }

  // Input levels from silence to +24 dBFS; the meter rises with the input at any setting.
  double lo = -140.0, hi = 24.0;
  const auto low = play(lo), high = play(hi);
  if (!low || !high)
    return Fail(kExitFailure, "the plug-in failed to render or has no meter reading");
  const double target = *options.meterDb;
  if (target < low->meterDb - kMeterTolerance || target > high->meterDb + kMeterTolerance)
    return Fail(
        kExitUsage,
        "--meter-db " + Fixed(target, 2) + ": at these settings" +
            (overload ? ", with the overload lamp at " + Fixed(*options.clip, 2) + "," : "") +
            " the meter shows " + Fixed(low->meterDb, 2) + " to " + Fixed(high->meterDb, 2) +
            " dBFS");
  // The meter rises with the input: halve the interval, keeping the closest reading on the way.
  double best = hi;
  double bestError = std::abs(high->meterDb - target);
  const auto keepIfCloser = [&](double inputDb, float meterDb) {
    if (std::abs(meterDb - target) >= bestError) return;
    best = inputDb;
    bestError = std::abs(meterDb - target);
  };
  keepIfCloser(lo, low->meterDb);
  for (int i = 0; i < 40 && bestError > 0.001; ++i) {
    const double mid = 0.5 * (lo + hi);
    const auto r = play(mid);
    if (!r) return Fail(kExitFailure, "the plug-in failed to render");
    keepIfCloser(mid, r->meterDb);
    (r->meterDb < target ? lo : hi) = mid;
  }
  const auto r = play(best);  // the last play is what the editor shows
  if (!r) return Fail(kExitFailure, "the plug-in failed to render");
  if (std::abs(r->meterDb - target) > kMeterTolerance)
    return Fail(kExitFailure, "the meter does not settle at " + Fixed(target, 2) +
                                  " dBFS (it shows " + Fixed(r->meterDb, 2) + ")");
  reading = *r;
  return kExitOk;
}

// Writes image as path through a temporary file in the same folder.
bool WriteAtomically(const plug::gfx::RGBAImage& image, const std::string& path,
                     std::string& error) {
  TemporaryFile temp;
  std::string text;
  if (!temp.Create(path, text)) {
    error = path + ": cannot write: " + text;
    return false;
  }
  if (!image.WritePNG(temp.Path()) || !temp.Commit(text)) {
    error = path + ": cannot write";
    return false;
  }
  return true;
}

}  // namespace

CLI::App* AddSnapshotCommand(CLI::App& app, SnapshotOptions& options) {
  CLI::App* snapshot =
      app.add_subcommand("snapshot", "draw the plug-in's editor in a given state into a PNG file");
  snapshot->add_option("OUT", options.out, "output PNG file")->required();
  AddScaleOption(*snapshot, options.scale, "editor size: 1, 1.25, 1.5 or 1.75 (default 1)");
  AddPresetOptions(*snapshot, options.parameters);
  AddBypassOption(*snapshot, options.bypass);
  snapshot->add_option("--preset", options.preset,
                       "the current preset (or Default); its values fill what is not given");
  snapshot->add_option("--meter-db", options.meterDb, "the output level the meter shows, dBFS")
      ->check(InRange(-120.0, 12.0, "dBFS"));
  snapshot->add_option("--clip", options.clip, "the overload lamp's brightness (0 to 1)")
      ->check(InRange(0.0, 1.0, ""));
  return snapshot;
}

int Snapshot(const SnapshotOptions& options) {
  // PNG bytes under another image type's name would mislead every program that trusts the name.
  std::string extension = fs::path(options.out).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ".png")
    return Fail(kExitUsage, options.out + ": snapshot writes PNG files only; name it .png");
  RenderSettings settings;
  options.parameters.ApplyTo(settings);
  if (options.bypass) settings.bypass = *options.bypass == "on";
  std::string presetName = "Default";
  if (!options.preset.empty()) {
    tovrapresets::Values values;  // the built-in "Default" is the defaults
    if (options.preset != "Default") {
      if (!tovrapresets::IsSafeName(options.preset))
        return Fail(kExitFailure, "'" + options.preset + "' is not a preset name");
      if (!tovrapresets::Load(options.preset, values))
        return Fail(kExitFailure,
                    "no preset named '" + options.preset + "' in " + tovrapresets::Dir().string());
    }
    if (!settings.gain) settings.gain = values.gain;
    if (!settings.trimDb) settings.trimDb = values.trim;
    if (!settings.phantom) settings.phantom = values.phat;
    presetName = options.preset;
  }

  std::string error;
  auto bundle = PluginHost::LoadBundle(PluginHost::LocateBundle(options.component), error);
  if (!bundle) return Fail(kExitFailure, error);
  using CreateView = void* (*)(AudioUnit, void*);
  const auto createView = reinterpret_cast<CreateView>(bundle->Symbol("TovraSat_CreateView"));
  auto plugin = PluginHost::Open(bundle, error, options.hq);
  if (!plugin) return Fail(kExitFailure, error);
  if (!plugin->IsTovraSat() || createView == nullptr)
    return Fail(kExitFailure, bundle->Path() + " holds no TovraSat with an editor");
  if (!plugin->Prepare(kRate, 2, kTickFrames, error) ||
      !RestoreEditorState(plugin->Unit(), static_cast<float>(options.scale), presetName, error) ||
      !plugin->Apply(settings, error))
    return Fail(kExitFailure, error);

  tovrasat::MeterReading reading;
  if (const int code = FeedMeter(*plugin, options, reading); code != kExitOk) return code;

  // Without a parent window the view entry gives the editor's offscreen view.
  auto* view = static_cast<plug::gfx::OffscreenTarget*>(createView(plugin->Unit().Unit(), nullptr));
  if (view == nullptr) return Fail(kExitFailure, "the plug-in opened no editor");
  view->Render();
  const plug::gfx::RGBAImage image = view->Capture();
  const int width = static_cast<int>(222.0f * static_cast<float>(options.scale));
  const int height = static_cast<int>(666.0f * static_cast<float>(options.scale));
  if (image.Width() != width || image.Height() != height)
    return Fail(kExitFailure, "the editor drew " + std::to_string(image.Width()) + " x " +
                                  std::to_string(image.Height()) + " pixels, not " +
                                  std::to_string(width) + " x " + std::to_string(height));
  if (!WriteAtomically(image, options.out, error)) return Fail(kExitFailure, error);
  std::printf("%s: %d x %d (%d %%), meter %s dBFS, overload lamp %s\n", options.out.c_str(), width,
              height, static_cast<int>(std::lround(options.scale * 100.0)),
              Fixed(reading.meterDb, 2).c_str(), Fixed(reading.clipLed, 2).c_str());
  return kExitOk;
}

}  // namespace tools
