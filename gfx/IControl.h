// IControl: the base of every editor control: rectangles, parameter bindings, flags, events.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gfx/IKeyPress.h"
#include "gfx/IMouseMod.h"
#include "gfx/IPopupMenu.h"
#include "gfx/IRECT.h"
#include "gfx/IText.h"

namespace plug {
class IParam;
}

namespace plug::gfx {

class IGfx;
class IGfxEditorDelegate;

/** A multi-touch gesture as the platform view reports it. */
struct IGestureInfo {
  enum class EType {
    Unknown,
    DoubleTap,
    TripleTap,
    LongPress1,
    LongPress2,
    SwipeLeft,
    SwipeRight,
    SwipeUp,
    SwipeDown,
    Pinch,
    Rotate
  };
  float x = 0.f, y = 0.f;
  float scale = 0.f;     // pinch
  float velocity = 0.f;  // pinch and rotate
  float angle = 0.f;     // rotate, degrees
  EType type = EType::Unknown;
};

/** A control belongs to one graphics context from AttachControl on and is deleted
 *  with it. Everything here runs on the main thread (events, frame timer, layout).
 *
 *  Values are normalised (0...1) and there is one per parameter binding; valIdx
 *  picks a binding, and -1 in the operations that take it means "all of them". */
class IControl {
 public:
  using ActionFunction = std::function<void(IControl*)>;
  using GestureFunc = std::function<void(IControl*, const IGestureInfo&)>;

  static constexpr int kNoParameter = -1;
  static constexpr int kNoValIdx = -1;
  static constexpr int kNoTag = -1;

