// PresetBar: stepping, the menu and its completions, the name entry and drawing.
#include "ui/PresetBar.h"

#include <utility>

#include "core/TovraSat.h"
#include "gfx/IGfx.h"
#include "state/TovraPresets.h"

namespace TovraUI {

using namespace plug::gfx;

PresetBar::PresetBar(float scale, TovraSat* plugin)
    : IControl(IRECT(143.f, 1808.f, 523.f, 1864.f).GetScaled(scale)), mScale(scale), mPlug(plugin) {
  SetTooltip("Presets: click the name for the menu, arrows step through them");
}

std::vector<std::string> PresetBar::All() const {
  std::vector<std::string> names{kDefaultName};
  for (std::string& name : tovrapresets::List()) {
    if (name != kDefaultName) names.push_back(std::move(name));
  }
  return names;
}

IText PresetBar::TextStyle() const {
  return IText(27.f * mScale, IColor(255, 236, 236, 238), "Plain", EAlign::Center, EVAlign::Middle,
               0.f, IColor(255, 255, 255, 255), IColor(255, 0, 0, 0));
}

std::string PresetBar::Label(const std::string& name) {
  if (name.size() <= kMaxLabelBytes) return name;
  return name.substr(0, kMaxLabelBytes - 1) + "~";
}

void PresetBar::OnMouseDown(float x, float y, const IMouseMod&) {
  const float zone = kStepZone * mRECT.W();
  if (x < mRECT.L + zone) {
    Step(-1);
  } else if (x > mRECT.R - zone) {
    Step(+1);
  } else {
    OpenMenu(x, y);
  }
}

bool PresetBar::ApplyNamed(const std::string& name) {
  tovrapresets::Values values;  // "Default" is these, never a file
  if (name != kDefaultName && !tovrapresets::Load(name, values)) return false;
  mPlug->ApplyPreset(name, values);
  SetDirty(false);
  return true;
}

void PresetBar::Step(int delta) {
  const std::vector<std::string> names = All();
  const int n = static_cast<int>(names.size());
  int current = 0;  // a name not in the list steps as if from "Default"
  for (int i = 0; i < n; ++i) {
    if (names[static_cast<std::size_t>(i)] == mPlug->mPresetName) current = i;
  }
  const int next = ((current + delta) % n + n) % n;
  ApplyNamed(names[static_cast<std::size_t>(next)]);
}

void PresetBar::OpenMenu(float x, float y) {
  IGfx* g = GetUI();
  if (!g) return;
  MenuSnapshot snapshot{All(), -1, -1, mPlug->mPresetName};
  // The folder was read afresh: presets made by hand or by another program show up elsewhere too.
  mPlug->UserPresetsChanged();

  mMenu.Clear();
  for (const std::string& name : snapshot.names) {
    mMenu.AddItem(name.c_str(), -1, 0);
    if (name == snapshot.current) mMenu.CheckItemAlone(mMenu.NItems() - 1);
  }
  mMenu.AddItem(new IPopupMenu::Item("", IPopupMenu::Item::kSeparator, -1));
  snapshot.saveIndex = mMenu.NItems();
  mMenu.AddItem("Save as new preset...");
  if (snapshot.current != kDefaultName) {
    snapshot.overwriteIndex = mMenu.NItems();
    const std::string overwrite = "Overwrite \"" + snapshot.current + "\"";
    mMenu.AddItem(overwrite.c_str());
  }
  if (snapshot.names.size() >= 2) {
    mDeleteMenu.Clear();
    for (std::size_t i = 1; i < snapshot.names.size(); ++i) {
      mDeleteMenu.AddItem(snapshot.names[i].c_str());
    }
    // Borrowed: the bar keeps the submenu, so clearing mMenu never deletes it.
    mMenu.AddItem("Delete", &mDeleteMenu, -1, false);
  }
  mMenu.SetFunction([this, snapshot = std::move(snapshot)](IPopupMenu* menu) {
    OnMenuChosen(snapshot, menu->GetChosenItemIdx());
  });
  mDeleteMenu.SetFunction([this](IPopupMenu* menu) { OnDeleteChosen(menu); });
  g->CreatePopupMenu(*this, mMenu, IRECT(x, y, x, y));
}

void PresetBar::OnMenuChosen(const MenuSnapshot& menu, int chosen) {
  if (chosen < 0) return;  // dismissed
  if (chosen < static_cast<int>(menu.names.size())) {
    ApplyNamed(menu.names[static_cast<std::size_t>(chosen)]);
  } else if (chosen == menu.saveIndex) {
    if (IGfx* g = GetUI()) g->CreateTextEntry(*this, TextStyle(), mRECT, "My Preset", 0);
  } else if (chosen == menu.overwriteIndex) {
    // Nothing is applied: the name and the values stay, only the file is rewritten.
    tovrapresets::Save(menu.current, mPlug->SnapshotPreset());
    mPlug->UserPresetsChanged();
    SetDirty(false);
  }
}

void PresetBar::OnDeleteChosen(IPopupMenu* menu) {
  const IPopupMenu::Item* item = menu->GetItem(menu->GetChosenItemIdx());
  if (!item) return;
  const std::string name = item->GetText();
  tovrapresets::Remove(name);  // a file already gone is no error here
  mPlug->UserPresetsChanged();
  if (mPlug->mPresetName == name) mPlug->ApplyPreset(kDefaultName, tovrapresets::Values{});
  SetDirty(false);
}

void PresetBar::OnTextEntryCompletion(const char* str, int) {
  const std::string name = tovrapresets::Sanitize(str ? str : "");
  if (name.empty() || name == kDefaultName) return;
  // A preset that could not be written must not become current: the bar would show a name with
  // no file behind it and the user would believe it saved.
  if (tovrapresets::Save(name, mPlug->SnapshotPreset())) {
    mPlug->UserPresetsChanged();
    mPlug->ApplyPreset(name, mPlug->SnapshotPreset());
  }
  SetDirty(false);
}

void PresetBar::Draw(IGfx& g) {
  const float s = mScale;
  const IRECT r(mRECT.L + 2.f * s, mRECT.T + 2.f * s, mRECT.R - 2.f * s, mRECT.B - 2.f * s);

  g.PathClear();
  g.PathRoundRect(r, 14.f * s);
  g.PathFill(IPattern::CreateLinearGradient(
      0.f, r.T, 0.f, r.B, {{IColor(215, 8, 10, 16), 0.f}, {IColor(215, 20, 22, 28), 1.f}}));
  g.PathRoundRect(r, 14.f * s);
  g.PathStroke(IPattern::CreateLinearGradient(
                   0.f, r.T, 0.f, r.B,
                   {{IColor(150, 255, 255, 255), 0.f}, {IColor(30, 255, 255, 255), 1.f}}),
               1.3f * s);

  const float cy = r.MH();
  const IColor arrow(255, 200, 205, 215);
  const float a = r.L + 26.f * s;
  g.PathMoveTo(a + 7.f * s, cy - 9.f * s);
  g.PathLineTo(a - 7.f * s, cy);
  g.PathLineTo(a + 7.f * s, cy + 9.f * s);
  g.PathClose();
  g.PathFill(arrow);
  const float b = r.R - 26.f * s;
  g.PathMoveTo(b - 7.f * s, cy - 9.f * s);
  g.PathLineTo(b + 7.f * s, cy);
  g.PathLineTo(b - 7.f * s, cy + 9.f * s);
  g.PathClose();
  g.PathFill(arrow);

  // A name of wide letters is wider than the space between the arrows even when shortened:
  // what does not fit is cut off rather than drawn over the arrows and the border.
  const std::string label = Label(mPlug->mPresetName);
  const IRECT labelArea(r.L + 44.f * s, r.T, r.R - 44.f * s, r.B);
  g.PushClip(labelArea);
  g.DrawText(TextStyle(), label.c_str(), labelArea);
  g.PopClip();
}

}  // namespace TovraUI
