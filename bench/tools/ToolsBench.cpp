// ToolsBench.cpp: ten minutes of the demo mix (48 kHz stereo float) read, rendered through
// TovraSat at its defaults and written as WAV, as tovrasat render does it, once without and once
// with the integrated loudness and true peak of input and output; the loudness meters alone on
// the same ten minutes, the command's beside libebur128's; and the true-peak meter beside the
// 48-tap one without the parabola, on the mix, on the mix saturated and on white noise.
#include <benchmark/benchmark.h>
#include <ebur128.h>
#include <time.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/tools/ShortFilterTruePeakMeter.h"
#include "dsp/Crusher.h"
#include "tests/support/TempDir.h"
#include "tools/audiofile/AudioReader.h"
#include "tools/audiofile/AudioWriter.h"
#include "tools/command/DemoSignal.h"
#include "tools/meters/IntegratedLoudness.h"
#include "tools/meters/LoudnessMeter.h"
#include "tools/meters/TruePeakMeter.h"
#include "tools/pluginhost/PluginHost.h"
#include "tools/pluginhost/RenderPipeline.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kMinutes = 10;

// The input file, made once for the whole run.
const std::string& TenMinutes() {
  static const testsupport::TempDir dir;
  static const std::string path = [] {
    const std::string file = dir / "ten-minutes.wav";
    const tools::AudioFile loop = tools::DemoSignal::Make(kRate);
    const float* data[] = {loop.channels[0].data(), loop.channels[1].data()};
    tools::AudioWriter writer;
    std::string error;
    bool ok = writer.Open(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2, false, error);
    const auto loops = static_cast<int>(kMinutes * 60 / tools::DemoSignal::kSeconds);
    for (int i = 0; ok && i < loops; ++i) ok = writer.Write(data, loop.Frames(), error);
    if (!ok || !writer.Finish(error)) std::abort();
    return file;
  }();
  return path;
}

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The benchmark's CPU time is the render thread's; process_cpu adds the meters' threads.
void BM_RenderTenMinutes(benchmark::State& state) {
  const std::string& input = TenMinutes();
  std::string error;
  const auto bundle = tools::PluginHost::LoadBundle(TOVRASAT_COMPONENT, error);
  if (!bundle) {
    state.SkipWithError(error.c_str());
    return;
  }
  tools::PipelineOptions options;
  options.measureIn = options.measureOut = state.range(0) != 0;
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) {
    tools::AudioReader in;
    auto plugin = tools::PluginHost::Open(bundle, error);
    tools::AudioWriter out;
    tools::RenderReport report;
    tools::RenderTotals totals;
    // Written to /dev/null: the disk's speed is not what is compared.
    if (!in.Open(input, error) || !plugin || !plugin->Prepare(kRate, 2, 512, error) ||
        !plugin->Apply({}, error) ||
        !out.Open("/dev/null", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2, false, error) ||
        !tools::RenderPipeline::Run(*plugin, in, out, options, nullptr, report, totals, error) ||
        !out.Finish(error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(totals.loudnessOut.IntegratedLufs());
  }
  state.counters["process_cpu"] = ProcessCpuSeconds() - cpuBefore;
  state.SetLabel(options.measureIn ? "with loudness" : "without loudness");
}
BENCHMARK(BM_RenderTenMinutes)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Ten minutes of the demo mix in memory, 48 kHz stereo.
const std::vector<std::vector<float>>& TenMinutesInMemory() {
  static const std::vector<std::vector<float>> channels = [] {
    const tools::AudioFile loop = tools::DemoSignal::Make(kRate);
    std::vector<std::vector<float>> c(2);
    const auto loops = static_cast<int>(kMinutes * 60 / tools::DemoSignal::kSeconds);
    for (int i = 0; i < loops; ++i)
      for (size_t k = 0; k < 2; ++k)
        c[k].insert(c[k].end(), loop.channels[k].begin(), loop.channels[k].end());
    return c;
  }();
  return channels;
}

// In quarter-second chunks, as the render passes them.
template <typename Meter>
void Feed(Meter& meter, const std::vector<std::vector<float>>& x) {
  constexpr size_t kChunk = 12288;
  for (size_t at = 0; at < x[0].size(); at += kChunk) {
    const float* data[] = {x[0].data() + at, x[1].data() + at};
    meter.Add(data, std::min(kChunk, x[0].size() - at));
  }
}

void BM_IntegratedLoudnessTenMinutes(benchmark::State& state) {
  const auto& x = TenMinutesInMemory();
  for (auto _ : state) {
    tools::IntegratedLoudness meter;
    meter.Open(2, kRate);
    Feed(meter, x);
    benchmark::DoNotOptimize(meter.Lufs());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x[0].size()));
}
BENCHMARK(BM_IntegratedLoudnessTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(1);

// Integrated loudness and true peak, as each stream of the render is measured.
void BM_LoudnessMeterTenMinutes(benchmark::State& state) {
  const auto& x = TenMinutesInMemory();
  for (auto _ : state) {
    tools::LoudnessMeter meter;
    meter.Open(2, kRate);
    Feed(meter, x);
    benchmark::DoNotOptimize(meter.IntegratedLufs());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x[0].size()));
}
BENCHMARK(BM_LoudnessMeterTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(1);

// The demo mix through the engine at full Gain: saturated, bright and near full scale all along,
// the true-peak meter's hardest case (its shortcut skips little of it).
const std::vector<std::vector<float>>& TenMinutesSaturated() {
  static const std::vector<std::vector<float>> channels = [] {
    std::vector<std::vector<float>> c = TenMinutesInMemory();
    tovrasat::Crusher crusher;
    crusher.setParams(1.0f, 0.0f, true, false);
    crusher.prepare(kRate);
    constexpr size_t kBlock = 4096;
    for (size_t at = 0; at < c[0].size(); at += kBlock) {
      float* data[] = {c[0].data() + at, c[1].data() + at};
      const auto n = static_cast<int>(std::min(kBlock, c[0].size() - at));
      crusher.process(data, data, n);
    }
    return c;
  }();
  return channels;
}

// Ten minutes of white noise at -12 dBFS RMS (Gaussian, so its peaks near full scale are rare):
// every stretch could hold a new peak, and its differences are as large as they get.
const std::vector<std::vector<float>>& TenMinutesOfNoise() {
  static const std::vector<std::vector<float>> channels = [] {
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, 0.25f);
    std::vector<std::vector<float>> c(2, std::vector<float>(TenMinutesInMemory()[0].size()));
    for (std::vector<float>& channel : c)
      for (float& x : channel) x = gauss(random);
    return c;
  }();
  return channels;
}

