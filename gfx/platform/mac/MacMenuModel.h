// MacMenuModel: a popup menu and its submenus laid out as the native menus that show it.
#pragma once

#include <string>
#include <vector>

#include "gfx/IPopupMenu.h"

namespace plug::gfx {

/** One native menu per level, built from the model before the menu opens. Every item that can be
 *  chosen carries a choice number (the native item's tag); Choice(n) tells which menu and index
 *  it stands for, which is what the context's CompletePopupMenu takes. A submenu that leads back
 *  to a menu already open above it (a borrowed menu may) is shown as a disabled item instead of
 *  opening forever. Threads: main. */
class MacMenuModel {
 public:
  struct Entry {
    std::string title;
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    int submenuLevel = -1;  // index into Levels(), or -1
    int choice = -1;        // the native item's tag, or -1 for items that cannot be chosen
  };
  struct Level {
    IPopupMenu* menu = nullptr;
    std::vector<Entry> entries;
  };
  struct Choice {
    IPopupMenu* menu = nullptr;
    int index = -1;
  };

  explicit MacMenuModel(IPopupMenu& root);

  /** Level 0 is the root menu. */
  const std::vector<Level>& Levels() const { return mLevels; }
  /** The menu and item of a choice number; {null, -1} for an unknown number (dismissed). */
  Choice GetChoice(int choice) const;

 private:
  int AddLevel(IPopupMenu& menu, std::vector<const IPopupMenu*>& path);

  std::vector<Level> mLevels;
  std::vector<Choice> mChoices;
};

}  // namespace plug::gfx
