// Drawing cost of the editor's images as the build makes them: the plate fitted to the window and
// the knob caps turned, at each editor size, from the plain files and from the @2x ones.
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
  Delegate() : IGfxEditorDelegate(0) { SetSizeConstraints(1, 4000, 1, 4000); }
};

// A bitmap fitted into the control's rectangle, turned by an angle about its centre.
class Picture : public IControl {
 public:
  Picture(const IRECT& r, const IBitmap& bitmap, float angle)
      : IControl(r), mBitmap(bitmap), mAngle(angle) {}
  void Draw(IGfx& g) override {
    g.PathTransformSave();
    g.PathTransformTranslate(mRECT.MW(), mRECT.MH());
    if (mAngle != 0.f) g.PathTransformRotate(mAngle);
    g.DrawFittedBitmap(mBitmap,
                       IRECT(-mRECT.W() / 2, -mRECT.H() / 2, mRECT.W() / 2, mRECT.H() / 2));
    g.PathTransformRestore();
  }

 private:
  IBitmap mBitmap;
  float mAngle;
};

// Arguments: the editor scale in quarters (4 to 7), and the bitmap scale (1: plain, 2: @2x).
std::unique_ptr<IGfx> Editor(Delegate& dlg, const benchmark::State& state) {
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 222, 666, 60, float(state.range(0)) / 4.f));
  return g;
}

void BM_Plate(benchmark::State& state) {
  Delegate dlg;
  auto g = Editor(dlg, state);
  const IBitmap plate = g->LoadBitmap("tovra_plate.png", 1, false, int(state.range(1)));
  if (!plate.IsValid()) state.SkipWithError("tovra_plate.png is not in the build's resources");
  g->AttachControl(new Picture(g->GetBounds(), plate, 0.f));
  for (auto _ : state) {
    g->SetAllControlsDirty();
    benchmark::DoNotOptimize(g->DrawFrame());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Plate)->ArgsProduct({{4, 5, 6, 7}, {1, 2}})->Unit(benchmark::kMicrosecond);

void BM_Caps(benchmark::State& state) {
  Delegate dlg;
  auto g = Editor(dlg, state);
  const int scale = int(state.range(1));
  const float s = 222.f / 667.f;
  g->AttachControl(new Picture(IRECT(202, 1236, 462, 1496).GetScaled(s),
                               g->LoadBitmap("cap_big.png", 1, false, scale), 33.f));
  g->AttachControl(new Picture(IRECT(270, 1621, 388, 1739).GetScaled(s),
                               g->LoadBitmap("cap_small.png", 1, false, scale), -71.f));
  for (auto _ : state) {
    g->SetAllControlsDirty();
    benchmark::DoNotOptimize(g->DrawFrame());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Caps)->ArgsProduct({{4, 7}, {1, 2}})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  ResourceFolder::Set(TOVRASAT_BUILD_RESOURCES);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
