// PluginHost.cpp: bundle look-up, opening, set-up, rendering with idle ticks at the pace of the
// audio.
#include "tools/pluginhost/PluginHost.h"

#include "tools/pluginhost/LatencyCompensation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace tools {
namespace {

namespace fs = std::filesystem;

constexpr double kTicksPerSecond = 50.0;  // the plug-in's 20 ms idle timer
constexpr float kSilent = 1e-6f;          // output no louder than this is silence to the meter

std::string Status(OSStatus status) {
  return "status " + std::to_string(status);
}

}  // namespace

std::string PluginHost::LocateBundle(const std::string& explicitPath) {
  if (!explicitPath.empty()) return explicitPath;
  if (const char* env = std::getenv("TOVRASAT_COMPONENT"); env != nullptr && *env != '\0')
    return env;
  // The executable's real path, symbolic links resolved: a link on PATH finds the same bundle.
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return BundleFor(ec ? fs::path() : exe);
}

std::string PluginHost::BundleFor(const std::filesystem::path& executable) {
  const fs::path dir = executable.parent_path();
  std::error_code ec;
  const fs::path built = dir.parent_path() / "TovraSat.component";
  if (!dir.empty() && fs::exists(built / "Contents" / "Info.plist", ec)) return built.string();
  // Where the install puts it; also when missing, so the message names where it belongs.
  return (dir / InstalledBundle()).lexically_normal().string();
}

const char* PluginHost::InstalledBundle() {
  return TOVRASAT_INSTALLED_COMPONENT;
}

std::shared_ptr<host::ComponentBundle> PluginHost::LoadBundle(const std::string& path,
                                                              std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(path, ec)) {
    error = "no component bundle at " + path + " (build it, or give --component PATH)";
    return nullptr;
  }
  return host::ComponentBundle::Load(path, error);
}

std::unique_ptr<PluginHost> PluginHost::Open(std::shared_ptr<host::ComponentBundle> bundle,
                                             std::string& error, bool hq) {
  if (!bundle) {
    error = "no bundle";
    return nullptr;
  }
  // The host's offline pump puts the process's main run loop (shared with the plug-in module, whose
  // idle timer lives there) on a clock that only the audio moves; made before the unit exists, so
  // the unit's timer is laid out on that clock. Ticks then follow the rendered audio, the same ones
  // on every run, however fast the machine renders.
  host::HostedUnit::Pump pump = host::HostedUnit::OfflinePump();
  AudioComponentDescription wanted{kType, hq ? kSubtypeHq : kSubtype, kManufacturer, 0, 0};
  if (hq && bundle->Find(wanted) == nullptr) {
    error = "the bundle holds no TovraSat HQ";
    return nullptr;
  }
  if (bundle->Find(wanted) == nullptr) wanted = {kType, 0, 0, 0, 0};
  std::unique_ptr<PluginHost> self(new PluginHost);
  self->mUnit = host::HostedUnit::Open(std::move(bundle), wanted, error);
  if (!self->mUnit) return nullptr;
  self->mAdvance = std::move(pump);
  return self;
}

bool PluginHost::IsTovraSat() const {
  const AudioComponentDescription& d = mUnit->Entry().description;
  return d.componentType == kType &&
         (d.componentSubType == kSubtype || d.componentSubType == kSubtypeHq) &&
         d.componentManufacturer == kManufacturer;
}

bool PluginHost::Prepare(double sampleRate, int channels, UInt32 block, std::string& error) {
  if (channels < 1 || channels > 2) {
    error = "only mono and stereo are supported (got " + std::to_string(channels) + " channels)";
    return false;
  }
  const auto n = static_cast<UInt32>(channels);
  OSStatus status = mUnit->Configure({sampleRate, block, n, n});
  if (status != noErr) {
    error = "the plug-in refused " + std::to_string(channels) + " channel(s) at " +
            std::to_string(static_cast<long>(sampleRate)) + " Hz, block " + std::to_string(block) +
            " (" + Status(status) + ")";
    return false;
  }
  status = mUnit->Initialize();
  if (status != noErr) {
    error = "the plug-in failed to initialise (" + Status(status) + ")";
    return false;
  }
  mBlock = block;
  return true;
}

