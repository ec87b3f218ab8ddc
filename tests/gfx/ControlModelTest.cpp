// The control model: attaching, hit tests, mouse dispatch and gestures, values, redraw, resize,
// menus.
#include <gtest/gtest.h>

#include <memory>

#include "gfx/platform/OffscreenTarget.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

class ControlModel : public ::testing::Test {
 protected:
  ControlModel() : g(MakeGfx(dlg, 200, 100, 60, 1.f)) {}

  ScriptControl* Add(const IRECT& r, int param = IControl::kNoParameter,
                     int tag = IControl::kNoTag) {
    return static_cast<ScriptControl*>(g->AttachControl(new ScriptControl(r, param), tag));
  }

  TestDelegate dlg;
  std::unique_ptr<IGfx> g;
};

TEST_F(ControlModel, AttachNotifiesInOrderAndADuplicateTagIsRefused) {
  struct Recorder : ScriptControl {
    using ScriptControl::ScriptControl;
    void OnInit() override { order += "init "; }
    void OnResize() override { order += "resize "; }
    void OnRescale() override { order += "rescale "; }
    void OnAttached() override { order += std::string("attached(") + GetGroup() + ")"; }
    std::string order;
  };
  auto* first = new Recorder(IRECT(0, 0, 10, 10));
  ASSERT_EQ(g->AttachControl(first, 7, "grp"), first);
  EXPECT_EQ(first->order, "init resize rescale attached(grp)");
  EXPECT_EQ(first->GetUI(), g.get());
  EXPECT_EQ(first->GetDelegate(), &dlg);
  EXPECT_EQ(first->GetTag(), 7);

  auto second = std::make_unique<Recorder>(IRECT(0, 0, 10, 10));
  EXPECT_EQ(g->AttachControl(second.get(), 7), nullptr);
  EXPECT_EQ(second->order, "") << "a refused control is not notified";
  EXPECT_EQ(g->GetControlWithTag(7), first);
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_EQ(g->GetControlWithTag(8), nullptr);
  // Untagged controls (-1) never collide.
  EXPECT_NE(Add(IRECT()), nullptr);
  EXPECT_NE(Add(IRECT()), nullptr);
  EXPECT_EQ(g->AttachControl(nullptr), nullptr);
  EXPECT_EQ(g->AttachControl(first, 9), nullptr) << "attached twice would be deleted twice";
  EXPECT_EQ(g->GetControlWithTag(9), nullptr);
}

struct HitCase {
  const char* what;
  bool hideTop, ignoreTop, disableTop, topTakesEventsWhenDisabled;
  int expected;  // 0 bottom, 1 top, -1 none
};

TEST_F(ControlModel, HitTestFindsTheLastAttachedControlThatTakesEvents) {
  const HitCase cases[] = {
      {"later control wins", false, false, false, false, 1},
      {"hidden passes the event on", true, false, false, false, 0},
      {"ignore-mouse passes the event on", false, true, false, false, 0},
      {"disabled passes the event on", false, false, true, false, 0},
      {"disabled but asking for events", false, false, true, true, 1},
  };
  for (const HitCase& c : cases) {
    g->RemoveAllControls();
    ScriptControl* bottom = Add(IRECT(0, 0, 100, 100));
    ScriptControl* top = Add(IRECT(20, 20, 60, 60));
    top->Hide(c.hideTop);
    top->SetIgnoreMouse(c.ignoreTop);
    top->SetDisabled(c.disableTop);
    top->SetMouseEventsWhenDisabled(c.topTakesEventsWhenDisabled);
    g->OnMouseDown(30, 30, IMouseMod(true));
    g->OnMouseUp(30, 30, IMouseMod(true));
    const int got = !top->events.empty() ? 1 : !bottom->events.empty() ? 0 : -1;
    EXPECT_EQ(got, c.expected) << c.what;
  }
  g->RemoveAllControls();
  Add(IRECT(0, 0, 10, 10));
  EXPECT_EQ(g->GetMouseControl(10, 5), nullptr) << "the right edge is outside";
  EXPECT_NE(g->GetMouseControl(0, 0), nullptr);
}

