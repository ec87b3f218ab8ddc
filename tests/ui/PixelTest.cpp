// PixelTest.cpp: the whole editor drawn by the Cairo backend: lamps on the rendered picture, the
// same frame at 100 % and 175 %, and an editor whose resources are missing or broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx/platform/OffscreenTarget.h"
#include "tests/ui/UiTestSupport.h"

namespace {

using namespace uitest;

// Fixture resources: the font, a plate that is a vertical grey gradient (so every row is one
// colour and a control's pixels stand out against the same row at the plate's edge), and caps: a
// light disc with a dark pointer at 12 o'clock.
class EditorPixels : public testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    std::filesystem::copy_file(std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf",
                               res / "Roboto-Regular.ttf", ec);
    ASSERT_FALSE(ec);
    RGBAImage plate(100, 300);
    for (int y = 0; y < 300; ++y) {
      const int v = 60 + y * 100 / 300;
      for (int x = 0; x < 100; ++x) plate.SetPixel(x, y, IColor(255, v, v, v + 4));
    }
    ASSERT_TRUE(plate.WritePNG(res / "tovra_plate.png"));
    RGBAImage cap(64, 64);
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const double dx = x + 0.5 - 32, dy = y + 0.5 - 32;
        if (std::hypot(dx, dy) > 31) continue;
        const bool pointer = std::abs(dx) < 3 && dy < -12;
        cap.SetPixel(x, y, pointer ? IColor(255, 20, 20, 20) : IColor(255, 200, 200, 205));
      }
    }
    ASSERT_TRUE(cap.WritePNG(res / "cap_big.png"));
    ASSERT_TRUE(cap.WritePNG(res / "cap_small.png"));
    ResourceFolder::Set(res.Path());
  }
  void TearDown() override { ResourceFolder::Set(""); }

  // The editor of a fresh plug-in at a scale, drawn once.
  static RGBAImage Render(TovraSat& plugin, float scale) {
    plugin.mEditorScale = scale;
    auto* view = static_cast<OffscreenTarget*>(plugin.OpenWindow(nullptr));
    EXPECT_NE(view, nullptr);
    if (!view) return {};
    view->RenderAll();
    return view->Capture();
  }

  TempDir res;
};

constexpr float s = testsupport::kPlateScale;

// The pixel under a plate point at draw scale 1.
IColor At(const RGBAImage& img, float x, float y) {
  return img.Pixel(int(x * s), int(y * s));
}
int Distance(const IColor& a, const IColor& b) {
  return std::max(
      {std::abs(a.R - b.R), std::abs(a.G - b.G), std::abs(a.B - b.B), std::abs(a.A - b.A)});
}

TEST_F(EditorPixels, NoLampLitAtStartAndBypassLampLitAfterAClick) {
  auto plugin = MakePlugin();
  RGBAImage img = Render(*plugin, 1.f);
  ASSERT_EQ(img.Width(), 222);
  ASSERT_EQ(img.Height(), 666);
  // Meter lamps and the Bypass lamp show the bare plate: the same colour as the plate's left edge
  // on that row. The 48V lamp (on by default) is lit.
  for (float y : {231.f, 292.f, 353.f, 766.f}) {
    EXPECT_LE(Distance(At(img, 139, y), At(img, 20, y)), 1) << "lamp at y " << y;
  }
  EXPECT_GT(At(img, 140, 570).R, 200);
  EXPECT_GT(Distance(At(img, 140, 570), At(img, 20, 570)), 100);

  IGfx& g = *plugin->GetUI();
  g.OnMouseDown(140 * s, 766 * s, IMouseMod(true));
  g.OnMouseUp(140 * s, 766 * s, IMouseMod(true));
  ASSERT_TRUE(plugin->GetParam(TovraSat::kBypass)->Bool());
  auto* view = static_cast<OffscreenTarget*>(g.GetWindow());
  ASSERT_TRUE(view->Render());
  img = view->Capture();
  EXPECT_GT(At(img, 140, 766).R, 200);
  EXPECT_GT(Distance(At(img, 140, 766), At(img, 20, 766)), 100);
  // The switch is not darkened: the click was on the lamp.
  EXPECT_LE(Distance(At(img, 400, 768), At(img, 20, 768)), 1);
  plugin->CloseWindow();
}

