// X11View: the editor's window on an X11 display, driven by the main run loop.
#pragma once

#include <memory>
#include <string>

#include "gfx/IRECT.h"

struct _XDisplay;
struct __CFRunLoopTimer;
struct __CFFileDescriptor;
struct __CFRunLoopSource;
union _XEvent;

namespace plug::gfx {

class IGfxCairo;
class X11Menu;
class X11PopupWindow;
class X11Surface;
class X11TextEntry;

/** A child of the given parent window (the root window makes it a top-level
 *  window), sized to the context's window size. It has its own connection to the
 *  display, watched by the main run loop, and a frame timer at the context's rate
 *  that shows what the context redrew (its backing image is the second buffer,
 *  so nothing flickers); an Expose shows again what it uncovers.
 *
 *  Pointer presses capture until the last button is released; while a control
 *  hides the cursor during a drag, the pointer is put back where the drag began
 *  after each step, so the drag never ends at the screen's edge. A second press
 *  of the same button within kDoubleClickSeconds and kDoubleClickPixels is a
 *  double-click; buttons 4/5 (6/7) are the wheel; Shift, Control and Alt are the
 *  modifiers S, C and A. It shows the context's pending menus and text entries in
 *  windows of its own, and the mouse-over control's tooltip after the pointer
 *  rested kTooltipDelay seconds. Closing the window (WM_DELETE_WINDOW) closes the
 *  editor through its delegate, and so does a window destroyed by its host; X
 *  errors on the view's own connection (requests on a window already gone) are
 *  ignored instead of ending the process.
 *
 *  After each frame it shows, it counts it in the window's property
 *  _TOVRASAT_FRAMES (CARDINAL), so that a test or a host can wait for a drawn
 *  window. Threads: main. */
class X11View {
 public:
  static constexpr double kDoubleClickSeconds = 0.4;
  static constexpr int kDoubleClickPixels = 4;
  static constexpr double kTooltipDelay = 0.5;

  /** Null when the display cannot be opened. */
  static std::unique_ptr<X11View> Open(IGfxCairo& gfx, unsigned long parent);
  ~X11View();
  X11View(const X11View&) = delete;
  X11View& operator=(const X11View&) = delete;

  unsigned long Window() const { return mWindow; }
  /** The window takes the context's new window size. */
  void Resize(int w, int h);
  void HideCursor(bool hide);
  /** The screen scale of the display: Xft.dpi, else the screen's own DPI, over 96,
   *  in quarter steps, at least 1. */
  static float ScreenScale(_XDisplay* display);

  /** Handles every event waiting on the connection, then shows pending popups. */
  void ProcessEvents();
  /** One tick of the frame timer: events, idle, redraw of the dirty area, tooltip. */
  void Frame();

 private:
  X11View(IGfxCairo& gfx, _XDisplay* display);
  bool Create(unsigned long parent);
  void Handle(_XEvent& event);
  void HandlePress(_XEvent& event);
  void HandleRelease(_XEvent& event);
  void HandleMotion(_XEvent& event);
  /** The pointer moves over the window without a button: mouse-over and the tooltip's rest. */
  void PointerOver(float x, float y, unsigned state);
  void SyncPopups();
  void UpdateTooltip(double now);
  void HideTooltip();
  /** Copies the backing image's pixel rectangle to the window. */
  void Blit(int x, int y, int w, int h);
  void CountFrame();
  void RequestClose();
  /** Minimum, maximum and base size: the window's own size. */
  void SetSizeHints(int w, int h);

  IGfxCairo& mGfx;
  _XDisplay* mDisplay;
  unsigned long mWindow = 0;
  unsigned long mRoot = 0;
  unsigned long mParent = 0;
  unsigned long mBlankCursor = 0;
  unsigned long mDeleteAtom = 0;
  unsigned long mProtocolsAtom = 0;
  unsigned long mFramesAtom = 0;
  std::unique_ptr<X11Surface> mSurface;
  __CFRunLoopTimer* mFrameTimer = nullptr;
  __CFRunLoopTimer* mCloseTimer = nullptr;
  __CFFileDescriptor* mConnection = nullptr;
  __CFRunLoopSource* mConnectionSource = nullptr;

  std::unique_ptr<X11Menu> mMenu;
  std::unique_ptr<X11TextEntry> mTextEntry;
  std::unique_ptr<X11PopupWindow> mTooltip;
  std::string mTooltipText;

  unsigned long mFrames = 0;
  float mLastX = 0.f, mLastY = 0.f;      // logical pixels of the last pointer event
  int mLastPixelX = 0, mLastPixelY = 0;  // window pixels of the last motion of a drag
  int mAnchorX = 0, mAnchorY = 0;        // where the drag began: the pointer goes back there
  unsigned long mWarpSerial = 0;         // first request serial after putting the pointer back
  bool mWarpPending = false;             // its motion has not come yet
  unsigned long mLastPressTime = 0;      // X server milliseconds
  unsigned mLastPressButton = 0;
  int mLastPressX = 0, mLastPressY = 0;
  bool mLastPressWasDouble = false;
  double mLastMotion = 0.0;  // run-loop time of the last movement without buttons
  bool mPointerInside = false;
  bool mTooltipDismissed = false;  // a press hides it until the pointer moves on
  bool mCursorHidden = false;
  bool mWindowGone = false;  // destroyed by someone else: no more requests on it
  bool mHasDrawn = false;    // the backing image has been drawn at least once
};

}  // namespace plug::gfx
