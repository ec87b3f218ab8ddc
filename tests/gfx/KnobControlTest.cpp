// IKnobControlBase: gearing, fine adjustment, clamped drag value, stepped rounding, wheel, cursor.
#include <gtest/gtest.h>

#include <memory>

#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

class KnobControl : public ::testing::Test {
 protected:
  KnobControl() : g(MakeGfx(dlg, 200, 200, 60, 1.f)) {}

  Knob* AddKnob(int param, EDirection dir = EDirection::Vertical, double gearing = 4.0) {
    // A 100 x 100 target rectangle, as in the gearing example.
    return static_cast<Knob*>(
        g->AttachControl(new Knob(IRECT(50, 50, 150, 150), param, dir, gearing)));
  }

  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
};

struct GearingCase {
  const char* what;
  IMouseMod mod;
  float pixels;     // upward drag
  double expected;  // normalised value from 0
};

TEST_F(KnobControl, GearingFourOverAHundredPixels) {
  const GearingCase cases[] = {
      {"400 px reach the top", IMouseMod(), 400.f, 1.0},
      {"200 px reach half", IMouseMod(), 200.f, 0.5},
      {"Shift: 4000 px reach the top", IMouseMod(false, false, true), 4000.f, 1.0},
      {"Shift: 400 px reach a tenth", IMouseMod(false, false, true), 400.f, 0.1},
      {"Command is fine too", IMouseMod(false, false, false, true), 400.f, 0.1},
      {"Option is not fine", IMouseMod(false, false, false, false, true), 200.f, 0.5},
  };
  for (const GearingCase& c : cases) {
    g->RemoveAllControls();
    dlg.GetParam(TestDelegate::kPct)->Set(0.0);
    Knob* k = AddKnob(TestDelegate::kPct);
    k->SetValue(0.0);
    g->OnMouseDown(100, 100, IMouseMod(true));
    IMouseMod drag = c.mod;
    drag.L = true;
    for (float moved = 0.f; moved < c.pixels; moved += 10.f)
      g->OnMouseDrag(100, 100, 0.f, -10.f, drag);
    g->OnMouseUp(100, 100, IMouseMod(true));
    EXPECT_NEAR(k->GetValue(), c.expected, 1e-9) << c.what;
    EXPECT_NEAR(dlg.GetParam(TestDelegate::kPct)->GetNormalized(), c.expected, 1e-9) << c.what;
  }
}

