// Shared types: rectangle containment, gradient transforms, stop limits, popup menus.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gfx/IPattern.h"
#include "gfx/IPopupMenu.h"
#include "gfx/IRECT.h"
#include "gfx/IText.h"

namespace {

using namespace plug::gfx;

struct ContainsCase {
  IRECT r;
  float x, y;
  bool inside;
};

TEST(IRECT, ContainmentIsHalfOpenAndTheZeroRectangleHoldsNothing) {
  const IRECT r(10, 20, 30, 40);
  const ContainsCase cases[] = {
      {r, 10, 20, true},  // top-left corner is inside
      {r, 29.99f, 39.99f, true},
      {r, 30, 25, false},  // right edge is outside
      {r, 15, 40, false},  // bottom edge is outside
      {r, 9.99f, 25, false},
      {r, 15, 19.99f, false},
      {IRECT(), 0, 0, false},  // the all-zero rectangle
      {IRECT(0, 0, 1, 1), 0, 0, true},
      {IRECT(5, 5, 5, 9), 5, 6, false},  // no width
  };
  for (const ContainsCase& c : cases)
    EXPECT_EQ(c.r.Contains(c.x, c.y), c.inside)
        << c.x << "," << c.y << " in " << c.r.L << "," << c.r.T;
}

TEST(IRECT, IntersectUnionAndConstrain) {
  const IRECT a(0, 0, 10, 10), b(5, 5, 20, 20), c(10, 0, 20, 10);
  EXPECT_EQ(a.Intersect(b), IRECT(5, 5, 10, 10));
  EXPECT_FALSE(a.Intersects(c)) << "rectangles sharing only an edge do not meet";
  EXPECT_EQ(a.Intersect(c), IRECT());
  EXPECT_EQ(a.Union(b), IRECT(0, 0, 20, 20));
  EXPECT_EQ(IRECT().Union(b), b);
  EXPECT_EQ(IRECT(-1, -1, 5, 120).GetConstrainedTo(IRECT(0, 0, 100, 100)), IRECT(0, 0, 5, 100));
  EXPECT_EQ(IRECT(0.2f, 0.7f, 3.1f, 4.0f).GetPixelAligned(), IRECT(0, 0, 4, 4));
}

// Offset along a gradient as the backend computes it from the transform.
double LinearOffset(const IPattern& p, double x, double y) {
  p.mTransform.TransformPoint(x, y);
  return x;
}

double RadialOffset(const IPattern& p, double x, double y) {
  p.mTransform.TransformPoint(x, y);
  return std::hypot(x, y);
}

TEST(IPattern, LinearGradientMapsItsEndsToZeroAndOneAndIsConstantAcross) {
  const IPattern p =
      IPattern::CreateLinearGradient(10, 20, 30, 60, {{COLOR_RED, 0.f}, {COLOR_BLUE, 1.f}});
  EXPECT_EQ(p.mType, EPatternType::Linear);
  EXPECT_EQ(p.mExtend, EPatternExtend::Pad);
  EXPECT_NEAR(LinearOffset(p, 10, 20), 0.0, 1e-12);
  EXPECT_NEAR(LinearOffset(p, 30, 60), 1.0, 1e-12);
  EXPECT_NEAR(LinearOffset(p, 20, 40), 0.5, 1e-12);
  // (−40, 20) is perpendicular to the direction (20, 40): same offset.
  EXPECT_NEAR(LinearOffset(p, 20 - 40, 40 + 20), 0.5, 1e-12);
  EXPECT_NE(p.mTransform.Determinant(), 0.0);
}

TEST(IPattern, RadialGradientScalesByTheRadius) {
  const IPattern p =
      IPattern::CreateRadialGradient(50, 40, 20, {{COLOR_WHITE, 0.f}, {COLOR_BLACK, 1.f}});
  EXPECT_EQ(p.mType, EPatternType::Radial);
  EXPECT_NEAR(p.mTransform.mXX, 1.0 / 20, 1e-12);
  EXPECT_NEAR(p.mTransform.mTX, -50.0 / 20, 1e-12);
  EXPECT_NEAR(p.mTransform.mTY, -40.0 / 20, 1e-12);
  EXPECT_NEAR(RadialOffset(p, 50, 40), 0.0, 1e-12);
  EXPECT_NEAR(RadialOffset(p, 50, 60), 1.0, 1e-12);
  EXPECT_NEAR(RadialOffset(p, 40, 40), 0.5, 1e-12);
}

TEST(IPattern, SolidHasOneStopAndSeventeenStopsKeepTheFirstSixteen) {
  const IPattern solid(IColor(128, 1, 2, 3));
  EXPECT_EQ(solid.mType, EPatternType::Solid);
  EXPECT_EQ(solid.mExtend, EPatternExtend::Pad);
  ASSERT_EQ(solid.NStops(), 1);
  EXPECT_EQ(solid.GetStop(0).mColor, IColor(128, 1, 2, 3));

  const IPattern p = IPattern::CreateLinearGradient(0, 0, 100, 0,
                                                    {{IColor(255, 0, 0, 0), 0.f},
                                                     {IColor(255, 1, 0, 0), 0.0625f},
                                                     {IColor(255, 2, 0, 0), 0.125f},
                                                     {IColor(255, 3, 0, 0), 0.1875f},
                                                     {IColor(255, 4, 0, 0), 0.25f},
                                                     {IColor(255, 5, 0, 0), 0.3125f},
                                                     {IColor(255, 6, 0, 0), 0.375f},
                                                     {IColor(255, 7, 0, 0), 0.4375f},
                                                     {IColor(255, 8, 0, 0), 0.5f},
                                                     {IColor(255, 9, 0, 0), 0.5625f},
                                                     {IColor(255, 10, 0, 0), 0.625f},
                                                     {IColor(255, 11, 0, 0), 0.6875f},
                                                     {IColor(255, 12, 0, 0), 0.75f},
                                                     {IColor(255, 13, 0, 0), 0.8125f},
                                                     {IColor(255, 14, 0, 0), 0.875f},
                                                     {IColor(255, 15, 0, 0), 0.9375f},
                                                     {IColor(255, 16, 0, 0), 1.f}});
  ASSERT_EQ(p.NStops(), 16);
  EXPECT_EQ(p.GetStop(15).mColor.R, 15);
  IPattern q(EPatternType::Linear);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(q.AddStop(COLOR_BLACK, 0.f));
  EXPECT_FALSE(q.AddStop(COLOR_WHITE, 1.f));
}

TEST(IText, FontIdentifierIsCutAtSixtyThreeCharacters) {
  const std::string longName(100, 'f');
  IText t(12.f, COLOR_BLACK, longName.c_str());
  EXPECT_EQ(std::string(t.mFont), std::string(63, 'f'));
  EXPECT_STREQ(IText().mFont, "Plain");
}

TEST(IPopupMenu, AddInsertCheckAloneSeparatorsAndClear) {
  IPopupMenu menu("Root");
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  menu.AddItem("a");
  menu.AddItem("c");
  menu.AddItem("b", 1);   // inserted
  menu.AddItem("d", 99);  // past the end: appended
  IPopupMenu::Item* sep = menu.AddSeparator();
  ASSERT_EQ(menu.NItems(), 5);
  EXPECT_STREQ(menu.GetItemText(0), "a");
  EXPECT_STREQ(menu.GetItemText(1), "b");
  EXPECT_STREQ(menu.GetItemText(2), "c");
  EXPECT_STREQ(menu.GetItemText(3), "d");
  EXPECT_TRUE(sep->GetIsSeparator());
  EXPECT_STREQ(sep->GetText(), "");
  EXPECT_EQ(sep->GetTag(), -1);
  EXPECT_EQ(menu.GetItem(5), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);

  menu.CheckItem(0, true);
  menu.CheckItem(3, true);
  menu.CheckItemAlone(2);
  for (int i = 0; i < menu.NItems(); ++i) EXPECT_EQ(menu.IsItemChecked(i), i == 2) << i;
  menu.CheckItemAlone(-1);  // none found: all unchecked
  for (int i = 0; i < menu.NItems(); ++i) EXPECT_FALSE(menu.IsItemChecked(i));

  menu.SetChosenItemIdx(3);
  menu.SetPrefix(1);
  menu.SetMultiCheck(true);
  menu.Clear();
  EXPECT_EQ(menu.NItems(), 0);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(menu.GetPrefix(), 0);
  EXPECT_FALSE(menu.GetCanMultiCheck());
}

TEST(IPopupMenu, OwnedSubmenusDieWithTheItemBorrowedOnesDoNot) {
  // A borrowed submenu outlives the menu that showed it (ASan reports a double free otherwise).
  IPopupMenu borrowed;
  borrowed.AddItem("x");
  {
    IPopupMenu menu;
    auto* owned = new IPopupMenu();
    owned->AddItem("y");
    menu.AddItem("Owned", owned);
    menu.AddItem("Borrowed", &borrowed, -1, false);
    EXPECT_EQ(menu.GetItem(0)->GetSubmenu(), owned);
    EXPECT_EQ(menu.GetItem(1)->GetSubmenu(), &borrowed);
    menu.Clear();
    EXPECT_EQ(borrowed.NItems(), 1);
  }
  EXPECT_STREQ(borrowed.GetItemText(0), "x");
}

TEST(IPopupMenu, CompletionFunctionSeesTheMenu) {
  IPopupMenu menu;
  menu.AddItem("a");
  IPopupMenu* seen = nullptr;
  int chosen = -2;
  menu.SetFunction([&](IPopupMenu* m) {
    seen = m;
    chosen = m->GetChosenItemIdx();
  });
  menu.SetChosenItemIdx(0);
  menu.ExecFunction();
  EXPECT_EQ(seen, &menu);
  EXPECT_EQ(chosen, 0);
}

}  // namespace