TEST_F(ControlModel, PressDragReleaseGoesToTheCapturingControlWithGestures) {
  ScriptControl* c = Add(IRECT(0, 0, 50, 50), TestDelegate::kPct);
  ScriptControl* other = Add(IRECT(60, 0, 100, 50));
  g->OnMouseDown(10, 10, IMouseMod(true));
  g->OnMouseDrag(80, 10, 70, 0, IMouseMod(true));  // over the other control: still ours
  g->OnMouseUp(80, 10, IMouseMod(true));
  EXPECT_EQ(c->events, (std::vector<std::string>{"down", "drag 70,0", "up"}));
  EXPECT_TRUE(other->events.empty());
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "end 0"}));
  EXPECT_EQ(g->GetCapturedControl(), nullptr);
  g->OnMouseDrag(10, 10, 1, 1, IMouseMod(true));  // no capture: nobody gets it
  EXPECT_EQ(c->events.size(), 3u);
}

TEST_F(ControlModel, EachPointerHasItsOwnCapture) {
  ScriptControl* a = Add(IRECT(0, 0, 50, 50));
  ScriptControl* b = Add(IRECT(60, 0, 100, 50));
  IMouseMod t1(true, false, false, false, false, 1), t2(true, false, false, false, false, 2);
  g->OnMouseDown({{10, 10, 0, 0, t1}, {70, 10, 0, 0, t2}});
  g->OnMouseDrag({{12, 10, 2, 0, t1}, {75, 10, 5, 0, t2}});
  g->OnMouseUp({{12, 10, 0, 0, t2}});
  g->OnMouseDrag({{14, 10, 2, 0, t1}});
  EXPECT_EQ(a->events, (std::vector<std::string>{"down", "drag 2,0", "drag 2,0"}));
  EXPECT_EQ(b->events, (std::vector<std::string>{"down", "drag 5,0", "up"}));
}

TEST_F(ControlModel, RightClickOnABoundControlOnlyOffersTheContextMenu) {
  ScriptControl* bound = Add(IRECT(0, 0, 50, 50), TestDelegate::kSwitchA);
  g->OnMouseDown(10, 10, IMouseMod(false, true));
  g->OnMouseUp(10, 10, IMouseMod(false, true));
  EXPECT_TRUE(bound->events.empty());
  EXPECT_TRUE(dlg.log.empty()) << "no gesture is begun or ended";
  EXPECT_EQ(g->GetPendingMenu(), nullptr) << "a control without items shows no menu";
  EXPECT_TRUE(dlg.GetParam(TestDelegate::kSwitchA)->Bool());

  bound->contextItems = {"Learn", "Reset"};
  g->OnMouseDown(10, 10, IMouseMod(false, true));
  ASSERT_TRUE(g->IsContextMenuPending());
  EXPECT_EQ(g->GetPendingMenu()->NItems(), 2);
  EXPECT_EQ(g->GetPendingMenuAnchor(), IRECT(10, 10, 10, 10));
  g->CompletePopupMenu(1);
  EXPECT_EQ(bound->events, (std::vector<std::string>{"context 1"}));
  EXPECT_TRUE(dlg.log.empty());

  // An unbound control gets a right-click as an ordinary press.
  ScriptControl* unbound = Add(IRECT(60, 0, 100, 50));
  g->OnMouseDown(70, 10, IMouseMod(false, true));
  EXPECT_EQ(unbound->events, (std::vector<std::string>{"down"}));
}

