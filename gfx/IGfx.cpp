// IGfx: control list, redraw, resize, resources and the path helpers (events: IGfxEvents.cpp).
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
