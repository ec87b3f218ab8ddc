// SnapshotCommandTest.cpp: tovrasat snapshot end to end: the window size of each scale, what the
// picture shows of the state it was given, and every bad argument refused without touching OUT.
#include "gfx/platform/RGBAImage.h"
#include "state/TovraPresets.h"
#include "tests/support/PlatePixels.h"
#include "tests/tools/ToolsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using plug::gfx::IColor;
using plug::gfx::RGBAImage;
using toolstest::Component;
using toolstest::ExpectRefused;
using toolstest::PrivateHome;
using toolstest::ReadText;
using toolstest::RealBundleBuilt;
using toolstest::Refusal;
using toolstest::RunResult;
using toolstest::RunTool;
using toolstest::TempDir;
using toolstest::WriteText;

class SnapshotCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RealBundleBuilt()) GTEST_SKIP() << "the snapshot needs TovraSat.component";
  }

  // Runs tovrasat snapshot OUT with args and reads the picture back.
  RunResult Shoot(const std::string& name, std::vector<std::string> args, RGBAImage& image) {
    args.insert(args.begin(), {"--component", Component(), "snapshot", scratch / name});
    const RunResult r = RunTool(args, scratch);
    image = RGBAImage::ReadPNG(scratch / name);
    return r;
  }

  TempDir scratch;
  PrivateHome home;
};

// The brightest channel of a pixel at a point given in plate units, in a picture of the editor at
// the scale (plate units are logical pixels by the plate's factor, times the scale window pixels).
IColor At(const RGBAImage& image, double scale, double x, double y) {
  const double k = testsupport::kPixelsPerPlateUnit * scale;
  return image.Pixel(static_cast<int>(x * k), static_cast<int>(y * k));
}
int Red(const IColor& c) {
  return c.R;
}
int Green(const IColor& c) {
  return c.G;
}

TEST_F(SnapshotCommand, EachScaleGivesItsWindowSize) {
  struct Case {
    const char* scale;
    int width, height;
  };
  const Case cases[] = {
      {"1", 222, 666}, {"1.25", 277, 832}, {"1.5", 333, 999}, {"1.75", 388, 1165}};
  for (const Case& c : cases) {
    RGBAImage image;
    const RunResult r = Shoot("editor.png", {"--scale", c.scale}, image);
    ASSERT_EQ(r.exitCode, 0) << c.scale << ": " << r.err;
    EXPECT_EQ(image.Width(), c.width) << c.scale;
    EXPECT_EQ(image.Height(), c.height) << c.scale;
    EXPECT_NE(r.out.find(std::to_string(c.width) + " x " + std::to_string(c.height)),
              std::string::npos)
        << r.out;
    // The plate covers the window: a point of bare metal is opaque.
    EXPECT_EQ(At(image, std::stod(c.scale), 600, 1000).A, 255) << c.scale;
  }
}

TEST_F(SnapshotCommand, ThePictureShowsTheStateItWasGiven) {
  RGBAImage rest, lit;
  ASSERT_EQ(Shoot("rest.png", {"--scale", "1.75"}, rest).exitCode, 0);
  const RunResult r = Shoot(
      "lit.png", {"--scale", "1.75", "--bypass", "on", "--meter-db", "-4.5", "--48v", "off"}, lit);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The meter reads what the plug-in computed from the audio it was fed.
  EXPECT_NE(r.out.find("meter -4.50 dBFS, overload lamp 0.00"), std::string::npos) << r.out;

  // Bypass lamp: lit red over its dark socket; the 48V lamp, on by default, goes dark.
  EXPECT_GT(Red(At(lit, 1.75, 140, 766)), Red(At(rest, 1.75, 140, 766)) + 100);
  EXPECT_LT(Red(At(lit, 1.75, 140, 570)) + 100, Red(At(rest, 1.75, 140, 570)));
  // At -4.5 dBFS the signal lamp is fully lit, the near-full-scale lamp half, the overload dark.
  EXPECT_GT(Green(At(lit, 1.75, 139, 353)), Green(At(rest, 1.75, 139, 353)) + 100);
  EXPECT_GT(Red(At(lit, 1.75, 139, 292)), Red(At(rest, 1.75, 139, 292)) + 50);
  EXPECT_NEAR(Red(At(lit, 1.75, 139, 231)), Red(At(rest, 1.75, 139, 231)), 2);

  // An overload a tick ago: the OL lamp at 0.85, the meter still near full scale.
  RGBAImage clipped;
  const RunResult c = Shoot("clip.png", {"--meter-db", "-1", "--clip", "0.85"}, clipped);
  ASSERT_EQ(c.exitCode, 0) << c.err;
  EXPECT_NE(c.out.find("meter -1.00 dBFS, overload lamp 0.85"), std::string::npos) << c.out;
  RGBAImage small;
  ASSERT_EQ(Shoot("small.png", {}, small).exitCode, 0);
  EXPECT_GT(Red(At(clipped, 1.0, 139, 231)), Red(At(small, 1.0, 139, 231)) + 100);
}