TEST_F(ControlModel, DoubleClickSetsTheDefaultOrActsAsAPress) {
  ScriptControl* c = Add(IRECT(0, 0, 50, 50), TestDelegate::kPct);
  c->SetValue(0.9);
  EXPECT_TRUE(g->OnMouseDblClick(10, 10, IMouseMod(true)));
  EXPECT_EQ(c->events, (std::vector<std::string>{"dbl"}));
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.24);
  ASSERT_EQ(dlg.uiValues.size(), 1u);
  EXPECT_DOUBLE_EQ(dlg.uiValues[0].second, 0.24);
  EXPECT_DOUBLE_EQ(dlg.GetParam(TestDelegate::kPct)->Value(), 24.0);
  g->OnMouseUp(10, 10, IMouseMod(true));
  EXPECT_EQ(c->events.size(), 1u) << "the capture is released: the release goes nowhere";

  c->events.clear();
  dlg.log.clear();
  c->SetMouseDblAsSingleClick(true);
  g->OnMouseDblClick(10, 10, IMouseMod(true));
  g->OnMouseUp(10, 10, IMouseMod(true));
  EXPECT_EQ(c->events, (std::vector<std::string>{"down", "up"}));
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "end 0"})) << "gestures stay paired";
  EXPECT_FALSE(g->OnMouseDblClick(150, 80, IMouseMod(true)));
}

TEST_F(ControlModel, WheelGoesToTheControlUnderThePoint) {
  ScriptControl* a = Add(IRECT(0, 0, 50, 50));
  ScriptControl* b = Add(IRECT(50, 0, 100, 50));
  g->OnMouseWheel(55, 5, IMouseMod(), 2.f);
  EXPECT_TRUE(a->events.empty());
  ASSERT_EQ(b->events.size(), 1u);
  EXPECT_EQ(b->events[0].rfind("wheel 2", 0), 0u);
}

TEST_F(ControlModel, MouseOverSkipsTheBackgroundAndTooltipsFollowIt) {
  ScriptControl* background = Add(IRECT(0, 0, 200, 100));
  ScriptControl* knob = Add(IRECT(10, 10, 50, 50));
  ScriptControl* meter = Add(IRECT(60, 10, 90, 50));
  background->SetTooltip("plate");
  knob->SetTooltip("Gain");
  meter->SetTooltip("meter");
  meter->SetIgnoreMouse(true);

  EXPECT_FALSE(g->OnMouseOver(20, 20, IMouseMod()))
      << "mouse-over is off until tooltips are enabled";
  g->EnableTooltips(true);
  EXPECT_TRUE(g->MouseOverEnabled());

  EXPECT_FALSE(g->OnMouseOver(150, 80, IMouseMod()));
  EXPECT_TRUE(background->events.empty()) << "the background never receives mouse-over";
  EXPECT_STREQ(g->GetTooltipForCurrentMouseOver(), "");

  EXPECT_TRUE(g->OnMouseOver(20, 20, IMouseMod()));
  EXPECT_TRUE(g->OnMouseOver(21, 20, IMouseMod()));
  EXPECT_EQ(knob->events, (std::vector<std::string>{"over", "over"}));
  EXPECT_TRUE(knob->GetMouseIsOver());
  EXPECT_STREQ(g->GetTooltipForCurrentMouseOver(), "Gain");

  EXPECT_FALSE(g->OnMouseOver(70, 20, IMouseMod())) << "an ignoring control shows no tooltip";
  EXPECT_EQ(knob->events.back(), "out");
  EXPECT_FALSE(knob->GetMouseIsOver());
  EXPECT_TRUE(meter->events.empty());
  EXPECT_STREQ(g->GetTooltipForCurrentMouseOver(), "");
}

