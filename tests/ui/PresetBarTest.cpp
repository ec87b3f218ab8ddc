// PresetBarTest.cpp: stepping, the menu's entries and what each does, the name entry, and the
// menus' lifetime. Every test works in a private preset folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "state/TovraPresets.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/PresetBar.h"

namespace {

using namespace uitest;
using TovraUI::PresetBar;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PresetBarTest : public testing::Test {
 protected:
  PresetBar& Bar() const { return ed->Control<PresetBar>(kPresetBar); }
  TovraSat& Plug() const { return *ed->plugin; }
  double Gain() const { return Plug().GetParam(TovraSat::kGain)->Value(); }
  double Trim() const { return Plug().GetParam(TovraSat::kOutputTrim)->Value(); }
  bool Phat() const { return Plug().GetParam(TovraSat::k48V)->Bool(); }

  // The menu as the bar opens it, one line per item: text, "*" when checked, "-" for the
  // separator, "> a,b" for a submenu's items.
  std::vector<std::string> OpenMenu() const {
    Bar().OpenMenu(10, 10);
    IPopupMenu* menu = ed->G().GetPendingMenu();
    EXPECT_EQ(menu, &Bar().GetMenu());
    std::vector<std::string> items;
    if (!menu) return items;
    for (int i = 0; i < menu->NItems(); ++i) {
      const IPopupMenu::Item* item = menu->GetItem(i);
      std::string line = item->GetIsSeparator() ? "-" : item->GetText();
      if (item->GetChecked()) line += " *";
      if (const IPopupMenu* sub = item->GetSubmenu()) {
        line += " >";
        for (int k = 0; k < sub->NItems(); ++k)
          line += std::string(k ? "," : " ") + sub->GetItemText(k);
      }
      items.push_back(line);
    }
    return items;
  }
  // Opens the menu and chooses the item with this text.
  void Choose(const std::string& text) const {
    Bar().OpenMenu(10, 10);
    IPopupMenu& menu = Bar().GetMenu();
    for (int i = 0; i < menu.NItems(); ++i) {
      if (text == menu.GetItemText(i)) {
        ed->G().CompletePopupMenu(i);
        return;
      }
    }
    ADD_FAILURE() << "no item " << text;
    ed->G().CompletePopupMenu(-1);
  }
  void Delete(const std::string& name) const {
    Bar().OpenMenu(10, 10);
    IPopupMenu& sub = Bar().GetDeleteMenu();
    for (int i = 0; i < sub.NItems(); ++i) {
      if (name == sub.GetItemText(i)) {
        ed->G().CompletePopupMenu(&sub, i);
        return;
      }
    }
    ADD_FAILURE() << "no delete entry " << name;
    ed->G().CompletePopupMenu(-1);
  }
  void Type(const char* text) const {
    Choose("Save as new preset...");
    ASSERT_TRUE(ed->G().IsTextEntryPending());
    ed->G().CompleteTextEntry(text);
  }

  PrivateDataHome presets;  // before the editor, so every listing reads the private folder
  std::unique_ptr<RecordedEditor> ed = std::make_unique<RecordedEditor>();
};

TEST_F(PresetBarTest, StepsWrapRoundAndStartFromDefaultForAnUnknownName) {
  struct Case {
    std::vector<std::string> files;
    std::string from;
    int delta;
    std::string to;
  };
  const Case cases[] = {
      {{}, "Default", +1, "Default"},   {{}, "Default", -1, "Default"},
      {{}, "Gone", +1, "Default"},      {{"A", "B"}, "Default", +1, "A"},
      {{"A", "B"}, "A", +1, "B"},       {{"A", "B"}, "B", +1, "Default"},
      {{"A", "B"}, "Default", -1, "B"}, {{"A", "B"}, "A", -1, "Default"},
      {{"A", "B"}, "X", +1, "A"},  // a current name not in the folder counts as "Default"
      {{"A", "B"}, "X", -1, "B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " " << c.delta);
    std::filesystem::remove_all(tovrapresets::Dir());
    for (const std::string& name : c.files) ASSERT_TRUE(tovrapresets::Save(name, {50, -6, false}));
    Plug().mPresetName = c.from;
    Bar().Step(c.delta);
    EXPECT_EQ(Plug().mPresetName, c.to);
    EXPECT_EQ(Gain(), c.to == "Default" ? 24.0 : 50.0);
    EXPECT_EQ(Trim(), c.to == "Default" ? 0.0 : -6.0);
    EXPECT_EQ(Phat(), c.to == "Default");
  }
}

TEST_F(PresetBarTest, MenuEntriesWithoutUserPresets) {
  EXPECT_EQ(OpenMenu(), (std::vector<std::string>{"Default *", "-", "Save as new preset..."}));
  ed->G().CompletePopupMenu(-1);
  Plug().mPresetName = "Gone";  // a name without a file still offers its overwrite entry
  EXPECT_EQ(OpenMenu(), (std::vector<std::string>{"Default", "-", "Save as new preset...",
                                                  "Overwrite \"Gone\""}));
  ed->G().CompletePopupMenu(-1);
}

TEST_F(PresetBarTest, MenuEntriesWithUserPresets) {
  ASSERT_TRUE(tovrapresets::Save("beta", {}));
  ASSERT_TRUE(tovrapresets::Save("Alpha", {}));
  ASSERT_TRUE(tovrapresets::Save("Default", {77, 0, true}));  // never listed: the name is taken
  Plug().mPresetName = "beta";
  EXPECT_EQ(OpenMenu(),
            (std::vector<std::string>{"Default", "Alpha", "beta *", "-", "Save as new preset...",
                                      "Overwrite \"beta\"", "Delete > Alpha,beta"}));
  ed->G().CompletePopupMenu(-1);
  // Choosing "Default" applies the defaults, never the file of that name.
  Plug().GetParam(TovraSat::kGain)->Set(5);
  Choose("Default");
  EXPECT_EQ(Plug().mPresetName, "Default");
  EXPECT_EQ(Gain(), 24.0);
  Choose("Alpha");
  EXPECT_EQ(Plug().mPresetName, "Alpha");
}

TEST_F(PresetBarTest, ChoosingAPresetWhoseFileVanishedChangesNothing) {
  ASSERT_TRUE(tovrapresets::Save("A", {60, 0, true}));
  Bar().OpenMenu(10, 10);
  std::filesystem::remove(tovrapresets::PathFor("A"));
  ed->G().CompletePopupMenu(1);
  EXPECT_EQ(Plug().mPresetName, "Default");
  EXPECT_EQ(Gain(), 24.0);
}

TEST_F(PresetBarTest, OverwriteRewritesTheFileAndChangesNothingElse) {
  ASSERT_TRUE(tovrapresets::Save("A", {10, -1, true}));
  Choose("A");
  Plug().GetParam(TovraSat::kGain)->Set(33.0);
  Plug().GetParam(TovraSat::kOutputTrim)->Set(-4.5);
  Plug().GetParam(TovraSat::k48V)->Set(0.0);
  Choose("Overwrite \"A\"");
  EXPECT_EQ(ReadFile(tovrapresets::PathFor("A")), "gain=33.00\ntrim=-4.50\nphat=0\n");
  EXPECT_EQ(Plug().mPresetName, "A");
  EXPECT_EQ(Gain(), 33.0);
  EXPECT_EQ(Trim(), -4.5);
  EXPECT_FALSE(Phat());

  // The entry for a name whose file is gone writes it anew.
  Plug().mPresetName = "X";
  Choose("Overwrite \"X\"");
  EXPECT_TRUE(std::filesystem::exists(tovrapresets::PathFor("X")));
  EXPECT_EQ(Plug().mPresetName, "X");
}

TEST_F(PresetBarTest, DeletingTheCurrentPresetAppliesDefault) {
  ASSERT_TRUE(tovrapresets::Save("A", {10, -1, false}));
  ASSERT_TRUE(tovrapresets::Save("B", {20, -2, false}));
  Choose("B");
  Delete("A");  // not current: only the file goes
  EXPECT_FALSE(std::filesystem::exists(tovrapresets::PathFor("A")));
  EXPECT_EQ(Plug().mPresetName, "B");
  EXPECT_EQ(Gain(), 20.0);
  Delete("B");  // current: back to Default
  EXPECT_FALSE(std::filesystem::exists(tovrapresets::PathFor("B")));
  EXPECT_EQ(Plug().mPresetName, "Default");
  EXPECT_EQ(Gain(), 24.0);
  EXPECT_EQ(Trim(), 0.0);
  EXPECT_TRUE(Phat());
  EXPECT_EQ(OpenMenu(), (std::vector<std::string>{"Default *", "-", "Save as new preset..."}));
  ed->G().CompletePopupMenu(-1);
}

// Copies of the presets kept for hosts follow the folder: the bar announces every change it
// makes, after the change, and every fresh reading of the folder.
TEST_F(PresetBarTest, EveryChangeToTheFolderIsAnnouncedAfterItIsMade) {
  std::vector<std::string> seen;  // the folder as it was at each announcement
  Plug().mUserPresetsChanged = [&] {
    std::string folder;
    for (const std::string& name : tovrapresets::List()) {
      tovrapresets::Values v;
      tovrapresets::Load(name, v);
      folder += name + "=" + std::to_string(int(v.gain)) + ";";
    }
    seen.push_back(folder);
  };
  ASSERT_TRUE(tovrapresets::Save("Hand", {10, 0, true}));  // made outside the bar
  OpenMenu();
  ed->G().CompletePopupMenu(-1);
  ASSERT_EQ(seen, (std::vector<std::string>{"Hand=10;"})) << "reading the folder announces it";

  struct Step {
    const char* what;
    std::function<void()> act;
    const char* folder;
  };
  const Step steps[] = {
      {"save as new", [&] { Plug().GetParam(TovraSat::kGain)->Set(40.0); Type("New"); },
       "Hand=10;New=40;"},
      {"overwrite", [&] { Plug().GetParam(TovraSat::kGain)->Set(50.0); Choose("Overwrite \"New\""); },
       "Hand=10;New=50;"},
      {"delete", [&] { Delete("Hand"); }, "New=50;"},
  };
  for (const Step& step : steps) {
    const std::size_t before = seen.size();
    step.act();
    ASSERT_GT(seen.size(), before + 1) << step.what << ": the menu reading and the change";
    EXPECT_EQ(seen.back(), step.folder) << step.what;
  }
}

TEST_F(PresetBarTest, TypedNamesAreCleanedAndReservedOrEmptyOnesDropped) {
  Plug().GetParam(TovraSat::kGain)->Set(42.0);
  struct Case {
    const char* typed;
    const char* saved;  // nullptr: nothing saved, the name stays
  };
  const Case cases[] = {
      {"  Vox: bright  ", "Vox bright"}, {"!!!", nullptr}, {"Default", nullptr},
      {" .Default. ", nullptr},          {"", nullptr},    {"Bass/Sub", "BassSub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Plug().mPresetName = "before";
    Type(c.typed);
    if (c.saved) {
      EXPECT_EQ(Plug().mPresetName, c.saved);
      EXPECT_EQ(ReadFile(tovrapresets::PathFor(c.saved)), "gain=42.00\ntrim=0.00\nphat=1\n");
    } else {
      EXPECT_EQ(Plug().mPresetName, "before");
    }
  }
  EXPECT_EQ(tovrapresets::List(), (std::vector<std::string>{"BassSub", "Vox bright"}));
  EXPECT_FALSE(std::filesystem::exists(tovrapresets::PathFor("Default")));

  // The entry field covers the bar and starts with "My Preset" in black on white.
  Choose("Save as new preset...");
  EXPECT_EQ(ed->G().GetTextEntryString(), "My Preset");
  EXPECT_EQ(ed->G().GetTextEntryBounds(), Bar().GetRECT());
  EXPECT_EQ(ed->G().GetTextEntryText().mTextEntryBGColor, IColor(255, 255, 255, 255));
  EXPECT_EQ(ed->G().GetTextEntryText().mTextEntryFGColor, IColor(255, 0, 0, 0));
  ed->G().CancelTextEntry();
}

TEST_F(PresetBarTest, ANewPresetThatCouldNotBeSavedIsNotMadeCurrent) {
  ASSERT_TRUE(tovrapresets::Save("A", {10, -1, true}));
  Choose("A");
  Plug().GetParam(TovraSat::kGain)->Set(55.0);
  // The preset folder cannot be made: a file stands where its parent folder should be.
  std::filesystem::remove_all(std::filesystem::path(presets.Path()) / "TovraSat");
  std::ofstream(std::filesystem::path(presets.Path()) / "TovraSat") << "not a folder";
  ASSERT_FALSE(tovrapresets::Save("probe", {}));

  Type("Vocals");
  EXPECT_EQ(Plug().mPresetName, "A") << "the bar must not show a preset that does not exist";
  EXPECT_EQ(Gain(), 55.0);
  EXPECT_FALSE(std::filesystem::exists(tovrapresets::PathFor("Vocals")));
}

TEST_F(PresetBarTest, MenusAreReleasedOnceWhateverWasOpen) {
  // Opened repeatedly with and without user presets, chosen from the submenu, and the editor
  // closed with a menu still showing: the sanitizer build reports any leak or double delete.
  ASSERT_TRUE(tovrapresets::Save("A", {}));
  ASSERT_TRUE(tovrapresets::Save("B", {}));
  for (int i = 0; i < 3; ++i) {
    OpenMenu();
    ed->G().CompletePopupMenu(-1);
  }
  Delete("A");
  Delete("B");
  // The submenu last built (for B alone) outlives the clearing of the main menu.
  ASSERT_EQ(Bar().GetDeleteMenu().NItems(), 1);
  OpenMenu();  // no user presets: no Delete entry, the submenu is left as it was
  EXPECT_STREQ(Bar().GetDeleteMenu().GetItemText(0), "B");
  ed.reset();  // closes the editor with the menu pending
  ed = std::make_unique<RecordedEditor>();
  OpenMenu();
  ed->G().CompletePopupMenu(-1);
}

}  // namespace