TEST_F(SnapshotCommand, APresetSetsItsValuesAndOptionsBesideItWin) {
  ASSERT_TRUE(tovrapresets::Save("Crushed", {100.0, -6.0, false}));
  RGBAImage withPreset, withOption;
  const RunResult a = Shoot("a.png", {"--preset", "Crushed"}, withPreset);
  ASSERT_EQ(a.exitCode, 0) << a.err;
  const RunResult b = Shoot("b.png", {"--preset", "Crushed", "--48v", "on"}, withOption);
  ASSERT_EQ(b.exitCode, 0) << b.err;
  // The preset turns 48V off; the option beside it turns it back on.
  EXPECT_LT(Red(At(withPreset, 1.0, 140, 570)) + 100, Red(At(withOption, 1.0, 140, 570)));
}

TEST_F(SnapshotCommand, BadArgumentsAreRefusedAndOutStaysAsItWas) {
  const std::string out = scratch / "kept.png";
  WriteText(out, "an older picture");
  const std::string c = Component();
  const Refusal cases[] = {
      {"scale not one of the four", {"--scale", "2"}, 2, "1, 1.25, 1.5 or 1.75"},
      {"scale between two", {"--scale", "1.3"}, 2, "1, 1.25, 1.5 or 1.75"},
      {"scale not a number", {"--scale", "big"}, 2, "1, 1.25, 1.5 or 1.75"},
      {"gain above range", {"--gain", "101"}, 2, "between 0 and 100"},
      {"trim below range", {"--trim", "-25"}, 2, "between -24 and 12"},
      {"48V neither on nor off", {"--48v", "yes"}, 2, "on or off"},
      {"meter above range", {"--meter-db", "13"}, 2, "between -120 and 12"},
      {"clip above one", {"--clip", "1.5"}, 2, "between 0 and 1"},
      {"level the output cannot reach", {"--trim", "-24", "--meter-db", "-3"}, 2, "meter shows"},
      {"no such preset", {"--preset", "Nowhere"}, 1, "no preset named 'Nowhere'"},
      {"preset name climbing out", {"--preset", "../x"}, 1, "not a preset name"},
  };
  for (const Refusal& k : cases) {
    std::vector<std::string> args{"--component", c, "snapshot", out};
    args.insert(args.end(), k.args.begin(), k.args.end());
    ExpectRefused(RunTool(args, scratch), k);
    EXPECT_EQ(ReadText(out), "an older picture") << k.what;
  }

  // Failures: OUT in a missing folder; no bundle.
  const RunResult noFolder =
      RunTool({"--component", c, "snapshot", scratch / "missing/editor.png"}, scratch);
  EXPECT_EQ(noFolder.exitCode, 1) << noFolder.err;
  const RunResult noBundle =
      RunTool({"--component", scratch / "none.component", "snapshot", out}, scratch);
  EXPECT_EQ(noBundle.exitCode, 1) << noBundle.err;
  EXPECT_EQ(ReadText(out), "an older picture");
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
    EXPECT_NE(entry.path().filename().string().rfind(".kept.png", 0), 0u)
        << "a temporary file was left behind: " << entry.path();
}

// The snapshot is PNG bytes, so only a .png name is written (in any case of letters): "x.jpg" would
// hold PNG under a JPEG name. An older file of a refused name stays.
TEST_F(SnapshotCommand, OnlyAPngNameIsWritten) {
  for (const char* name : {"x.jpg", "x", "x.png.jpg", "x.pngx"}) {
    const std::string out = scratch / name;
    WriteText(out, "an older file");
    ExpectRefused(RunTool({"--component", Component(), "snapshot", out}, scratch),
                  Refusal{name, {}, 2, out + ": snapshot writes PNG files only; name it .png"});
    EXPECT_EQ(ReadText(out), "an older file") << name;
  }
  RGBAImage image;
  EXPECT_EQ(Shoot("UPPER.PNG", {}, image).exitCode, 0);
}

}  // namespace
