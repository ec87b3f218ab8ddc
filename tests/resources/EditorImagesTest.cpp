// EditorImagesTest.cpp: the plate and caps the build draws: sizes and aspect, plain and @2x
// agreeing, an opaque plate, round caps whose pointer stands where the knob turns it, and the
// bundle's copies.
#include "gfx/platform/RGBAImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

namespace {

namespace fs = std::filesystem;
using plug::gfx::IColor;
using plug::gfx::RGBAImage;

RGBAImage Read(const std::string& name) {
  return RGBAImage::ReadPNG((fs::path(TOVRASAT_BUILD_RESOURCES) / name).string());
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Luma(const IColor& c) {
  return (c.R * 299 + c.G * 587 + c.B * 114) / 1000;
}

// The mean brightness of a small square around a point given as fractions of the image's size.
double MeanLuma(const RGBAImage& image, double fx, double fy) {
  const int cx = int(fx * image.Width()), cy = int(fy * image.Height());
  const int r = std::max(1, image.Width() / 100);
  double sum = 0;
  int n = 0;
  for (int y = cy - r; y <= cy + r; ++y)
    for (int x = cx - r; x <= cx + r; ++x, ++n) sum += Luma(image.Pixel(x, y));
  return sum / n;
}

TEST(EditorImages, SizesAspectAndVariants) {
  struct Case {
    const char* plain;
    const char* twice;
    int width, height;
  };
  // The plate is exactly 667 : 2000; both are larger than the largest window (388 x 1165, or
  // 776 x 2330 on a screen of scale 2), the caps than their size there (151 and 69 pixels).
  const Case cases[] = {{"tovra_plate.png", "tovra_plate@2x.png", 667, 2000},
                        {"cap_big.png", "cap_big@2x.png", 160, 160},
                        {"cap_small.png", "cap_small@2x.png", 72, 72}};
  for (const Case& c : cases) {
    const RGBAImage plain = Read(c.plain), twice = Read(c.twice);
    EXPECT_EQ(plain.Width(), c.width) << c.plain;
    EXPECT_EQ(plain.Height(), c.height) << c.plain;
    EXPECT_EQ(twice.Width(), 2 * c.width) << c.twice;
    EXPECT_EQ(twice.Height(), 2 * c.height) << c.twice;
    // The same drawing at two densities: sampled at the same places they agree on average.
    double difference = 0;
    int n = 0;
    for (double fy = 0.05; fy < 1.0; fy += 0.1)
      for (double fx = 0.05; fx < 1.0; fx += 0.1, ++n)
        difference += std::abs(MeanLuma(plain, fx, fy) - MeanLuma(twice, fx, fy));
    EXPECT_LT(difference / n, 6.0) << c.plain << " and " << c.twice;
  }
}

TEST(EditorImages, ThePlateIsOpaqueMetalWithItsPrintingInPlace) {
  for (const char* name : {"tovra_plate.png", "tovra_plate@2x.png"}) {
    const RGBAImage plate = Read(name);
    ASSERT_FALSE(plate.Empty()) << name;
    for (int y = 0; y < plate.Height(); y += 7)
      for (int x = 0; x < plate.Width(); x += 7)
        ASSERT_EQ(plate.Pixel(x, y).A, 255) << name << " at " << x << ", " << y;
    // Dark anodised face; the product name printed light across the top (plate units / 667, 2000).
    EXPECT_LT(MeanLuma(plate, 600.0 / 667, 1000.0 / 2000), 70) << name;
    int lit = 0;
    const double k = plate.Width() / 667.0;
    for (int x = int(150 * k); x < int(520 * k); ++x)
      lit += Luma(plate.Pixel(x, int(55 * k))) > 150;
    EXPECT_GT(lit, int(60 * k)) << name;
    // The gain knob's well is darker than the face around it.
    EXPECT_LT(MeanLuma(plate, 332.0 / 667, (1366.0 + 137) / 2000),
              MeanLuma(plate, 332.0 / 667, 1580.0 / 2000) - 15)
        << name;
  }
}

// The pointer mark stands where the knob's angle offset expects it: the gain cap at 12 o'clock,
// the trim cap at half past one (drawn turned by -45 degrees, it then points at the value's tick).
TEST(EditorImages, CapsAreRoundWithThePointerWhereTheKnobTurnsIt) {
  const struct {
    const char* name;
    double pointerDeg;
  } caps[] = {
      {"cap_big.png", 0}, {"cap_big@2x.png", 0}, {"cap_small.png", 45}, {"cap_small@2x.png", 45}};
  for (const auto& [name, pointerDeg] : caps) {
    const RGBAImage cap = Read(name);
    ASSERT_FALSE(cap.Empty()) << name;
    const int w = cap.Width();
    EXPECT_EQ(cap.Pixel(1, 1).A, 0) << name << ": corners outside the round cap are clear";
    EXPECT_EQ(cap.Pixel(w / 2, w / 2).A, 255) << name;
    EXPECT_LT(cap.Pixel(w / 2, 0).A, 255) << name << ": the edge is anti-aliased, not cut";
    // Bright at the pointer's angle, clearly darker a quarter, a half and three quarters round.
    const auto lumaAt = [&](double deg) {
      const double a = deg * std::numbers::pi / 180.0;
      return MeanLuma(cap, 0.5 + 0.24 * std::sin(a), 0.5 - 0.24 * std::cos(a));
    };
    const double pointer = lumaAt(pointerDeg);
    EXPECT_GT(pointer, 215) << name;
    for (double away : {90.0, 180.0, 270.0}) {
      EXPECT_LT(lumaAt(pointerDeg + away), pointer - 25) << name << " at +" << away;
    }
  }
}

TEST(EditorImages, TheBundleCarriesTheImagesTheBuildDrew) {
  const fs::path bundled = fs::path(TOVRASAT_BUNDLE_PATH) / "Contents" / "Resources";
  for (const char* name : {"tovra_plate.png", "tovra_plate@2x.png", "cap_big.png", "cap_big@2x.png",
                           "cap_small.png", "cap_small@2x.png"}) {
    const std::string built = Bytes(fs::path(TOVRASAT_BUILD_RESOURCES) / name);
    ASSERT_FALSE(built.empty()) << name;
    EXPECT_EQ(Bytes(bundled / name), built) << name;
  }
}

}  // namespace
