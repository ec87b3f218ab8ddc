// Commands.cpp: render, info, presets and demo, each on the host library and the preset files.
#include "tools/Commands.h"

#include "core/TovraSatLv2Presets.h"
#include "host/ComponentEntry.h"
#include "state/TovraPresets.h"
#include "tools/AudioReader.h"
#include "tools/AudioWriter.h"
#include "tools/DemoSignal.h"
#include "tools/PresetCheck.h"
#include "tools/Printable.h"
#include "tools/ProgressBar.h"
#include "tools/RenderPipeline.h"
#include "tools/SignalStats.h"

#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace tools {
namespace {

namespace fs = std::filesystem;

const char* kBuiltInPreset = "Default";

std::string Db(double linear) {
  if (!(linear > 0.0)) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", SignalStats::Db(linear));
  return text;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Integrated loudness, LUFS: -inf for silence or audio shorter than a gating block.
std::string Lufs(double lufs) { return std::isfinite(lufs) ? Fixed(lufs, 2) : "-inf"; }

std::string Describe(const tovrapresets::Values& v) {
  return "gain " + Fixed(v.gain, 2) + " %, trim " + Fixed(v.trim, 2) + " dB, 48V " +
         (v.phat ? "on" : "off");
}

// The bundle and a fresh unit from it, or the failure's text.
std::unique_ptr<PluginHost> OpenPlugin(const CommandOptions& options, std::string& error) {
  const std::string path = PluginHost::LocateBundle(options.component);
  auto bundle = PluginHost::LoadBundle(path, error);
  if (!bundle) return nullptr;
  return PluginHost::Open(std::move(bundle), error, options.hq);
}

// The file a typed preset name means: the name as typed when such a preset exists, else the name
// cleaned as save cleans it, so the name a preset was saved under finds it again.
std::string PresetFileName(const std::string& typed) {
  if (tovrapresets::IsSafeName(typed) && fs::exists(tovrapresets::PathFor(typed))) return typed;
  const std::string clean = tovrapresets::Sanitize(typed);
  return clean.empty() ? typed : clean;
}

// A preset's values by name: the built-in "Default" or a file, whose questionable fields are
// warned about. False with a text when unknown.
bool FindPreset(const std::string& typed, tovrapresets::Values& values, std::string& error) {
  if (typed == kBuiltInPreset) {
    values = tovrapresets::Values{};
    return true;
  }
  const std::string name = PresetFileName(typed);
  if (!tovrapresets::IsSafeName(name)) {
    error = "'" + typed + "' is not a preset name";
    return false;
  }
  const fs::path path = tovrapresets::PathFor(name);
  std::error_code ec;
  if (fs::exists(path, ec) && !PresetCheck::IsRegularFile(path)) {
    error = path.string() + ": is not a regular file";
    return false;
  }
  if (!tovrapresets::Load(name, values)) {
    error = "no preset named '" + typed + "' in " + tovrapresets::Dir().string();
    return false;
  }
  for (const std::string& warning : PresetCheck::Warnings(path)) Warn(warning);
  return true;
}

bool SamePath(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;  // standard input and output
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

std::string UnitName(const host::ParameterInfo& p) {
  switch (p.unit) {
    case kAudioUnitParameterUnit_Generic:
      return "generic";
    case kAudioUnitParameterUnit_Indexed:
      return "indexed";
    case kAudioUnitParameterUnit_Boolean:
      return "boolean";
    case kAudioUnitParameterUnit_Percent:
      return "percent";
    case kAudioUnitParameterUnit_Seconds:
      return "seconds";
    case kAudioUnitParameterUnit_Hertz:
      return "hertz";
    case kAudioUnitParameterUnit_Decibels:
      return "decibels";
    case kAudioUnitParameterUnit_LinearGain:
      return "linear gain";
    case kAudioUnitParameterUnit_Milliseconds:
      return "milliseconds";
    case kAudioUnitParameterUnit_CustomUnit:
      return "custom \"" + p.unitName + "\"";
    default:
      return "unit " + std::to_string(p.unit);
  }
}

std::string FlagNames(AudioUnitParameterOptions flags) {
  const std::pair<AudioUnitParameterOptions, const char*> names[] = {
      {kAudioUnitParameterFlag_IsReadable, "readable"},
      {kAudioUnitParameterFlag_IsWritable, "writable"},
      {kAudioUnitParameterFlag_CanRamp, "can-ramp"},
      {kAudioUnitParameterFlag_IsHighResolution, "high-resolution"},
      {kAudioUnitParameterFlag_NonRealTime, "non-real-time"},
      {kAudioUnitParameterFlag_ValuesHaveStrings, "values-have-strings"},
      {kAudioUnitParameterFlag_HasClump, "has-clump"},
      {kAudioUnitParameterFlag_HasCFNameString, "cf-name"},
      {kAudioUnitParameterFlag_MeterReadOnly, "meter"},
      {kAudioUnitParameterFlag_ExpertMode, "expert"},
      {kAudioUnitParameterFlag_OmitFromPresets, "omit-from-presets"},
      {kAudioUnitParameterFlag_DisplayLogarithmic, "display-log"},
  };
  std::string text;
  for (const auto& [bit, name] : names)
    if ((flags & bit) != 0) text += std::string(text.empty() ? "" : " ") + name;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08" PRIX32, static_cast<uint32_t>(flags));
  return std::string(hex) + (text.empty() ? "" : " (" + text + ")");
}

template <typename T>
std::optional<T> GetProperty(AudioUnit unit, AudioUnitPropertyID id) {
  T value{};
  UInt32 size = sizeof value;
  if (AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &value, &size) != noErr)
    return std::nullopt;
  return value;
}

std::vector<AUChannelInfo> ChannelConfigurations(AudioUnit unit) {
  UInt32 size = 0;
  Boolean writable = false;
  if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels,
                               kAudioUnitScope_Global, 0, &size, &writable) != noErr)
    return {};
  std::vector<AUChannelInfo> configs(size / sizeof(AUChannelInfo));
  if (configs.empty() ||
      AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                           configs.data(), &size) != noErr)
    return {};
  configs.resize(size / sizeof(AUChannelInfo));
  return configs;
}

