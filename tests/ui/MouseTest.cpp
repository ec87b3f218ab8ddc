// MouseTest.cpp: the editor's controls driven through the graphics context as the platform view
// drives them: toggle zones, double-clicks, dragging the gain display, the size menu and the
// preset bar's click zones.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "state/TovraPresets.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/PresetBar.h"
#include "ui/Toggle.h"

namespace {

using namespace uitest;

const float s = RecordedEditor::S();
const IMouseMod kLeft(true);

void Click(IGfx& g, float x, float y) {
  g.OnMouseDown(x, y, kLeft);
  g.OnMouseUp(x, y, kLeft);
}

TEST(ToggleMouse, OnlyTheLampAndSwitchZonesToggleHalfOpen) {
  // Bypass: rectangle (100, 698, 462, 838), lamp zone (105, 731, 175, 801), switch zone
  // (219, 705, 455, 831), in plate units.
  struct Case {
    const char* where;
    float x, y;  // plate units
    bool toggles;
    bool pressed;
  };
  const Case cases[] = {
      {"lamp centre", 140, 766, true, false},
      {"lamp zone left edge", 105, 766, true, false},
      {"lamp zone top edge", 140, 731, true, false},
      {"lamp zone right edge (open)", 175, 766, false, false},
      {"lamp zone bottom edge (open)", 140, 801, false, false},
      {"switch centre", 337, 768, true, true},
      {"switch zone top edge", 337, 705, true, true},
      {"switch zone right edge (open)", 455, 768, false, false},
      {"switch zone bottom edge (open)", 337, 831, false, false},
      {"between the zones", 197, 768, false, false},
      {"rectangle corner", 100, 698, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    RecordedEditor ed;
    IGfx& g = ed.G();
    auto& bypass = ed.Control<TovraUI::Toggle>(kToggleBypass);
    const float x = c.x * s, y = c.y * s;
    ASSERT_EQ(g.GetMouseControl(x, y), &bypass);
    g.SetAllControlsClean();
    g.OnMouseDown(x, y, kLeft);
    EXPECT_EQ(ed.plugin->GetParam(TovraSat::kBypass)->Bool(), c.toggles);
    EXPECT_EQ(bypass.IsPressed(), c.pressed);
    EXPECT_EQ(bypass.IsDirty(), c.toggles) << "nothing drawn for a miss";
    g.OnMouseUp(x, y, kLeft);
    EXPECT_FALSE(bypass.IsPressed());
  }
}

TEST(ToggleMouse, DoubleClickTogglesThenReturnsToTheDefault) {
  RecordedEditor ed;
  IGfx& g = ed.G();
  struct Case {
    int control, param;
    bool afterFirst;
  };
  for (const Case& c :
       {Case{kToggle48V, TovraSat::k48V, false}, Case{kToggleBypass, TovraSat::kBypass, true}}) {
    const IRECT sw = ed.Control<TovraUI::Toggle>(c.control).GetSwitchZone();
    Click(g, sw.MW(), sw.MH());
    EXPECT_EQ(ed.plugin->GetParam(c.param)->Bool(), c.afterFirst);
    g.OnMouseDblClick(sw.MW(), sw.MH(), kLeft);  // the second press of a fast pair
    EXPECT_EQ(ed.plugin->GetParam(c.param)->Bool(), !c.afterFirst) << "back to the default";
  }
}

TEST(GainDisplayMouse, DraggingUpSixHeightsGoesFromZeroToFull) {
  RecordedEditor ed;
  IGfx& g = ed.G();
  ed.SetParam(TovraSat::kGain, 0.0);
  const IRECT r = ed.Control(kGainDisplay).GetRECT();
  ASSERT_EQ(g.GetMouseControl(r.MW(), r.MH()), &ed.Control(kGainDisplay));
  g.OnMouseDown(r.MW(), r.MH(), kLeft);
  for (int i = 0; i < 3; ++i) g.OnMouseDrag(r.MW(), r.MH(), 0.f, -2.f * r.H(), kLeft);
  EXPECT_NEAR(ed.plugin->GetParam(TovraSat::kGain)->Value(), 100.0, 1e-9);
  g.OnMouseDrag(r.MW(), r.MH(), 0.f, 3.f * r.H(), kLeft);  // half-way back down
  g.OnMouseUp(r.MW(), r.MH(), kLeft);
  EXPECT_NEAR(ed.plugin->GetParam(TovraSat::kGain)->Value(), 50.0, 1e-5);  // float drags
  EXPECT_NEAR(ed.Control(kGainKnob).GetValue(), 0.5, 1e-7) << "the knob follows";
}

TEST(SizeMenu, ChecksTheCurrentScaleAloneAndResizes) {
  for (int current = 0; current < 4; ++current) {
    SCOPED_TRACE(testing::Message() << "scale index " << current);
    RecordedEditor ed(1.f + 0.25f * float(current));
    IGfx& g = ed.G();
    const IRECT r = ed.Control(kSizeButton).GetRECT();
    Click(g, r.MW(), r.MH());
    IPopupMenu* menu = g.GetPendingMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->NItems(), 4);
    int checked = 0;
    for (int i = 0; i < 4; ++i) checked += menu->IsItemChecked(i) ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(menu->IsItemChecked(current));
    EXPECT_STREQ(menu->GetItemText(current), (std::to_string(100 + 25 * current) + "%").c_str());

    const int next = (current + 1) % 4;
    g.CompletePopupMenu(next);
    EXPECT_EQ(ed.plugin->mEditorScale, 1.f + 0.25f * float(next));
    EXPECT_EQ(g.GetDrawScale(), ed.plugin->mEditorScale);
    EXPECT_EQ(g.Width(), 222);
    EXPECT_EQ(g.NControls(), kNumControls) << "a resize lays out nothing new";
  }
  // Window sizes: the logical size times the scale, fraction dropped.
  const std::pair<int, int> sizes[] = {{222, 666}, {277, 832}, {333, 999}, {388, 1165}};
  RecordedEditor ed;
  IGfx& g = ed.G();
  const IRECT r = ed.Control(kSizeButton).GetRECT();
  const IRECT knob = ed.Control(kGainKnob).GetRECT();
  for (int i : {1, 2, 3, 0}) {
    Click(g, r.MW(), r.MH());
    g.CompletePopupMenu(i);
    EXPECT_EQ(g.WindowWidth(), sizes[i].first);
    EXPECT_EQ(g.WindowHeight(), sizes[i].second);
    EXPECT_EQ(ed.Control(kGainKnob).GetRECT(), knob) << "logical positions never move";
  }
}

TEST(SizeMenu, SameScaleOrDismissedDoesNothing) {
  RecordedEditor ed(1.5f);
  IGfx& g = ed.G();
  const IRECT r = ed.Control(kSizeButton).GetRECT();
  for (int choice : {2, -1}) {
    Click(g, r.MW(), r.MH());
    g.SetAllControlsClean();
    g.CompletePopupMenu(choice);
    std::vector<IRECT> dirty;
    EXPECT_FALSE(g.IsDirty(dirty)) << "no control redrawn for choice " << choice;
    EXPECT_EQ(ed.plugin->mEditorScale, 1.5f);
    EXPECT_EQ(g.GetDrawScale(), 1.5f);
  }
}

TEST(PlateMouse, BarePlateTakesNoClick) {
  RecordedEditor ed;
  // The plate ignores the mouse; so do the meter and the scales drawn over it.
  EXPECT_EQ(ed.G().GetMouseControl(20 * s, 1000 * s), nullptr);
  EXPECT_EQ(ed.G().GetMouseControl(139 * s, 292 * s), nullptr) << "the meter";
  EXPECT_EQ(ed.G().GetMouseControl(100 * s, 1366 * s), nullptr) << "the gain ticks";
  EXPECT_EQ(ed.G().GetMouseControl(332 * s, 1366 * s), &ed.Control(kGainKnob));
}

class PresetBarMouse : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tovrapresets::Save("A", {10.0, -1.0, true}));
    ASSERT_TRUE(tovrapresets::Save("B", {20.0, -2.0, false}));
  }
  PrivateDataHome presets;
};

