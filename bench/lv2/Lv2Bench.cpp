// TovraSat.lv2 run as an LV2 host runs it, raced against TovraSat.component rendered through
// AudioUnitRender on the same audio, block size and automation, so LV2/AU is one run's ratio.
//
// The LV2 side finds the plug-in through lilv (the bundle's Turtle names the module), instantiates
// it at 48 kHz with the features a host gives (urid:map, and the options feature with
// bufsz:maxBlockLength set to the block size), connects every port, reconnects the audio inputs to
// the signal's position before each run() as a host does each cycle, and calls run(). The AU side
// is the host library's Render (input pulled through the render callback), configured for the same
// block size. Signals: white noise at -6 dBFS peak, the same noise driven 12 dB hotter ("hot12",
// peaks near +6 dBFS: clipper and limiter on nearly every sample), the music-like mix and digital
// silence of tests/dsp. Defaults (Gain 24 %, trim 0 dB, 48V on); automated: the Gain control
// moves on every block, 24 % and 30 % in turn. Blocks of 512 and 64 frames, and of 1 frame as
// lv2apply runs. Names: Lv2/signal/frames/steady|automated/lv2|au for bench/compare.sh; the
// cpu_per_frame counter is CPU time per stereo frame.
#include <benchmark/benchmark.h>

#include <AudioToolbox/AudioUnit.h>
#include <lilv/lilv.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"
#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/core/lv2.h"
#include "lv2/options/options.h"
#include "lv2/urid/urid.h"
#include "tests/dsp/TestSignals.h"

namespace {

constexpr double kRate = 48000.0;
constexpr std::size_t kSignalFrames = 48000;
constexpr const char* kPluginUri = "http://morvika.com/plugins/tovrasat";
constexpr const char* kGainSymbol = "gain";
constexpr float kGainLow = 24.0f;
constexpr float kGainHigh = 30.0f;

// The host's URID map: one id per URI for the whole process, as a host keeps it.
class UridMap {
 public:
  LV2_URID Map(const char* uri) {
    const auto [it, added] = mIds.emplace(uri, static_cast<LV2_URID>(mIds.size() + 1));
    return it->second;
  }
  LV2_URID_Map* Feature() { return &mMap; }

 private:
  static LV2_URID MapFn(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->Map(uri);
  }
  std::map<std::string, LV2_URID, std::less<>> mIds;
  LV2_URID_Map mMap{this, MapFn};
};

// The lilv world with TovraSat.lv2 loaded from the build tree; null plug-in when it is not there.
class Lv2World {
 public:
  static Lv2World& Get() {
    static Lv2World world;
    return world;
  }
  ~Lv2World() { lilv_world_free(mWorld); }
  Lv2World(const Lv2World&) = delete;
  Lv2World& operator=(const Lv2World&) = delete;

  LilvWorld* World() const { return mWorld; }
  const LilvPlugin* Plugin() const { return mPlugin; }
  UridMap& Urids() { return mUrids; }

 private:
  Lv2World() : mWorld(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, TOVRASAT_LV2_BUNDLE_PATH "/");
    lilv_world_load_bundle(mWorld, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(mWorld, kPluginUri);
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
  }
  LilvWorld* mWorld;
  const LilvPlugin* mPlugin = nullptr;
  UridMap mUrids;
};

// One LV2 instance with every port connected: control inputs at their defaults, control outputs
// to scratch, audio to the caller's buffers.
class Lv2Instance {
 public:
  Lv2Instance(int maxBlock, std::string& error) : mMaxBlock(maxBlock) {
    Lv2World& world = Lv2World::Get();
    const LilvPlugin* plugin = world.Plugin();
    if (plugin == nullptr) {
      error = "no " + std::string(kPluginUri) + " in " TOVRASAT_LV2_BUNDLE_PATH;
      return;
    }
    UridMap& urids = world.Urids();
    mOptions[0] = {LV2_OPTIONS_INSTANCE,
                   0,
                   urids.Map(LV2_BUF_SIZE__maxBlockLength),
                   sizeof(int32_t),
                   urids.Map(LV2_ATOM__Int),
                   &mMaxBlock};
    mMapFeature = {LV2_URID__map, urids.Feature()};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions};
    mBoundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    mInstance = lilv_plugin_instantiate(plugin, kRate, mFeatures);
    if (mInstance == nullptr) {
      error = "lilv_plugin_instantiate failed";
      return;
    }