bool PluginHost::Apply(const RenderSettings& settings, std::string& error) {
  const std::pair<EParam, std::optional<double>> values[] = {
      {kParamGain, settings.gain},
      {kParamTrim, settings.trimDb},
      {kParam48V, settings.phantom.has_value()
                      ? std::optional<double>(*settings.phantom ? 1.0 : 0.0)
                      : std::nullopt},
      {kParamBypass, settings.bypass.has_value()
                         ? std::optional<double>(*settings.bypass ? 1.0 : 0.0)
                         : std::nullopt},
  };
  for (const auto& [id, value] : values) {
    if (!value) continue;
    const OSStatus status = mUnit->SetParameter(id, static_cast<AudioUnitParameterValue>(*value));
    if (status != noErr) {
      error = "the plug-in refused parameter " + std::to_string(id) + " = " +
              std::to_string(*value) + " (" + Status(status) + ")";
      return false;
    }
  }
  return true;
}

std::optional<tovrasat::MeterReading> PluginHost::ReadMeter() const {
  if (!IsTovraSat()) return std::nullopt;
  tovrasat::MeterReading reading;
  UInt32 size = sizeof reading;
  if (AudioUnitGetProperty(mUnit->Unit(), tovrasat::kMeterReadingProperty, kAudioUnitScope_Global,
                           0, &reading, &size) != noErr ||
      size != sizeof reading)
    return std::nullopt;
  return reading;
}

bool PluginHost::LatencyFrames(double rate, size_t& frames, std::string& error) const {
  frames = 0;
  Float64 seconds = 0.0;
  UInt32 size = sizeof seconds;
  if (AudioUnitGetProperty(mUnit->Unit(), kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0,
                           &seconds, &size) != noErr ||
      size != sizeof seconds)
    return true;
  if (!(seconds >= 0.0 && seconds <= kMaxLatencySeconds)) {
    error = "the plug-in reports a latency of " + std::to_string(seconds) +
            " s, which a render cannot compensate";
    return false;
  }
  frames = static_cast<size_t>(std::llround(seconds * rate));
  return true;
}

bool PluginHost::Start(RenderReport& report, std::string& error) {
  const OSStatus reset = mUnit->Reset();
  if (reset != noErr) {
    error = "the plug-in failed to reset (" + Status(reset) + ")";
    return false;
  }
  mAdvance(0.0);  // ticks that fell due while the unit was set up
  report = RenderReport{};
  mReport = &report;
  mAnswered = ReadMeter().has_value();
  mMoved = false;
  mOutPeak = 0.0f;
  if (!mIdleTicks) {
    mUnit->SetPump(nullptr);
    return true;
  }
  // The clock goes forward from idle tick to idle tick as the audio passes them, so each tick's
  // reading is taken, also when one block spans several ticks. Between ticks the clock waits: a
  // pump of the run loop costs a system call, and nothing but the ticks happens on it while
  // rendering. Positions are counted in frames, so that a second of audio holds exactly fifty
  // ticks.
  const double rate = mUnit->Config().sampleRate;
  mUnit->SetPump([this, rate, framesRendered = 0.0, framesPumped = 0.0](double seconds) mutable {
    RenderReport& r = *mReport;
    framesRendered += std::round(seconds * rate);
    for (;;) {
      const double tick = r.idleTicks + 1.0;
      if (framesRendered * kTicksPerSecond < tick * rate) break;  // whole numbers: exact
      const double tickFrame = tick * rate / kTicksPerSecond;
      mAdvance((tickFrame - framesPumped) / rate);
      framesPumped = tickFrame;
      ++r.idleTicks;
      const std::optional<tovrasat::MeterReading> reading = ReadMeter();
      if (!reading) {
        mAnswered = false;
        continue;
      }
      if (reading->meterDb > -120.0f) mMoved = true;
      r.maxMeterDb = std::max(r.maxMeterDb, reading->meterDb);
      if (reading->clipLed >= 1.0f) ++r.lampTicks;
    }
  });
  return true;
}