TEST_F(PresetBarMouse, ClickZonesAreSeventeenPercentWideExclusive) {
  RecordedEditor ed;
  IGfx& g = ed.G();
  const IRECT r = ed.Control(kPresetBar).GetRECT();
  const float zone = 0.17f * r.W();
  const float y = r.MH();
  struct Case {
    float x;
    const char* name;  // after the click; nullptr: the menu opened instead
  };
  const Case cases[] = {
      {std::nextafter(r.L + zone, -1e9f), "B"},  // left arrow: previous, wraps to the last
      {r.L + zone, nullptr},                     // the edge belongs to the middle
      {r.MW(), nullptr},
      {r.R - zone, nullptr},
      {std::nextafter(r.R - zone, 1e9f), "A"},  // right arrow: next
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "x - L = " << c.x - r.L);
    ed.plugin->mPresetName = "Default";
    Click(g, c.x, y);
    if (c.name) {
      EXPECT_EQ(g.GetPendingMenu(), nullptr);
      EXPECT_EQ(ed.plugin->mPresetName, c.name);
    } else {
      EXPECT_EQ(g.GetPendingMenu(), &ed.Control<TovraUI::PresetBar>(kPresetBar).GetMenu());
      EXPECT_EQ(g.GetPendingMenuAnchor(), IRECT(c.x, y, c.x, y));
      EXPECT_EQ(ed.plugin->mPresetName, "Default");
      g.CompletePopupMenu(-1);
    }
  }
}

TEST_F(PresetBarMouse, AFastDoubleClickOnAnArrowStepsOnce) {
  RecordedEditor ed;
  IGfx& g = ed.G();
  const IRECT r = ed.Control(kPresetBar).GetRECT();
  Click(g, r.R - 5, r.MH());
  g.OnMouseDblClick(r.R - 5, r.MH(), kLeft);
  EXPECT_EQ(ed.plugin->mPresetName, "A");
}

}  // namespace
