// MacMenuModel: walks the menu tree once, numbering what can be chosen.
#include "gfx/platform/mac/MacMenuModel.h"

#include <algorithm>

namespace plug::gfx {

MacMenuModel::MacMenuModel(IPopupMenu& root) {
  std::vector<const IPopupMenu*> path;
  AddLevel(root, path);
}

int MacMenuModel::AddLevel(IPopupMenu& menu, std::vector<const IPopupMenu*>& path) {
  const int level = static_cast<int>(mLevels.size());
  mLevels.push_back({&menu, {}});
  path.push_back(&menu);
  std::vector<Entry> entries;
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    Entry e;
    e.title = item->GetText();
    if (item->GetIsSeparator()) {
      e.separator = true;
      e.enabled = false;
      entries.push_back(std::move(e));
      continue;
    }
    e.checked = item->GetChecked();
    // A title heads a group of items; it is shown but never chosen.
    e.enabled = item->GetEnabled() && !item->GetIsTitle();
    if (IPopupMenu* sub = item->GetSubmenu()) {
      if (std::find(path.begin(), path.end(), sub) != path.end()) {
        e.enabled = false;
      } else {
        e.submenuLevel = AddLevel(*sub, path);
      }
    } else if (e.enabled) {
      e.choice = static_cast<int>(mChoices.size());
      mChoices.push_back({&menu, i});
    }
    entries.push_back(std::move(e));
  }
  mLevels[static_cast<std::size_t>(level)].entries = std::move(entries);
  path.pop_back();
  return level;
}

MacMenuModel::Choice MacMenuModel::GetChoice(int choice) const {
  if (choice < 0 || choice >= static_cast<int>(mChoices.size())) return {};
  return mChoices[static_cast<std::size_t>(choice)];
}

}  // namespace plug::gfx
