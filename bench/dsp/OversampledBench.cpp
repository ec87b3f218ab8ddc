// The oversampled crusher (TovraSat HQ's chain) beside the crusher alone, and the filters alone.
#include <benchmark/benchmark.h>
#include <algorithm>
#include <array>

#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/HighRateChain.h"
#include "dsp/OversampledCrusher.h"
#include "dsp/Oversampler.h"
#include "dsp/ScopedFlushDenormals.h"
#include "tests/dsp/TestSignals.h"

namespace {

constexpr std::size_t kFrames = 48000;
constexpr double kRate = 48000.0;

const dsptest::StereoSignal& signal(dsptest::SignalKind kind) {
  static const dsptest::StereoSignal noise =
      dsptest::makeSignal(dsptest::SignalKind::kNoise, kFrames, kRate);
  static const dsptest::StereoSignal hot =
      dsptest::makeSignal(dsptest::SignalKind::kHot, kFrames, kRate);
  return kind == dsptest::SignalKind::kHot ? hot : noise;
}

// args: signal (0 noise, 1 hot), block frames, the crusher alone (0), HQ (1), HQ with the
// double-precision chain at the high rate (2), automated (1: Gain moves on every block).
void chain(benchmark::State& state) {
  const auto kind = state.range(0) == 1 ? dsptest::SignalKind::kHot : dsptest::SignalKind::kNoise;
  const int frames = static_cast<int>(state.range(1));
  const bool hq = state.range(2) >= 1;
  const bool automated = state.range(3) == 1;
  const dsptest::StereoSignal& in = signal(kind);
  auto crusher = std::make_unique<tovrasat::Crusher>();
  auto oversampled = std::make_unique<tovrasat::OversampledCrusher>(*crusher);
  oversampled->useSinglePrecisionChain(state.range(2) != 2);
  const auto setParams = [&](float gain) {
    if (hq) {
      oversampled->setParams(gain, 0.0f, true, false);
    } else {
      crusher->setParams(gain, 0.0f, true, false);
    }
  };
  setParams(1.0f);
  if (hq) {
    oversampled->prepare(kRate);
  } else {
    crusher->prepare(kRate);
  }
  std::vector<float> l(static_cast<std::size_t>(frames));
  std::vector<float> r(static_cast<std::size_t>(frames));
  float* outs[2] = {l.data(), r.data()};
  std::size_t offset = 0;
  bool high = false;
  for (auto _ : state) {
    if (offset + l.size() > kFrames) offset = 0;
    if (automated) {
      high = !high;
      setParams(high ? 1.0f : 0.9f);
    }
    const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
    if (hq) {
      oversampled->process(ins, outs, frames);
    } else {
      crusher->process(ins, outs, frames);
    }
    benchmark::DoNotOptimize(l.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
}

// HQ's chain alone at the high rate, on a block as HQ hands it (32 base frames, 16 times as many
// here); items are high-rate stereo frames. args: signal (0 noise, 1 hot), 48V (1: the peak
// detector, 0: the envelope).
void highRateChain(benchmark::State& state) {
  const auto kind = state.range(0) == 1 ? dsptest::SignalKind::kHot : dsptest::SignalKind::kNoise;
  const dsptest::StereoSignal& in = signal(kind);
  constexpr int kBlock = 32 * tovrasat::OversampledCrusher::kFactor;
  auto crusher = std::make_unique<tovrasat::Crusher>();
  auto chain = std::make_unique<tovrasat::HighRateChain>();
  crusher->setParams(1.0f, 0.0f, state.range(1) == 1, false);
  crusher->prepare(kRate * tovrasat::OversampledCrusher::kFactor);
  std::vector<float> l(kBlock);
  std::vector<float> r(kBlock);
  std::size_t offset = 0;
  const tovrasat::ScopedFlushDenormals flush;  // as HQ runs it
  for (auto _ : state) {
    if (offset + l.size() > kFrames) offset = 0;
    // The base-rate signal read as if at the high rate: as broad and as hot as the chain sees.
    std::copy_n(in.l.data() + offset, kBlock, l.data());
    std::copy_n(in.r.data() + offset, kBlock, r.data());
    chain->process(*crusher, l.data(), r.data(), kBlock);
    benchmark::DoNotOptimize(l.data());
    benchmark::ClobberMemory();
    offset += l.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlock);
}

// Up and down of one channel, nothing between: what the filters cost.
void filters(benchmark::State& state) {
  auto o = std::make_unique<tovrasat::Oversampler>(static_cast<int>(state.range(0)));
  const dsptest::StereoSignal& in = signal(dsptest::SignalKind::kNoise);
  std::vector<float> high(static_cast<std::size_t>(tovrasat::Oversampler::kMaxRun * o->factor()));
  std::vector<float> out(tovrasat::Oversampler::kMaxRun);
  std::size_t offset = 0;
  for (auto _ : state) {
    if (offset + 32 > kFrames) offset = 0;
    o->up(in.l.data() + offset, high.data(), 32);
    o->down(high.data(), out.data(), 32);
    benchmark::DoNotOptimize(out.data());
    offset += 32;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 32);
}

// Up and down of both channels in the stereo calls HQ makes, nothing between; items are stereo
// frames.
void stereoFilters(benchmark::State& state) {
  using tovrasat::Oversampler;
  const int stages = static_cast<int>(state.range(0));
  auto o = std::make_unique<std::array<Oversampler, 2>>(
      std::array<Oversampler, 2>{Oversampler(stages), Oversampler(stages)});
  const dsptest::StereoSignal& in = signal(dsptest::SignalKind::kNoise);
  const auto highSize = static_cast<std::size_t>(Oversampler::kMaxRun * (*o)[0].factor());
  std::vector<float> highL(highSize), highR(highSize);
  std::vector<float> outL(Oversampler::kMaxRun), outR(Oversampler::kMaxRun);
  std::size_t offset = 0;
  for (auto _ : state) {
    if (offset + 32 > kFrames) offset = 0;
    Oversampler::upStereo((*o)[0], (*o)[1], in.l.data() + offset, in.r.data() + offset,
                          highL.data(), highR.data(), 32);
    Oversampler::downStereo((*o)[0], (*o)[1], highL.data(), highR.data(), outL.data(), outR.data(),
                            32);
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    offset += 32;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 32);
}

BENCHMARK(chain)
    ->ArgNames({"hot", "frames", "hq", "automated"})
    ->ArgsProduct({{0, 1}, {64, 512}, {0, 1, 2}, {0, 1}});
BENCHMARK(highRateChain)->ArgNames({"hot", "phantom"})->ArgsProduct({{0, 1}, {0, 1}});
BENCHMARK(filters)->ArgName("stages")->DenseRange(1, tovrasat::Oversampler::kMaxStages);
BENCHMARK(stereoFilters)->ArgName("stages")->DenseRange(1, tovrasat::Oversampler::kMaxStages);

}  // namespace
