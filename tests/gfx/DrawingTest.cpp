// The drawing interface on the Cairo backend, checked pixel by pixel on the offscreen target.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "gfx/platform/OffscreenTarget.h"
#include "gfx/platform/RGBAImage.h"
#include "gfx/platform/ResourceFolder.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

// Tolerance for anti-aliased or interpolated colour channels, in 0-255 steps.
constexpr int kTol = 3;

::testing::AssertionResult Near(const IColor& got, const IColor& want, int tol = kTol) {
  if (std::abs(got.A - want.A) <= tol && std::abs(got.R - want.R) <= tol &&
      std::abs(got.G - want.G) <= tol && std::abs(got.B - want.B) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << got.A << "," << got.R << "," << got.G << "," << got.B << ") want (" << want.A
         << "," << want.R << "," << want.G << "," << want.B << ")";
}

/** A solid w x h image written as PNG, split in colour halves when right is given. */
bool WriteBitmap(const std::string& path, int w, int h, const IColor& left, const IColor& right) {
  RGBAImage img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(x, y, x < w / 2 ? left : right);
  return img.WritePNG(path);
}

/** Every test draws into a fresh context whose resources are a temporary folder
 *  holding the font; rendered images are kept when TOVRASAT_GFX_PNG_DIR is set. */
class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(res.Path().empty());
    std::error_code ec;
    std::filesystem::copy_file(std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf",
                               res / "Roboto-Regular.ttf", ec);
    ASSERT_FALSE(ec) << "the build copies the font into its resources folder";
    ResourceFolder::Set(res.Path());
  }
  void TearDown() override {
    g.reset();
    ResourceFolder::Set("");
  }

  IGfx& Make(int w, int h, float scale = 1.f) {
    g.reset(MakeGfx(dlg, w, h, 60, scale));
    return *g;
  }

  /** Attaches a control covering the editor that draws with fn, renders, captures. */
  RGBAImage Render(const std::function<void(IGfx&)>& fn) {
    g->AttachControl(new ScriptControl(g->GetBounds(), IControl::kNoParameter,
                                       [fn](IGfx& gr, ScriptControl&) { fn(gr); }));
    return Capture();
  }

  RGBAImage Capture() {
    OffscreenTarget view(*g);
    view.Render();
    RGBAImage img = view.Capture();
    if (const char* dir = std::getenv("TOVRASAT_GFX_PNG_DIR")) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      img.WritePNG(std::string(dir) + "/" + info->name() + "-" + std::to_string(++shots) + ".png");
    }
    return img;
  }

  TempDir res;
  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
  int shots = 0;
};

TEST_F(Drawing, LinearGradientIsRedAboveBlueBelowAndTheSameOnEveryColumn) {
  Make(60, 160);
  // A gradient from (0, 0) to (0, 100) moved down by 30, so that "above the start" lies inside the
  // image.
  const RGBAImage img = Render([](IGfx& gr) {
    gr.PathRect(gr.GetBounds());
    gr.PathFill(
        IPattern::CreateLinearGradient(0, 30, 0, 130, {{COLOR_RED, 0.f}, {COLOR_BLUE, 1.f}}));
  });
  for (int y = 0; y < 160; ++y) {
    for (int x = 1; x < 60; ++x)
      ASSERT_EQ(img.Pixel(x, y), img.Pixel(0, y)) << "row " << y << " column " << x;
  }
  for (int y : {0, 10, 29}) EXPECT_TRUE(Near(img.Pixel(5, y), COLOR_RED)) << y;
  for (int y : {131, 150, 159}) EXPECT_TRUE(Near(img.Pixel(5, y), COLOR_BLUE)) << y;
  // Row 80 is sampled at 80.5: offset 0.505.
  EXPECT_TRUE(Near(img.Pixel(5, 80), IColor(255, 126, 0, 129)));
  EXPECT_GT(img.Pixel(5, 60).R, img.Pixel(5, 100).R);
}