// A lamp's outer halo (radius 46) reaches past the meter's column and the toggle's left edge; it
// must show there, not stop in a straight line at the control's rectangle.
TEST_F(EditorPixels, LampHalosAreNotCutOffAtTheControlsEdges) {
  auto plugin = MakePlugin();
  plugin->mMeterDb = 0.f;  // green and amber lamps fully lit
  plugin->mClipLed = 1.f;
  const RGBAImage img = Render(*plugin, 1.f);
  struct Case {
    float x, y;
    const char* where;
  } cases[] = {{97, 353, "left of the meter column (104)"},
               {181, 353, "right of the meter column (174)"},
               {139, 190, "above the meter column (197)"},
               {96, 570, "left of the 48V toggle (100)"}};
  for (const Case& c : cases) {
    EXPECT_GT(Distance(At(img, c.x, c.y), At(img, 20, c.y)), 8) << c.where;
  }
  plugin->CloseWindow();
}

// The 175 % frame, averaged down over the 1.75 x 1.75 pixel box each 100 % pixel covers.
RGBAImage Downscale(const RGBAImage& big, double factor, int w, int h) {
  RGBAImage out(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double sum[4] = {}, weight = 0;
      const double x0 = x * factor, x1 = (x + 1) * factor, y0 = y * factor, y1 = (y + 1) * factor;
      for (int sy = int(y0); sy < int(std::ceil(y1)); ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (int sx = int(x0); sx < int(std::ceil(x1)); ++sx) {
          const double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
          const IColor c = big.Pixel(sx, sy);
          const double wt = wx * wy;
          sum[0] += wt * c.A, sum[1] += wt * c.R, sum[2] += wt * c.G, sum[3] += wt * c.B;
          weight += wt;
        }
      }
      auto v = [&](int i) { return int(std::lround(sum[i] / weight)); };
      out.SetPixel(x, y, IColor(v(0), v(1), v(2), v(3)));
    }
  }
  return out;
}

// Every control scales with the draw scale: a control drawn at a size or place of its own would
// leave a band of pixels hundreds of levels apart. Anti-aliased edges, text rasterised at another
// size and image filtering differ a little, hence the tolerance: on average at most 1.5 levels (of
// 255) per pixel and at most 1 % of the pixels more than 64 levels apart in some channel (measured:
// 0.58 levels and 0.47 %).
TEST_F(EditorPixels, FrameAt175PercentMatchesTheOneAt100AfterScaling) {
  auto set = [](TovraSat& p) {
    p.GetParam(TovraSat::kGain)->Set(68.0);
    p.GetParam(TovraSat::kOutputTrim)->Set(1.5);
    p.GetParam(TovraSat::kBypass)->Set(1.0);
    p.mMeterDb = -4.5f;
    p.mClipLed = 1.f;
    p.mPresetName = "Warm Bus";
  };
  auto small = MakePlugin();
  set(*small);
  const RGBAImage a = Render(*small, 1.f);
  small->CloseWindow();
  auto large = MakePlugin();
  set(*large);
  const RGBAImage b = Render(*large, 1.75f);
  ASSERT_EQ(b.Width(), 388);
  ASSERT_EQ(b.Height(), 1165);
  large->CloseWindow();

  if (const char* dir = std::getenv("TOVRASAT_UI_PNG_DIR")) {  // to look at them
    a.WritePNG(std::string(dir) + "/editor-100.png");
    b.WritePNG(std::string(dir) + "/editor-175.png");
  }
  const RGBAImage down = Downscale(b, 1.75, 222, 665);  // 1165 / 1.75 = 665.7 whole rows
  long total = 0;
  int far = 0;
  for (int y = 0; y < 665; ++y) {
    for (int x = 0; x < 222; ++x) {
      const int d = Distance(a.Pixel(x, y), down.Pixel(x, y));
      total += d;
      if (d > 64) ++far;
    }
  }
  const double mean = double(total) / (222.0 * 665.0);
  const double farShare = double(far) / (222.0 * 665.0);
  EXPECT_LE(mean, 1.5);
  EXPECT_LE(farShare, 0.01);
  RecordProperty("mean_difference", std::to_string(mean));
  RecordProperty("far_share", std::to_string(farShare));
}

