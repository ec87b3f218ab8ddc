// What real input from a window brings to the toolkit: presses of other buttons during a drag,
// double-clicks where no control is, controls that move, resizes without size limits, fonts
// registered twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "gfx/platform/ResourceFolder.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

// The host's side of the gestures only (values sent during a drag left out).
std::vector<std::string> Gestures(const std::vector<std::string>& log) {
  std::vector<std::string> out;
  for (const std::string& entry : log)
    if (entry.rfind("ui ", 0) != 0) out.push_back(entry);
  return out;
}

class RealInput : public ::testing::Test {
 protected:
  RealInput() : g(MakeGfx(dlg, 200, 100, 60, 1.f)) {}

  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
};

TEST_F(RealInput, AnotherButtonDuringADragNeitherEndsNorOrphansIt) {
  auto* knob = static_cast<Knob*>(g->AttachControl(new Knob(IRECT(0, 0, 100, 100), 0)));
  knob->SetValue(0.5);
  g->OnMouseDown(50, 50, IMouseMod(true));
  g->OnMouseDrag(50, 40, 0, -10, IMouseMod(true));
  g->OnMouseDown(50, 40, IMouseMod(true, true));  // the right button joins the left
  EXPECT_EQ(g->GetCapturedControl(), knob);
  EXPECT_TRUE(g->IsCursorHidden());
  g->OnMouseDrag(50, 30, 0, -10, IMouseMod(true, true));
  g->OnMouseUp(50, 30, IMouseMod(false, true));
  g->OnMouseUp(50, 30, IMouseMod());  // the second release finds no drag
  EXPECT_NEAR(knob->GetValue(), 0.5 + 20.0 / 100.0 / 4.0, 1e-9) << "the whole drag counts";
  EXPECT_EQ(Gestures(dlg.log), (std::vector<std::string>{"begin 0", "end 0"}))
      << "one gesture, ended once";
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
  EXPECT_FALSE(g->IsCursorHidden());
  EXPECT_FALSE(knob->GetMouseIsDown());
}

TEST_F(RealInput, DoubleClickWhereNoControlIsReleasesTheCaptureAndShowsTheCursor) {
  auto* knob = static_cast<Knob*>(g->AttachControl(new Knob(IRECT(0, 0, 50, 50), 0)));
  g->OnMouseDown(10, 10, IMouseMod(true));
  ASSERT_TRUE(g->IsCursorHidden());
  EXPECT_FALSE(g->OnMouseDblClick(150, 80, IMouseMod(true)));
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
  EXPECT_FALSE(g->IsCursorHidden());
  EXPECT_FALSE(knob->GetMouseIsDown()) << "the knob's drag ended with a release";
  EXPECT_EQ(Gestures(dlg.log), (std::vector<std::string>{"begin 0", "end 0"}));
}

TEST_F(RealInput, MovingOrResizingAControlRepaintsWhereItWas) {
  auto* c = static_cast<ScriptControl*>(g->AttachControl(new ScriptControl(IRECT(10, 10, 30, 30))));
  g->DrawFrame();
  c->SetPosition(100, 50);
  std::vector<IRECT> rects;
  ASSERT_TRUE(g->IsDirty(rects));
  IRECT area;
  for (const IRECT& r : rects) area = area.Union(r);
  EXPECT_TRUE(area.Intersects(IRECT(10, 10, 30, 30))) << "the old place is stale";
  EXPECT_TRUE(area.Intersects(IRECT(100, 50, 120, 70)));
  g->DrawFrame();
  EXPECT_FALSE(g->IsDirty(rects)) << "the stale area is repainted once";

  c->SetSize(5, 5);
  ASSERT_TRUE(g->IsDirty(rects));
  area = IRECT();
  for (const IRECT& r : rects) area = area.Union(r);
  EXPECT_TRUE(area.Intersects(IRECT(110, 60, 120, 70))) << "the part it gave up";
}

TEST_F(RealInput, ResizeWithoutSizeLimitsKeepsTheRequestedSize) {
  dlg.SetSizeConstraints(0, 0, 0, 0);
  g->Resize(222, 666, 1.5f, true);
  EXPECT_EQ(g->Width(), 222);
  EXPECT_EQ(g->Height(), 666);
  EXPECT_EQ(g->WindowWidth(), 333);
  EXPECT_EQ(g->WindowHeight(), 999);
}

TEST(FontRegistration, AnIdentifierAlreadyTakenByAnotherFileIsRefused) {
  TempDir res;
  std::error_code ec;
  const std::string roboto = std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf";
  std::filesystem::copy_file(roboto, res / "a.ttf", ec);
  std::filesystem::copy_file(roboto, res / "b.ttf", ec);
  ASSERT_FALSE(ec);
  ResourceFolder::Set(res.Path());
  TestDelegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 10, 10, 60, 1.f));
  EXPECT_TRUE(g->LoadFont("Face", "a.ttf"));
  EXPECT_TRUE(g->LoadFont("Face", "a.ttf")) << "the same file again is fine";
  EXPECT_FALSE(g->LoadFont("Face", "b.ttf")) << "another file under the same identifier";
  EXPECT_FALSE(g->LoadFont("Face", "missing.ttf"));
  EXPECT_TRUE(g->LoadFont("Other", "b.ttf"));
  ResourceFolder::Set("");
}

}  // namespace
