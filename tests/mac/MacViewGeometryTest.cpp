// Backing sizes, invalid areas and tooltip rectangles of the macOS view.
#include "gfx/platform/mac/MacViewGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

TEST(MacViewGeometry, TheBackingHasTheScreensPixels) {
  struct Case {
    int w, h;
    float screen;
    int pw, ph;
  };
  const Case cases[] = {
      {222, 666, 1.f, 222, 666}, {222, 666, 2.f, 444, 1332}, {388, 1165, 2.f, 776, 2330},
      {0, 0, 2.f, 1, 1},         {10, 10, NAN, 10, 10},      {10, 10, -1.f, 10, 10},
  };
  for (const Case& c : cases) {
    const auto size = MacViewGeometry::BackingPixels(c.w, c.h, c.screen);
    EXPECT_EQ(size.width, c.pw) << c.w << " at " << c.screen;
    EXPECT_EQ(size.height, c.ph) << c.h << " at " << c.screen;
  }
}

TEST(MacViewGeometry, TheInvalidAreaCoversTheRectsInWholeBackingPixels) {
  const std::vector<IRECT> rects{IRECT(10.2f, 10.2f, 20.6f, 12.f), IRECT(30.f, 5.f, 31.f, 6.f)};
  for (float draw : {1.f, 1.25f, 1.5f, 1.75f}) {
    for (float screen : {1.f, 2.f}) {
      const IRECT a = MacViewGeometry::InvalidArea(rects, draw, screen);
      SCOPED_TRACE(testing::Message() << draw << " x " << screen);
      // Covers the union in points...
      EXPECT_LE(a.L, 10.2f * draw);
      EXPECT_LE(a.T, 5.f * draw);
      EXPECT_GE(a.R, 31.f * draw);
      EXPECT_GE(a.B, 12.f * draw);
      // ...no further than one backing pixel out, on the backing pixel grid.
      EXPECT_GT(a.L, 10.2f * draw - 1.f / screen);
      EXPECT_LT(a.R, 31.f * draw + 1.f / screen);
      for (float v : {a.L, a.T, a.R, a.B}) EXPECT_FLOAT_EQ(v * screen, std::round(v * screen));
    }
  }
  EXPECT_TRUE(MacViewGeometry::InvalidArea({}, 1.f, 2.f).Degenerate());
}

TEST(MacViewGeometry, TooltipRectsForControlsThatCanShowOne) {
  TestDelegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 200, 100, 60, 1.f));
  auto add = [&](const IRECT& r, const char* tip) {
    IControl* c = g->AttachControl(new ScriptControl(r));
    c->SetTooltip(tip);
    return c;
  };
  add(IRECT(0, 0, 200, 100), "background");  // never gets mouse-over
  add(IRECT(10, 10, 20, 20), "knob");
  add(IRECT(30, 10, 40, 20), "");
  add(IRECT(50, 10, 60, 20), "hidden")->Hide(true);
  add(IRECT(70, 10, 80, 20), "ignored")->SetIgnoreMouse(true);
  IControl* target = add(IRECT(90, 10, 100, 20), "target");
  target->SetTargetRECT(IRECT(85, 5, 105, 25));

  EXPECT_TRUE(MacViewGeometry::TooltipRects(*g).empty());  // tooltips are off
  g->EnableTooltips(true);
  g->Resize(200, 100, 1.5f, false);
  const auto rects = MacViewGeometry::TooltipRects(*g);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].controlIndex, 1);
  EXPECT_EQ(rects[0].points, IRECT(15, 15, 30, 30));
  EXPECT_EQ(rects[1].controlIndex, 5);
  EXPECT_EQ(rects[1].points, IRECT(127.5f, 7.5f, 157.5f, 37.5f));
}

}  // namespace
