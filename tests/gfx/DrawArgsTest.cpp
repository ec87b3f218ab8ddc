// The argument checks both backends share: what reaches Cairo here reaches Core Graphics on a Mac,
// where no pixel test runs, so the odd cases are pinned down on their own.
#include "gfx/platform/DrawArgs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <vector>

namespace {

using namespace plug::gfx;

constexpr float kInf = std::numeric_limits<float>::infinity();

struct DashCase {
  std::initializer_list<float> lengths;
  float offset;
  std::vector<double> expected;  // empty: a solid line
};

TEST(DrawArgs, DashesARasteriserWouldRejectDrawSolid) {
  const DashCase cases[] = {
      {{4.f, 2.f}, 1.f, {4.0, 2.0}},
      {{0.f, 3.f}, 0.f, {0.0, 3.0}},  // a zero length among others is a dot
      {{}, 0.f, {}},
      {{0.f, 0.f}, 0.f, {}},
      {{4.f, -1.f}, 0.f, {}},
      {{4.f, NAN}, 0.f, {}},
      {{kInf, 2.f}, 0.f, {}},
      {{4.f, 2.f}, NAN, {}},
      {{4.f, 2.f}, kInf, {}},
  };
  for (const DashCase& c : cases) {
    IStrokeOptions::DashOptions dash;
    dash.SetDash(c.lengths, c.offset);
    const DrawArgs::Dashes d = DrawArgs::ValidDashes(dash);
    const std::vector<double> got(d.lengths.begin(), d.lengths.begin() + d.count);
    EXPECT_EQ(got, c.expected) << "case with " << c.lengths.size() << " lengths, offset "
                               << c.offset;
    if (d.count > 0) {
      EXPECT_EQ(d.offset, double(c.offset));
    }
  }
}

TEST(DrawArgs, APatternWithoutExtentPaintsWhatLiesBeyondItsEnd) {
  const IColor first(255, 10, 20, 30), last(255, 40, 50, 60);
  const IPattern solid(first);
  EXPECT_FALSE(DrawArgs::PaintsGradient(solid));
  EXPECT_EQ(DrawArgs::SolidColor(solid), first);

  const IPattern flat[] = {IPattern::CreateLinearGradient(5, 5, 5, 5, {{first, 0.f}, {last, 1.f}}),
                           IPattern::CreateRadialGradient(5, 5, 0, {{first, 0.f}, {last, 1.f}})};
  for (const IPattern& p : flat) {
    EXPECT_FALSE(DrawArgs::PaintsGradient(p));
    EXPECT_EQ(DrawArgs::SolidColor(p), last);
  }
  EXPECT_TRUE(DrawArgs::PaintsGradient(IPattern::CreateLinearGradient(0, 0, 9, 0, {{first, 0.f}})));
}

TEST(DrawArgs, OutOfRangeValuesClamp) {
  EXPECT_EQ(DrawArgs::Unit(-5), 0.0);
  EXPECT_EQ(DrawArgs::Unit(300), 1.0);
  EXPECT_EQ(DrawArgs::StopOffset(NAN), 0.0);
  EXPECT_EQ(DrawArgs::StopOffset(1.5f), 1.0);
  const IBlend faint{EBlend::Default, -0.5f}, strong{EBlend::Add, 3.f};
  EXPECT_EQ(DrawArgs::Weight(nullptr), 1.0);
  EXPECT_EQ(DrawArgs::Weight(&faint), 0.0);
  EXPECT_EQ(DrawArgs::Weight(&strong), 1.0);
  for (float limit : {0.5f, NAN, -kInf}) {
    IStrokeOptions options;
    options.mMiterLimit = limit;
    EXPECT_EQ(DrawArgs::MiterLimit(options), 1.0) << limit;
  }
  EXPECT_DOUBLE_EQ(DrawArgs::ArcRadians(90.f), 0.0);  // 0 degrees is straight up
  EXPECT_DOUBLE_EQ(DrawArgs::ArcRadians(0.f), -std::numbers::pi / 2);
}

}  // namespace
