// X11Menu: layout, painting, pointer and keyboard handling of the menu levels.
#include "gfx/platform/x11/X11Menu.h"

#include <algorithm>

#include "gfx/IGfx.h"
#include "gfx/IGfxEditorDelegate.h"
#include "gfx/platform/MakeGfx.h"
#include "gfx/platform/x11/X11PopupWindow.h"

// Xlib defines macros (None, Bool, Status) that would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace plug::gfx {

namespace {

// Logical pixels of one level.
constexpr float kItemH = 22.f;
constexpr float kSeparatorH = 9.f;
constexpr float kCheckW = 20.f;
constexpr float kArrowW = 18.f;
constexpr float kPadX = 10.f;
constexpr float kMinW = 110.f;
constexpr float kFontSize = 13.f;
const char* const kFont = "TovraMenu";
const char* const kFontFile = "Roboto-Regular.ttf";

const IColor kBackground(255, 38, 40, 46);
const IColor kBorder(255, 90, 94, 104);
const IColor kText(255, 232, 232, 236);
const IColor kDisabledText(255, 120, 122, 130);
const IColor kHighlight(255, 66, 104, 180);
const IColor kSeparator(255, 72, 75, 84);

IText ItemText(const IColor& color) {
  return IText(kFontSize, color, kFont, EAlign::Near, EVAlign::Middle);
}

}  // namespace

struct X11Menu::Level {
  IPopupMenu* menu = nullptr;
  std::vector<IRECT> items;  // logical rectangles inside the level
  int highlighted = -1;
  std::unique_ptr<X11PopupWindow> window;
};

X11Menu::X11Menu(_XDisplay* display, unsigned long root, IGfxEditorDelegate& dlg, IPopupMenu& menu,
                 int rootX, int rootY, float scale)
    : mDisplay(display), mRoot(root), mDelegate(dlg), mScale(scale) {
  OpenLevel(menu, rootX, rootY);
  // Everything the pointer and keyboard do now belongs to the menu, also outside it.
  XGrabPointer(display, mLevels.front()->window->Id(), True,
               ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, None, CurrentTime);
  XGrabKeyboard(display, mLevels.front()->window->Id(), True, GrabModeAsync, GrabModeAsync,
                CurrentTime);
  XFlush(display);
}

X11Menu::~X11Menu() {
  XUngrabPointer(mDisplay, CurrentTime);
  XUngrabKeyboard(mDisplay, CurrentTime);
  mLevels.clear();
  XFlush(mDisplay);
}

bool X11Menu::Selectable(const IPopupMenu::Item* item) const {
  return item && !item->GetIsSeparator() && !item->GetIsTitle() && item->GetEnabled();
}

void X11Menu::OpenLevel(IPopupMenu& menu, int rootX, int rootY) {
  auto level = std::make_unique<Level>();
  level->menu = &menu;

  // Measured on a context of its own, since the level's size is what is being found.
  std::unique_ptr<IGfx> measure(MakeGfx(mDelegate, 1, 1, 60, 1.f));
  measure->LoadFont(kFont, kFontFile);
  float textW = 0.f;
  bool anySubmenu = false;
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    textW = std::max(textW, measure->MeasureText(ItemText(kText), item->GetText(), IRECT()).W());
    anySubmenu = anySubmenu || item->GetSubmenu() != nullptr;
  }
  const float w = std::max(kMinW, kCheckW + textW + kPadX + (anySubmenu ? kArrowW : kPadX));
  float y = 3.f;
  for (int i = 0; i < menu.NItems(); ++i) {
    const float h = menu.GetItem(i)->GetIsSeparator() ? kSeparatorH : kItemH;
    level->items.emplace_back(0.f, y, w, y + h);
    y += h;
  }
  const float h = y + 3.f;

  // Kept on the screen: a menu that would stick out on the right or below moves in.
  const int screenW = DisplayWidth(mDisplay, DefaultScreen(mDisplay));
  const int screenH = DisplayHeight(mDisplay, DefaultScreen(mDisplay));
  const int pw = int(w * mScale), ph = int(h * mScale);
  rootX = std::max(0, std::min(rootX, screenW - pw));
  rootY = std::max(0, std::min(rootY, screenH - ph));

  Level* raw = level.get();
  const float levelW = w, levelH = h;
  level->window = std::make_unique<X11PopupWindow>(
      mDisplay, mRoot, true, mDelegate, rootX, rootY, int(w), int(h), mScale,
      [raw, levelW, levelH](IGfx& g) {
        g.LoadFont(kFont, kFontFile);
        g.FillRect(kBackground, IRECT(0, 0, levelW, levelH));
        g.DrawRect(kBorder, IRECT(0.5f, 0.5f, levelW - 0.5f, levelH - 0.5f));
        for (int i = 0; i < raw->menu->NItems(); ++i) {
          const IPopupMenu::Item* item = raw->menu->GetItem(i);
          const IRECT& r = raw->items[std::size_t(i)];
          if (item->GetIsSeparator()) {
            g.DrawLine(kSeparator, r.L + 6.f, r.MH(), r.R - 6.f, r.MH());
            continue;
          }
          const bool enabled = item->GetEnabled() && !item->GetIsTitle();
          if (i == raw->highlighted && enabled)
            g.FillRect(kHighlight, IRECT(r.L + 2.f, r.T, r.R - 2.f, r.B));
          const IColor& color = enabled ? kText : kDisabledText;
          if (item->GetChecked()) {
            g.PathClear();
            g.PathMoveTo(r.L + 6.f, r.MH());
            g.PathLineTo(r.L + 9.f, r.MH() + 4.f);
            g.PathLineTo(r.L + 15.f, r.MH() - 5.f);
            g.PathStroke(color, 2.f);
          }
          g.DrawText(ItemText(color), item->GetText(), IRECT(r.L + kCheckW, r.T, r.R, r.B));
          if (item->GetSubmenu()) {
            g.PathClear();
            g.PathMoveTo(r.R - 12.f, r.MH() - 4.f);
            g.PathLineTo(r.R - 7.f, r.MH());
            g.PathLineTo(r.R - 12.f, r.MH() + 4.f);
            g.PathClose();
            g.PathFill(color);
          }
        }
      });
  mLevels.push_back(std::move(level));
}

