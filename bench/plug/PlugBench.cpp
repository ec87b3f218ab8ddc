// Framework render-path throughput: buffer attach/convert/process, latency pass-through, host
// queue.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "plug/IPluginAPIBase.h"
#include "plug/IPluginProcessor.h"
#include "plug/Timer.h"

namespace {

using plug::kInput;
using plug::kOutput;

plug::Config BenchConfig(int latency) {
  plug::Config c;
  c.nParams = 4;
  c.channelIOStr = "1-1 2-2";
  c.latency = latency;
  return c;
}

// A plug-in whose host side does nothing: only the framework's own work is measured.
class BenchPlugin : public plug::IPluginAPIBase, public plug::IPluginProcessor {
 public:
  explicit BenchPlugin(int latency = 0)
      : IPluginAPIBase(BenchConfig(latency), plug::kAPIAU), IPluginProcessor(BenchConfig(latency)) {
    for (int i = 0; i < NParams(); ++i) GetParam(i)->InitDouble("p", 0.0, 0.0, 100.0, 0.1);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfPresetChange() override {}
  bool SendMidiMsg(const plug::IMidiMsg&) noexcept override { return true; }
  bool SendSysEx(const plug::ISysEx&) noexcept override { return true; }
  void SendParameterValueFromDelegate(int idx, double value, bool) override {
    benchmark::DoNotOptimize(idx);
    benchmark::DoNotOptimize(value);
  }
};

struct StereoFloat {
  explicit StereoFloat(int frames)
      : in(2, std::vector<float>(frames)), out(2, std::vector<float>(frames)) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (auto& channel : in) {
      for (float& s : channel) s = dist(rng);
    }
    for (int c = 0; c < 2; ++c) {
      inPtrs[c] = in[c].data();
      outPtrs[c] = out[c].data();
    }
  }
  // What the host wrapper does before every render call.
  void ConnectAndAttach(BenchPlugin& p, int frames) {
    p.SetChannelConnections(kInput, 0, 2, true);
    p.SetChannelConnections(kOutput, 0, 2, true);
    p.AttachBuffers(kInput, 0, 2, inPtrs, frames);
    p.AttachBuffers(kOutput, 0, 2, outPtrs, frames);
  }
  std::vector<std::vector<float>> in, out;
  float* inPtrs[2];
  float* outPtrs[2];
};

// One render call as the host wrapper makes it: connect, attach, process (widen, copy, narrow).
void BM_ProcessBuffersFloat(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  BenchPlugin p;
  p.SetBlockSize(frames);
  StereoFloat io(frames);
  for (auto _ : state) {
    io.ConnectAndAttach(p, frames);
    p.ProcessBuffers(0.0f, frames);
    benchmark::DoNotOptimize(io.out[1][frames - 1]);
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_ProcessBuffersFloat)->RangeMultiplier(4)->Range(32, 4096);

void BM_PassThroughLatencyFloat(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  BenchPlugin p(64);
  p.InitLatencyDelay();
  p.SetBlockSize(frames);
  StereoFloat io(frames);
  for (auto _ : state) {
    io.ConnectAndAttach(p, frames);
    p.PassThroughBuffers(0.0f, frames);
    benchmark::DoNotOptimize(io.out[1][frames - 1]);
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_PassThroughLatencyFloat)->RangeMultiplier(4)->Range(32, 4096);

// Host changes pushed in bursts of range(0), then drained by one idle tick.
void BM_HostChangeQueue(benchmark::State& state) {
  const int burst = static_cast<int>(state.range(0));
  BenchPlugin p;
  auto timer = plug::Timer::Create([](plug::Timer&) {},
                                   20);  // OnTimer wants one; nobody pumps the loop here
  for (auto _ : state) {
    for (int i = 0; i < burst; ++i) p.SendParameterValueFromAPI(i & 3, 0.5, true);
    p.OnTimer(*timer);
  }
  state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_HostChangeQueue)->Arg(1)->Arg(64)->Arg(512);

// The text a host asks for when it shows a value.
void BM_GetDisplay(benchmark::State& state) {
  plug::IParam p;
  p.InitDouble("Output Trim", 0.0, -24.0, 12.0, 0.1, "dB");
  std::string text;
  double v = -24.0;
  for (auto _ : state) {
    p.GetDisplay(v, false, text);
    benchmark::DoNotOptimize(text.data());
    v = v > 12.0 ? -24.0 : v + 0.37;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetDisplay);

}  // namespace

BENCHMARK_MAIN();
