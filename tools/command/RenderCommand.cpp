// RenderCommand.cpp: tovrasat render: audio files through the plug-in, one IN OUT or a batch
// into a folder, with a summary of what each became.
#include "tools/command/Commands.h"

#include "state/TovraPresets.h"
#include "tools/audiofile/AudioReader.h"
#include "tools/audiofile/AudioWriter.h"
#include "tools/command/ParallelJobs.h"
#include "tools/command/Printable.h"
#include "tools/command/ProgressBar.h"
#include "tools/meters/KWeighting.h"
#include "tools/meters/SignalStats.h"
#include "tools/pluginhost/RenderPipeline.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

namespace tools {
namespace {

namespace fs = std::filesystem;

// The sample rates a header may give: the slowest telephone-band rates to the fastest converters.
// Outside them the header is damaged, and nothing measured at such a rate would mean anything.
constexpr double kLowestRate = 1000.0;
constexpr double kHighestRate = 768000.0;

bool SamePath(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;  // standard input and output
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

// The summary's meter figures: unknown rather than invented when the plug-in cannot say.
std::string MeterText(const RenderReport& r) {
  if (!r.meterAvailable) return "meter max n/a, overload lamp n/a";
  return "meter max " + Fixed(r.maxMeterDb, 2) + " dBFS, overload lamp lit on " +
         std::to_string(r.lampTicks) + " of " + std::to_string(r.idleTicks) + " idle ticks";
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

// Whether path names a file directly inside dir, by the names alone (nothing on disk is asked):
// one more component, and not "." or "..".
bool DirectlyIn(const fs::path& path, const fs::path& dir) {
  const fs::path inside = path.lexically_normal().lexically_relative(dir.lexically_normal());
  const auto parts = std::distance(inside.begin(), inside.end());
  return parts == 1 && inside != "." && inside != "..";
}

// Why a --suffix cannot be part of a file name, or empty when it can: a path separator or ".."
// would lead the output out of the folder, and a control character gives a name that no listing
// shows as typed.
std::string SuffixFault(const std::string& suffix) {
  if (suffix.find('/') != std::string::npos) return "holds a path separator";
  if (suffix.find("..") != std::string::npos) return "holds '..'";
  for (const char c : suffix)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  return {};
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
      const fs::path out = fs::path(o.outDir) / (p.stem().string() + o.suffix + extension);
      if (!DirectlyIn(out, o.outDir)) {
        error = out.string() + ": lies outside --out-dir " + o.outDir + "; nothing was rendered";
        return kExitUsage;
      }
      jobs.push_back({file, out.string()});
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

struct BatchTotals {
  double audioSeconds = 0.0;
  bool oneLine = false;  // a batch: each file's summary on one line
};

// "IN ends after 0.45 s of the 1.00 s its header gives"; in frames when seconds cannot tell the
// two apart.
std::string ShortFileText(const std::string& in, long long frames, long long claimed, double rate) {
  const std::string got = Fixed(static_cast<double>(frames) / rate, 2);
  const std::string promised = Fixed(static_cast<double>(claimed) / rate, 2);
  if (got != promised)
    return in + " ends after " + got + " s of the " + promised + " s its header gives";
  return in + " ends after " + std::to_string(frames) + " of the " + std::to_string(claimed) +
         " frames its header gives";
}

// "loudness in L LUFS, out L LUFS", or why there is none: at a rate of twice the K-weighting's
// shelf corner or less the filter cannot be built, and a figure would be made up.
std::string LoudnessText(const RenderTotals& totals, double rate) {
  const double in = totals.loudnessIn.IntegratedLufs(), out = totals.loudnessOut.IntegratedLufs();
  if (std::isnan(in) || std::isnan(out))
    return "loudness not defined at " + Fixed(rate, 0) + " Hz (K-weighting needs over " +
           Fixed(2.0 * KWeighting::ShelfCorner(), 0) + " Hz)";
  return "loudness in " + Lufs(in) + " LUFS, out " + Lufs(out) + " LUFS";
}

// One file's summary as a short block: what it is, then one line per measure, each in 80 columns
// (the name aside).
std::string SummaryBlock(const std::string& name, double audioSeconds, const AudioReader& in,
                         double seconds, const RenderTotals& totals, const RenderReport& report) {
  return Printable(name) + ": " + Fixed(audioSeconds, 2) + " s, " + ChannelsText(in.NChannels()) +
         ", " + Fixed(in.SampleRate(), 0) + " Hz, rendered in " + Fixed(seconds, 2) + " s" +
         "\n  peak in " + Db(totals.peakIn) + " dBFS, out " + Db(totals.peakOut) + " dBFS" +
         "\n  " + LoudnessText(totals, in.SampleRate()) + "\n  true peak in " +
         Db(totals.loudnessIn.TruePeak()) + " dBTP, out " + Db(totals.loudnessOut.TruePeak()) +
         " dBTP" + "\n  " + MeterText(report);
}

// One file of a batch on one line: the output's figures (the name aside, within 60 columns); the
// batch's own line gives the time.
std::string SummaryLine(const std::string& name, double audioSeconds, const RenderTotals& totals) {
  const double lufs = totals.loudnessOut.IntegratedLufs();
  return Printable(name) + ": " + Fixed(audioSeconds, 2) + " s; out peak " + Db(totals.peakOut) +
         " dBFS, " + (std::isnan(lufs) ? "loudness not defined" : Lufs(lufs) + " LUFS") + ", " +
         Db(totals.loudnessOut.TruePeak()) + " dBTP";
}

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
  if (!(in.SampleRate() >= kLowestRate && in.SampleRate() <= kHighestRate))
    return Fail(kExitFailure, job.in + ": its header gives a sample rate of " +
                                  Fixed(in.SampleRate(), 0) + " Hz; audio files run at " +
                                  Fixed(kLowestRate, 0) + " to " + Fixed(kHighestRate, 0) +
                                  " Hz, so the header is damaged");
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
  // A lossy file is measured once written, as a player decodes it; a lossy stream cannot be read
  // back, so its figures are those of the samples before encoding, and say so.
  const bool decodeOut = pipeline.measureOut && out.IsLossy() && out.IsRereadable();
  const bool beforeEncoding = pipeline.measureOut && out.IsLossy() && !out.IsRereadable();
  if (decodeOut) pipeline.measureOut = false;
  pipeline.idleTicks = !o.quiet;  // the meter's figures are only shown in the summary
  const bool rendered =
      RenderPipeline::Run(*plugin, in, out, pipeline, progress, report, totals, error);
  bar.Finish();
  if (!rendered || !out.Finish(error)) return Fail(kExitFailure, error);
  if (decodeOut && !RenderPipeline::MeasureFile(job.out, totals, error))
    Warn(error + "; the output's figures are unknown");
  const double seconds = bar.Elapsed();
  const double audioSeconds = static_cast<double>(totals.frames) / in.SampleRate();
  batch.audioSeconds += audioSeconds;
  if (in.ClaimedFrames() > static_cast<long long>(totals.frames))
    Warn(ShortFileText(job.in, static_cast<long long>(totals.frames), in.ClaimedFrames(),
                       in.SampleRate()));
  if (const uint64_t bad = in.NonFiniteSamples(); bad > 0)
    Warn(job.in + ": " + std::to_string(bad) + (bad == 1 ? " sample is" : " samples are") +
         " not a number or infinite (NaN, Inf): damage in the file, not audio");
  WarnOverFullScale(job.out, out, totals.loudnessOut.TruePeak());
  if (!o.quiet) {
    const std::string name = job.out == "-" ? std::string("standard output") : job.out;
    std::string text = batch.oneLine
                           ? SummaryLine(name, audioSeconds, totals)
                           : SummaryBlock(name, audioSeconds, in, seconds, totals, report);
    if (beforeEncoding) text += "\n  out: the samples before encoding (a stream is not read back)";
    std::fprintf(stderr, "%s\n", text.c_str());  // Printable already
  }
  return kExitOk;
}

}  // namespace

CLI::App* AddRenderCommand(CLI::App& app, CommandOptions& o, ParsedOptions& parsed) {
  CLI::App* render = app.add_subcommand(
      "render", "render audio files through the plug-in: IN OUT, or IN... --out-dir DIR");
  render
      ->add_option("FILES", o.inputs,
                   "IN OUT: an audio file (mono or stereo, - for standard input) and the file to "
                   "write (- for standard output); with --out-dir, every argument is an input, "
                   "a folder standing for the audio files in it")
      ->required();
  render->add_option("--out-dir", o.outDir,
                     "render each input to this folder under its own name (made if missing)");
  render->add_option("--suffix", o.suffix,
                     "with --out-dir, appended to each output's name before the extension");
  AddPresetOptions(*render, parsed.preset);
  AddBypassOption(*render, parsed.bypass);
  render->add_option("--preset", o.preset,
                     "start from this user preset (or Default); other options override it");
  render->add_option("--block", parsed.block, "host block size in frames (1 to 8192, default 512)")
      ->check(InRange(1, 8192, "frames"));
  render
      ->add_option("--format", parsed.format,
                   "output samples: f32, s24 or s16 (default: the input's, as far as the output "
                   "format holds them)")
      ->check(CLI::IsMember({"f32", "s24", "s16"}));
  render
      ->add_option("--type", o.type,
                   "output file type instead of OUT's extension (for - it is wav by default)")
      ->check(CLI::IsMember({"wav", "flac", "ogg", "aiff", "caf", "w64", "rf64", "au"}));
  render->add_flag("--no-dither", parsed.noDither, "no TPDF dither on 16-bit output");
  render
      ->add_option("--oversample", o.oversample,
                   "render at 2, 4 or 8 times the file's rate, resampled with libsoxr (less "
                   "aliasing; default 1)")
      ->check(CLI::IsMember({1, 2, 4, 8}));
  render
      ->add_option("--in-gain", o.inGainDb,
                   "gain before the plug-in, dB (-24 to 24), like a host's clip gain: brings hot "
                   "material under full scale before the chain")
      ->check(InRange(-24.0, 24.0, "dB"));
  render
      ->add_option("-j,--jobs", o.jobs,
                   "with --out-dir, how many files render at once, each in a process of its own "
                   "(default: one per processor)")
      ->check(InRange(1, 1024, "files"));
  render->add_flag("--quiet,-q", o.quiet, "no progress bar and no summary");
  return render;
}

int Render(CommandOptions options, const ParsedOptions& parsed) {
  parsed.preset.ApplyTo(options.settings);
  if (parsed.bypass) options.settings.bypass = *parsed.bypass == "on";
  options.settings.block = static_cast<UInt32>(parsed.block);
  if (!parsed.format.empty())
    options.format = parsed.format == "s24"   ? ESampleFormat::kInt24
                     : parsed.format == "s16" ? ESampleFormat::kInt16
                                              : ESampleFormat::kFloat32;
  options.dither = !parsed.noDither;
  // IN OUT: the last argument is the output.
  if (options.outDir.empty() && options.inputs.size() == 2) {
    options.out = options.inputs.back();
    options.inputs.pop_back();
  }
  if (options.outDir.empty() && !options.suffix.empty())
    return Fail(kExitUsage, "--suffix names the outputs of --out-dir (see tovrasat render --help)");
  if (const std::string fault = SuffixFault(options.suffix); !fault.empty())
    return Fail(kExitUsage, "--suffix '" + options.suffix + "' " + fault +
                                "; it is added to each output's file name");

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
  batch.oneLine = jobs.size() > 1;
  std::vector<std::string> failed;
  int code = kExitOk;
  const int workers = options.jobs > 0 ? options.jobs : ParallelJobs::Processors();
  if (jobs.size() > 1 && workers > 1) {
    // Each file in a process of its own, a few at once: the files and lines are those of one
    // at a time.
    std::vector<std::string> inputs;
    for (const Job& job : jobs) inputs.push_back(job.in);
    const std::vector<JobResult> results = ParallelJobs::Run(
        jobs.size(), workers,
        [&](size_t i) {
          BatchTotals one;
          one.oneLine = batch.oneLine;
          const int c = RenderOne(bundle, jobs[i], options, settings, one);
          return JobResult{c, one.audioSeconds};
        },
        inputs, kExitFailure);
    for (size_t i = 0; i < jobs.size(); ++i) {
      batch.audioSeconds += results[i].audioSeconds;
      if (results[i].code != kExitOk) {
        failed.push_back(jobs[i].in);
        code = kExitFailure;
      }
    }
  } else {
    for (const Job& job : jobs) {
      if (const int c = RenderOne(bundle, job, options, settings, batch); c != kExitOk) {
        failed.push_back(job.in);
        code = jobs.size() == 1 ? c : kExitFailure;
      }
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

}  // namespace tools
