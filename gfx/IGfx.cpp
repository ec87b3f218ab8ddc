// IGfx: control list, event dispatch, redraw, resize, resources and the path helpers.
#include "gfx/IGfx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

#include "gfx/IGfxEditorDelegate.h"
#include "plug/IParam.h"

namespace plug::gfx {

namespace {

// The only lock of the system: bitmaps and fonts are shared by every context of
// the process. They are released when the last context goes, so a plug-in
// unloaded with its editor closed keeps nothing decoded.
struct Caches {
  std::mutex mutex;
  int contexts = 0;
  std::map<std::pair<std::string, int>, std::shared_ptr<const APIBitmap>> bitmaps;
  struct Font {
    std::string fileName;  // what it was loaded from: one identifier, one file
    std::shared_ptr<const APIFont> font;
  };
  std::map<std::string, Font> fonts;
};

Caches& GetCaches() {
  static Caches caches;
  return caches;
}

// Higher variants than this are never searched for, whatever a caller asks.
constexpr int kMaxTargetScale = 8;

}  // namespace

IGfx::IGfx(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale)
    : mDelegate(dlg),
      mWidth(std::max(w, 0)),
      mHeight(std::max(h, 0)),
      mFPS(fps),
      mDrawScale(std::clamp(std::isfinite(scale) ? scale : 1.f, kMinScale, kMaxScale)) {
  Caches& c = GetCaches();
  std::lock_guard<std::mutex> lock(c.mutex);
  ++c.contexts;
}

IGfx::~IGfx() {
  // An editor closed in the middle of a drag still ends the host's gesture.
  while (!mGesturesOpen.empty()) EndGestures(*mGesturesOpen.front());
  // Controls go next: they may hold bitmaps that refer into the caches.
  mControls.clear();
  Caches& c = GetCaches();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (--c.contexts == 0) {
    c.bitmaps.clear();
    c.fonts.clear();
  }
}

// ---------------------------------------------------------------- controls

IControl* IGfx::AttachControl(IControl* control, int ctrlTag, const char* group) {
  // A control belongs to one context once: attaching it again would delete it twice.
  if (!control || control->GetUI()) return nullptr;
  if (ctrlTag >= 0) {
    if (mCtrlTags.count(ctrlTag)) return nullptr;
    mCtrlTags[ctrlTag] = control;
  }
  control->SetTag(ctrlTag);
  control->SetOwners(&mDelegate, this);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  control->SetGroup(group);
  mControls.emplace_back(control);
  control->OnAttached();
  return control;
}

IControl* IGfx::GetControlWithTag(int ctrlTag) const {
  auto it = mCtrlTags.find(ctrlTag);
  return it == mCtrlTags.end() ? nullptr : it->second;
}

IControl* IGfx::GetControl(int idx) const {
  if (idx < 0 || idx >= NControls()) return nullptr;
  return mControls[static_cast<std::size_t>(idx)].get();
}

void IGfx::RemoveAllControls() {
  mCapturedMap.clear();
  mGesturesOpen.clear();
  mMouseOver = nullptr;
  mPendingMenu = nullptr;
  mMenuControl = nullptr;
  mTextEntryControl = nullptr;
  mUnderlayOwner = nullptr;
  mCtrlTags.clear();
  mControls.clear();
}

void IGfx::UpdatePeers(IControl* caller, int callerValIdx) {
  if (!caller) return;
  const int paramIdx = caller->GetParamIdx(callerValIdx);
  if (paramIdx < 0) return;
  const double value = caller->GetValue(callerValIdx);
  ForControlWithParam(paramIdx, [&](IControl& c, int v) {
    if (&c != caller) c.SetValueFromDelegate(value, v);
  });
}

void IGfx::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
}

void IGfx::SetAllControlsClean() {
  for (auto& c : mControls) c->SetClean();
}

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

// ---------------------------------------------------------------- size and redraw

void IGfx::SetScreenScale(float scale) {
  if (std::isfinite(scale) && scale > 0.f) mScreenScale = scale;
}

void IGfx::Resize(int w, int h, float scale, bool needsPlatformResize) {
  mDelegate.ConstrainEditorResize(w, h);
  w = std::max(w, 0);
  h = std::max(h, 0);
  scale = std::clamp(std::isfinite(scale) ? scale : mDrawScale, kMinScale, kMaxScale);
  if (w == mWidth && h == mHeight && scale == mDrawScale) return;

  if (mCursorHidden) HideMouseCursor(false);
  mDrawScale = scale;
  mWidth = w;
  mHeight = h;
  if (needsPlatformResize) {
    mDelegate.EditorResizeFromUI(WindowWidth(), WindowHeight(), needsPlatformResize);
    PlatformResize(WindowWidth(), WindowHeight());
  }
  mStaleAreas.clear();
  for (auto& c : mControls) c->OnResize();
  SetAllControlsDirty();
  mUnderlayOwner = nullptr;  // its picture was of the old surface
  DrawResize();
  if (mLayoutOnResize) mDelegate.LayoutUI(this);
}