TEST_F(Drawing, RadialGradientAndAGradientWithSeventeenStops) {
  Make(100, 100);
  // Sixteen red stops end at 0.5; a seventeenth would turn the outer half blue.
  std::initializer_list<IColorStop> stops = {
      {COLOR_RED, 0.f},   {COLOR_RED, 0.03f}, {COLOR_RED, 0.06f}, {COLOR_RED, 0.1f},
      {COLOR_RED, 0.13f}, {COLOR_RED, 0.16f}, {COLOR_RED, 0.2f},  {COLOR_RED, 0.23f},
      {COLOR_RED, 0.26f}, {COLOR_RED, 0.3f},  {COLOR_RED, 0.33f}, {COLOR_RED, 0.36f},
      {COLOR_RED, 0.4f},  {COLOR_RED, 0.43f}, {COLOR_RED, 0.46f}, {COLOR_RED, 0.5f},
      {COLOR_BLUE, 1.f}};
  const IPattern radial = IPattern::CreateRadialGradient(50, 50, 40, stops);
  ASSERT_EQ(radial.NStops(), 16);
  const RGBAImage img = Render([&](IGfx& gr) {
    gr.PathRect(gr.GetBounds());
    gr.PathFill(radial);
  });
  EXPECT_TRUE(Near(img.Pixel(50, 50), COLOR_RED));
  EXPECT_TRUE(Near(img.Pixel(95, 50), COLOR_RED)) << "beyond r the last of the sixteen holds";
  EXPECT_TRUE(Near(img.Pixel(2, 2), COLOR_RED));

  g->RemoveAllControls();
  const RGBAImage two = Render([](IGfx& gr) {
    gr.PathRect(gr.GetBounds());
    gr.PathFill(
        IPattern::CreateRadialGradient(50, 50, 40, {{COLOR_WHITE, 0.f}, {COLOR_BLUE, 1.f}}));
  });
  EXPECT_TRUE(Near(two.Pixel(50, 50), COLOR_WHITE, 8));
  EXPECT_TRUE(Near(two.Pixel(69, 50), IColor(255, 128, 128, 255), 8)) << "half-way out";
  EXPECT_TRUE(Near(two.Pixel(95, 50), COLOR_BLUE));
}

TEST_F(Drawing, AFillConsumesThePathUnlessPreserved) {
  Make(40, 40);
  const IColor half(128, 0, 0, 255);
  struct Case {
    bool preserve;
    int expectedAlpha;  // one coat of 128, or two (128 + 127 * 128 / 255)
  };
  for (const Case& c : {Case{false, 128}, Case{true, 192}}) {
    g->RemoveAllControls();
    const RGBAImage img = Render([&](IGfx& gr) {
      gr.PathRect(IRECT(10, 10, 30, 30));
      IFillOptions o;
      o.mPreserve = c.preserve;
      gr.PathFill(half, o);
      gr.PathFill(half);  // finds an empty path unless the first kept it
      IStrokeOptions s;
      gr.PathStroke(COLOR_BLACK, 4.f, s);  // and so does this
    });
    EXPECT_NEAR(img.Pixel(20, 20).A, c.expectedAlpha, 2) << "preserve " << c.preserve;
    EXPECT_EQ(img.Pixel(10, 20).A, c.expectedAlpha == 128 ? 128 : 192) << "no stroke on the edge";
    EXPECT_EQ(img.Pixel(5, 5).A, 0);
  }
}

TEST_F(Drawing, ArcsStartStraightUpAndTurnClockwise) {
  Make(100, 100);
  const RGBAImage img = Render([](IGfx& gr) {
    gr.PathArc(50, 50, 30, 0.f, 90.f);  // from 12 o'clock to 3 o'clock
    gr.PathStroke(COLOR_BLACK, 6.f);
    gr.PathArc(50, 50, 40, 180.f, 270.f, EWinding::CW);  // 6 to 9 o'clock
    gr.PathStroke(COLOR_RED, 4.f);
  });
  EXPECT_EQ(img.Pixel(50, 20).A, 255) << "starts at the top";
  EXPECT_EQ(img.Pixel(71, 29).A, 255) << "passes 45 degrees, up and right";
  EXPECT_EQ(img.Pixel(79, 48).A, 255) << "ends at the right";
  EXPECT_EQ(img.Pixel(79, 51).A, 0) << "with a butt end";
  EXPECT_EQ(img.Pixel(21, 50).A, 0) << "nothing on the left at radius 30";
  EXPECT_EQ(img.Pixel(50, 79).A, 0);
  EXPECT_TRUE(Near(img.Pixel(48, 89), COLOR_RED, 0)) << "180 is straight down";
  EXPECT_EQ(img.Pixel(51, 89).A, 0);
  EXPECT_TRUE(Near(img.Pixel(21, 78), COLOR_RED, 20)) << "225 is down-left";
  EXPECT_TRUE(Near(img.Pixel(10, 50), COLOR_RED, 0));
}