TEST_F(ControlModel, SetDirtyClampsSendsUpdatesPeersAndRunsTheAction) {
  ScriptControl* a = Add(IRECT(0, 0, 50, 50), TestDelegate::kPct);
  ScriptControl* peer = Add(IRECT(60, 0, 100, 50), TestDelegate::kPct);
  ScriptControl* unrelated = Add(IRECT(0, 60, 50, 100), TestDelegate::kStepped);
  int actions = 0;
  a->SetActionFunction([&](IControl* c) {
    ++actions;
    EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  });
  g->SetAllControlsClean();
  a->SetValue(1.7);
  EXPECT_DOUBLE_EQ(a->GetValue(), 1.7) << "SetValue stores unclamped";
  a->SetDirty(true);
  EXPECT_DOUBLE_EQ(a->GetValue(), 1.0);
  EXPECT_EQ(actions, 1);
  ASSERT_EQ(dlg.uiValues.size(), 1u);
  EXPECT_EQ(dlg.uiValues[0], std::make_pair(0, 1.0));
  EXPECT_DOUBLE_EQ(peer->GetValue(), 1.0);
  EXPECT_TRUE(peer->IsDirty());
  EXPECT_FALSE(unrelated->IsDirty());

  a->SetValue(-3.0);
  a->SetDirty(false);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.0);
  EXPECT_EQ(actions, 1) << "no action without triggerAction";
  EXPECT_EQ(dlg.uiValues.size(), 1u);
}

TEST_F(ControlModel, MultiValueControlDirtiesOnlyTheGivenValue) {
  auto* c = static_cast<ScriptControl*>(g->AttachControl(
      new ScriptControl(IRECT(0, 0, 50, 50), {TestDelegate::kSwitchA, TestDelegate::kSwitchB})));
  ASSERT_EQ(c->NVals(), 2);
  EXPECT_EQ(c->LinkedToParam(TestDelegate::kSwitchB), 1);
  EXPECT_EQ(c->LinkedToParam(TestDelegate::kPct), -1);
  c->SetValue(2.0, 0);
  c->SetValue(3.0, 1);
  c->SetDirty(true, 1);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 2.0) << "value 0 untouched";
  EXPECT_DOUBLE_EQ(c->GetValue(1), 1.0);
  EXPECT_EQ(dlg.uiValues, (std::vector<std::pair<int, double>>{{TestDelegate::kSwitchB, 1.0}}));
  c->SetDirty(true);  // -1: all of them
  EXPECT_DOUBLE_EQ(c->GetValue(0), 1.0);
  EXPECT_EQ(dlg.uiValues.size(), 3u);
  c->SetValue(0.5, 7);  // out of range: ignored
  EXPECT_DOUBLE_EQ(c->GetValue(7), 0.0);
}

TEST_F(ControlModel, DirtyRegionsAreGrownAndKeptInsideTheEditor) {
  ScriptControl* inner = Add(IRECT(10, 10, 20, 20));
  ScriptControl* edge = Add(IRECT(190, 0, 200, 10));
  ScriptControl* hidden = Add(IRECT(50, 50, 60, 60));
  hidden->Hide(true);
  std::vector<IRECT> rects;
  ASSERT_TRUE(g->IsDirty(rects)) << "controls start dirty";
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0], IRECT(9.25f, 9.25f, 20.75f, 20.75f));
  EXPECT_EQ(rects[1], IRECT(189.25f, 0.f, 200.f, 10.75f));

  g->Draw(rects);
  EXPECT_FALSE(g->IsDirty(rects)) << "drawing marks every control clean";
  EXPECT_EQ(inner->draws, 1);
  EXPECT_EQ(edge->draws, 1);
  EXPECT_EQ(hidden->draws, 0) << "hidden controls are not drawn";

  edge->SetDirty(false);
  EXPECT_TRUE(g->DrawFrame());
  EXPECT_EQ(edge->draws, 2);
  EXPECT_EQ(inner->draws, 1) << "a control away from the dirty area is not drawn";
  EXPECT_FALSE(g->DrawFrame());
}

