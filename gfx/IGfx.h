// IGfx: the graphics context: owns the controls, dispatches events, redraws, resizes, draws.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gfx/APIBitmap.h"
#include "gfx/APIFont.h"
#include "gfx/IBitmap.h"
#include "gfx/IBlend.h"
#include "gfx/IColor.h"
#include "gfx/IControl.h"
#include "gfx/IFillOptions.h"
#include "gfx/IMatrix.h"
#include "gfx/IMouseMod.h"
#include "gfx/IPattern.h"
#include "gfx/IPopupMenu.h"
#include "gfx/IRECT.h"
#include "gfx/IStrokeOptions.h"
#include "gfx/IText.h"

namespace plug::gfx {

class IGfxEditorDelegate;

enum class EWinding { CW, CCW };

/** One pointer of a mouse or touch event, in logical pixels. */
struct IMouseInfo {
  float x = 0.f, y = 0.f;
  float dX = 0.f, dY = 0.f;  // movement since the previous event (drags)
  IMouseMod ms;
};

/** Everything here runs on the main thread (platform events, the frame timer,
 *  the layout callback), except the bitmap and font caches, which are shared by
 *  every context of the process and locked while looked up or filled.
 *
 *  The context is abstract in its drawing primitives and its window: a platform
 *  backend (gfx/platform) supplies both. Coordinates are logical pixels; the
 *  backend multiplies everything by the draw scale on its way to the pixels. */
class IGfx {
 public:
  static constexpr float kMinScale = 0.5f;
  static constexpr float kMaxScale = 4.f;
  /** How far a dirty control's rectangle is grown so anti-aliased edges are repainted. */
  static constexpr float kDirtyPadding = 0.75f;

  IGfx(IGfxEditorDelegate& dlg, int w, int h, int fps = 60, float scale = 1.f);
  virtual ~IGfx();
  IGfx(const IGfx&) = delete;
  IGfx& operator=(const IGfx&) = delete;

  // --- Controls.

  /** Takes ownership, unless the tag (0 or more) is already in use: then the
   *  control is refused, null is returned and the caller keeps it. A null
   *  control, or one already attached, is refused too. */
  IControl* AttachControl(IControl* control, int ctrlTag = IControl::kNoTag,
                          const char* group = "");
  /** Null for an unknown tag. */
  IControl* GetControlWithTag(int ctrlTag) const;
  IControl* GetControl(int idx) const;
  int NControls() const { return static_cast<int>(mControls.size()); }
  void RemoveAllControls();
  /** Every other control bound to the parameter of caller's value at valIdx follows it. */
  void UpdatePeers(IControl* caller, int callerValIdx);
  /** Calls fn(control, valIdx) for every value slot of every control bound to paramIdx. */
  template <typename Fn>
  void ForControlWithParam(int paramIdx, Fn fn) {
    for (auto& c : mControls)
      for (int v = 0; v < c->NVals(); ++v)
        if (c->GetParamIdx(v) == paramIdx) fn(*c, v);
  }
  void SetAllControlsDirty();
  void SetAllControlsClean();

  // --- Events from the platform view.

