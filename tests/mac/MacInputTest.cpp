// AppKit's mouse, wheel and tracking events as the context receives them.
#include "gfx/platform/mac/MacInput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;
using Flags = MacModifierFlags;

class MacInputTest : public ::testing::Test {
 protected:
  MacInputTest() : g(MakeGfx(dlg, 200, 100, 60, 1.f)), input(*g) {
    g->AttachControl(new ScriptControl(IRECT(0, 0, 200, 100)));  // background
  }

  ScriptControl* Add(const IRECT& r, int param = IControl::kNoParameter) {
    return static_cast<ScriptControl*>(g->AttachControl(new ScriptControl(r, param)));
  }

  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
  MacInput input;
};

TEST(MacInputMod, ModifierFlagsBecomeShiftCommandAndOptionButNotControl) {
  struct Case {
    unsigned long flags;
    bool s, c, a;
  };
  const Case cases[] = {
      {0, false, false, false},
      {Flags::kShift, true, false, false},
      {Flags::kCommand, false, true, false},
      {Flags::kOption, false, false, true},
      {Flags::kControl, false, false, false},
      {Flags::kShift | Flags::kCommand | Flags::kOption | Flags::kControl, true, true, true},
      {1ul << 16, false, false, false},  // Caps Lock
  };
  for (const Case& c : cases) {
    const IMouseMod mod = MacInput::Mod(c.flags, true, false);
    EXPECT_EQ(mod.S, c.s) << c.flags;
    EXPECT_EQ(mod.C, c.c) << c.flags;
    EXPECT_EQ(mod.A, c.a) << c.flags;
    EXPECT_TRUE(mod.L);
    EXPECT_FALSE(mod.R);
  }
  EXPECT_TRUE(MacInput::Mod(Flags::kCommand, true, false).FineAdjust());
}

TEST(MacInputMod, WheelStepsFromLinesOrPointsFollowTheUsersDirection) {
  struct Case {
    double deltaY;
    bool precise, inverted;
    float steps;
  };
  const Case cases[] = {
      {1.0, false, false, 1.f},     {-3.0, false, false, -3.f}, {0.1, false, false, 0.1f},
      {25.0, true, false, 2.5f},    {-4.0, true, false, -0.4f}, {1.0, false, true, -1.f},
      {-20.0, true, true, 2.f},     {0.0, true, false, 0.f},    {NAN, false, false, 0.f},
      {INFINITY, true, false, 0.f},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(MacInput::WheelSteps(c.deltaY, c.precise, c.inverted), c.steps)
        << c.deltaY << " precise " << c.precise << " inverted " << c.inverted;
}

TEST_F(MacInputTest, EvenClickCountsAreDoubleClicksOddOnesPresses) {
  ScriptControl* c = Add(IRECT(10, 10, 50, 50));
  const long counts[] = {1, 2, 3, 4, 5};
  const char* expected[] = {"down", "dbl", "down", "dbl", "down"};
  for (int i = 0; i < 5; ++i) {
    c->events.clear();
    input.MouseDown(20, 20, EMacButton::Left, counts[i], 0);
    input.MouseUp(20, 20, EMacButton::Left, 0);
    ASSERT_FALSE(c->events.empty()) << counts[i];
    EXPECT_EQ(c->events.front(), expected[i]) << counts[i];
  }
}

TEST_F(MacInputTest, DoubleClickSetsABoundControlToItsDefault) {
  ScriptControl* c = Add(IRECT(10, 10, 50, 50), TestDelegate::kPct);
  c->SetValue(0.9);
  input.MouseDown(20, 20, EMacButton::Left, 1, 0);
  input.MouseUp(20, 20, EMacButton::Left, 0);
  input.MouseDown(20, 20, EMacButton::Left, 2, 0);
  input.MouseUp(20, 20, EMacButton::Left, 0);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.24);  // Pct's default 24 of 0...100
}