TEST_F(Drawing, RoundRectWithRadiusZeroIsARectangleAndCirclesAreFull) {
  Make(100, 60);
  const RGBAImage img = Render([](IGfx& gr) {
    gr.PathRoundRect(IRECT(0, 0, 40, 40), 0.f);
    gr.PathFill(COLOR_BLUE);
    gr.PathRoundRect(IRECT(50, 0, 90, 40), 10.f);
    gr.PathFill(COLOR_BLUE);
    gr.FillCircle(COLOR_RED, 20, 50, 8);
    gr.DrawLine(COLOR_BLACK, 60, 50, 90, 50, nullptr, 4.f);
  });
  EXPECT_TRUE(Near(img.Pixel(0, 0), COLOR_BLUE, 0)) << "square corner";
  EXPECT_TRUE(Near(img.Pixel(39, 39), COLOR_BLUE, 0));
  EXPECT_EQ(img.Pixel(50, 0).A, 0) << "rounded corner";
  EXPECT_EQ(img.Pixel(51, 1).A, 0);
  EXPECT_TRUE(Near(img.Pixel(70, 0), COLOR_BLUE, 0));
  EXPECT_TRUE(Near(img.Pixel(50, 20), COLOR_BLUE, 0));
  for (auto [x, y] : {std::pair{20, 43}, {26, 50}, {20, 56}, {13, 50}})
    EXPECT_TRUE(Near(img.Pixel(x, y), COLOR_RED, 0))
        << x << "," << y << ": all four sides of the circle";
  EXPECT_EQ(img.Pixel(59, 50).A, 0) << "butt ends do not reach past the end points";
  EXPECT_EQ(img.Pixel(60, 50).A, 255);
  EXPECT_EQ(img.Pixel(75, 47).A, 0) << "4 px thick: 48 to 52";
  EXPECT_EQ(img.Pixel(75, 48).A, 255);
}

TEST_F(Drawing, TransformStackAppliesToPathsAndUnwinds) {
  Make(100, 100);
  const RGBAImage img = Render([](IGfx& gr) {
    gr.PathTransformSave();
    gr.PathTransformTranslate(50, 50);
    gr.PathTransformRotate(45.f);
    gr.PathRect(IRECT(-20, -2, 20, 2));  // a bar turned to run from top-left to bottom-right
    gr.PathFill(COLOR_RED);
    gr.PathTransformRestore();
    gr.PathRect(IRECT(0, 0, 10, 10));  // back at the origin, unrotated
    gr.PathFill(COLOR_BLUE);
  });
  EXPECT_TRUE(Near(img.Pixel(60, 60), COLOR_RED, 0));
  EXPECT_TRUE(Near(img.Pixel(40, 40), COLOR_RED, 0));
  EXPECT_EQ(img.Pixel(60, 40).A, 0);
  EXPECT_TRUE(Near(img.Pixel(1, 1), COLOR_BLUE, 0));
  EXPECT_TRUE(Near(img.Pixel(9, 9), COLOR_BLUE, 0));
  EXPECT_EQ(img.Pixel(11, 5).A, 0);
}

