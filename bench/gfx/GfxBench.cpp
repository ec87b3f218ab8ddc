// Drawing speed of the Cairo backend: a full editor-like frame, text, and the dirty-region path.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "gfx/IControl.h"
#include "gfx/IGfx.h"
#include "gfx/IGfxEditorDelegate.h"
#include "gfx/platform/MakeGfx.h"
#include "gfx/platform/ResourceFolder.h"

namespace {

using namespace plug::gfx;

class Delegate : public IGfxEditorDelegate {
 public:
  Delegate() : IGfxEditorDelegate(1) {
    GetParam(0)->InitDouble("Gain", 24.0, 0.0, 100.0, 0.01);
    SetSizeConstraints(1, 4000, 1, 4000);
  }
};

/** A glowing tick scale and a gradient plate: the kind of work the editor's controls do. */
class Busy : public IControl {
 public:
  explicit Busy(const IRECT& r) : IControl(r, 0) {}
  void Draw(IGfx& g) override {
    g.PathRoundRect(mRECT.GetPadded(-2.f), 8.f);
    g.PathFill(IPattern::CreateLinearGradient(
        0, mRECT.T, 0, mRECT.B, {{IColor(255, 8, 10, 16), 0.f}, {IColor(255, 20, 22, 28), 1.f}}));
    for (int i = 0; i <= 20; ++i) {
      g.PathTransformSave();
      g.PathTransformTranslate(mRECT.MW(), mRECT.MH());
      g.PathTransformRotate(-135.f + float(i) * 13.5f);
      g.DrawLine(IColor(230, 226, 226, 232), 0, -0.3f * mRECT.W(), 0, -0.4f * mRECT.W(), nullptr,
                 3.f);
      g.PathTransformRestore();
    }
    g.FillCircle(IColor(40, 255, 170, 40), mRECT.MW(), mRECT.MH(), 0.2f * mRECT.W());
  }
};

class Text : public IControl {
 public:
  explicit Text(const IRECT& r) : IControl(r) {}
  void Draw(IGfx& g) override {
    g.DrawText(IText(18.f, IColor(255, 236, 236, 238), "Plain"), "Default preset", mRECT);
  }
};

void BM_FullFrame(benchmark::State& state) {
  Delegate dlg;
  const float scale = float(state.range(0)) / 4.f;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 222, 666, 60, scale));
  g->LoadFont("Plain", "Roboto-Regular.ttf");
  for (int i = 0; i < 8; ++i)
    g->AttachControl(new Busy(IRECT(10, 10 + 80.f * float(i), 212, 90 + 80.f * float(i))));
  g->AttachControl(new Text(IRECT(10, 620, 212, 660)));
  for (auto _ : state) {
    g->SetAllControlsDirty();
    benchmark::DoNotOptimize(g->DrawFrame());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("scale " + std::to_string(scale));
}
BENCHMARK(BM_FullFrame)->Arg(4)->Arg(6)->Arg(8);

void BM_OneDirtyControl(benchmark::State& state) {
  Delegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 222, 666, 60, 1.5f));
  for (int i = 0; i < 8; ++i)
    g->AttachControl(new Busy(IRECT(10, 10 + 80.f * float(i), 212, 90 + 80.f * float(i))));
  g->DrawFrame();
  IControl* c = g->GetControl(3);
  for (auto _ : state) {
    c->SetDirty(false);
    benchmark::DoNotOptimize(g->DrawFrame());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneDirtyControl);

void BM_Text(benchmark::State& state) {
  Delegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 222, 100, 60, 2.f));
  g->LoadFont("Plain", "Roboto-Regular.ttf");
  auto* t = new Text(IRECT(0, 0, 222, 100));
  g->AttachControl(t);
  for (auto _ : state) {
    t->SetDirty(false);
    benchmark::DoNotOptimize(g->DrawFrame());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Text);

}  // namespace

int main(int argc, char** argv) {
  // The build's own resources folder, for the font.
  ResourceFolder::Set(TOVRASAT_BUILD_RESOURCES);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