  void OnMouseDown(const std::vector<IMouseInfo>& points);
  void OnMouseDown(float x, float y, const IMouseMod& mod) {
    OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  void OnMouseDrag(const std::vector<IMouseInfo>& points);
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {
    OnMouseDrag({IMouseInfo{x, y, dX, dY, mod}});
  }
  void OnMouseUp(const std::vector<IMouseInfo>& points);
  void OnMouseUp(float x, float y, const IMouseMod& mod) {
    OnMouseUp({IMouseInfo{x, y, 0.f, 0.f, mod}});
  }
  /** The second press of a fast pair. True when a control took it. */
  bool OnMouseDblClick(float x, float y, const IMouseMod& mod);
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  /** A pointer movement without a button. True when a control is under it. */
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  /** The pointer left the view. */
  void OnMouseOut();
  bool OnKeyDown(float x, float y, const IKeyPress& key);
  bool OnKeyUp(float x, float y, const IKeyPress& key);
  void OnTouchCancelled(const std::vector<IMouseInfo>& points);
  void OnDrop(const char* str, float x, float y);

  /** The hit test: the last attached control under the point that takes events
   *  (visible, not ignoring the mouse, enabled or taking events while disabled).
   *  For mouse-over the first control (the background) is never found. */
  IControl* GetMouseControl(float x, float y, bool mouseOver = false) const;
  IControl* GetCapturedControl(ITouchID touch = 0) const;
  void ReleaseMouseCapture();
  IControl* GetMouseOverControl() const { return mMouseOver; }
  /** The mouse-over control's tooltip when tooltips are on and it has one, else "". */
  const char* GetTooltipForCurrentMouseOver() const;

  /** Tooltips follow mouse-over: switching them on switches mouse-over on. */
  void EnableTooltips(bool enable);
  void EnableMouseOver(bool enable);
  bool TooltipsEnabled() const { return mEnableTooltips; }
  bool MouseOverEnabled() const { return mEnableMouseOver; }
  void SetLayoutOnResize(bool layout) { mLayoutOnResize = layout; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }

  // --- Menus and text entry. The platform view shows them; until it (or a test)
  // completes one, it is pending here.

  void CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& anchor, int valIdx = 0);
  IPopupMenu* GetPendingMenu() const { return mPendingMenu; }
  const IRECT& GetPendingMenuAnchor() const { return mPendingMenuAnchor; }
  bool IsContextMenuPending() const { return mPendingMenu && mPendingIsContextMenu; }
  /** The user chose item chosenIdx of chosenMenu (the pending menu or one of its
   *  submenus; null means the pending menu), or dismissed the menu (chosenIdx -1). */
  void CompletePopupMenu(IPopupMenu* chosenMenu, int chosenIdx);
  void CompletePopupMenu(int chosenIdx) { CompletePopupMenu(nullptr, chosenIdx); }

  void CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                       const char* str = "", int valIdx = 0);
  bool IsTextEntryPending() const { return mTextEntryControl != nullptr; }
  const std::string& GetTextEntryString() const { return mTextEntryString; }
  const IRECT& GetTextEntryBounds() const { return mTextEntryBounds; }
  const IText& GetTextEntryText() const { return mTextEntryText; }
  /** The user confirmed str (null reads as empty). */
  void CompleteTextEntry(const char* str);
  void CancelTextEntry();

  // --- Size, redraw, window.

  /** w and h are constrained by the plug-in and the scale clamped to 0.5...4;
   *  the same size and scale again does nothing. */
  void Resize(int w, int h, float scale, bool needsPlatformResize);
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  /** Pixel size of the window: the logical size times the draw scale, fraction dropped. */
  int WindowWidth() const { return static_cast<int>(static_cast<float>(mWidth) * mDrawScale); }
  int WindowHeight() const { return static_cast<int>(static_cast<float>(mHeight) * mDrawScale); }
  float GetDrawScale() const { return mDrawScale; }
  float GetScreenScale() const { return mScreenScale; }
  /** Set by the platform view from the display it is on. */
  void SetScreenScale(float scale);
  int FPS() const { return mFPS; }
  IRECT GetBounds() const { return IRECT(0.f, 0.f, float(mWidth), float(mHeight)); }
  IGfxEditorDelegate& GetDelegate() const { return mDelegate; }

  /** An area to repaint at the next frame that no control's rectangle covers any
   *  more (where a control was before it moved or shrank). */
  void SetAreaDirty(const IRECT& area);
  /** The dirty area: every dirty control's draw rectangle and every stale area,
   *  grown by 0.75 and kept inside the editor. False when nothing is dirty. */
  bool IsDirty(std::vector<IRECT>& rects) const;
  /** Marks every control clean, then paints the pixel-aligned union of rects:
   *  every visible control meeting it, in attachment order, clipped to the overlap. */
  void Draw(const std::vector<IRECT>& rects);
  /** What drawing cost since the context was made or the last ResetDrawStats: frames drawn,
   *  controls drawn, the backend's painting operations (fills, strokes, images, texts, region
   *  clears and pictures put back) and the union of the regions drawn. */
  struct DrawStats {
    unsigned long frames = 0;
    unsigned long controlDraws = 0;
    unsigned long backendCalls = 0;
    IRECT area;
  };
  const DrawStats& GetDrawStats() const { return mDrawStats; }
  void ResetDrawStats() { mDrawStats = {}; }
  /** One frame of the frame timer: IsDirty, then Draw. True when something was drawn. */
  bool DrawFrame();
  /** Gives every control its per-frame idle call (animations); the view calls it before DrawFrame.
   */
  void OnGUIIdle();