TEST_F(KnobControl, DraggedBeyondTheRangeStaysAtTheEndAndComesBackAtOnce) {
  Knob* k = AddKnob(TestDelegate::kPct);
  k->SetValue(0.5);
  g->OnMouseDown(100, 100, IMouseMod(true));
  g->OnMouseDrag(100, 100, 0.f, -1000.f, IMouseMod(true));  // far beyond the top
  EXPECT_DOUBLE_EQ(k->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(k->GetDragValue(), 1.0);
  g->OnMouseDrag(100, 100, 0.f, 40.f, IMouseMod(true));  // back down 40 px: 0.1 below the top
  EXPECT_NEAR(k->GetValue(), 0.9, 1e-12);
  g->OnMouseDrag(100, 100, 0.f, 5000.f, IMouseMod(true));
  EXPECT_DOUBLE_EQ(k->GetValue(), 0.0);
  g->OnMouseDrag(100, 100, 0.f, -4.f, IMouseMod(true));
  EXPECT_NEAR(k->GetValue(), 0.01, 1e-12);
  g->OnMouseUp(100, 100, IMouseMod(true));
  EXPECT_FALSE(k->GetMouseIsDown());
}

TEST_F(KnobControl, HorizontalKnobsFollowDX) {
  Knob* k = AddKnob(TestDelegate::kPct, EDirection::Horizontal, 2.0);
  k->SetValue(0.0);
  g->OnMouseDown(100, 100, IMouseMod(true));
  g->OnMouseDrag(100, 100, 50.f, -300.f, IMouseMod(true));  // dY is ignored
  EXPECT_NEAR(k->GetValue(), 0.25, 1e-12);
}

TEST_F(KnobControl, SteppedParameterIsRoundedButTheDragValueIsNot) {
  // -24...12 dB in steps of 3 (12 steps): one step is 1/12 of the range, 33.3 px at gearing 4.
  Knob* k = AddKnob(TestDelegate::kStepped);
  k->SetValue(dlg.GetParam(TestDelegate::kStepped)->ToNormalized(0.0));
  g->OnMouseDown(100, 100, IMouseMod(true));
  g->OnMouseDrag(100, 100, 0.f, -10.f, IMouseMod(true));  // 0.3 of a step: stays
  EXPECT_NEAR(dlg.GetParam(TestDelegate::kStepped)->Value(), 0.0, 1e-9);
  g->OnMouseDrag(100, 100, 0.f, -10.f, IMouseMod(true));  // 0.6 of a step: rounds up
  EXPECT_NEAR(dlg.GetParam(TestDelegate::kStepped)->Value(), 3.0, 1e-9);
  EXPECT_NEAR(k->GetValue(), 27.0 / 36.0, 1e-12);
  const double drag = k->GetDragValue();
  EXPECT_NEAR(drag, 24.0 / 36.0 + 20.0 / 400.0, 1e-12) << "kept unrounded";
  // Small moves accumulate: three 5 px drags back down (0.45 steps) undo the rounding.
  for (int i = 0; i < 3; ++i) g->OnMouseDrag(100, 100, 0.f, 5.f, IMouseMod(true));
  EXPECT_NEAR(dlg.GetParam(TestDelegate::kStepped)->Value(), 0.0, 1e-9);
  g->OnMouseUp(100, 100, IMouseMod(true));
}

struct WheelCase {
  const char* what;
  int param;
  double startReal;
  float d;
  IMouseMod mod;
  double expectedReal;
};

TEST_F(KnobControl, WheelRules) {
  const WheelCase cases[] = {
      {"one unit is 0.01", TestDelegate::kPct, 50.0, 1.f, IMouseMod(), 51.0},
      {"down", TestDelegate::kPct, 50.0, -2.f, IMouseMod(), 48.0},
      {"Shift: 0.001", TestDelegate::kPct, 50.0, 1.f, IMouseMod(false, false, true), 50.1},
      {"Command: 0.001", TestDelegate::kPct, 50.0, -1.f, IMouseMod(false, false, false, true),
       49.9},
      {"clamped at the top", TestDelegate::kPct, 99.5, 1.f, IMouseMod(), 100.0},
      {"stepped up one step", TestDelegate::kStepped, 0.0, 0.3f, IMouseMod(), 3.0},
      {"stepped down one step", TestDelegate::kStepped, 0.0, -5.f, IMouseMod(), -3.0},
      {"stepped clamped at the range", TestDelegate::kStepped, 12.0, 1.f, IMouseMod(), 12.0},
      {"stepped, zero moves nothing", TestDelegate::kStepped, 3.0, 0.f, IMouseMod(), 3.0},
  };
  for (const WheelCase& c : cases) {
    g->RemoveAllControls();
    plug::IParam* p = dlg.GetParam(c.param);
    Knob* k = AddKnob(c.param);
    k->SetValue(p->ToNormalized(c.startReal));
    g->OnMouseWheel(100, 100, c.mod, c.d);
    EXPECT_NEAR(p->FromNormalized(k->GetValue()), c.expectedReal, 1e-9) << c.what;
    EXPECT_NEAR(p->Value(), c.expectedReal, 1e-9) << c.what << ": sent to the plug-in";
  }
}

TEST_F(KnobControl, CursorIsHiddenWhileDraggingWhenConfigured) {
  Knob* k = AddKnob(TestDelegate::kPct);
  g->OnMouseDown(100, 100, IMouseMod(true));
  EXPECT_TRUE(g->IsCursorHidden());
  EXPECT_TRUE(k->GetMouseIsDown());
  g->OnMouseUp(100, 100, IMouseMod(true));
  EXPECT_FALSE(g->IsCursorHidden());

  k->SetHideCursorOnDrag(false);
  g->OnMouseDown(100, 100, IMouseMod(true));
  EXPECT_FALSE(g->IsCursorHidden());
  g->OnMouseUp(100, 100, IMouseMod(true));

  // A double-click releases the capture and brings a hidden cursor back.
  k->SetHideCursorOnDrag(true);
  g->OnMouseDown(100, 100, IMouseMod(true));
  g->OnMouseDblClick(100, 100, IMouseMod(true));
  EXPECT_FALSE(g->IsCursorHidden());
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
}

TEST_F(KnobControl, DragAndReleaseSendEveryValueInsideOneGesture) {
  AddKnob(TestDelegate::kPct);
  g->OnMouseDown(100, 100, IMouseMod(true));
  g->OnMouseDrag(100, 100, 0.f, -10.f, IMouseMod(true));
  g->OnMouseDrag(100, 100, 0.f, -10.f, IMouseMod(true));
  g->OnMouseUp(100, 100, IMouseMod(true));
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "ui 0", "ui 0", "end 0"}));
}

}  // namespace