// The widest name the bar shows whole (22 wide letters) is wider than the space between the
// arrows: around that space the bar must look exactly as with no name at all, and the name must
// still fill the space up to both of its edges.
TEST_F(EditorPixels, ALongPresetNameStaysBetweenTheArrows) {
  for (const float scale : {1.f, 1.75f}) {
    SCOPED_TRACE(scale);
    auto render = [&](const std::string& name) {
      auto plugin = MakePlugin();
      plugin->mPresetName = name;
      RGBAImage img = Render(*plugin, scale);
      plugin->CloseWindow();
      return img;
    };
    const RGBAImage blank = render("");
    const RGBAImage wide = render(std::string(22, 'W'));
    // Plate units: the bar spans 143 to 523, its label 44 units inside its 2-unit inset.
    const float px = s * scale;
    const int labelL = int(std::floor(189.f * px)), labelR = int(std::ceil(477.f * px));
    const int top = int(1808.f * px), bottom = int(std::ceil(1864.f * px));
    int outside = 0, nearLeftEdge = 0, nearRightEdge = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = int(143.f * px) - 2; x < int(std::ceil(523.f * px)) + 2; ++x) {
        const bool differs = Distance(blank.Pixel(x, y), wide.Pixel(x, y)) > 0;
        if (x < labelL || x > labelR) outside += differs;
        if (x >= labelL && x < labelL + int(4 * scale)) nearLeftEdge += differs;
        if (x <= labelR && x > labelR - int(4 * scale)) nearRightEdge += differs;
      }
    }
    EXPECT_EQ(outside, 0) << "pixels of the name over the arrows or the border";
    EXPECT_GT(nearLeftEdge, 0) << "the name is cut at the label's edge, not shortened further";
    EXPECT_GT(nearRightEdge, 0);
  }
}

TEST_F(EditorPixels, MissingOrBrokenResourcesDrawAPlainEditor) {
  TempDir bare;
  std::ofstream(bare / "tovra_plate.png") << "not a PNG";  // unreadable
  std::ofstream(bare / "cap_small.png");                   // empty; cap_big.png and the font
  ResourceFolder::Set(bare.Path());                        // are missing altogether
  auto plugin = MakePlugin();
  const RGBAImage img = Render(*plugin, 1.25f);
  ASSERT_EQ(img.Width(), 277);
  ASSERT_EQ(img.Height(), 832);
  const float k = 1.25f * s;
  const IColor face = img.Pixel(int(20 * k), int(1000 * k));
  EXPECT_EQ(face, IColor(255, 28, 30, 34)) << "a flat dark face where the plate image would be";
  const IColor cap = img.Pixel(int(332 * k), int(1420 * k));
  EXPECT_EQ(cap, IColor(255, 58, 60, 66)) << "a plain cap on the gain knob";
  // Clicking still works.
  IGfx& g = *plugin->GetUI();
  g.OnMouseDown(140 * s, 766 * s, IMouseMod(true));
  g.OnMouseUp(140 * s, 766 * s, IMouseMod(true));
  EXPECT_TRUE(plugin->GetParam(TovraSat::kBypass)->Bool());
  plugin->CloseWindow();
}

}  // namespace