  /** One binding, with paramIdx -1 for an unbound value. */
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter,
                    ActionFunction action = nullptr);
  /** One binding per parameter index given, in that order. */
  IControl(const IRECT& bounds, const std::vector<int>& params, ActionFunction action = nullptr);
  IControl(const IRECT& bounds, ActionFunction action)
      : IControl(bounds, kNoParameter, std::move(action)) {}
  virtual ~IControl();
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // --- Events from the context, in logical pixels.
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float x, float y, const IMouseMod& mod);
  virtual void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  /** Answer true when the key was handled. */
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
  virtual bool OnKeyUp(float x, float y, const IKeyPress& key);
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual void OnTouchCancelled(float x, float y, const IMouseMod& mod);
  virtual void OnDrop(const char* str);
  virtual void OnDropMultiple(const std::vector<const char*>& paths);

  // --- Notifications.
  virtual void OnInit();
  virtual void OnResize();
  virtual void OnRescale();
  virtual void OnAttached();
  virtual bool OnMsgFromDelegate(int msgTag, int dataSize, const void* data);
  virtual void OnMidi(const unsigned char* status3);
  /** Runs the gesture function attached for the gesture's type; false when there is none. */
  virtual bool OnGesture(const IGestureInfo& info);

  // --- Menus and text entry.
  virtual void CreateContextMenu(IPopupMenu& contextMenu);
  /** Default: a chosen item of the parameter prompt menu becomes the value at valIdx. */
  virtual void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx);
  virtual void OnDeleteFromPopupMenu(IPopupMenu* menu, int itemIdx);
  virtual void OnTextEntryCompletion(const char* str, int valIdx);
  virtual void OnContextSelection(int itemSelected);

  // --- Drawing.
  virtual void Draw(IGfx& g) = 0;
  virtual void DrawPTHighlight(IGfx& g);

  // --- Values and bindings.
  virtual void SetParamIdx(int paramIdx, int valIdx = 0);
  /** The binding under a point, or -1 (all) unless a control with several values overrides it. */
  virtual int GetValIdxForPos(float x, float y) const;
  /** A value pushed from the plug-in: stored, redrawn, no action. */
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  /** A value the user typed or picked: stored and sent with an action. */
  virtual void SetValueFromUserInput(double value, int valIdx = 0);
  /** Bound values to their parameter's default, sent with an action. */
  virtual void SetValueToDefault(int valIdx = kNoValIdx);
  /** Stores the value unclamped (an out-of-range valIdx is ignored). */
  virtual void SetValue(double value, int valIdx = 0);
  virtual void SetText(const IText& text);
  /** Moves both rectangles so the draw rectangle's top-left corner is at (x, y). */
  virtual void SetPosition(float x, float y);
  /** Gives both rectangles the size w x h, keeping the top-left corner. */
  virtual void SetSize(float w, float h);
  virtual void Hide(bool hide);
  virtual void SetDisabled(bool disable);
  virtual void SetIgnoreMouse(bool ignore);
  /** Default: the target rectangle contains the point (half-open). */
  virtual bool IsHit(float x, float y) const;
  /** Clamps the affected values to 0...1 and marks the control dirty; with an
   *  action the bound values go to the plug-in, peers follow and the action function runs. */
  virtual void SetDirty(bool triggerAction = true, int valIdx = kNoValIdx);
  virtual void SetClean();
  virtual bool IsDirty();
  /** A control that keeps a picture of what lies under it: when it alone is dirty, the context
   *  paints that picture and the control (with what lies over it), not the controls beneath. */
  void SetCachesUnderlay(bool caches) { mCachesUnderlay = caches; }
  bool CachesUnderlay() const { return mCachesUnderlay; }
  /** Set by the context as it draws: false when the region drawn cut the control's rectangle,
   *  so part of what shows is older than its last Draw. */
  void SetDrawnWhole(bool whole) { mDrawnWhole = whole; }
  bool DrawnWhole() const { return mDrawnWhole; }
  virtual void OnGUIIdle();
  virtual bool GetWantsGestures() const;
  virtual void SnapToMouse(float x, float y, int direction, const IRECT& bounds,
                           int valIdx = kNoValIdx, double minClip = 0.0, double maxClip = 1.0);
  virtual void OnEndAnimation();

  // --- Non-virtual access.
  double GetValue(int valIdx = 0) const;
  int NVals() const { return static_cast<int>(mVals.size()); }
  int GetParamIdx(int valIdx = 0) const;
  /** The valIdx bound to paramIdx, or -1. */
  int LinkedToParam(int paramIdx) const;
  /** The bound parameter, or null when unbound, unattached or unknown. */
  const IParam* GetParam(int valIdx = 0) const;

  const IRECT& GetRECT() const { return mRECT; }
  void SetRECT(const IRECT& r) { mRECT = r; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetRECT(const IRECT& r) { mTargetRECT = r; }
  void SetTargetAndDrawRECTs(const IRECT& r) { mRECT = mTargetRECT = r; }

  int GetTag() const { return mTag; }
  void SetTag(int tag) { mTag = tag; }
  const char* GetGroup() const { return mGroup.c_str(); }
  void SetGroup(const char* group) { mGroup = group ? group : ""; }
  const char* GetTooltip() const { return mTooltip.c_str(); }
  void SetTooltip(const char* tooltip) { mTooltip = tooltip ? tooltip : ""; }
  const IText& GetText() const { return mText; }

  bool IsHidden() const { return mHide; }
  bool IsDisabled() const { return mDisabled; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  bool GetMouseOverWhenDisabled() const { return mMouseOverWhenDisabled; }
  void SetMouseOverWhenDisabled(bool on) { mMouseOverWhenDisabled = on; }
  bool GetMouseEventsWhenDisabled() const { return mMouseEventsWhenDisabled; }
  void SetMouseEventsWhenDisabled(bool on) { mMouseEventsWhenDisabled = on; }
  bool GetMouseIsOver() const { return mMouseIsOver; }
  void SetMouseIsOver(bool on) { mMouseIsOver = on; }

  void SetActionFunction(ActionFunction fn) { mActionFunc = std::move(fn); }
  const ActionFunction& GetActionFunction() const { return mActionFunc; }
  void AttachGestureFunc(IGestureInfo::EType type, GestureFunc fn);

  /** Null until attached. */
  IGfx* GetUI() const { return mGraphics; }
  IGfxEditorDelegate* GetDelegate() const { return mDelegate; }
  /** Called by the context when it attaches the control. */
  void SetOwners(IGfxEditorDelegate* delegate, IGfx* graphics) {
    mDelegate = delegate;
    mGraphics = graphics;
  }

  /** Opens the parameter's own entry: a menu of its display texts for an enum
   *  or switch, a text field with its display otherwise. */
  void PromptUserInput(int valIdx = 0);

 protected:
  /** Calls fn for each value index that valIdx stands for. */
  template <typename Fn>
  void ForValIdx(int valIdx, Fn fn) const {
    if (valIdx < 0 || NVals() == 1) {
      for (int v = 0; v < NVals(); ++v) fn(v);
    } else if (valIdx < NVals()) {
      fn(valIdx);
    }
  }

  IRECT mRECT;
  IRECT mTargetRECT;
  IText mText;
  std::string mTooltip;
  std::string mGroup;
  int mTag = kNoTag;
  bool mDirty = true;
  bool mHide = false;
  bool mDisabled = false;
  bool mDblAsSingleClick = false;
  bool mMouseOverWhenDisabled = false;
  bool mMouseEventsWhenDisabled = false;
  bool mIgnoreMouse = false;
  bool mMouseIsOver = false;
  bool mCachesUnderlay = false;
  bool mDrawnWhole = false;

 private:
  std::vector<std::pair<int, double>> mVals;  // (parameter index, normalised value)
  ActionFunction mActionFunc;
  std::vector<std::pair<IGestureInfo::EType, GestureFunc>> mGestureFuncs;
  IPopupMenu mPromptMenu;
  IGfx* mGraphics = nullptr;
  IGfxEditorDelegate* mDelegate = nullptr;
};

}  // namespace plug::gfx