void IGfx::PlatformResize(int, int) {}

void IGfx::HideMouseCursor(bool hide) {
  mCursorHidden = hide;
}

void IGfx::SetAreaDirty(const IRECT& area) {
  if (!area.Degenerate()) mStaleAreas.push_back(area);
}

bool IGfx::IsDirty(std::vector<IRECT>& rects) const {
  rects.clear();
  const IRECT bounds = GetBounds();
  for (const IRECT& stale : mStaleAreas) {
    const IRECT r = stale.GetPadded(kDirtyPadding).GetConstrainedTo(bounds);
    if (!r.Degenerate()) rects.push_back(r);
  }
  for (const auto& c : mControls) {
    if (!c->IsDirty()) continue;
    const IRECT r = c->GetRECT().GetPadded(kDirtyPadding).GetConstrainedTo(bounds);
    if (!r.Degenerate()) rects.push_back(r);
  }
  return !rects.empty();
}

IControl* IGfx::LoneUnderlayCacher() const {
  if (!mStaleAreas.empty()) return nullptr;
  IControl* lone = nullptr;
  for (const auto& c : mControls) {
    if (!c->IsDirty()) continue;
    if (lone != nullptr || !c->CachesUnderlay() || c->IsHidden()) return nullptr;
    lone = c.get();
  }
  return lone;
}

void IGfx::DrawControls(std::size_t first, std::size_t last, const IRECT& area) {
  for (std::size_t i = first; i < last; ++i) {
    IControl& c = *mControls[i];
    if (c.IsHidden()) continue;
    const IRECT clip = c.GetRECT().Intersect(area);
    if (clip.Degenerate()) continue;
    c.SetDrawnWhole(clip == c.GetRECT());
    PushControlClip(clip);
    PathTransformReset();
    PathClear();
    c.Draw(*this);
    PopControlClip();
    ++mDrawStats.controlDraws;
  }
}

void IGfx::Draw(const std::vector<IRECT>& rects) {
  IControl* overlay = LoneUnderlayCacher();
  SetAllControlsClean();
  mStaleAreas.clear();
  IRECT area;
  for (const IRECT& r : rects) area = area.Union(r);
  // Whole device pixels, so a region's edge never half-covers a pixel twice.
  area = area.GetScaled(mDrawScale)
             .GetPixelAligned()
             .GetScaled(1.f / mDrawScale)
             .GetConstrainedTo(GetBounds());
  if (area.Degenerate()) return;
  ++mDrawStats.frames;
  mDrawStats.area = mDrawStats.area.Union(area);

  BeginFrame();
  if (overlay != nullptr) {
    // What lies under the control does not change while it alone is dirty (a meter that moves):
    // its picture is put back instead of being drawn again.
    const auto at = static_cast<std::size_t>(
        std::find_if(mControls.begin(), mControls.end(),
                     [overlay](const auto& c) { return c.get() == overlay; }) -
        mControls.begin());
    const bool kept = mUnderlayOwner == overlay && mUnderlayRegion == area;
    if (!kept || !RestoreUnderlay(area)) {
      PrepareRegion(area);
      DrawControls(0, at, area);
      mUnderlayOwner = SaveUnderlay(area) ? overlay : nullptr;
      mUnderlayRegion = area;
    }
    DrawControls(at, mControls.size(), area);
  } else {
    PrepareRegion(area);
    DrawControls(0, mControls.size(), area);
    // Anything beneath may have changed where this frame drew.
    if (mUnderlayOwner != nullptr && !mUnderlayRegion.Intersect(area).Degenerate()) {
      mUnderlayOwner = nullptr;
    }
  }
  PathTransformReset();
  EndFrame();
}

void IGfx::OnGUIIdle() {
  for (auto& c : mControls) c->OnGUIIdle();
}

bool IGfx::DrawFrame() {
  std::vector<IRECT> rects;
  if (!IsDirty(rects)) return false;
  Draw(rects);
  return true;
}

// ---------------------------------------------------------------- resources

int IGfx::GetTargetScaleFor(int targetScale) const {
  if (targetScale <= 0) targetScale = static_cast<int>(std::ceil(mScreenScale - 0.01f));
  return std::clamp(targetScale, 1, kMaxTargetScale);
}

bool IGfx::LoadFont(const char* fontID, const char* fileName) {
  if (!fontID || !*fontID || !fileName || !*fileName) return false;
  Caches& c = GetCaches();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (auto it = c.fonts.find(fontID); it != c.fonts.end()) return it->second.fileName == fileName;
  const std::string path = LocateResource(fileName);
  if (path.empty()) return false;
  std::shared_ptr<const APIFont> font = LoadAPIFont(path);
  if (!font) return false;
  c.fonts[fontID] = {fileName, std::move(font)};
  return true;
}

std::shared_ptr<const APIFont> IGfx::FindFont(const char* fontID) {
  if (!fontID) return nullptr;
  Caches& c = GetCaches();
  std::lock_guard<std::mutex> lock(c.mutex);
  auto it = c.fonts.find(fontID);
  return it == c.fonts.end() ? nullptr : it->second.font;
}