void X11Menu::CloseLevelsAfter(std::size_t level) {
  while (mLevels.size() > level + 1) mLevels.pop_back();
}

bool X11Menu::Find(int rootX, int rootY, std::size_t& level, int& item) const {
  for (std::size_t l = mLevels.size(); l-- > 0;) {
    const X11PopupWindow& w = *mLevels[l]->window;
    if (!w.Contains(rootX, rootY)) continue;
    level = l;
    item = -1;
    const float x = float(rootX - w.X()) / mScale, y = float(rootY - w.Y()) / mScale;
    for (std::size_t i = 0; i < mLevels[l]->items.size(); ++i)
      if (mLevels[l]->items[i].Contains(x, y)) item = int(i);
    return true;
  }
  return false;
}

void X11Menu::Highlight(std::size_t level, int item) {
  Level& l = *mLevels[level];
  if (l.highlighted == item) return;
  l.highlighted = item;
  l.window->Redraw();
}

void X11Menu::OpenSubmenu(std::size_t level, int item) {
  CloseLevelsAfter(level);
  IPopupMenu::Item* it = mLevels[level]->menu->GetItem(item);
  if (!Selectable(it) || !it->GetSubmenu()) return;
  const X11PopupWindow& w = *mLevels[level]->window;
  const IRECT& r = mLevels[level]->items[std::size_t(item)];
  OpenLevel(*it->GetSubmenu(), w.X() + w.PixelWidth() - 2, w.Y() + int(r.T * mScale) - 3);
}

void X11Menu::Activate(std::size_t level, int item, bool fromKeyboard) {
  IPopupMenu::Item* it = mLevels[level]->menu->GetItem(item);
  if (!Selectable(it)) return;
  if (it->GetSubmenu()) {
    OpenSubmenu(level, item);
    if (fromKeyboard && mLevels.size() > level + 1) {
      Level& sub = *mLevels.back();
      for (int i = 0; i < sub.menu->NItems(); ++i)
        if (Selectable(sub.menu->GetItem(i))) {
          Highlight(mLevels.size() - 1, i);
          break;
        }
    }
    return;
  }
  mChosenMenu = mLevels[level]->menu;
  mChosenIdx = item;
  mDone = true;
}

void X11Menu::OnMotion(int rootX, int rootY) {
  std::size_t level = 0;
  int item = -1;
  if (!Find(rootX, rootY, level, item)) return;
  mMovedInside = true;
  Highlight(level, item);
  // Resting on an item opens its submenu; moving to another item of the same level closes it.
  const IPopupMenu::Item* it = mLevels[level]->menu->GetItem(item);
  if (it && it->GetSubmenu()) {
    if (mLevels.size() == level + 1 || mLevels[level + 1]->menu != it->GetSubmenu())
      OpenSubmenu(level, item);
  } else if (item >= 0) {
    CloseLevelsAfter(level);
  }
}

void X11Menu::OnPress(int rootX, int rootY) {
  std::size_t level = 0;
  int item = -1;
  if (!Find(rootX, rootY, level, item)) {
    mDone = true;  // a press outside dismisses
    return;
  }
  if (item >= 0) Activate(level, item, false);
}

void X11Menu::OnRelease(int rootX, int rootY) {
  if (!mMovedInside) return;  // the release of the press that opened the menu
  std::size_t level = 0;
  int item = -1;
  if (Find(rootX, rootY, level, item) && item >= 0) {
    const IPopupMenu::Item* it = mLevels[level]->menu->GetItem(item);
    if (it && !it->GetSubmenu()) Activate(level, item, false);
  }
}

void X11Menu::OnKey(unsigned long keysym) {
  const std::size_t level = mLevels.size() - 1;
  Level& l = *mLevels[level];
  const int n = l.menu->NItems();
  auto step = [&](int dir) {
    int i = l.highlighted;
    for (int k = 0; k < n; ++k) {
      i = i < 0 ? (dir > 0 ? 0 : n - 1) : (i + dir + n) % n;
      if (Selectable(l.menu->GetItem(i))) {
        Highlight(level, i);
        return;
      }
    }
  };
  switch (keysym) {
    case XK_Down:
      step(+1);
      break;
    case XK_Up:
      step(-1);
      break;
    case XK_Right:
      if (l.highlighted >= 0 && l.menu->GetItem(l.highlighted)->GetSubmenu())
        Activate(level, l.highlighted, true);
      break;
    case XK_Left:
      if (level > 0) CloseLevelsAfter(level - 1);
      break;
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
      if (l.highlighted >= 0) Activate(level, l.highlighted, true);
      break;
    case XK_Escape:
      mDone = true;
      break;
    default:
      break;
  }
}

void X11Menu::OnExpose(unsigned long window) {
  for (auto& l : mLevels)
    if (l->window->Id() == window) l->window->Show();
}

}  // namespace plug::gfx
