// The text layout both backends draw with: Core Graphics fills its glyph outlines as paths, so
// filling them through the path interface must give the pixels of the Cairo context's DrawText.
#include "gfx/platform/StbTextLayout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "gfx/platform/OffscreenTarget.h"
#include "gfx/platform/ResourceFolder.h"
#include "gfx/platform/StbFont.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

// Outlines into the context's current path.
class ContextSink final : public StbTextLayout::OutlineSink {
 public:
  explicit ContextSink(IGfx& g) : mG(g) {}
  void MoveTo(double x, double y) override {
    ++contours;
    mG.PathMoveTo(float(x), float(y));
  }
  void LineTo(double x, double y) override { mG.PathLineTo(float(x), float(y)); }
  void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) override {
    mG.PathCubicBezierTo(float(c1x), float(c1y), float(c2x), float(c2y), float(x), float(y));
  }
  int contours = 0;

 private:
  IGfx& mG;
};

class StbTextLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string font = std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf";
    ASSERT_TRUE(std::filesystem::exists(font)) << "the build copies the font into its resources";
    ResourceFolder::Set(TOVRASAT_BUILD_RESOURCES);
    mFont = StbFont::Load(font);
    ASSERT_TRUE(mFont);
    g.reset(MakeGfx(dlg, 200, 100, 60, 1.f));
    ASSERT_TRUE(g->LoadFont("Plain", "Roboto-Regular.ttf"));
  }
  void TearDown() override {
    g.reset();
    ResourceFolder::Set("");
  }

  RGBAImage Render(const std::function<void(IGfx&)>& fn) {
    g->RemoveAllControls();
    g->AttachControl(new ScriptControl(g->GetBounds(), IControl::kNoParameter,
                                       [fn](IGfx& gr, ScriptControl&) { fn(gr); }));
    OffscreenTarget view(*g);
    view.Render();
    return view.Capture();
  }

  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
  std::shared_ptr<const StbFont> mFont;
};

TEST_F(StbTextLayoutTest, PlacesTextAsTheLinuxBackendMeasuresIt) {
  const IRECT box(20, 10, 180, 90);
  const EAlign aligns[] = {EAlign::Near, EAlign::Center, EAlign::Far};
  const EVAlign valigns[] = {EVAlign::Top, EVAlign::Middle, EVAlign::Bottom};
  for (EAlign a : aligns) {
    for (EVAlign v : valigns) {
      const IText text(23.5f, COLOR_BLACK, "Plain", a, v);
      StbTextLayout layout;
      ASSERT_TRUE(layout.Layout(mFont, text, "AVATAR -12.5 dB", box));
      EXPECT_EQ(layout.Bounds(), g->MeasureText(text, "AVATAR -12.5 dB", box))
          << int(a) << "/" << int(v);
    }
  }
}

TEST_F(StbTextLayoutTest, OutlinesFillToTheSamePixelsAsDrawText) {
  g->Resize(200, 100, 1.75f, false);
  const IRECT box(10, 10, 190, 90);
  const IText text(18.f, IColor(255, 200, 40, 10), "Plain", EAlign::Center, EVAlign::Middle);
  const char* str = "Gain 24% \xC3\xA9 \xFF";  // an accent and a malformed byte
  const RGBAImage drawn = Render([&](IGfx& gr) { gr.DrawText(text, str, box); });
  int contours = 0;
  const RGBAImage filled = Render([&](IGfx& gr) {
    StbTextLayout layout;
    if (!layout.Layout(mFont, text, str, box)) return;
    ContextSink sink(gr);
    layout.Outlines(sink);
    contours = sink.contours;
    gr.PathFill(text.mFGColor);
  });
  EXPECT_GT(contours, 10);
  ASSERT_EQ(drawn.Width(), filled.Width());
  ASSERT_EQ(drawn.Height(), filled.Height());
  int inked = 0;
  for (int y = 0; y < drawn.Height(); ++y)
    for (int x = 0; x < drawn.Width(); ++x) {
      ASSERT_EQ(drawn.Pixel(x, y), filled.Pixel(x, y)) << x << "," << y;
      if (drawn.Pixel(x, y).A > 0) ++inked;
    }
  EXPECT_GT(inked, 500);
}

TEST_F(StbTextLayoutTest, NothingToLayOutGivesAnEmptyLayout) {
  const IText text(12.f, COLOR_BLACK, "Plain");
  const IRECT box(0, 0, 10, 10);
  StbTextLayout layout;
  EXPECT_FALSE(layout.Layout(nullptr, text, "x", box));
  EXPECT_FALSE(layout.Layout(mFont, text, nullptr, box));
  EXPECT_FALSE(layout.Layout(mFont, IText(0.f, COLOR_BLACK, "Plain"), "x", box));
  EXPECT_FALSE(layout.Layout(mFont, IText(NAN, COLOR_BLACK, "Plain"), "x", box));
  EXPECT_TRUE(layout.Empty());
  EXPECT_EQ(layout.Bounds(), IRECT());
  ASSERT_TRUE(layout.Layout(mFont, text, "", box));
  EXPECT_TRUE(layout.Empty());
}

}  // namespace
