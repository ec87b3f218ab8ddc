// A small editor (background, bitmap, knob, switch, label) drawn through the Cairo backend to PNG.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "gfx/platform/OffscreenTarget.h"
#include "gfx/platform/RGBAImage.h"
#include "gfx/platform/ResourceFolder.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

const IColor kPlate(255, 40, 40, 48);
const IColor kTrack(255, 90, 90, 96);
const IColor kLit(255, 255, 150, 20);
const IColor kLamp(255, 255, 40, 25);

/** Track and value arc from -135 to +135 degrees, with a pointer. */
class ArcKnob : public IKnobControlBase {
 public:
  ArcKnob(const IRECT& r, int param) : IKnobControlBase(r, param) {}
  void Draw(IGfx& g) override {
    const float cx = mRECT.MW(), cy = mRECT.MH(), r = 0.4f * mRECT.W();
    g.PathArc(cx, cy, r, -135.f, 135.f);
    g.PathStroke(kTrack, 6.f);
    const float angle = float(-135.0 + 270.0 * GetValue());
    g.PathArc(cx, cy, r, -135.f, angle);
    g.PathStroke(kLit, 6.f);
    g.PathTransformSave();
    g.PathTransformTranslate(cx, cy);
    g.PathTransformRotate(angle);
    g.DrawLine(COLOR_WHITE, 0.f, 0.f, 0.f, -0.6f * r, nullptr, 3.f);
    g.PathTransformRestore();
  }
};

class Lamp : public IControl {
 public:
  Lamp(const IRECT& r, int param) : IControl(r, param) {}
  void OnMouseDown(float, float, const IMouseMod&) override {
    SetValue(GetValue() > 0.5 ? 0.0 : 1.0);
    SetDirty(true);
  }
  void Draw(IGfx& g) override {
    if (GetValue() > 0.5) g.FillCircle(kLamp, mRECT.MW(), mRECT.MH(), 0.5f * mRECT.W());
  }
};

class Label : public IControl {
 public:
  Label(const IRECT& r, int param) : IControl(r, param) { SetIgnoreMouse(true); }
  void Draw(IGfx& g) override {
    std::string text;
    if (const plug::IParam* p = GetParam()) p->GetDisplay(GetValue(), true, text);
    g.DrawText(IText(22.f, COLOR_WHITE, "Plain"), text.c_str(), mRECT);
  }
};

class Background : public IControl {
 public:
  Background(const IRECT& r, IBitmap logo) : IControl(r), mLogo(std::move(logo)) {
    SetIgnoreMouse(true);
  }
  void Draw(IGfx& g) override {
    g.FillRect(kPlate, mRECT);
    g.DrawFittedBitmap(mLogo, IRECT(4, 4, 44, 24));
  }

 private:
  IBitmap mLogo;
};

double AngleOf(float x, float y, float cx, float cy) {
  return std::atan2(double(x - cx), double(cy - y)) * 180.0 / 3.14159265358979;
}

