// Render-path throughput: the framework's buffer attach/convert/process, latency pass-through,
// host queue, and the whole plug-in through AudioUnitRender beside its crusher alone.
#include <benchmark/benchmark.h>

#include <AudioToolbox/AudioUnit.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dsp/Crusher.h"
#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"
#include "plug/IPluginProcessor.h"
#include "plug/Timer.h"
#include "plug/api/IPluginAPIBase.h"
#include "tests/dsp/StraightCrusher.h"
#include "tests/dsp/TestSignals.h"

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

// The plug-in rendered as a host renders it ("render": AudioUnitRender on the loaded bundle, its
// input pulled through the render callback), beside the optimised crusher alone on the same audio
// ("crusher") and the straightforward chain of the same steps ("straight": host floats widened
// to doubles, narrowed for the straightforward crusher, widened and narrowed back). Defaults
// (Gain 24 %, trim 0 dB, 48V on); automated: Gain moves on every block. Names are
// Plugin/signal/frames/steady|automated/render|crusher|straight for bench/compare.sh.
constexpr double kPluginRate = 48000.0;
constexpr std::size_t kPluginSignalFrames = 48000;

enum class PluginPath { kRender, kCrusher, kStraight };

struct PluginCase {
  dsptest::SignalKind kind;
  int frames;
  bool automated;
  PluginPath path;
};

const char* pathName(PluginPath path) {
  switch (path) {
    case PluginPath::kRender:
      return "render";
    case PluginPath::kCrusher:
      return "crusher";
    case PluginPath::kStraight:
      return "straight";
  }
  return "?";
}

std::shared_ptr<host::ComponentBundle> Bundle() {
  static std::shared_ptr<host::ComponentBundle> bundle = [] {
    std::string error;
    return host::ComponentBundle::Load(TOVRASAT_BUNDLE_PATH, error);
  }();
  return bundle;
}

void PluginRender(benchmark::State& state, PluginCase c) {
  const dsptest::StereoSignal in = dsptest::makeSignal(c.kind, kPluginSignalFrames, kPluginRate);
  const auto frames = static_cast<std::size_t>(c.frames);
  std::vector<float> outL(frames), outR(frames);
  float* outs[2] = {outL.data(), outR.data()};

  std::unique_ptr<host::HostedUnit> unit;
  auto crusher = std::make_unique<tovrasat::Crusher>();
  if (c.path == PluginPath::kRender) {
    std::string error;
    auto bundle = Bundle();
    if (bundle) {
      unit = host::HostedUnit::Open(bundle, {kAudioUnitType_Effect, 0x54536174, 0x4D72766B, 0, 0},
                                    error);
    }
    if (!unit || unit->Configure({kPluginRate, static_cast<UInt32>(frames), 2, 2}) != noErr ||
        unit->Initialize() != noErr) {
      state.SkipWithError(("cannot open TovraSat.component: " + error).c_str());
      return;
    }
  } else {
    crusher->setParams(0.24f, 0.0f, true, false);
    crusher->prepare(kPluginRate);
  }
  // The straight chain's host-side buffers.
  std::vector<double> wideL(frames), wideR(frames), wideOutL(frames), wideOutR(frames);
  std::vector<float> chainL(frames), chainR(frames), chainOutL(frames), chainOutR(frames);

  std::size_t offset = 0;
  bool high = false;
  for (auto _ : state) {
    if (offset + frames > kPluginSignalFrames) offset = 0;
    const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
    if (c.automated) high = !high;
    switch (c.path) {
      case PluginPath::kRender:
        if (c.automated) unit->SetParameter(0, high ? 30.0f : 24.0f);
        unit->Render(ins, outs, static_cast<UInt32>(frames));
        break;
      case PluginPath::kCrusher:
        if (c.automated) crusher->setParams(high ? 0.3f : 0.24f, 0.0f, true, false);
        crusher->process(ins, outs, c.frames);
        break;
      case PluginPath::kStraight: {
        if (c.automated) crusher->setParams(high ? 0.3f : 0.24f, 0.0f, true, false);
        for (std::size_t i = 0; i < frames; ++i) {
          wideL[i] = ins[0][i];
          wideR[i] = ins[1][i];
        }
        for (std::size_t i = 0; i < frames; ++i) {
          chainL[i] = static_cast<float>(wideL[i]);
          chainR[i] = static_cast<float>(wideR[i]);
        }
        const float* chainIns[2] = {chainL.data(), chainR.data()};
        float* chainOuts[2] = {chainOutL.data(), chainOutR.data()};
        dsptest::straightCrusherProcess(*crusher, chainIns, chainOuts, c.frames);
        for (std::size_t i = 0; i < frames; ++i) {
          wideOutL[i] = chainOutL[i];
          wideOutR[i] = chainOutR[i];
        }
        for (std::size_t i = 0; i < frames; ++i) {
          outL[i] = static_cast<float>(wideOutL[i]);
          outR[i] = static_cast<float>(wideOutR[i]);
        }
        break;
      }
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
    offset += frames;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * c.frames);
}

void RegisterPluginRender() {
  for (const dsptest::SignalKind kind : dsptest::kAllSignals) {
    for (const int frames : {512, 64}) {
      for (const bool automated : {false, true}) {
        for (const PluginPath path :
             {PluginPath::kRender, PluginPath::kCrusher, PluginPath::kStraight}) {
          const std::string name = std::string("Plugin/") + dsptest::signalName(kind) + "/" +
                                   std::to_string(frames) +
                                   (automated ? "/automated/" : "/steady/") + pathName(path);
          benchmark::RegisterBenchmark(name.c_str(), PluginRender,
                                       PluginCase{kind, frames, automated, path});
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterPluginRender();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
