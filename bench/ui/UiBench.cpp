// Drawing speed of the editor: every control at 175 %, and the frame the idle tick causes, where
// only the output meter is dirty. Targets on one core: 4 ms and 0.3 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/TovraSat.h"
#include "gfx/IGfx.h"
#include "gfx/platform/ResourceFolder.h"

namespace {

using namespace plug::gfx;

// The editor open on the offscreen target with the build's resources (or TOVRASAT_UI_RESOURCES),
// showing a busy state: gain and trim mid-scale, Bypass on, every meter lamp lit.
class Editor {
 public:
  explicit Editor(float scale) {
    const char* res = std::getenv("TOVRASAT_UI_RESOURCES");
    ResourceFolder::Set(res ? res : TOVRASAT_BUILD_RESOURCES);
    plug::InstanceInfo info;
    info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
    plugin = std::make_unique<TovraSat>(info);
    plugin->mEditorScale = scale;
    plugin->GetParam(TovraSat::kGain)->Set(68.0);
    plugin->GetParam(TovraSat::kOutputTrim)->Set(1.5);
    plugin->GetParam(TovraSat::kBypass)->Set(1.0);
    plugin->mMeterDb = -4.5f;
    plugin->mClipLed = 1.f;
    plugin->OpenWindow(nullptr);
    g = plugin->GetUI();
    g->DrawFrame();
  }
  ~Editor() {
    plugin->CloseWindow();
    ResourceFolder::Set("");
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // Which of the editor's images were found, for the report.
  std::string Label() const {
    std::string found;
    for (const char* name : {"tovra_plate.png", "cap_big.png", "cap_small.png"}) {
      if (!ResourceFolder::Locate(name).empty())
        found += found.empty() ? name : std::string(",") + name;
    }
    return found.empty() ? "no images" : found;
  }

  std::unique_ptr<TovraSat> plugin;
  IGfx* g = nullptr;
};

void BM_FullFrame(benchmark::State& state) {
  Editor ed(float(state.range(0)) / 100.f);
  state.SetLabel(ed.Label());
  for (auto _ : state) {
    ed.g->SetAllControlsDirty();
    benchmark::DoNotOptimize(ed.g->DrawFrame());
  }
}
BENCHMARK(BM_FullFrame)->Arg(100)->Arg(175)->Unit(benchmark::kMillisecond);

void BM_MeterOnlyFrame(benchmark::State& state) {
  Editor ed(float(state.range(0)) / 100.f);
  state.SetLabel(ed.Label());
  IControl* meter = ed.g->GetControlWithTag(TovraSat::kMeterCtrlTag);
  int tick = 0;
  for (auto _ : state) {
    // What the idle tick does: new readings, the meter marked dirty without an action.
    ed.plugin->mMeterDb = (tick++ % 2) ? -4.5f : -20.f;
    meter->SetDirty(false);
    benchmark::DoNotOptimize(ed.g->DrawFrame());
  }
}
BENCHMARK(BM_MeterOnlyFrame)->Arg(100)->Arg(175)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