std::string Seconds(const std::optional<Float64>& value) {
  return value ? Fixed(*value, 6) + " s" : std::string("n/a");
}

// The summary's meter figures: unknown rather than invented when the plug-in cannot say.
std::string MeterText(const RenderReport& r) {
  if (!r.meterAvailable) return "meter max n/a, overload lamp n/a";
  return "meter max " + Fixed(r.maxMeterDb, 2) + " dBFS, overload lamp lit on " +
         std::to_string(r.lampTicks) + " of " + std::to_string(r.idleTicks) + " idle ticks";
}

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

struct Job {
  std::string in, out;
};

// The audio files of a folder, by name, hidden ones (our own temporary files among them) left out.
std::vector<std::string> AudioFilesIn(const fs::path& dir) {
  const std::vector<std::string> extensions = AudioWriter::ReadableExtensions();
  std::vector<std::string> files;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    std::string extension = e.path().extension().string();
    if (name.empty() || name[0] == '.' || extension.empty() || !e.is_regular_file(ec)) continue;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (std::binary_search(extensions.begin(), extensions.end(), extension.substr(1)))
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A batch whose inputs would land on one output (the same name in two folders, or names made
// equal by --suffix or --type) would keep only the last of them: false, naming each such group.
bool Clashes(const std::vector<Job>& jobs, std::string& error) {
  std::vector<std::pair<std::string, std::string>> byOut;  // output, input
  for (const Job& job : jobs) byOut.emplace_back(fs::path(job.out).lexically_normal(), job.in);
  std::stable_sort(byOut.begin(), byOut.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string groups;
  for (size_t i = 0; i < byOut.size();) {
    size_t end = i + 1;
    while (end < byOut.size() && byOut[end].first == byOut[i].first) ++end;
    if (end - i > 1) {
      std::string inputs;
      for (size_t k = i; k < end; ++k)
        inputs += (k == i ? "" : k + 1 == end ? " and " : ", ") + byOut[k].second;
      groups += (groups.empty() ? "" : "; ") + inputs +
                (end - i == 2 ? " would both be written to " : " would all be written to ") +
                byOut[i].first;
    }
    i = end;
  }
  if (groups.empty()) return true;
  error = groups + " (rename one, or render them to different folders); nothing was rendered";
  return false;
}

// What to render into what: IN OUT, or with --out-dir each input (a folder: each audio file in
// it) into DIR under its own name, with the suffix before the extension (and --type's extension
// when given). A usage error's exit code with its text, or kExitOk.
int PlanJobs(const CommandOptions& o, std::vector<Job>& jobs, std::string& error) {
  std::error_code ec;
  if (o.outDir.empty()) {
    if (o.inputs.size() != 1 || o.out.empty()) {
      error =
          "render takes IN and OUT, or several inputs with --out-dir DIR (see tovrasat "
          "render --help)";
      return kExitUsage;
    }
    if (o.inputs[0] != "-" && fs::is_directory(o.inputs[0], ec)) {
      error = o.inputs[0] + ": is a folder; to render every audio file in it, give --out-dir DIR";
      return kExitFailure;
    }
    // Standard output under its device name is written as "-" is, not replaced as a file.
    jobs.push_back({o.inputs[0], o.out == "/dev/stdout" ? std::string("-") : o.out});
    return kExitOk;
  }
  for (const std::string& in : o.inputs) {
    if (in == "-") {
      error = "standard input cannot be part of a batch; render it alone as IN OUT";
      return kExitUsage;
    }
    std::vector<std::string> files{in};
    if (fs::is_directory(in, ec)) files = AudioFilesIn(in);
    for (const std::string& file : files) {
      const fs::path p(file);
      const std::string extension = o.type.empty() ? p.extension().string() : "." + o.type;
      jobs.push_back(
          {file, (fs::path(o.outDir) / (p.stem().string() + o.suffix + extension)).string()});
    }
  }
  if (jobs.empty()) {
    error = "no audio files to render in the inputs given";
    return kExitFailure;
  }
  if (!Clashes(jobs, error)) return kExitUsage;
  fs::create_directories(o.outDir, ec);
  if (!fs::is_directory(o.outDir, ec)) {
    error = o.outDir + ": cannot create the output folder";
    return kExitFailure;
  }
  return kExitOk;
}

std::string ChannelsText(int channels) {
  return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
}

// "loudness in X LUFS, out Y LUFS; true peak in X dBTP, out Y dBTP".
std::string LoudnessText(const LoudnessMeter& in, const LoudnessMeter& out) {
  return "loudness in " + Lufs(in.IntegratedLufs()) + " LUFS, out " + Lufs(out.IntegratedLufs()) +
         " LUFS; true peak in " + Db(in.TruePeak()) + " dBTP, out " + Db(out.TruePeak()) + " dBTP";
}

// Integer samples past full scale are clipped, and so are a lossy file's peaks by most decoders:
// said once, with the true peak between the samples when that passes 0 dBTP. A float file holds
// either as it is.
void WarnOverFullScale(const std::string& path, const AudioWriter& out, double truePeak) {
  const int format = out.Format();
  const bool lossy = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG;
  const bool over = truePeak > 1.0 && (format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
  if (!over && out.ClippedSamples() == 0) return;
  std::string text = path + ": ";
  if (over) text += "true peak +" + Fixed(SignalStats::Db(truePeak), 2) + " dBTP passes full scale";
  if (over && out.ClippedSamples() > 0) text += ", ";
  if (out.ClippedSamples() > 0)
    text += std::to_string(out.ClippedSamples()) + " samples clipped at full scale";
  Warn(text + (lossy ? " (lower --trim)" : " (lower --trim, or write --format f32)"));
}

// A whole file through a meter of its own shape.
void Measure(const AudioFile& file, LoudnessMeter& meter) {
  if (!meter.Open(file.NChannels(), file.sampleRate)) return;
  std::vector<const float*> data;
  for (const std::vector<float>& channel : file.channels) data.push_back(channel.data());
  meter.Add(data.data(), file.Frames());
}

struct BatchTotals {
  double audioSeconds = 0.0;
};

// One file through a fresh unit; the exit code, with its one line printed when not kExitOk.
int RenderOne(const std::shared_ptr<host::ComponentBundle>& bundle, const Job& job,
              const CommandOptions& o, const RenderSettings& settings, BatchTotals& batch) {
  if (SamePath(job.in, job.out))
    return Fail(kExitUsage, job.out + ": is the same file as the input " + job.in +
                                "; choose another output path");
  std::string error;
  AudioReader in;
  if (!in.Open(job.in, error)) return Fail(kExitFailure, error);
  if (in.NChannels() > 2)
    return Fail(kExitFailure, job.in + ": has " + std::to_string(in.NChannels()) +
                                  " channels; only mono and stereo are supported");
  std::error_code ec;
  if (job.out != "-" && fs::is_directory(job.out, ec))
    return Fail(kExitFailure, job.out + ": cannot write: is a folder");
  int format = 0;
  // Everything about the output is settled before the first frame: a refusal leaves nothing on
  // standard output and no render half done.
  if (!AudioWriter::ChooseFormat(job.out, o.type, o.format, in.Format(), format, error) ||
      !AudioWriter::FitLength(job.out, in.FramesHint(), in.NChannels(),
                              AudioWriter::IsPipe(job.out), AudioWriter::kSizeLimit32, format,
                              error) ||
      !AudioWriter::CheckStreamable(job.out, format, error))
    return Fail(kExitUsage, error);

  auto plugin = PluginHost::Open(bundle, error, o.hq);
  if (!plugin) return Fail(kExitFailure, error);
  if (!plugin->Prepare(in.SampleRate() * o.oversample, in.NChannels(), settings.block, error) ||
      !plugin->Apply(settings, error))
    return Fail(kExitFailure, error);

  AudioWriter out;
  if (!out.Open(job.out, format, in.SampleRate(), in.NChannels(), o.dither, error))
    return Fail(kExitFailure, error);
  const long long hint = in.FramesHint();
  ProgressBar bar(!o.quiet && ::isatty(STDERR_FILENO) != 0,
                  hint > 0 ? static_cast<double>(hint) / in.SampleRate() : 0.0);
  const RenderPipeline::Progress progress = [&bar](size_t done, size_t total) {
    bar.Update(done, total);
  };
  RenderReport report;
  RenderTotals totals;
  PipelineOptions pipeline;
  pipeline.oversample = o.oversample;
  pipeline.inGain = static_cast<float>(std::pow(10.0, o.inGainDb / 20.0));
  // Quiet, only the warning about peaks past full scale needs a figure, and a float file has none.
  pipeline.measureIn = !o.quiet;
  pipeline.measureOut = !o.quiet || (format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
  const bool rendered =
      RenderPipeline::Run(*plugin, in, out, pipeline, progress, report, totals, error);
  bar.Finish();
  if (!rendered || !out.Finish(error)) return Fail(kExitFailure, error);
  const double seconds = bar.Elapsed();
  const double audioSeconds = static_cast<double>(totals.frames) / in.SampleRate();
  batch.audioSeconds += audioSeconds;
  if (in.ClaimedFrames() > static_cast<long long>(totals.frames))
    Warn(job.in + " ends after " + Fixed(audioSeconds, 2) + " s of the " +
         Fixed(static_cast<double>(in.ClaimedFrames()) / in.SampleRate(), 2) +
         " s its header gives");
  WarnOverFullScale(job.out, out, totals.loudnessOut.TruePeak());
  if (!o.quiet) {
    const std::string name = job.out == "-" ? std::string("standard output") : job.out;
    std::fprintf(stderr,
                 "%s: %.2f s, %s, %.0f Hz, rendered in %.2f s; peak in %s dBFS, out %s dBFS; "
                 "%s; %s\n",
                 Printable(name).c_str(), audioSeconds, ChannelsText(in.NChannels()).c_str(),
                 in.SampleRate(), seconds, Db(totals.peakIn).c_str(), Db(totals.peakOut).c_str(),
                 LoudnessText(totals.loudnessIn, totals.loudnessOut).c_str(),
                 MeterText(report).c_str());
  }
  return kExitOk;
}

}  // namespace

int Fail(int code, const std::string& text) {
  std::fprintf(stderr, "tovrasat: %s\n", Printable(text).c_str());
  return code;
}

void Warn(const std::string& text) {
  std::fprintf(stderr, "tovrasat: warning: %s\n", Printable(text).c_str());
}

int Render(const CommandOptions& options) {
  std::vector<Job> jobs;
  std::string error;
  if (const int code = PlanJobs(options, jobs, error); code != kExitOk) return Fail(code, error);
  RenderSettings settings = options.settings;
  if (!options.preset.empty()) {
    tovrapresets::Values values;
    if (!FindPreset(options.preset, values, error)) return Fail(kExitFailure, error);
    // Options given beside the preset win over its values.
    if (!settings.gain) settings.gain = values.gain;
    if (!settings.trimDb) settings.trimDb = values.trim;
    if (!settings.phantom) settings.phantom = values.phat;
  }
  auto bundle = PluginHost::LoadBundle(PluginHost::LocateBundle(options.component), error);
  if (!bundle) return Fail(kExitFailure, error);

  const ProgressBar clock(false, 0.0);
  BatchTotals batch;
  std::vector<std::string> failed;
  int code = kExitOk;
  for (const Job& job : jobs) {
    if (const int c = RenderOne(bundle, job, options, settings, batch); c != kExitOk) {
      failed.push_back(job.in);
      code = jobs.size() == 1 ? c : kExitFailure;
    }
  }
  if (jobs.size() > 1 && !options.quiet) {
    std::string text = std::to_string(jobs.size()) +
                       " files: " + std::to_string(jobs.size() - failed.size()) + " rendered (" +
                       Fixed(batch.audioSeconds, 2) + " s of audio in " +
                       Fixed(clock.Elapsed(), 2) + " s)";
    if (!failed.empty()) {
      text += ", " + std::to_string(failed.size()) + " failed:";
      for (const std::string& f : failed) text += " " + f;
    }
    std::fprintf(stderr, "%s\n", Printable(text).c_str());
  }
  return code;
}

int Info(const CommandOptions& options) {
  std::string error;
  auto plugin = OpenPlugin(options, error);
  if (!plugin) return Fail(kExitFailure, error);
  host::HostedUnit& unit = plugin->Unit();
  const host::ComponentEntry& entry = unit.Entry();
  const AudioComponentDescription& d = entry.description;
  std::printf("component    %s\n", PluginHost::LocateBundle(options.component).c_str());
  std::printf("codes        %s %s %s\n", host::FourCCText(d.componentType).c_str(),
              host::FourCCText(d.componentSubType).c_str(),
              host::FourCCText(d.componentManufacturer).c_str());
  std::printf("name         %s\n", entry.name.c_str());
  std::printf("version      %u.%u.%u (0x%08X)\n", entry.version >> 16, (entry.version >> 8) & 0xFF,
              entry.version & 0xFF, entry.version);

  const std::vector<AudioUnitParameterID> ids = unit.ParameterList();
  std::printf("parameters   %zu\n", ids.size());
  for (const AudioUnitParameterID id : ids) {
    const std::optional<host::ParameterInfo> p = unit.GetParameterInfo(id);
    if (!p) {
      std::printf("  %u  (no parameter info)\n", id);
      continue;
    }
    std::printf("  %u  %-12s %s, range %g .. %g, default %g\n", id, ("\"" + p->name + "\"").c_str(),
                UnitName(*p).c_str(), p->minValue, p->maxValue, p->defaultValue);
    std::printf("       flags %s\n", FlagNames(p->flags).c_str());
    if (const auto strings = unit.ParameterValueStrings(id)) {
      // Indexed by value from the minimum; a parameter with fewer texts than values leaves the
      // rest empty, and those are not texts the parameter shows.
      std::string list;
      for (size_t i = 0; i < strings->size(); ++i) {
        if ((*strings)[i].empty()) continue;
        list += std::string(list.empty() ? "" : ", ") +
                Fixed(p->minValue + static_cast<double>(i), 0) + " \"" + (*strings)[i] + "\"";
      }
      if (!list.empty()) std::printf("       value strings %s\n", list.c_str());
    }
    if (const auto shown = unit.ParameterStringFromValue(id, std::nullopt))
      std::printf("       shows \"%s\" now\n", shown->c_str());
  }

  const std::vector<AUChannelInfo> configs = ChannelConfigurations(unit.Unit());
  std::string channels;
  for (const AUChannelInfo& c : configs) {
    if (!channels.empty()) channels += ' ';
    channels += std::to_string(c.inChannels);
    channels += '-';
    channels += std::to_string(c.outChannels);
  }
  std::printf("channels     %s\n", channels.empty() ? "n/a" : channels.c_str());
  std::printf("latency      %s\n",
              Seconds(GetProperty<Float64>(unit.Unit(), kAudioUnitProperty_Latency)).c_str());
  std::printf("tail         %s\n",
              Seconds(GetProperty<Float64>(unit.Unit(), kAudioUnitProperty_TailTime)).c_str());

  const std::vector<host::Preset> presets = unit.FactoryPresets();
  std::printf("factory presets %zu\n", presets.size());
  for (const host::Preset& p : presets) std::printf("  %d  \"%s\"\n", p.number, p.name.c_str());

  OSStatus status = noErr;
  const host::CFRef<CFPropertyListRef> state = unit.SaveClassInfo(&status);
  std::string stateText = "n/a (status " + std::to_string(status) + ")";
  if (state && CFGetTypeID(state.Get()) == CFDictionaryGetTypeID()) {
    const void* data =
        CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("data"));
    if (data != nullptr && CFGetTypeID(data) == CFDataGetTypeID())
      stateText = std::to_string(CFDataGetLength(static_cast<CFDataRef>(data))) +
                  " bytes (class-info data)";
    else
      stateText = "no data entry";
  }
  std::printf("saved state  %s\n", stateText.c_str());
  return kExitOk;
}

int PresetsList(const CommandOptions&) {
  std::printf("preset folder %s\n", tovrapresets::Dir().string().c_str());
  std::printf("  %-32s  %s (built in)\n", kBuiltInPreset, Describe(tovrapresets::Values{}).c_str());
  for (const std::string& name : tovrapresets::List()) {
    if (name == kBuiltInPreset) continue;  // the built-in preset hides a file of its name
    tovrapresets::Values values;
    if (tovrapresets::Load(name, values))
      std::printf("  %-32s  %s\n", name.c_str(), Describe(values).c_str());
    else
      std::printf("  %-32s  (unreadable)\n", name.c_str());
  }
  return kExitOk;
}

int PresetsShow(const CommandOptions& options) {
  tovrapresets::Values values;
  std::string error;
  if (!FindPreset(options.presetName, values, error)) return Fail(kExitFailure, error);
  std::printf("%s: %s\n", Printable(options.presetName).c_str(), Describe(values).c_str());
  return kExitOk;
}

// LV2 hosts list the user presets from a bundle of their own, kept in step with the folder; the
// preset itself is saved or deleted whatever happens there.
void SyncHostPresets() {
  if (!tovrasat::SyncLv2UserPresets())
    Warn("could not bring the LV2 user presets in " + tovrasat::Lv2UserPresetBundle().string() +
         " up to date");
}

int PresetsSave(const CommandOptions& options) {
  const std::string name = tovrapresets::Sanitize(options.presetName);
  if (name.empty())
    return Fail(kExitUsage,
                "'" + options.presetName +
                    "' has no character a preset name may hold (letters, digits, space + - . _)");
  if (name == kBuiltInPreset)
    return Fail(kExitUsage, "'Default' is the built-in preset; choose another name");
  // The plug-in takes the settings as a host would set them, and the preset is what it then holds.
  std::string error;
  auto plugin = OpenPlugin(options, error);
  if (!plugin) return Fail(kExitFailure, error);
  if (!plugin->Apply(options.settings, error)) return Fail(kExitFailure, error);
  const auto gain = plugin->Unit().GetParameter(kParamGain);
  const auto trim = plugin->Unit().GetParameter(kParamTrim);
  const auto phantom = plugin->Unit().GetParameter(kParam48V);
  if (!gain || !trim || !phantom)
    return Fail(kExitFailure, "the plug-in has no Gain, Output Trim or 48V parameter");
  const tovrapresets::Values values{*gain, *trim, *phantom >= 0.5f};
  if (!tovrapresets::Save(name, values))
    return Fail(kExitFailure, "cannot write " + tovrapresets::PathFor(name).string());
  std::printf("saved '%s' (%s) to %s\n", name.c_str(), Describe(values).c_str(),
              tovrapresets::PathFor(name).string().c_str());
  SyncHostPresets();
  return kExitOk;
}

int PresetsDelete(const CommandOptions& options) {
  if (options.presetName == kBuiltInPreset)
    return Fail(kExitUsage, "'Default' is the built-in preset and cannot be deleted");
  const std::string name = PresetFileName(options.presetName);
  if (!tovrapresets::Remove(name))
    return Fail(kExitFailure,
                "no preset named '" + options.presetName + "' in " + tovrapresets::Dir().string());
  std::printf("deleted '%s'\n", Printable(name).c_str());
  SyncHostPresets();
  return kExitOk;
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

std::string VersionText(const CommandOptions& options) {
#if defined(__clang__)
  const std::string compiler = std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
  const std::string compiler = std::string("g++ ") + __VERSION__;
#else
  const std::string compiler = "an unknown compiler";
#endif
  std::string text = std::string("tovrasat ") + TOVRASAT_VERSION + " (" + TOVRASAT_BUILD_KIND +
                     " build, " + compiler + ", " + sf_version_string() + ", " + soxr_version() +
                     ")\n";
  std::string error;
  const auto plugin = OpenPlugin(options, error);
  if (!plugin) return text + "plug-in: n/a (" + error + ")";
  const host::ComponentEntry& entry = plugin->Unit().Entry();
  char version[32];
  std::snprintf(version, sizeof version, "%u.%u.%u", entry.version >> 16,
                (entry.version >> 8) & 0xFF, entry.version & 0xFF);
  return text + "plug-in " + entry.name + " " + version + " from " +
         PluginHost::LocateBundle(options.component);
}

}  // namespace tools