TEST_F(Drawing, ARotatedBitmapTurnsWithThePathTransform) {
  ASSERT_TRUE(WriteBitmap(res / "bar.png", 20, 10, COLOR_RED, COLOR_BLUE));
  Make(100, 100);
  const IBitmap bar = g->LoadBitmap("bar.png");
  ASSERT_TRUE(bar.IsValid());
  EXPECT_FLOAT_EQ(bar.W(), 20.f);
  EXPECT_FLOAT_EQ(bar.H(), 10.f);
  const RGBAImage img = Render([&](IGfx& gr) {
    gr.PathTransformSave();
    gr.PathTransformTranslate(50, 50);
    gr.PathTransformRotate(90.f);
    gr.DrawFittedBitmap(bar, IRECT(-20, -10, 20, 10));  // stretched to 40 x 20, then turned
    gr.PathTransformRestore();
    gr.DrawFittedBitmap(bar, IRECT(0, 0, 10, 4));  // unturned, shrunk
  });
  // Turned a quarter clockwise: the left (red) half points up, the right (blue) one down.
  EXPECT_TRUE(Near(img.Pixel(50, 35), COLOR_RED));
  EXPECT_TRUE(Near(img.Pixel(45, 45), COLOR_RED));
  EXPECT_TRUE(Near(img.Pixel(50, 65), COLOR_BLUE));
  EXPECT_TRUE(Near(img.Pixel(55, 60), COLOR_BLUE));
  EXPECT_EQ(img.Pixel(35, 50).A, 0) << "the turned bitmap is 20 wide";
  EXPECT_EQ(img.Pixel(50, 75).A, 0) << "and 40 high";
  EXPECT_TRUE(Near(img.Pixel(1, 1), COLOR_RED));
  EXPECT_TRUE(Near(img.Pixel(8, 2), COLOR_BLUE));
  EXPECT_EQ(img.Pixel(11, 2).A, 0);
  EXPECT_EQ(img.Pixel(2, 5).A, 0);
}

/** The bounding box of the pixels with some coverage. */
IRECT Ink(const RGBAImage& img) {
  int l = img.Width(), t = img.Height(), r = -1, b = -1;
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x)
      if (img.Pixel(x, y).A > 60) {
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x + 1);
        b = std::max(b, y + 1);
      }
  return r < 0 ? IRECT() : IRECT(float(l), float(t), float(r), float(b));
}

struct AlignCase {
  EAlign align;
  EVAlign valign;
  float left, right, top, bottom;  // expected ink edges, with kTextTol
};

TEST_F(Drawing, TextIsAlignedInsideItsBounds) {
  ASSERT_TRUE(g == nullptr);
  Make(200, 100);
  ASSERT_TRUE(g->LoadFont("Plain", "Roboto-Regular.ttf"));
  const IRECT box(20, 10, 180, 90);
  const float size = 40.f;  // Roboto: caps 0.711 em high, ascent 0.928, descent 0.244
  const float cap = 0.711f * size, asc = 0.928f * size, desc = 0.244f * size;
  constexpr float kTextTol = 3.f;
  const float midBase = box.MH() + 0.5f * (asc - desc);
  const AlignCase cases[] = {
      {EAlign::Center, EVAlign::Middle, -1, -1, midBase - cap, midBase},
      {EAlign::Near, EVAlign::Top, box.L, -1, box.T + asc - cap, box.T + asc},
      {EAlign::Far, EVAlign::Bottom, -1, box.R, box.B - desc - cap, box.B - desc},
  };
  for (const AlignCase& c : cases) {
    g->RemoveAllControls();
    IText text(size, COLOR_BLACK, "Plain", c.align, c.valign);
    const RGBAImage img = Render([&](IGfx& gr) { gr.DrawText(text, "HEH", box); });
    const IRECT ink = Ink(img);
    ASSERT_FALSE(ink.Empty());
    if (c.align == EAlign::Center) {
      EXPECT_NEAR(ink.MW(), box.MW(), kTextTol) << "centred horizontally";
    } else if (c.align == EAlign::Near) {
      EXPECT_NEAR(ink.L, c.left, 5.f) << "side bearing only";
    } else {
      EXPECT_NEAR(ink.R, c.right, 5.f);
    }
    EXPECT_NEAR(ink.T, c.top, kTextTol);
    EXPECT_NEAR(ink.B, c.bottom, kTextTol);
    EXPECT_TRUE(Near(img.Pixel(int(ink.L) + 3, int(ink.MH())), COLOR_BLACK, 10))
        << "the H's stem is solid";
  }
  const IRECT measured = g->MeasureText(IText(size, COLOR_BLACK, "Plain"), "HEH", box);
  EXPECT_NEAR(measured.MW(), box.MW(), 0.01f);
  EXPECT_GT(measured.W(), 2.f * cap);
}

