// ToolsBench.cpp: ten minutes of the demo mix (48 kHz stereo float) read, rendered through
// TovraSat at its defaults and written as WAV, as tovrasat render does it, once without and once
// with the integrated loudness and true peak of input and output.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/AudioReader.h"
#include "tools/AudioWriter.h"
#include "tools/DemoSignal.h"
#include "tools/PluginHost.h"
#include "tools/RenderPipeline.h"

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
  state.SetLabel(options.measureIn ? "with loudness" : "without loudness");
}
BENCHMARK(BM_RenderTenMinutes)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