    const uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
    mControls.assign(nPorts, 0.0f);
    std::vector<float> defaults(nPorts);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvWorld* lw = world.World();
    LilvNode* audioClass = lilv_new_uri(lw, LV2_CORE__AudioPort);
    LilvNode* controlClass = lilv_new_uri(lw, LV2_CORE__ControlPort);
    LilvNode* inputClass = lilv_new_uri(lw, LV2_CORE__InputPort);
    for (uint32_t p = 0; p < nPorts; ++p) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
      const bool input = lilv_port_is_a(plugin, port, inputClass);
      if (lilv_port_is_a(plugin, port, audioClass)) {
        (input ? mAudioIn : mAudioOut).push_back(p);
      } else if (lilv_port_is_a(plugin, port, controlClass)) {
        mControls[p] = input && !std::isnan(defaults[p]) ? defaults[p] : 0.0f;
        lilv_instance_connect_port(mInstance, p, &mControls[p]);
        const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        if (input && std::string(symbol) == kGainSymbol) mGainPort = p;
      }
    }
    lilv_node_free(audioClass);
    lilv_node_free(controlClass);
    lilv_node_free(inputClass);
    if (mAudioIn.size() != 2 || mAudioOut.size() != 2 || mGainPort == kNoPort) {
      error = "the plug-in has not two audio inputs, two outputs and a gain control";
      return;
    }
    lilv_instance_activate(mInstance);
    mActive = true;
  }
  ~Lv2Instance() {
    if (mInstance == nullptr) return;
    if (mActive) lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  bool Ok() const { return mActive; }
  void ConnectOutputs(float* const* outs) {
    for (std::size_t c = 0; c < 2; ++c) {
      lilv_instance_connect_port(mInstance, mAudioOut[c], outs[c]);
    }
  }
  // What a host does each cycle: its input buffers, its control values, one run().
  void Run(const float* const* ins, uint32_t frames) {
    for (std::size_t c = 0; c < 2; ++c) {
      lilv_instance_connect_port(mInstance, mAudioIn[c], const_cast<float*>(ins[c]));
    }
    lilv_instance_run(mInstance, frames);
  }
  float& Gain() { return mControls[mGainPort]; }

 private:
  static constexpr uint32_t kNoPort = UINT32_MAX;
  int32_t mMaxBlock;
  LV2_Options_Option mOptions[2]{};
  LV2_Feature mMapFeature{};
  LV2_Feature mOptionsFeature{};
  LV2_Feature mBoundedFeature{};
  const LV2_Feature* mFeatures[4] = {&mMapFeature, &mOptionsFeature, &mBoundedFeature, nullptr};
  LilvInstance* mInstance = nullptr;
  bool mActive = false;
  std::vector<float> mControls;  // one per port, so that port numbers index it
  std::vector<uint32_t> mAudioIn;
  std::vector<uint32_t> mAudioOut;
  uint32_t mGainPort = kNoPort;
};

std::shared_ptr<host::ComponentBundle> AuBundle(std::string& error) {
  static std::shared_ptr<host::ComponentBundle> bundle =
      host::ComponentBundle::Load(TOVRASAT_BUNDLE_PATH, error);
  return bundle;
}

// The signals raced: tests/dsp's, with its +3 dBFS "hot" replaced by the noise at +12 dB.
enum class Signal { kNoise, kHot12, kMusic, kSilence };
constexpr Signal kSignals[] = {Signal::kNoise, Signal::kHot12, Signal::kMusic, Signal::kSilence};
constexpr float kPlus12Db = 3.98107171f;  // 10^(12/20)