TEST_F(Drawing, TextTurnsWithItsAngleAndAnUnknownFontDrawsNothing) {
  Make(100, 100);
  ASSERT_TRUE(g->LoadFont("Plain", "Roboto-Regular.ttf"));
  const RGBAImage img = Render([](IGfx& gr) {
    gr.DrawText(IText(30.f, COLOR_BLACK, "Plain", EAlign::Center, EVAlign::Middle, 90.f), "IIIII",
                gr.GetBounds());
    gr.DrawText(IText(30.f, COLOR_RED, "Missing"), "IIIII", gr.GetBounds());
  });
  const IRECT ink = Ink(img);
  EXPECT_GT(ink.H(), 1.5f * ink.W()) << "a horizontal run of letters stands upright";
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_LT(img.Pixel(x, y).R, 10) << "nothing red";
}

TEST_F(Drawing, DrawScaleMultipliesEverything) {
  Make(50, 40, 2.f);
  const RGBAImage img = Render([](IGfx& gr) { gr.FillRect(COLOR_BLUE, IRECT(10, 10, 20, 20)); });
  ASSERT_EQ(img.Width(), 100);
  ASSERT_EQ(img.Height(), 80);
  EXPECT_EQ(img.Pixel(19, 30).A, 0);
  EXPECT_TRUE(Near(img.Pixel(20, 20), COLOR_BLUE, 0));
  EXPECT_TRUE(Near(img.Pixel(39, 39), COLOR_BLUE, 0));
  EXPECT_EQ(img.Pixel(40, 30).A, 0);
}

TEST_F(Drawing, ASizeTheRasteriserRefusesDrawsNothingAndCapturesEmpty) {
  Make(20000, 10, 4.f);  // 80000 pixels wide
  const RGBAImage img = Render([](IGfx& gr) { gr.FillRect(COLOR_RED, gr.GetBounds()); });
  EXPECT_TRUE(img.Empty());
  g->Resize(60, 60, 1.f, false);  // back within reach
  EXPECT_EQ(Capture().Width(), 60);
}

TEST_F(Drawing, BlendWeightFadesTheWholeShapeOnce) {
  Make(40, 40);
  const IBlend half{EBlend::Default, 0.5f};
  const RGBAImage img = Render([&](IGfx& gr) {
    gr.PathRect(IRECT(0, 0, 30, 30));
    gr.PathRect(IRECT(10, 10, 40, 40));  // overlapping sub-paths, one winding fill
    gr.PathFill(COLOR_BLACK, {}, &half);
  });
  EXPECT_NEAR(img.Pixel(5, 5).A, 128, 1);
  EXPECT_NEAR(img.Pixel(20, 20).A, 128, 1) << "the overlap is not painted twice";
  EXPECT_EQ(img.Pixel(35, 5).A, 0);
}

TEST_F(Drawing, ControlsAreClippedToTheirRectangles) {
  Make(60, 30);
  g->AttachControl(
      new ScriptControl(IRECT(0, 0, 20, 30), IControl::kNoParameter,
                        [](IGfx& gr, ScriptControl&) { gr.FillRect(COLOR_RED, gr.GetBounds()); }));
  const RGBAImage img = Capture();
  EXPECT_TRUE(Near(img.Pixel(19, 10), COLOR_RED, 0));
  EXPECT_EQ(img.Pixel(20, 10).A, 0);
}

struct VariantCase {
  const char* what;
  bool hasPlain, has2x, has3x;
  float screenScale;
  int targetScale;
  int expectedScale;  // 0: not found
  IColor expected;
};

