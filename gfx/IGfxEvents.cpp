// IGfxEvents: the context's mouse, keyboard and touch dispatch, its menus and its text entry.
#include <algorithm>
#include <cmath>
#include <utility>

#include "gfx/IGfx.h"
#include "gfx/IGfxEditorDelegate.h"
#include "plug/IParam.h"

namespace plug::gfx {

// ---------------------------------------------------------------- events

IControl* IGfx::GetMouseControl(float x, float y, bool mouseOver) const {
  const int last = mouseOver ? 1 : 0;  // the background never takes mouse-over
  for (int i = NControls() - 1; i >= last; --i) {
    IControl* c = mControls[static_cast<std::size_t>(i)].get();
    if (c->IsHidden() || c->GetIgnoreMouse()) continue;
    if (c->IsDisabled()) {
      const bool takes =
          mouseOver ? c->GetMouseOverWhenDisabled() : c->GetMouseEventsWhenDisabled();
      if (!takes) continue;
    }
    if (c->IsHit(x, y)) return c;
  }
  return nullptr;
}

IControl* IGfx::GetCapturedControl(ITouchID touch) const {
  auto it = mCapturedMap.find(touch);
  return it == mCapturedMap.end() ? nullptr : it->second;
}

void IGfx::ReleaseMouseCapture() {
  mCapturedMap.clear();
  if (mCursorHidden) HideMouseCursor(false);
}

void IGfx::BeginGestures(IControl& control) {
  for (int v = 0; v < control.NVals(); ++v) {
    const int paramIdx = control.GetParamIdx(v);
    if (paramIdx >= 0) mDelegate.BeginInformHostOfParamChangeFromUI(paramIdx);
  }
  mGesturesOpen.push_back(&control);
}

// Only a gesture that was begun is ended, so the host never sees an end without
// its begin (a right-click menu or a capture released early begins none).
void IGfx::EndGestures(IControl& control) {
  auto it = std::find(mGesturesOpen.begin(), mGesturesOpen.end(), &control);
  if (it == mGesturesOpen.end()) return;
  mGesturesOpen.erase(it);
  for (int v = 0; v < control.NVals(); ++v) {
    const int paramIdx = control.GetParamIdx(v);
    if (paramIdx >= 0) mDelegate.EndInformHostOfParamChangeFromUI(paramIdx);
  }
}

void IGfx::OnMouseDown(const std::vector<IMouseInfo>& points) {
  for (const IMouseInfo& p : points) {
    // Another button pressed while this pointer drags belongs to the drag: it neither
    // starts a second interaction nor takes the capture (the drag and its gesture
    // end with the release).
    if (GetCapturedControl(p.ms.touchID)) continue;
    IControl* c = GetMouseControl(p.x, p.y);
    if (!c) continue;
    mCapturedMap[p.ms.touchID] = c;
    if (p.ms.R) {
      const int valIdx = c->GetValIdxForPos(p.x, p.y);
      if (c->GetParamIdx(valIdx >= 0 ? valIdx : 0) >= 0) {
        // Bound controls give a right-click to the context menu and nothing else.
        mCapturedMap.erase(p.ms.touchID);
        ShowContextMenu(*c, p.x, p.y);
        continue;
      }
    }
    BeginGestures(*c);
    c->OnMouseDown(p.x, p.y, p.ms);
  }
}

void IGfx::ShowContextMenu(IControl& control, float x, float y) {
  mContextMenu.Clear();
  control.CreateContextMenu(mContextMenu);
  if (mContextMenu.NItems() == 0) return;
  CreatePopupMenu(control, mContextMenu, IRECT(x, y, x, y), control.GetValIdxForPos(x, y));
  mPendingIsContextMenu = true;
}

void IGfx::OnMouseDrag(const std::vector<IMouseInfo>& points) {
  for (const IMouseInfo& p : points) {
    IControl* c = GetCapturedControl(p.ms.touchID);
    if (c && (p.dX != 0.f || p.dY != 0.f)) c->OnMouseDrag(p.x, p.y, p.dX, p.dY, p.ms);
  }
}

void IGfx::OnMouseUp(const std::vector<IMouseInfo>& points) {
  for (const IMouseInfo& p : points) {
    IControl* c = GetCapturedControl(p.ms.touchID);
    if (!c) continue;
    c->OnMouseUp(p.x, p.y, p.ms);
    EndGestures(*c);
    mCapturedMap.erase(p.ms.touchID);
  }
  if (mCapturedMap.empty() && mCursorHidden) HideMouseCursor(false);
}

bool IGfx::OnMouseDblClick(float x, float y, const IMouseMod& mod) {
  // A control still holding this pointer (its release never came) is let go first,
  // so its drag and gesture end properly wherever the double-click lands.
  if (IControl* held = GetCapturedControl(mod.touchID)) {
    held->OnMouseUp(x, y, mod);
    EndGestures(*held);
    mCapturedMap.erase(mod.touchID);
  }
  IControl* c = GetMouseControl(x, y);
  if (!c) {
    if (mCapturedMap.empty() && mCursorHidden) HideMouseCursor(false);
    return false;
  }
  if (c->GetMouseDblAsSingleClick()) {
    // A full mouse down: it captures and begins the gestures that the mouse up
    // following this press ends.
    OnMouseDown(x, y, mod);
    return true;
  }
  c->OnMouseDblClick(x, y, mod);
  mCapturedMap.erase(mod.touchID);
  if (mCursorHidden) HideMouseCursor(false);
  return true;
}

void IGfx::OnMouseWheel(float x, float y, const IMouseMod& mod, float d) {
  if (IControl* c = GetMouseControl(x, y)) c->OnMouseWheel(x, y, mod, d);
}

bool IGfx::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (!mEnableMouseOver) return false;
  IControl* c = GetMouseControl(x, y, true);
  if (c != mMouseOver) {
    if (mMouseOver) mMouseOver->OnMouseOut();
    mMouseOver = c;
  }
  if (mMouseOver) mMouseOver->OnMouseOver(x, y, mod);
  return mMouseOver != nullptr;
}

