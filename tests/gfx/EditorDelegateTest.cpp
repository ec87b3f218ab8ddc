// IGfxEditorDelegate: open and close with the saved size and scale, values pushed into controls.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/platform/OffscreenTarget.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

class GfxEditorDelegate : public ::testing::Test {
 protected:
  GfxEditorDelegate() {
    dlg.mLayoutFunc = [this](IGfx* g) {
      ++layouts;
      if (g->NControls() > 0) return;  // a second layout refits, it does not add
      g->AttachControl(new ScriptControl(g->GetBounds()));
      g->AttachControl(new ScriptControl(IRECT(0, 0, 10, 10), TestDelegate::kPct), 0);
      g->AttachControl(
          new ScriptControl(IRECT(10, 0, 20, 10), {TestDelegate::kSwitchB, TestDelegate::kPct}), 1);
    };
  }
  TestDelegate dlg;
  int layouts = 0;
};

TEST_F(GfxEditorDelegate, OpeningMakesLaysOutAndPushesEveryParameter) {
  dlg.GetParam(TestDelegate::kPct)->Set(75.0);
  void* view = dlg.OpenWindow(nullptr);
  ASSERT_NE(view, nullptr);
  IGfx* g = dlg.GetUI();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->GetWindow(), view);
  EXPECT_EQ(layouts, 1);
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(0)->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(1)->GetValue(1), 0.75)
      << "second value slot linked to the same parameter";
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(1)->GetValue(0), 0.0);
  // OnUIOpen's pushes each end in OnParamChangeUI with the delegate source.
  ASSERT_EQ(dlg.changes.size(), 4u);
  for (const auto& [idx, source] : dlg.changes) EXPECT_EQ(source, plug::kDelegate) << idx;
}

TEST_F(GfxEditorDelegate, ValuesFromTheDelegateReachEveryLinkedControl) {
  dlg.OpenWindow(nullptr);
  IGfx* g = dlg.GetUI();
  g->SetAllControlsClean();
  dlg.SendParameterValueFromDelegate(TestDelegate::kPct, 25.0, false);  // real value
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(0)->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(1)->GetValue(1), 0.25);
  EXPECT_TRUE(g->GetControlWithTag(0)->IsDirty());
  EXPECT_FALSE(g->GetControl(0)->IsDirty()) << "the unbound background is left alone";
  dlg.SendParameterValueFromDelegate(TestDelegate::kSwitchB, 1.0, true);
  EXPECT_DOUBLE_EQ(g->GetControlWithTag(1)->GetValue(0), 1.0);
  EXPECT_TRUE(dlg.uiValues.empty()) << "nothing goes back to the host";

  dlg.changes.clear();
  dlg.SendParameterValueFromDelegate(99, 1.0, true);  // unknown parameter: ignored
  EXPECT_TRUE(dlg.changes.empty());
  dlg.CloseWindow();
  dlg.SendParameterValueFromDelegate(TestDelegate::kPct, 0.5, true);  // closed: only the hook
  ASSERT_EQ(dlg.changes.size(), 1u);
  EXPECT_EQ(dlg.changes[0], std::make_pair(int(TestDelegate::kPct), plug::kDelegate));
}

TEST_F(GfxEditorDelegate, ClosingAndReopeningRestoresSizeAndScale) {
  dlg.OpenWindow(nullptr);
  dlg.GetUI()->Resize(222, 300, 1.5f, true);
  dlg.CloseWindow();
  EXPECT_EQ(dlg.GetUI(), nullptr);
  EXPECT_EQ(dlg.log.back(), "close");
  EXPECT_EQ(dlg.GetSavedWidth(), 222);
  EXPECT_EQ(dlg.GetSavedHeight(), 300);
  EXPECT_FLOAT_EQ(dlg.GetSavedScale(), 1.5f);

  dlg.CloseWindow();  // already closed: nothing happens
  EXPECT_EQ(std::count(dlg.log.begin(), dlg.log.end(), "close"), 1);

  dlg.OpenWindow(nullptr);
  ASSERT_NE(dlg.GetUI(), nullptr);
  EXPECT_EQ(dlg.GetUI()->Width(), 222);
  EXPECT_EQ(dlg.GetUI()->Height(), 300);
  EXPECT_FLOAT_EQ(dlg.GetUI()->GetDrawScale(), 1.5f);
  EXPECT_EQ(dlg.GetUI()->NControls(), 3) << "a fresh context, laid out once";
  OffscreenTarget view(*dlg.GetUI());
  view.Render();
  EXPECT_EQ(view.Capture().Width(), 333);
  EXPECT_EQ(view.Capture().Height(), 450);
}

TEST_F(GfxEditorDelegate, ClosingDuringADragEndsTheGesture) {
  dlg.OpenWindow(nullptr);
  dlg.GetUI()->OnMouseDown(5, 5, IMouseMod(true));  // the control bound to kPct
  dlg.CloseWindow();
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "close", "end 0"}));
}

TEST_F(GfxEditorDelegate, CloseDuringCloseIsIgnored) {
  struct Reentrant : TestDelegate {
    void OnUIClose() override {
      ++closes;
      CloseWindow();  // a host that closes again from inside the close
    }
    int closes = 0;
  } reentrant;
  reentrant.OpenWindow(nullptr);
  reentrant.CloseWindow();
  EXPECT_EQ(reentrant.closes, 1);
  EXPECT_EQ(reentrant.GetUI(), nullptr);
}

TEST_F(GfxEditorDelegate, NoMakeGraphicsFunctionMeansNoEditor) {
  dlg.mMakeGraphicsFunc = nullptr;
  EXPECT_EQ(dlg.CreateGraphics(), nullptr);
  EXPECT_EQ(dlg.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(dlg.GetUI(), nullptr);
  EXPECT_EQ(layouts, 0);
  dlg.CloseWindow();
  EXPECT_TRUE(dlg.log.empty()) << "nothing to close";
}

}  // namespace