TEST_F(Drawing, LoadBitmapPicksTheVariantForTheScale) {
  const VariantCase cases[] = {
      {"screen scale 2 takes @2x", true, true, false, 2.f, 0, 2, COLOR_BLUE},
      {"screen scale 1 takes the plain file", true, true, false, 1.f, 0, 1, COLOR_RED},
      {"no @2x: the plain file at scale 2", true, false, false, 2.f, 0, 1, COLOR_RED},
      {"target 3 falls back to @2x", true, true, false, 1.f, 3, 2, COLOR_BLUE},
      {"target 3 takes @3x", true, true, true, 1.f, 3, 3, COLOR_GREEN},
      {"only @2x, screen 1: nothing", false, true, false, 1.f, 0, 0, COLOR_TRANSPARENT},
  };
  for (const VariantCase& c : cases) {
    TempDir dir;
    if (c.hasPlain) {
      ASSERT_TRUE(WriteBitmap(dir / "cap_big.png", 10, 10, COLOR_RED, COLOR_RED));
    }
    if (c.has2x) {
      ASSERT_TRUE(WriteBitmap(dir / "cap_big@2x.png", 20, 20, COLOR_BLUE, COLOR_BLUE));
    }
    if (c.has3x) {
      ASSERT_TRUE(WriteBitmap(dir / "cap_big@3x.png", 30, 30, COLOR_GREEN, COLOR_GREEN));
    }
    ResourceFolder::Set(dir.Path());
    Make(20, 20);  // the only context: the shared cache starts empty for each case
    g->SetScreenScale(c.screenScale);
    const IBitmap bmp = g->LoadBitmap("cap_big.png", 1, false, c.targetScale);
    EXPECT_EQ(bmp.GetScale(), c.expectedScale) << c.what;
    EXPECT_EQ(bmp.IsValid(), c.expectedScale != 0) << c.what;
    if (bmp.IsValid()) {
      EXPECT_FLOAT_EQ(bmp.W(), 10.f)
          << c.what << ": the logical size is the same for every variant";
      EXPECT_EQ(bmp.GetResourceName(), "cap_big.png");
    }
    const RGBAImage img = Render([&](IGfx& gr) { gr.DrawFittedBitmap(bmp, IRECT(0, 0, 20, 20)); });
    EXPECT_TRUE(Near(img.Pixel(10, 10), c.expected)) << c.what;
    g.reset();
  }
}

TEST_F(Drawing, BitmapCacheIsSharedBetweenContexts) {
  ASSERT_TRUE(WriteBitmap(res / "plate.png", 8, 8, COLOR_RED, COLOR_BLUE));
  Make(10, 10);
  TestDelegate other;
  std::unique_ptr<IGfx> second(MakeGfx(other, 10, 10, 60, 1.f));
  const IBitmap a = g->LoadBitmap("plate.png");
  std::filesystem::remove(res / "plate.png");
  const IBitmap b = second->LoadBitmap("plate.png");
  ASSERT_TRUE(b.IsValid()) << "found in the cache although the file is gone";
  EXPECT_EQ(a.GetAPIBitmap(), b.GetAPIBitmap()) << "copies share the decoded pixels";
}

TEST_F(Drawing, MissingOrUnsafeResourcesGiveEmptyResultsThatDrawNothing) {
  Make(30, 30);
  ASSERT_TRUE(std::filesystem::create_directory(res / "dir.png"));
  std::FILE* f = std::fopen((res / "broken.png").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a png", f);
  std::fclose(f);
  for (const char* name : {"nope.png", "", "../x.png", "/etc/hostname", "dir.png", "broken.png"}) {
    const IBitmap bmp = g->LoadBitmap(name);
    EXPECT_FALSE(bmp.IsValid()) << name;
    EXPECT_FLOAT_EQ(bmp.W(), 0.f);
  }
  EXPECT_FALSE(g->LoadBitmap(nullptr).IsValid());
  EXPECT_FALSE(g->LoadFont("Plain", "missing.ttf"));
  EXPECT_FALSE(g->LoadFont("Broken", "broken.png"));
  EXPECT_FALSE(g->LoadFont(nullptr, "Roboto-Regular.ttf"));
  const RGBAImage img = Render([&](IGfx& gr) {
    gr.DrawFittedBitmap(g->LoadBitmap("nope.png"), gr.GetBounds());
    gr.DrawBitmap(IBitmap(), gr.GetBounds(), 0, 0);
    gr.DrawText(IText(20.f, COLOR_BLACK, "Plain"), "text", gr.GetBounds());
    gr.DrawText(IText(20.f), nullptr, gr.GetBounds());
    // Degenerate input draws nothing and leaves the context working.
    gr.PathTransformScale(0.f, 1.f);
    gr.FillRect(COLOR_RED, gr.GetBounds());
    gr.PathTransformReset();
    gr.FillRect(COLOR_RED, IRECT(0, 0, NAN, 10));
    gr.PathClear();
    gr.PathStroke(COLOR_RED, -1.f);
    IStrokeOptions zeroDash;
    zeroDash.mDash.SetDash({0.f, 0.f}, 0.f);
    gr.DrawRect(COLOR_BLUE, IRECT(2, 2, 28, 28), nullptr, 2.f);
    gr.PathRect(IRECT(10, 10, 20, 20));
    gr.PathStroke(COLOR_BLUE, 2.f, zeroDash);
  });
  EXPECT_EQ(img.Pixel(15, 5).A, 0) << "nothing from the broken calls";
  EXPECT_EQ(img.Pixel(15, 2).A, 255) << "the context still draws";
  EXPECT_EQ(img.Pixel(15, 10).A, 255) << "invalid dashes stroke solid";
}

TEST_F(Drawing, ModuleResourcesAreBesideTheModule) {
  const std::string folder = ResourceFolder::ModuleResourceFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.substr(folder.size() - 13), "/../Resources");
  const std::string dir = folder.substr(0, folder.size() - 13);
  EXPECT_TRUE(std::filesystem::exists(dir + "/gfx_tests")) << dir;
  ResourceFolder::Set("");
  EXPECT_EQ(ResourceFolder::Get(), folder);
  ResourceFolder::Set(res.Path());
  EXPECT_EQ(ResourceFolder::Get(), res.Path());
}