void IGfx::OnMouseOut() {
  if (mMouseOver) mMouseOver->OnMouseOut();
  mMouseOver = nullptr;
}

bool IGfx::OnKeyDown(float x, float y, const IKeyPress& key) {
  IControl* c = GetCapturedControl(0);
  if (!c) c = mMouseOver ? mMouseOver : GetMouseControl(x, y);
  return c && c->OnKeyDown(x, y, key);
}

bool IGfx::OnKeyUp(float x, float y, const IKeyPress& key) {
  IControl* c = GetCapturedControl(0);
  if (!c) c = mMouseOver ? mMouseOver : GetMouseControl(x, y);
  return c && c->OnKeyUp(x, y, key);
}

void IGfx::OnTouchCancelled(const std::vector<IMouseInfo>& points) {
  for (const IMouseInfo& p : points) {
    IControl* c = GetCapturedControl(p.ms.touchID);
    if (!c) continue;
    c->OnTouchCancelled(p.x, p.y, p.ms);
    EndGestures(*c);
    mCapturedMap.erase(p.ms.touchID);
  }
}

void IGfx::OnDrop(const char* str, float x, float y) {
  if (IControl* c = GetMouseControl(x, y)) c->OnDrop(str ? str : "");
}

const char* IGfx::GetTooltipForCurrentMouseOver() const {
  if (!mEnableTooltips || !mMouseOver) return "";
  return mMouseOver->GetTooltip();
}

void IGfx::EnableTooltips(bool enable) {
  mEnableTooltips = enable;
  if (enable) mEnableMouseOver = true;
}

void IGfx::EnableMouseOver(bool enable) {
  mEnableMouseOver = enable;
  if (!enable) OnMouseOut();
}

// ---------------------------------------------------------------- menus, text entry

void IGfx::CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& anchor, int valIdx) {
  // The menu now owns the pointer: a drag or release belongs to it, not to the control.
  for (auto it = mCapturedMap.begin(); it != mCapturedMap.end();) {
    it = it->second == &control ? mCapturedMap.erase(it) : std::next(it);
  }
  mPendingMenu = &menu;
  mMenuControl = &control;
  mPendingMenuAnchor = anchor;
  mMenuValIdx = valIdx;
  mPendingIsContextMenu = false;
}

bool IGfx::MenuReaches(const IPopupMenu& root, const IPopupMenu* menu) {
  // Breadth-first over the submenus; a borrowed submenu may lead back to an ancestor.
  std::vector<const IPopupMenu*> seen{&root};
  for (std::size_t next = 0; next < seen.size(); ++next) {
    if (seen[next] == menu) return true;
    for (int i = 0; i < seen[next]->NItems(); ++i) {
      const IPopupMenu* sub = seen[next]->GetItem(i)->GetSubmenu();
      if (sub && std::find(seen.begin(), seen.end(), sub) == seen.end()) seen.push_back(sub);
    }
  }
  return false;
}

void IGfx::CompletePopupMenu(IPopupMenu* chosenMenu, int chosenIdx) {
  if (!mPendingMenu || !mMenuControl) return;
  IPopupMenu* menu = chosenMenu ? chosenMenu : mPendingMenu;
  if (!MenuReaches(*mPendingMenu, menu)) return;  // not a menu the view was showing
  if (chosenIdx < 0 || chosenIdx >= menu->NItems()) chosenIdx = -1;
  IControl* control = mMenuControl;
  const bool isContext = mPendingIsContextMenu;
  const int valIdx = mMenuValIdx;
  // Cleared first: a completion function may open the next menu or text entry.
  mPendingMenu = nullptr;
  mMenuControl = nullptr;
  mPendingIsContextMenu = false;

  menu->SetChosenItemIdx(chosenIdx);
  menu->ExecFunction();
  if (isContext) {
    control->OnContextSelection(chosenIdx);
  } else {
    control->OnPopupMenuSelection(chosenIdx >= 0 ? menu : nullptr, valIdx);
  }
  EndGestures(*control);
}

void IGfx::CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                           const char* str, int valIdx) {
  mTextEntryControl = &control;
  mTextEntryValIdx = valIdx;
  mTextEntryText = text;
  mTextEntryBounds = bounds;
  mTextEntryString = str ? str : "";
  mTextEntryIsPrompt = false;
  control.SetDirty(false);
}

void IGfx::CompleteTextEntry(const char* str) {
  IControl* control = mTextEntryControl;
  if (!control) return;
  const int valIdx = mTextEntryValIdx;
  const bool prompt = mTextEntryIsPrompt;
  mTextEntryControl = nullptr;
  mTextEntryIsPrompt = false;
  const char* text = str ? str : "";
  const IParam* param = control->GetParam(valIdx);
  if (prompt && param) {
    control->SetValueFromUserInput(param->ToNormalized(param->StringToValue(text)), valIdx);
  } else {
    control->OnTextEntryCompletion(text, valIdx);
  }
}

void IGfx::CancelTextEntry() {
  if (mTextEntryControl) mTextEntryControl->SetDirty(false);
  mTextEntryControl = nullptr;
  mTextEntryIsPrompt = false;
}

}  // namespace plug::gfx