bool PluginHost::Process(const float* const* inputs, float* const* outputs, size_t frames,
                         std::string& error) {
  const size_t nc = mUnit->Config().outputChannels;
  // Long pieces go in slices of whole blocks, so the sample count of one call stays in range.
  const size_t slice = static_cast<size_t>(mBlock) * 1024;
  std::vector<const float*> in(nc);
  std::vector<float*> out(nc);
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min(slice, frames - done);
    for (size_t c = 0; c < nc; ++c) {
      in[c] = inputs[c] + done;
      out[c] = outputs[c] + done;
    }
    const OSStatus status = mUnit->Process(in.data(), out.data(), static_cast<UInt32>(n));
    if (status != noErr) {
      error = "the plug-in failed to render (" + Status(status) + ")";
      return false;
    }
    done += n;
  }
  // Only whether sound came out is asked: once it has, the output is not read again.
  if (mIdleTicks)
    for (size_t c = 0; c < nc && mOutPeak <= kSilent; ++c)
      for (size_t i = 0; i < frames; ++i) mOutPeak = std::max(mOutPeak, std::fabs(outputs[c][i]));
  return true;
}

void PluginHost::Finish() {
  mUnit->SetPump(nullptr);
  // Sound came out but the meter never left rest: the idle timer is not ours to pump.
  if (mReport != nullptr)
    mReport->meterAvailable = mIdleTicks && mAnswered && (mMoved || mOutPeak <= kSilent);
  mReport = nullptr;
}

bool PluginHost::Render(const AudioFile& in, AudioFile& out, const Progress& progress,
                        RenderReport& report, std::string& error) {
  const size_t nc = in.channels.size();
  if (nc != mUnit->Config().inputChannels) {
    error = "the plug-in was prepared for another channel count";
    return false;
  }
  size_t latencyFrames = 0;
  if (!LatencyFrames(in.sampleRate, latencyFrames, error)) return false;
  LatencyCompensation latency(latencyFrames);
  if (!Start(report, error)) return false;
  const size_t frames = in.Frames();
  out.sampleRate = in.sampleRate;
  out.channels.assign(nc, std::vector<float>(frames, 0.0f));
  // Whole blocks per call, so the unit sees the same block boundaries as in one long call; the
  // silence after the input goes in the same call as its end, so only the last call holds a part
  // of a block.
  const size_t blocksPerCall =
      std::max<size_t>(1, static_cast<size_t>(in.sampleRate / 4.0) / mBlock);
  const size_t chunk = blocksPerCall * mBlock;
  std::vector<std::vector<float>> input(nc, std::vector<float>(chunk));
  std::vector<std::vector<float>> output(nc, std::vector<float>(chunk));
  std::vector<const float*> inputs(nc);
  std::vector<float*> outputs(nc);
  for (size_t c = 0; c < nc; ++c) {
    inputs[c] = input[c].data();
    outputs[c] = output[c].data();
  }
  bool ok = true;
  for (size_t done = 0, written = 0;;) {
    const size_t got = std::min(chunk, frames - done);
    const bool inputEnded = done + got == frames;
    const size_t silence = inputEnded ? latency.TakeSilence(chunk - got) : 0;
    const size_t n = got + silence;
    if (n == 0) break;
    for (size_t c = 0; c < nc; ++c) {
      const auto from = in.channels[c].begin() + static_cast<std::ptrdiff_t>(done);
      std::fill(std::copy(from, from + static_cast<std::ptrdiff_t>(got), input[c].begin()),
                input[c].begin() + static_cast<std::ptrdiff_t>(n), 0.0f);
    }
    ok = Process(inputs.data(), outputs.data(), n, error);
    if (!ok) break;
    done += got;
    const size_t drop = latency.TakeSkip(n);
    const size_t kept = std::min(n - drop, frames - written);
    for (size_t c = 0; c < nc; ++c) {
      const auto from = output[c].begin() + static_cast<std::ptrdiff_t>(drop);
      std::copy(from, from + static_cast<std::ptrdiff_t>(kept),
                out.channels[c].begin() + static_cast<std::ptrdiff_t>(written));
    }
    written += kept;
    if (progress && got > 0) progress(done, frames);
    if (inputEnded && latency.SilenceFed()) break;
  }
  Finish();
  return ok;
}

}  // namespace tools