TEST_F(Drawing, RGBAImageRoundTripsThroughPNG) {
  RGBAImage img(3, 2);
  img.SetPixel(0, 0, IColor(255, 10, 20, 30));
  img.SetPixel(2, 1, IColor(128, 200, 100, 50));
  ASSERT_TRUE(img.WritePNG(res / "rt.png"));
  const RGBAImage back = RGBAImage::ReadPNG(res / "rt.png");
  ASSERT_EQ(back.Width(), 3);
  EXPECT_EQ(back.Pixel(0, 0), IColor(255, 10, 20, 30));
  EXPECT_TRUE(Near(back.Pixel(2, 1), IColor(128, 200, 100, 50), 1));
  EXPECT_EQ(back.Pixel(1, 0).A, 0);
  EXPECT_TRUE(RGBAImage::ReadPNG(res / "none.png").Empty());
  EXPECT_FALSE(RGBAImage().WritePNG(res / "empty.png"));
  EXPECT_FALSE(img.WritePNG(res / "no/such/dir.png"));
}

// A shrunk image is averaged, not sampled: one-pixel black and white stripes (the left half of the
// image; the right half is white) read as even grey, with a sharp edge to the white half, at each
// of several sizes in turn and again at the first (the backend keeps a copy per size; one of the
// wrong size would blur the edge), and also while turned.
TEST_F(Drawing, ShrunkBitmapIsAveragedAtEverySize) {
  RGBAImage stripes(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      stripes.SetPixel(x, y, x % 2 || x >= 32 ? COLOR_WHITE : COLOR_BLACK);
  ASSERT_TRUE(stripes.WritePNG(res / "stripes.png"));
  Make(64, 64);
  const IBitmap bmp = g->LoadBitmap("stripes.png");
  ASSERT_TRUE(bmp.IsValid());
  for (float side : {16.f, 32.f, 8.f, 16.f}) {
    SCOPED_TRACE(testing::Message() << "drawn " << side << " pixels wide");
    g->RemoveAllControls();
    const RGBAImage img =
        Render([&](IGfx& gr) { gr.DrawFittedBitmap(bmp, IRECT(0, 0, side, side)); });
    const int half = int(side) / 2;
    for (int y = 1; y < int(side) - 1; ++y)
      for (int x = 1; x < int(side) - 1; ++x) {
        const IColor c = img.Pixel(x, y);
        if (x < half) {
          ASSERT_NEAR(c.R, 128, 12) << x << "," << y;
        } else {
          ASSERT_GE(c.R, 250) << x << "," << y;
        }
        ASSERT_EQ(c.A, 255);
      }
  }
  g->RemoveAllControls();
  const RGBAImage turned = Render([&](IGfx& gr) {
    gr.PathTransformTranslate(32, 32);
    gr.PathTransformRotate(30);
    gr.DrawFittedBitmap(bmp, IRECT(-8, -8, 8, 8));
  });
  EXPECT_NEAR(turned.Pixel(29, 31).R, 128, 16);  // inside the striped half
}

}  // namespace
