// Engine and crusher, optimised and step for step, raced on every kind of signal and block size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"
#include "tests/dsp/DspFixtures.h"
#include "tests/dsp/StraightCrusher.h"
#include "tests/dsp/StraightEngine.h"
#include "tests/dsp/TestSignals.h"

namespace {

constexpr std::size_t kSignalFrames = 48000;
constexpr double kRate = 48000.0;

// Benchmark names are Part/signal/frames/steady|automated/optimised|straight; bench/compare.sh
// pairs the last field.
struct Case {
  dsptest::SignalKind kind;
  int frames;
  bool automated;
  bool straight;
};

std::string caseName(const char* part, const Case& c) {
  return std::string(part) + "/" + dsptest::signalName(c.kind) + "/" + std::to_string(c.frames) +
         (c.automated ? "/automated" : "/steady") + (c.straight ? "/straight" : "/optimised");
}

const dsptest::StereoSignal& signalOf(dsptest::SignalKind kind) {
  static const dsptest::StereoSignal signals[] = {
      dsptest::makeSignal(dsptest::SignalKind::kNoise, kSignalFrames, kRate),
      dsptest::makeSignal(dsptest::SignalKind::kHot, kSignalFrames, kRate),
      dsptest::makeSignal(dsptest::SignalKind::kMusic, kSignalFrames, kRate),
      dsptest::makeSignal(dsptest::SignalKind::kSilence, kSignalFrames, kRate)};
  return signals[static_cast<int>(kind)];
}

// The engine with the crusher's voicing at its defaults (Gain 24 %, 48V on). Automated: a new
// 10 ms mix ramp and 2.5 s of fast time constants on every block, as the crusher's intake starts
// them when Gain moves.
void engineProcess(benchmark::State& state, Case c) {
  const dsptest::StereoSignal& in = signalOf(c.kind);
  auto crusher = std::make_unique<tovrasat::Crusher>();
  crusher->setParams(0.24f, 0.0f, true, false);
  crusher->prepare(kRate);
  cc::Engine& e = crusher->engine;
  std::vector<float> l(static_cast<std::size_t>(c.frames));
  std::vector<float> r(static_cast<std::size_t>(c.frames));
  std::size_t offset = 0;
  bool high = false;
  for (auto _ : state) {
    if (offset + l.size() > kSignalFrames) offset = 0;
    if (c.automated) {
      high = !high;
      dsptest::changeGain(e, high ? 0.3 : 0.24, kRate);
    }
    std::copy_n(in.l.begin() + static_cast<std::ptrdiff_t>(offset), l.size(), l.begin());
    std::copy_n(in.r.begin() + static_cast<std::ptrdiff_t>(offset), r.size(), r.begin());
    if (c.straight) {
      dsptest::straightEngineProcess(e, l.data(), r.data(), c.frames);
    } else {
      e.process(l.data(), r.data(), c.frames);
    }
    benchmark::DoNotOptimize(l.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * c.frames);
}

// The crusher at its defaults; automated: Gain moves on every block.
void crusherProcess(benchmark::State& state, Case c) {
  const dsptest::StereoSignal& in = signalOf(c.kind);
  auto crusher = std::make_unique<tovrasat::Crusher>();
  crusher->setParams(0.24f, 0.0f, true, false);
  crusher->prepare(kRate);
  std::vector<float> l(static_cast<std::size_t>(c.frames));
  std::vector<float> r(static_cast<std::size_t>(c.frames));
  float* outs[2] = {l.data(), r.data()};
  std::size_t offset = 0;
  bool high = false;
  for (auto _ : state) {
    if (offset + l.size() > kSignalFrames) offset = 0;
    if (c.automated) {
      high = !high;
      crusher->setParams(high ? 0.3f : 0.24f, 0.0f, true, false);
    }
    const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
    if (c.straight) {
      dsptest::straightCrusherProcess(*crusher, ins, outs, c.frames);
    } else {
      crusher->process(ins, outs, c.frames);
    }
    benchmark::DoNotOptimize(l.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * c.frames);
}

void registerAll() {
  for (const dsptest::SignalKind kind : dsptest::kAllSignals) {
    for (const int frames : {512, 64}) {
      for (const bool automated : {false, true}) {
        for (const bool straight : {false, true}) {
          const Case c{kind, frames, automated, straight};
          benchmark::RegisterBenchmark(caseName("Engine", c).c_str(), engineProcess, c);
          benchmark::RegisterBenchmark(caseName("Crusher", c).c_str(), crusherProcess, c);
        }
      }
    }
  }
}

}  // namespace

// --baseline-isa: the settled loop's SSE2 build even where the processor has AVX2.
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--baseline-isa") {
      cc::Engine::settledLoopUsesAvx2 = false;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  }
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
