// Throughput of the engine and the crusher, optimised and step-for-step, on music-like stereo.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"
#include "tests/dsp/StraightCrusher.h"
#include "tests/dsp/StraightEngine.h"

namespace {

constexpr std::size_t kSignalFrames = 48000;
constexpr double kRate = 48000.0;

// One second of three sines per side plus a little noise, peaking near -6 dBFS (fixed seed).
struct Signal {
  std::vector<float> l;
  std::vector<float> r;
  Signal() : l(kSignalFrames), r(kSignalFrames) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    const double twoPi = 2.0 * 3.14159265358979323846;
    for (std::size_t i = 0; i < kSignalFrames; ++i) {
      const double t = static_cast<double>(i) / kRate;
      l[i] = static_cast<float>(0.25 * std::sin(twoPi * 110.0 * t) +
                                0.15 * std::sin(twoPi * 440.0 * t) +
                                0.08 * std::sin(twoPi * 2500.0 * t) + noise(rng));
      r[i] = static_cast<float>(0.22 * std::sin(twoPi * 82.4 * t + 1.0) +
                                0.17 * std::sin(twoPi * 660.0 * t) +
                                0.08 * std::sin(twoPi * 3100.0 * t) + noise(rng));
    }
  }
};

const Signal& signal() {
  static const Signal s;
  return s;
}

template <bool kStraight>
void engineProcess(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  const bool phantom = state.range(1) != 0;
  cc::Engine e;
  e.shaperOn = 1.0;
  e.kneeDrive = 0.09;
  e.clipDrive = 0.05;
  e.cutoff = 0.34;
  e.resonance = 0.04;
  e.limiterOn = 1.0;
  e.limiterDrive = 0.08;
  e.enabled = 1.0;
  e.mix = 0.24;
  e.phantom = phantom ? 1.0 : 0.0;
  e.prepare(kRate);
  std::vector<float> l(static_cast<std::size_t>(frames));
  std::vector<float> r(static_cast<std::size_t>(frames));
  std::size_t offset = 0;
  for (auto _ : state) {
    if (offset + l.size() > kSignalFrames) offset = 0;
    std::copy_n(signal().l.begin() + static_cast<std::ptrdiff_t>(offset), l.size(), l.begin());
    std::copy_n(signal().r.begin() + static_cast<std::ptrdiff_t>(offset), r.size(), r.begin());
    if constexpr (kStraight) {
      dsptest::straightEngineProcess(e, l.data(), r.data(), frames);
    } else {
      e.process(l.data(), r.data(), frames);
    }
    benchmark::DoNotOptimize(l.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
}

template <bool kStraight>
void crusherProcess(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  const bool phantom = state.range(1) != 0;
  auto c = std::make_unique<tovrasat::Crusher>();
  c->setParams(0.24f, 0.0f, phantom, false);
  c->prepare(kRate);
  std::vector<float> l(static_cast<std::size_t>(frames));
  std::vector<float> r(static_cast<std::size_t>(frames));
  float* outs[2] = {l.data(), r.data()};
  std::size_t offset = 0;
  for (auto _ : state) {
    if (offset + l.size() > kSignalFrames) offset = 0;
    const float* ins[2] = {signal().l.data() + offset, signal().r.data() + offset};
    if constexpr (kStraight) {
      dsptest::straightCrusherProcess(*c, ins, outs, frames);
    } else {
      c->process(ins, outs, frames);
    }
    benchmark::DoNotOptimize(l.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
}

// Arguments: frames per call, 48V (1 instantaneous detector, 0 slewed envelope).
void blockSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"frames", "phantom"});
  for (const int phantom : {1, 0}) {
    for (const int frames : {256, 512}) b->Args({frames, phantom});
  }
}

BENCHMARK_TEMPLATE(engineProcess, false)->Name("Engine/process")->Apply(blockSizes);
BENCHMARK_TEMPLATE(engineProcess, true)->Name("Engine/straight")->Apply(blockSizes);
BENCHMARK_TEMPLATE(crusherProcess, false)->Name("Crusher/process")->Apply(blockSizes);
BENCHMARK_TEMPLATE(crusherProcess, true)->Name("Crusher/straight")->Apply(blockSizes);

}  // namespace

BENCHMARK_MAIN();