// True peak alone on the ten minutes: Arg 0 the demo mix, 1 the saturated mix, 2 white noise.
template <typename Meter>
void TruePeakTenMinutes(benchmark::State& state) {
  const auto& x = state.range(0) == 0   ? TenMinutesInMemory()
                  : state.range(0) == 1 ? TenMinutesSaturated()
                                        : TenMinutesOfNoise();
  for (auto _ : state) {
    Meter meter;
    meter.Reset(2);
    Feed(meter, x);
    benchmark::DoNotOptimize(meter.Peak());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x[0].size()));
  state.SetLabel(state.range(0) == 0   ? "demo mix"
                 : state.range(0) == 1 ? "saturated"
                                       : "white noise");
}
void BM_TruePeakTenMinutes(benchmark::State& state) {
  TruePeakTenMinutes<tools::TruePeakMeter>(state);
}
// The 48-tap meter without the parabola, raced beside it.
void BM_ShortFilterTruePeakTenMinutes(benchmark::State& state) {
  TruePeakTenMinutes<bench::ShortFilterTruePeakMeter>(state);
}
BENCHMARK(BM_TruePeakTenMinutes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShortFilterTruePeakTenMinutes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The integrated loudness the command used before its own, for comparison.
void BM_Libebur128TenMinutes(benchmark::State& state) {
  const auto& x = TenMinutesInMemory();
  std::vector<float> interleaved(2 * x[0].size());
  for (size_t i = 0; i < x[0].size(); ++i) {
    interleaved[2 * i] = x[0][i];
    interleaved[2 * i + 1] = x[1][i];
  }
  for (auto _ : state) {
    ebur128_state* meter = ebur128_init(2, 48000, EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    ebur128_add_frames_float(meter, interleaved.data(), x[0].size());
    double lufs = 0.0;
    ebur128_loudness_global(meter, &lufs);
    benchmark::DoNotOptimize(lufs);
    ebur128_destroy(&meter);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x[0].size()));
}
BENCHMARK(BM_Libebur128TenMinutes)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