  virtual void HideMouseCursor(bool hide = true);
  bool IsCursorHidden() const { return mCursorHidden; }

  /** Attaches the editor's view to the platform parent and returns the view. */
  virtual void* OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  /** The open view, or null. */
  virtual void* GetWindow() const = 0;

  // --- Resources (main thread; the caches behind them are process-wide).

  /** Registers fileName from the resources under fontID; true when the font is
   *  usable (also when fontID was loaded before from the same file). A missing or
   *  broken file gives false, and so does an identifier already registered for
   *  another file, which keeps its first font. */
  bool LoadFont(const char* fontID, const char* fileName);
  /** The image name at targetScale (0: the screen scale): "%s@%dx%s" variants from
   *  the target scale down to 2, then the plain name. A missing file gives an
   *  invalid bitmap, which draws nothing. */
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false,
                     int targetScale = 0);
  /** The integer scale targetScale 0 stands for. */
  int GetTargetScaleFor(int targetScale) const;

  // --- Drawing (inside Draw only).

  void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend = nullptr);
  /** The part of the bitmap of the size of dest starting at (srcX, srcY), both in
   *  the bitmap's logical pixels, drawn at dest. */
  virtual void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, float srcX, float srcY,
                          const IBlend* blend = nullptr) = 0;
  void DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                const IBlend* blend = nullptr, float thickness = 1.f);
  void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                float thickness = 1.f);
  void FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  void FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                     const IBlend* blend = nullptr);
  void FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr);
  void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                  float thickness = 1.f);
  /** str (UTF-8) in the text's font, size and colour, aligned inside bounds. An
   *  unknown font draws nothing. */
  virtual void DrawText(const IText& text, const char* str, const IRECT& bounds,
                        const IBlend* blend = nullptr) = 0;
  /** The bounds str would occupy when drawn into bounds (the all-zero rectangle for an unknown
   * font). */
  virtual IRECT MeasureText(const IText& text, const char* str, const IRECT& bounds) const = 0;

  /** Until the matching PopClip, drawing is clipped to bounds (logical pixels, not moved by
   *  the path transform) inside the control's own clip. */
  void PushClip(const IRECT& bounds) { PushControlClip(bounds); }
  void PopClip() { PopControlClip(); }

  // Path: built in the current path transform; a fill or stroke consumes it
  // unless its options preserve it.
  virtual void PathClear() = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2,
                                 float y2) = 0;
  virtual void PathClose() = 0;
  /** Degrees, 0 straight up, clockwise; a line joins the current point to the arc's start. */
  virtual void PathArc(float cx, float cy, float r, float a1, float a2,
                       EWinding winding = EWinding::CW) = 0;
  void PathCircle(float cx, float cy, float r);
  void PathRect(const IRECT& bounds);
  /** A radius of 0 gives a plain rectangle; a radius beyond half the shorter side is reduced to it.
   */
  void PathRoundRect(const IRECT& bounds, float cornerRadius);
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = {},
                        const IBlend* blend = nullptr) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness,
                          const IStrokeOptions& options = {}, const IBlend* blend = nullptr) = 0;

  // Path transform: applies to paths and bitmaps drawn while it is set.
  void PathTransformSave();
  /** Back to the last saved transform; with nothing saved, back to none. */
  void PathTransformRestore();
  void PathTransformReset();
  void PathTransformTranslate(float x, float y);
  /** Degrees, clockwise on screen for positive angles, about the current origin. */
  void PathTransformRotate(float angle);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float s) { PathTransformScale(s, s); }
  const IMatrix& GetPathTransform() const { return mTransform; }

 protected:
  // --- What the backend supplies.

  /** The full path of fileName in the resources, or "" when there is none. */
  virtual std::string LocateResource(const std::string& fileName) const = 0;
  /** Decodes an image file; null when it cannot. */
  virtual std::shared_ptr<const APIBitmap> LoadAPIBitmap(const std::string& path, int scale) = 0;
  /** Loads a font file; null when it cannot. */
  virtual std::shared_ptr<const APIFont> LoadAPIFont(const std::string& path) = 0;
  /** The font registered under fontID, or null. */
  static std::shared_ptr<const APIFont> FindFont(const char* fontID);

  /** The path transform changed. */
  virtual void UpdatePathTransform() = 0;
  /** Frame hooks around Draw: a frame begins, a region (device-pixel aligned,
   *  logical units) is cleared and clipped, a control is clipped inside it. */
  virtual void BeginFrame() = 0;
  virtual void PrepareRegion(const IRECT& region) = 0;
  virtual void PushControlClip(const IRECT& clip) = 0;
  virtual void PopControlClip() = 0;
  virtual void EndFrame() = 0;
  /** The picture of a region (device-pixel aligned, logical units) as the frame
   *  has drawn it so far is kept, or put back (and clipped to, like PrepareRegion).
   *  False when the backend keeps none, or none of exactly that region. */
  virtual bool SaveUnderlay(const IRECT&) { return false; }
  virtual bool RestoreUnderlay(const IRECT&) { return false; }
  /** The backend counts each painting operation here. */
  void CountBackendCall() { ++mDrawStats.backendCalls; }
  /** The draw scale or logical size changed: the backend adapts its surface. */
  virtual void DrawResize() = 0;
  /** Asks the platform window to become w x h pixels. */
  virtual void PlatformResize(int w, int h);

 private:
  void BeginGestures(IControl& control);
  void EndGestures(IControl& control);
  void ShowContextMenu(IControl& control, float x, float y);
  /** Draws controls [first, last) that meet area, each clipped to its overlap. */
  void DrawControls(std::size_t first, std::size_t last, const IRECT& area);
  /** The only dirty thing when it is a control that caches its underlay, else null. */
  IControl* LoneUnderlayCacher() const;
  static bool MenuReaches(const IPopupMenu& root, const IPopupMenu* menu);

  IGfxEditorDelegate& mDelegate;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::map<int, IControl*> mCtrlTags;
  int mWidth;
  int mHeight;
  int mFPS;
  float mDrawScale;
  float mScreenScale = 1.f;
  std::map<ITouchID, IControl*> mCapturedMap;
  std::vector<IControl*> mGesturesOpen;
  std::vector<IRECT> mStaleAreas;  // uncovered by controls that moved or shrank  // controls whose
                                   // bound parameters are in a host gesture
  IControl* mMouseOver = nullptr;
  bool mEnableTooltips = false;
  bool mEnableMouseOver = false;
  bool mLayoutOnResize = false;
  bool mCursorHidden = false;

  IPopupMenu* mPendingMenu = nullptr;
  IControl* mMenuControl = nullptr;
  IRECT mPendingMenuAnchor;
  int mMenuValIdx = 0;
  bool mPendingIsContextMenu = false;
  IPopupMenu mContextMenu;

  IControl* mTextEntryControl = nullptr;
  int mTextEntryValIdx = 0;
  IText mTextEntryText;
  IRECT mTextEntryBounds;
  std::string mTextEntryString;
  bool mTextEntryIsPrompt = false;
  friend class IControl;  // PromptUserInput marks its text entry as a parameter prompt

  IMatrix mTransform;
  std::vector<IMatrix> mTransformStack;
  DrawStats mDrawStats;
  // The control whose underlay the backend keeps, and the region it covers.
  const IControl* mUnderlayOwner = nullptr;
  IRECT mUnderlayRegion;
};

}  // namespace plug::gfx