TEST_F(MacInputTest, ControlClickAndTheRightButtonAreSecondaryClicks) {
  ScriptControl* c = Add(IRECT(10, 10, 50, 50), TestDelegate::kPct);
  c->contextItems = {"Reset"};
  for (auto [button, flags] :
       {std::pair{EMacButton::Right, 0ul}, std::pair{EMacButton::Left, Flags::kControl}}) {
    input.MouseDown(20, 20, button, 1, flags);
    EXPECT_TRUE(g->IsContextMenuPending());
    g->CompletePopupMenu(0);
    input.MouseUp(20, 20, button, flags);
  }
  EXPECT_EQ(c->events, (std::vector<std::string>{"context 0", "context 0"}));
  EXPECT_TRUE(dlg.log.empty());  // no gesture began

  input.MouseDown(20, 20, EMacButton::Left, 1, Flags::kCommand);
  EXPECT_EQ(c->events.back(), "down");
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0"}));
}

TEST_F(MacInputTest, PointsAreDividedByTheDrawScale) {
  g->Resize(200, 100, 2.f, false);
  ScriptControl* c = Add(IRECT(10, 10, 20, 20));
  input.MouseDown(30, 30, EMacButton::Left, 1, 0);  // logical 15, 15: inside
  input.MouseDragged(50, 24, 10, -3, EMacButton::Left, 0);
  input.MouseUp(50, 24, EMacButton::Left, 0);
  EXPECT_EQ(c->events, (std::vector<std::string>{"down", "drag 10,-3", "up"}));

  c->events.clear();
  input.MouseDown(45, 45, EMacButton::Left, 1, 0);  // logical 22.5: outside
  EXPECT_TRUE(c->events.empty());
}

TEST_F(MacInputTest, AKnobDraggedWithTheCursorHiddenMovesByTheDeviceDeltas) {
  for (float scale : {1.f, 2.f}) {
    g->Resize(200, 100, scale, false);
    auto* knob = static_cast<Knob*>(g->AttachControl(new Knob(IRECT(100, 0, 200, 100), 0)));
    knob->SetValue(0.5);
    input.MouseDown(150 * scale, 50 * scale, EMacButton::Left, 1, 0);
    ASSERT_TRUE(g->IsCursorHidden());
    // The pointer is held still, so the event's location stays put: only its delta counts.
    input.MouseDragged(150 * scale, 50 * scale, 0, -40 * scale, EMacButton::Left, 0);
    EXPECT_NEAR(knob->GetValue(), 0.6, 1e-9) << scale;  // 40 of 100 pixels at gearing 4
    input.MouseDragged(150 * scale, 50 * scale, 0, -40 * scale, EMacButton::Left, Flags::kShift);
    EXPECT_NEAR(knob->GetValue(), 0.61, 1e-9) << scale;  // ten times finer
    input.MouseUp(150 * scale, 50 * scale, EMacButton::Left, 0);
    EXPECT_FALSE(g->IsCursorHidden());
    knob->Hide(true);
  }
}

TEST_F(MacInputTest, WheelMovesTheControlUnderThePointerAndIgnoresEmptyEvents) {
  ScriptControl* c = Add(IRECT(10, 10, 50, 50));
  input.ScrollWheel(20, 20, 0.0, true, false, 0);  // a momentum phase ending
  EXPECT_TRUE(c->events.empty());
  input.ScrollWheel(20, 20, 30.0, true, true, 0);
  EXPECT_EQ(c->events, (std::vector<std::string>{"wheel -3.000000"}));
}

TEST_F(MacInputTest, MovesAndExitsDriveMouseOver) {
  g->EnableTooltips(true);
  ScriptControl* c = Add(IRECT(10, 10, 50, 50));
  input.MouseMoved(20, 20, 0);
  EXPECT_EQ(g->GetMouseOverControl(), c);
  input.MouseExited();
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  EXPECT_EQ(c->events, (std::vector<std::string>{"over", "out"}));
}

}  // namespace