TEST(EditorRender, AContextWithControlsRendersToPNGAndRedrawsWhatChanged) {
  TempDir res;
  std::error_code ec;
  std::filesystem::copy_file(std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf",
                             res / "Roboto-Regular.ttf", ec);
  ASSERT_FALSE(ec);
  RGBAImage logo(8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) logo.SetPixel(x, y, x < 4 ? COLOR_GREEN : COLOR_BLUE);
  ASSERT_TRUE(logo.WritePNG(res / "logo.png"));
  ResourceFolder::Set(res.Path());

  TestDelegate dlg;
  dlg.mMakeGraphicsFunc = [&dlg] { return MakeGfx(dlg, 120, 160, 60, 2.f); };
  dlg.mLayoutFunc = [](IGfx* g) {
    ASSERT_TRUE(g->LoadFont("Plain", "Roboto-Regular.ttf"));
    g->AttachControl(new Background(g->GetBounds(), g->LoadBitmap("logo.png")));
    g->AttachControl(new ArcKnob(IRECT(20, 30, 100, 110), TestDelegate::kPct), 1);
    g->AttachControl(new Lamp(IRECT(96, 6, 114, 24), TestDelegate::kSwitchA), 2);
    g->AttachControl(new Label(IRECT(0, 120, 120, 156), TestDelegate::kPct), 3);
  };
  auto* view = static_cast<OffscreenTarget*>(dlg.OpenWindow(nullptr));
  ASSERT_NE(view, nullptr);
  const std::string first = res / "editor-1.png";
  ASSERT_TRUE(view->WritePNG(first));
  const RGBAImage a = RGBAImage::ReadPNG(first);
  if (const char* dir = std::getenv("TOVRASAT_GFX_PNG_DIR"))
    std::filesystem::copy_file(first, std::string(dir) + "/editor-1.png",
                               std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(a.Width(), 240) << "120 logical pixels at draw scale 2";
  ASSERT_EQ(a.Height(), 320);

  // Pixel (px, py) of the image is logical point (px / 2, py / 2); the knob's arc
  // has radius 32 around (60, 70). Sample the arc at logical angle a.
  auto arc = [](const RGBAImage& img, double deg) {
    const double rad = deg * 3.14159265358979 / 180.0;
    return img.Pixel(int(std::lround(2 * (60 + 32 * std::sin(rad)))),
                     int(std::lround(2 * (70 - 32 * std::cos(rad)))));
  };
  EXPECT_EQ(a.Pixel(3, 300), kPlate) << "background";
  EXPECT_EQ(a.Pixel(20, 20), COLOR_GREEN) << "logo, left half";
  EXPECT_EQ(a.Pixel(70, 20), COLOR_BLUE) << "logo, right half";
  EXPECT_EQ(a.Pixel(210, 30), kLamp) << "48V-like switch lit (default on)";
  // Gain-like parameter at 24 %: lit from -135 to -70.2 degrees.
  EXPECT_EQ(arc(a, -130), kLit);
  EXPECT_EQ(arc(a, -80), kLit);
  EXPECT_EQ(arc(a, -60), kTrack);
  EXPECT_EQ(arc(a, 0), kTrack);
  EXPECT_EQ(arc(a, 180), kPlate) << "the gap at the bottom";
  // The label "24.00 %" (or the like) is white ink centred under the knob.
  int inkL = 240, inkR = 0;
  for (int y = 240; y < 312; ++y)
    for (int x = 0; x < 240; ++x)
      if (a.Pixel(x, y).R > 200) {
        inkL = std::min(inkL, x);
        inkR = std::max(inkR, x);
      }
  ASSERT_LT(inkL, inkR) << "the label drew";
  EXPECT_NEAR(0.5 * (inkL + inkR), 120.0, 4.0);

  // Drag the knob up 100 px: 100 / 80 / 4 = 0.3125 more, to 55.25 %; click the lamp off.
  IGfx* g = dlg.GetUI();
  g->OnMouseDown(60, 70, IMouseMod(true));
  g->OnMouseDrag(60, 20, 0, -100, IMouseMod(true));
  g->OnMouseUp(60, 20, IMouseMod(true));
  g->OnMouseDown(105, 15, IMouseMod(true));
  g->OnMouseUp(105, 15, IMouseMod(true));
  EXPECT_NEAR(dlg.GetParam(TestDelegate::kPct)->Value(), 55.25, 1e-9);
  EXPECT_FALSE(dlg.GetParam(TestDelegate::kSwitchA)->Bool());

  std::vector<IRECT> dirty;
  ASSERT_TRUE(g->IsDirty(dirty));
  EXPECT_EQ(dirty.size(), 3u) << "knob, lamp and the label bound to the knob's parameter";
  const std::string second = res / "editor-2.png";
  ASSERT_TRUE(view->WritePNG(second));
  if (const char* dir = std::getenv("TOVRASAT_GFX_PNG_DIR"))
    std::filesystem::copy_file(second, std::string(dir) + "/editor-2.png",
                               std::filesystem::copy_options::overwrite_existing);
  const RGBAImage b = RGBAImage::ReadPNG(second);
  EXPECT_EQ(arc(b, -60), kLit);
  EXPECT_EQ(arc(b, 0), kLit);
  EXPECT_EQ(arc(b, 10), kLit) << "55.25 % reaches 14.2 degrees";
  EXPECT_EQ(arc(b, 30), kTrack);
  EXPECT_EQ(b.Pixel(210, 30), kPlate) << "the lamp went dark over the background";
  EXPECT_EQ(b.Pixel(20, 20), COLOR_GREEN) << "untouched areas keep their pixels";
  // The pointer now points at 14.2 degrees: white on the line from the centre.
  const double rad = (-135.0 + 270.0 * 0.5525) * 3.14159265358979 / 180.0;
  EXPECT_EQ(b.Pixel(int(std::lround(2 * (60 + 12 * std::sin(rad)))),
                    int(std::lround(2 * (70 - 12 * std::cos(rad))))),
            COLOR_WHITE);
  (void)AngleOf;

  dlg.CloseWindow();
  ResourceFolder::Set("");
}

}  // namespace