TEST_F(ControlModel, ResizeConstrainsSkipsTheSameSizeAndLaysOutWhenAsked) {
  ScriptControl* c = Add(IRECT(0, 0, 10, 10));
  int layouts = 0;
  dlg.mLayoutFunc = [&](IGfx* graphics) {
    EXPECT_EQ(graphics, g.get());
    ++layouts;
  };
  g->SetLayoutOnResize(true);
  g->DrawFrame();
  const int resizes = c->resizes;

  g->Resize(200, 100, 1.f, true);
  EXPECT_EQ(c->resizes, resizes) << "same size and scale: nothing happens";
  EXPECT_FALSE(c->IsDirty());
  EXPECT_EQ(layouts, 0);

  g->HideMouseCursor(true);
  g->Resize(200, 100, 1.5f, true);
  EXPECT_EQ(c->resizes, resizes + 1);
  EXPECT_TRUE(c->IsDirty());
  EXPECT_EQ(layouts, 1);
  EXPECT_FALSE(g->IsCursorHidden());
  EXPECT_EQ(g->WindowWidth(), 300);
  EXPECT_EQ(g->WindowHeight(), 150);

  struct SizeCase {
    int w, h;
    float scale;
    int ew, eh;
    float escale;
  };
  const SizeCase cases[] = {
      {1000, 100, 1.f, 400, 100, 1.f},  // clamped by the plug-in's limits
      {10, 10, 1.f, 50, 50, 1.f},       {222, 666, 9.f, 222, 400, 4.f},  // scale clamped to 4
      {222, 100, 0.1f, 222, 100, 0.5f}, {222, 100, 1.75f, 222, 100, 1.75f},
  };
  for (const SizeCase& s : cases) {
    g->Resize(s.w, s.h, s.scale, false);
    EXPECT_EQ(g->Width(), s.ew);
    EXPECT_EQ(g->Height(), s.eh);
    EXPECT_FLOAT_EQ(g->GetDrawScale(), s.escale);
  }
  EXPECT_EQ(g->WindowWidth(), 388) << "222 x 1.75, fraction dropped";
  EXPECT_EQ(g->WindowHeight(), 175);
}

TEST_F(ControlModel, PopupMenuCompletionRunsTheFunctionThenTheControlThenEndsTheGesture) {
  ScriptControl* c = Add(IRECT(0, 0, 50, 50), TestDelegate::kSwitchB);
  IPopupMenu menu;
  menu.AddItem("off");
  menu.AddItem("on");
  auto* sub = new IPopupMenu();
  sub->AddItem("deep");
  menu.AddItem("more", sub);
  std::vector<std::string> order;
  menu.SetFunction(
      [&](IPopupMenu* m) { order.push_back("fn " + std::to_string(m->GetChosenItemIdx())); });
  sub->SetFunction(
      [&](IPopupMenu* m) { order.push_back("sub " + std::to_string(m->GetChosenItemIdx())); });

  // Opened from a press, as a size or preset menu is: the gesture ends with the menu.
  struct Opener : ScriptControl {
    using ScriptControl::ScriptControl;
    IPopupMenu* menu = nullptr;
    void OnMouseDown(float x, float y, const IMouseMod&) override {
      GetUI()->CreatePopupMenu(*this, *menu, IRECT(x, y, x, y));
    }
  };
  g->RemoveAllControls();
  auto* opener = static_cast<Opener*>(
      g->AttachControl(new Opener(IRECT(0, 0, 50, 50), TestDelegate::kSwitchB)));
  opener->menu = &menu;
  g->OnMouseDown(5, 6, IMouseMod(true));
  g->OnMouseUp(5, 6, IMouseMod(true));
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 3"})) << "the release belongs to the menu";
  ASSERT_EQ(g->GetPendingMenu(), &menu);
  EXPECT_FALSE(g->IsContextMenuPending());
  g->CompletePopupMenu(1);
  EXPECT_EQ(order, (std::vector<std::string>{"fn 1"}));
  EXPECT_EQ(opener->events, (std::vector<std::string>{"menu 1"}));
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 3", "ui 3", "end 3"}));
  EXPECT_TRUE(dlg.GetParam(TestDelegate::kSwitchB)->Bool())
      << "the default selection sets the parameter";
  EXPECT_EQ(g->GetPendingMenu(), nullptr);
  g->CompletePopupMenu(0);  // nothing pending: ignored
  EXPECT_EQ(order.size(), 1u);

  // Dismissed: the function sees -1, the control gets null.
  g->CreatePopupMenu(*opener, menu, IRECT());
  g->CompletePopupMenu(-1);
  EXPECT_EQ(order.back(), "fn -1");
  EXPECT_EQ(opener->events.back(), "menu none");

  // From the submenu: its own function runs.
  g->CreatePopupMenu(*opener, menu, IRECT());
  g->CompletePopupMenu(sub, 0);
  EXPECT_EQ(order.back(), "sub 0");
  EXPECT_EQ(opener->events.back(), "menu 0");

  // A borrowed submenu that leads back to its parent does not hang the look-up.
  sub->AddItem("back", &menu, -1, false);
  g->CreatePopupMenu(*opener, menu, IRECT());
  g->CompletePopupMenu(sub, 1);
  EXPECT_EQ(order.back(), "sub 1");

  // A menu the view was not showing is refused.
  IPopupMenu stranger;
  stranger.AddItem("z");
  g->CreatePopupMenu(*opener, menu, IRECT());
  g->CompletePopupMenu(&stranger, 0);
  EXPECT_EQ(stranger.GetChosenItemIdx(), -1);
  EXPECT_EQ(g->GetPendingMenu(), &menu);
  (void)c;
}

