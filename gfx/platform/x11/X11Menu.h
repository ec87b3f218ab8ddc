// X11Menu: a popup menu of our own windows, one per open level, drawn with the toolkit.
#pragma once

#include <memory>
#include <vector>

#include "gfx/IPopupMenu.h"
#include "gfx/IRECT.h"

struct _XDisplay;

namespace plug::gfx {

class IGfxEditorDelegate;
class X11PopupWindow;

/** Opens at a root position and grabs the pointer and keyboard until an item is
 *  chosen or the menu is dismissed (a press outside every level, Escape). Levels
 *  open to the right of their item when the pointer rests on it or Right is
 *  pressed. The owner reads the outcome once Done(), then destroys the menu and
 *  completes it. Threads: main. */
class X11Menu {
 public:
  X11Menu(_XDisplay* display, unsigned long root, IGfxEditorDelegate& dlg, IPopupMenu& menu,
          int rootX, int rootY, float scale);
  ~X11Menu();
  X11Menu(const X11Menu&) = delete;
  X11Menu& operator=(const X11Menu&) = delete;

  void OnMotion(int rootX, int rootY);
  void OnPress(int rootX, int rootY);
  void OnRelease(int rootX, int rootY);
  /** keysym of the key pressed. */
  void OnKey(unsigned long keysym);
  /** Repaints the level showing window (an Expose). */
  void OnExpose(unsigned long window);

  bool Done() const { return mDone; }
  /** The menu (root or submenu) of the chosen item, or null when dismissed. */
  IPopupMenu* ChosenMenu() const { return mChosenMenu; }
  int ChosenIndex() const { return mChosenIdx; }

 private:
  struct Level;
  void OpenLevel(IPopupMenu& menu, int rootX, int rootY);
  void CloseLevelsAfter(std::size_t level);
  /** The level and item under a root point; false when the point is on no level. */
  bool Find(int rootX, int rootY, std::size_t& level, int& item) const;
  void Highlight(std::size_t level, int item);
  void Activate(std::size_t level, int item, bool fromKeyboard);
  void OpenSubmenu(std::size_t level, int item);
  bool Selectable(const IPopupMenu::Item* item) const;

  _XDisplay* mDisplay;
  unsigned long mRoot;
  IGfxEditorDelegate& mDelegate;
  float mScale;
  std::vector<std::unique_ptr<Level>> mLevels;
  bool mMovedInside = false;  // a release chooses only after the pointer went over the items
  bool mDone = false;
  IPopupMenu* mChosenMenu = nullptr;
  int mChosenIdx = -1;
};

}  // namespace plug::gfx