const char* SignalName(Signal signal) {
  switch (signal) {
    case Signal::kNoise:
      return "noise";
    case Signal::kHot12:
      return "hot12";
    case Signal::kMusic:
      return "music";
    case Signal::kSilence:
      return "silence";
  }
  return "?";
}

dsptest::StereoSignal MakeSignal(Signal signal) {
  using dsptest::SignalKind;
  switch (signal) {
    case Signal::kNoise:
      return dsptest::makeSignal(SignalKind::kNoise, kSignalFrames, kRate);
    case Signal::kHot12: {
      dsptest::StereoSignal s = dsptest::makeSignal(SignalKind::kNoise, kSignalFrames, kRate);
      for (float& v : s.l) v *= kPlus12Db;
      for (float& v : s.r) v *= kPlus12Db;
      return s;
    }
    case Signal::kMusic:
      return dsptest::makeSignal(SignalKind::kMusic, kSignalFrames, kRate);
    case Signal::kSilence:
      break;
  }
  return dsptest::makeSignal(SignalKind::kSilence, kSignalFrames, kRate);
}

enum class Format { kLv2, kAu };

struct Case {
  Signal signal;
  int frames;
  bool automated;
  Format format;
};

void Run(benchmark::State& state, Case c) {
  const dsptest::StereoSignal in = MakeSignal(c.signal);
  const auto frames = static_cast<std::size_t>(c.frames);
  std::vector<float> outL(frames), outR(frames);
  float* outs[2] = {outL.data(), outR.data()};

  std::string error;
  std::unique_ptr<Lv2Instance> lv2;
  std::unique_ptr<host::HostedUnit> au;
  if (c.format == Format::kLv2) {
    lv2 = std::make_unique<Lv2Instance>(c.frames, error);
    if (!lv2->Ok()) {
      state.SkipWithError(("cannot run TovraSat.lv2: " + error).c_str());
      return;
    }
    lv2->ConnectOutputs(outs);
  } else {
    auto bundle = AuBundle(error);
    if (bundle) {
      au = host::HostedUnit::Open(bundle, {kAudioUnitType_Effect, 0x54536174, 0x4D72766B, 0, 0},
                                  error);
    }
    if (!au || au->Configure({kRate, static_cast<UInt32>(frames), 2, 2}) != noErr ||
        au->Initialize() != noErr) {
      state.SkipWithError(("cannot open TovraSat.component: " + error).c_str());
      return;
    }
  }

  std::size_t offset = 0;
  bool high = false;
  for (auto _ : state) {
    if (offset + frames > kSignalFrames) offset = 0;
    const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
    if (c.automated) high = !high;
    const float gain = high ? kGainHigh : kGainLow;
    if (lv2) {
      if (c.automated) lv2->Gain() = gain;
      lv2->Run(ins, static_cast<uint32_t>(frames));
    } else {
      if (c.automated) au->SetParameter(0, gain);
      au->Render(ins, outs, static_cast<UInt32>(frames));
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
    offset += frames;
  }
  const auto done = static_cast<double>(state.iterations()) * c.frames;
  state.SetItemsProcessed(static_cast<std::int64_t>(done));
  // Frames per CPU second, inverted: CPU time per stereo frame (console: "12.3ns").
  state.counters["cpu_per_frame"] =
      benchmark::Counter(done, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Register() {
  for (const Signal signal : kSignals) {
    for (const int frames : {512, 64, 1}) {
      for (const bool automated : {false, true}) {
        for (const Format format : {Format::kLv2, Format::kAu}) {
          const std::string name =
              std::string("Lv2/") + SignalName(signal) + "/" + std::to_string(frames) +
              (automated ? "/automated/" : "/steady/") + (format == Format::kLv2 ? "lv2" : "au");
          benchmark::RegisterBenchmark(name.c_str(), Run, Case{signal, frames, automated, format});
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