TEST_F(ControlModel, TextEntryIsPendingUntilConfirmed) {
  ScriptControl* c = Add(IRECT(0, 0, 50, 50));
  g->SetAllControlsClean();
  IText style(20.f);
  g->CreateTextEntry(*c, style, IRECT(1, 2, 3, 4), "My Preset", 0);
  EXPECT_TRUE(c->IsDirty());
  ASSERT_TRUE(g->IsTextEntryPending());
  EXPECT_EQ(g->GetTextEntryString(), "My Preset");
  EXPECT_EQ(g->GetTextEntryBounds(), IRECT(1, 2, 3, 4));
  g->CompleteTextEntry("Vox");
  EXPECT_EQ(c->events, (std::vector<std::string>{"text Vox 0"}));
  EXPECT_FALSE(g->IsTextEntryPending());
  g->CompleteTextEntry("again");  // nothing pending
  EXPECT_EQ(c->events.size(), 1u);
  g->CreateTextEntry(*c, style, IRECT(), nullptr, 2);
  g->CompleteTextEntry(nullptr);
  EXPECT_EQ(c->events.back(), "text  2");
}

TEST_F(ControlModel, ValuesFromTheDelegateRedrawWithoutAction) {
  ScriptControl* c = Add(IRECT(0, 0, 50, 50), TestDelegate::kPct);
  int actions = 0;
  c->SetActionFunction([&](IControl*) { ++actions; });
  g->SetAllControlsClean();
  c->SetValueFromDelegate(0.5);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.5);
  EXPECT_TRUE(c->IsDirty());
  EXPECT_EQ(actions, 0);
  EXPECT_TRUE(dlg.uiValues.empty());
}

TEST_F(ControlModel, EachFrameGivesIdleCallsThenDrawsWhatTheyDirtied) {
  struct Animated : ScriptControl {
    using ScriptControl::ScriptControl;
    void OnGUIIdle() override {
      if (++idles == 2) SetDirty(false);  // an animation step on the second frame
    }
    int idles = 0;
  };
  auto* c = static_cast<Animated*>(g->AttachControl(new Animated(IRECT(0, 0, 10, 10))));
  OffscreenTarget view(*g);
  EXPECT_TRUE(view.Render());
  EXPECT_TRUE(view.Render());
  EXPECT_FALSE(view.Render());
  EXPECT_EQ(c->idles, 3);
  EXPECT_EQ(c->draws, 2);
}

}  // namespace