IBitmap IGfx::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale) {
  if (!name || !*name) return IBitmap();
  const int scale = GetTargetScaleFor(targetScale);
  const std::string fileName(name);
  Caches& c = GetCaches();
  std::lock_guard<std::mutex> lock(c.mutex);

  if (auto it = c.bitmaps.find({fileName, scale}); it != c.bitmaps.end())
    return IBitmap(it->second, nStates, framesAreHorizontal, fileName);

  // "knob.png" at 3 tries knob@3x.png, knob@2x.png, then knob.png.
  const std::size_t slash = fileName.find_last_of('/');
  std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    dot = fileName.size();
  const std::string base = fileName.substr(0, dot);
  const std::string ext = fileName.substr(dot);

  std::string path;
  int foundScale = 1;
  for (int s = scale; s >= 2 && path.empty(); --s) {
    char variant[1024];
    const int n = std::snprintf(variant, sizeof(variant), "%s@%dx%s", base.c_str(), s, ext.c_str());
    if (n <= 0 || n >= int(sizeof(variant))) break;
    path = LocateResource(variant);
    foundScale = s;
  }
  if (path.empty()) {
    path = LocateResource(fileName);
    foundScale = 1;
  }
  if (path.empty()) return IBitmap();

  std::shared_ptr<const APIBitmap> bitmap;
  if (auto it = c.bitmaps.find({fileName, foundScale}); it != c.bitmaps.end()) {
    bitmap = it->second;
  } else {
    bitmap = LoadAPIBitmap(path, foundScale);
    if (!bitmap) return IBitmap();
    c.bitmaps[{fileName, foundScale}] = bitmap;
  }
  return IBitmap(bitmap, nStates, framesAreHorizontal, fileName);
}

// ---------------------------------------------------------------- drawing helpers

void IGfx::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend) {
  if (!bitmap.IsValid() || bitmap.W() <= 0.f || bitmap.H() <= 0.f) return;
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(bounds.W() / bitmap.W(), bounds.H() / bitmap.H());
  DrawBitmap(bitmap, IRECT(0.f, 0.f, bitmap.W(), bitmap.H()), 0.f, 0.f, blend);
  PathTransformRestore();
}

void IGfx::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                    const IBlend* blend, float thickness) {
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  IStrokeOptions options;
  options.mCapOption = ELineCap::Butt;
  PathStroke(color, thickness, options, blend);
}

void IGfx::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend,
                    float thickness) {
  PathClear();
  PathRect(bounds);
  PathStroke(color, thickness, {}, blend);
}

void IGfx::FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend) {
  PathClear();
  PathRect(bounds);
  PathFill(color, {}, blend);
}

void IGfx::FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                         const IBlend* blend) {
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathFill(color, {}, blend);
}

void IGfx::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend) {
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(color, {}, blend);
}

void IGfx::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend,
                      float thickness) {
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, {}, blend);
}

void IGfx::PathCircle(float cx, float cy, float r) {
  PathMoveTo(cx, cy - r);  // the arc starts straight up: no joining line
  PathArc(cx, cy, r, 0.f, 360.f);
  PathClose();
}

void IGfx::PathRect(const IRECT& b) {
  PathMoveTo(b.L, b.T);
  PathLineTo(b.R, b.T);
  PathLineTo(b.R, b.B);
  PathLineTo(b.L, b.B);
  PathClose();
}

void IGfx::PathRoundRect(const IRECT& b, float cornerRadius) {
  const float cr = std::min(cornerRadius, 0.5f * std::min(b.W(), b.H()));
  if (!(cr > 0.f)) {
    PathRect(b);
    return;
  }
  PathMoveTo(b.L + cr, b.T);
  PathArc(b.R - cr, b.T + cr, cr, 0.f, 90.f);
  PathArc(b.R - cr, b.B - cr, cr, 90.f, 180.f);
  PathArc(b.L + cr, b.B - cr, cr, 180.f, 270.f);
  PathArc(b.L + cr, b.T + cr, cr, 270.f, 360.f);
  PathClose();
}

void IGfx::PathTransformSave() {
  mTransformStack.push_back(mTransform);
}

void IGfx::PathTransformRestore() {
  if (mTransformStack.empty()) {
    mTransform = IMatrix();
  } else {
    mTransform = mTransformStack.back();
    mTransformStack.pop_back();
  }
  UpdatePathTransform();
}

void IGfx::PathTransformReset() {
  mTransformStack.clear();
  mTransform = IMatrix();
  UpdatePathTransform();
}

void IGfx::PathTransformTranslate(float x, float y) {
  mTransform.Translate(x, y);
  UpdatePathTransform();
}

void IGfx::PathTransformRotate(float angle) {
  mTransform.Rotate(angle);
  UpdatePathTransform();
}

void IGfx::PathTransformScale(float x, float y) {
  mTransform.Scale(x, y);
  UpdatePathTransform();
}

}  // namespace plug::gfx
