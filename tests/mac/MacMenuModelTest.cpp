// Popup menus laid out for AppKit: levels, flags, choice numbers and what a choice completes.
#include "gfx/platform/mac/MacMenuModel.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;
using Item = IPopupMenu::Item;

// The shape of the preset bar's menu: presets (one checked), a separator, actions, a submenu.
struct PresetMenu {
  PresetMenu() {
    root.AddItem("Default");
    root.AddItem("Warm", -1, Item::kChecked);
    root.AddSeparator();
    root.AddItem("Presets", -1, Item::kTitle);
    root.AddItem("Save as new preset...");
    root.AddItem("Overwrite", -1, Item::kDisabled);
    remove.AddItem("Warm");
    remove.AddItem("Bright");
    root.AddItem("Delete", &remove, -1, false);
  }
  IPopupMenu root;
  IPopupMenu remove;
};

TEST(MacMenuModel, LevelsCarryTitlesChecksSeparatorsAndChoices) {
  PresetMenu m;
  const MacMenuModel model(m.root);
  ASSERT_EQ(model.Levels().size(), 2u);
  const auto& top = model.Levels()[0].entries;
  ASSERT_EQ(top.size(), 7u);
  EXPECT_EQ(model.Levels()[0].menu, &m.root);
  EXPECT_EQ(model.Levels()[1].menu, &m.remove);

  struct Expect {
    const char* title;
    bool separator, enabled, checked;
    int submenu;
    bool choosable;
  };
  const Expect expected[] = {
      {"Default", false, true, false, -1, true},
      {"Warm", false, true, true, -1, true},
      {"", true, false, false, -1, false},
      {"Presets", false, false, false, -1, false},
      {"Save as new preset...", false, true, false, -1, true},
      {"Overwrite", false, false, false, -1, false},
      {"Delete", false, true, false, 1, false},
  };
  for (std::size_t i = 0; i < top.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(top[i].title, expected[i].title);
    EXPECT_EQ(top[i].separator, expected[i].separator);
    EXPECT_EQ(top[i].enabled, expected[i].enabled);
    EXPECT_EQ(top[i].checked, expected[i].checked);
    EXPECT_EQ(top[i].submenuLevel, expected[i].submenu);
    EXPECT_EQ(top[i].choice >= 0, expected[i].choosable);
  }

  // Every choice number leads back to its own menu and index, submenu items included.
  const auto back = [&](int choice) { return model.GetChoice(choice); };
  EXPECT_EQ(back(top[1].choice).menu, &m.root);
  EXPECT_EQ(back(top[1].choice).index, 1);
  EXPECT_EQ(back(top[4].choice).index, 4);
  const auto& sub = model.Levels()[1].entries;
  ASSERT_EQ(sub.size(), 2u);
  EXPECT_EQ(back(sub[1].choice).menu, &m.remove);
  EXPECT_EQ(back(sub[1].choice).index, 1);
  for (int unknown : {-1, 99}) {
    EXPECT_EQ(back(unknown).menu, nullptr);
    EXPECT_EQ(back(unknown).index, -1);
  }
}

TEST(MacMenuModel, ASubmenuLeadingBackUpTheTreeIsADisabledItem) {
  IPopupMenu root;
  IPopupMenu sub;
  root.AddItem("Sub", &sub, -1, false);
  sub.AddItem("Up", &root, -1, false);  // borrowed: the tree has a cycle
  sub.AddItem("Leaf");
  const MacMenuModel model(root);
  ASSERT_EQ(model.Levels().size(), 2u);
  const auto& up = model.Levels()[1].entries[0];
  EXPECT_FALSE(up.enabled);
  EXPECT_EQ(up.submenuLevel, -1);
  EXPECT_EQ(up.choice, -1);
  EXPECT_GE(model.Levels()[1].entries[1].choice, 0);
}

// What the view hands the context after the native menu closes.
TEST(MacMenuModel, AChoiceCompletesTheContextsMenuAndDismissalGivesMinusOne) {
  TestDelegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 200, 100, 60, 1.f));
  auto* c = static_cast<ScriptControl*>(g->AttachControl(new ScriptControl(IRECT(0, 0, 50, 50))));
  PresetMenu m;

  g->CreatePopupMenu(*c, m.root, IRECT(0, 0, 10, 10));
  MacMenuModel model(*g->GetPendingMenu());
  const auto pick = model.GetChoice(model.Levels()[1].entries[1].choice);
  g->CompletePopupMenu(pick.menu, pick.index);
  EXPECT_EQ(m.remove.GetChosenItemIdx(), 1);
  EXPECT_EQ(c->events.back(), "menu 1");

  g->CreatePopupMenu(*c, m.root, IRECT(0, 0, 10, 10));
  const auto none = MacMenuModel(*g->GetPendingMenu()).GetChoice(-1);
  g->CompletePopupMenu(none.menu, none.index);
  EXPECT_EQ(m.root.GetChosenItemIdx(), -1);
  EXPECT_EQ(c->events.back(), "menu none");
  EXPECT_EQ(g->GetPendingMenu(), nullptr);
}

}  // namespace
