// X11View: window, events, frame timer, cursor and popups of the editor on X11.
#include "gfx/platform/x11/X11View.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>

#include "gfx/IGfxEditorDelegate.h"
#include "gfx/platform/IGfxCairo.h"
#include "gfx/platform/x11/X11Menu.h"
#include "gfx/platform/x11/X11PopupWindow.h"
#include "gfx/platform/x11/X11Surface.h"
#include "gfx/platform/x11/X11TextEntry.h"

// Xlib defines macros (None, Bool, Status) that would clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace plug::gfx {

namespace {

constexpr unsigned kHeldButtons = Button1Mask | Button2Mask | Button3Mask;

unsigned MaskOf(unsigned button) {
  switch (button) {
    case Button1:
      return Button1Mask;
    case Button2:
      return Button2Mask;
    case Button3:
      return Button3Mask;
    default:
      return 0;
  }
}

IMouseMod Modifiers(unsigned state) {
  IMouseMod mod;
  mod.L = (state & (Button1Mask | Button2Mask)) != 0;
  mod.R = (state & Button3Mask) != 0;
  mod.S = (state & ShiftMask) != 0;
  mod.C = (state & ControlMask) != 0;
  mod.A = (state & Mod1Mask) != 0;
  return mod;
}

// The key as the editor sees it: its text in the current layout, its keysym and the modifiers.
IKeyPress KeyFromEvent(XKeyEvent& key) {
  char text[5] = {};
  KeySym keysym = NoSymbol;
  XLookupString(&key, text, sizeof(text) - 1, &keysym, nullptr);
  const IMouseMod mod = Modifiers(key.state);
  return IKeyPress(text, int(keysym), mod.S, mod.C, mod.A);
}

// The run loop calls these with the view (or, for closing, the delegate) as info.
void FrameCallback(CFRunLoopTimerRef, void* info) {
  static_cast<X11View*>(info)->Frame();
}

void ConnectionCallback(CFFileDescriptorRef f, CFOptionFlags, void* info) {
  static_cast<X11View*>(info)->ProcessEvents();
  if (CFFileDescriptorIsValid(f)) CFFileDescriptorEnableCallBacks(f, kCFFileDescriptorReadCallBack);
}

// Xlib reports errors through one handler for the whole process, and its default one ends the
// process. On the views' own connections errors are expected when a host destroys the window
// under the editor, and are ignored; errors on other connections go to the handler found before.
std::vector<Display*>& OwnDisplays() {
  static std::vector<Display*> displays;
  return displays;
}
XErrorHandler gPreviousErrorHandler = nullptr;

int OnXError(Display* display, XErrorEvent* error) {
  const auto& own = OwnDisplays();
  if (std::find(own.begin(), own.end(), display) != own.end()) return 0;
  return gPreviousErrorHandler ? gPreviousErrorHandler(display, error) : 0;
}

void AddOwnDisplay(Display* display) {
  if (OwnDisplays().empty()) {
    const XErrorHandler previous = XSetErrorHandler(OnXError);
    if (previous != OnXError) gPreviousErrorHandler = previous;
  }
  OwnDisplays().push_back(display);
}

void RemoveOwnDisplay(Display* display) {
  auto& own = OwnDisplays();
  own.erase(std::remove(own.begin(), own.end(), display), own.end());
  if (!own.empty()) return;
  // Put the old handler back unless someone replaced ours meanwhile.
  const XErrorHandler current = XSetErrorHandler(gPreviousErrorHandler);
  if (current != OnXError) XSetErrorHandler(current);
}

void CloseCallback(CFRunLoopTimerRef, void* info) {
  // Runs from the run loop, outside the view's own event handling, so the view may go.
  static_cast<IGfxEditorDelegate*>(info)->CloseWindow();
}

}  // namespace

std::unique_ptr<X11View> X11View::Open(IGfxCairo& gfx, unsigned long parent) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<X11View> view(new X11View(gfx, display));
  if (!view->Create(parent)) return nullptr;
  return view;
}

X11View::X11View(IGfxCairo& gfx, _XDisplay* display) : mGfx(gfx), mDisplay(display) {
  AddOwnDisplay(display);
}

float X11View::ScreenScale(_XDisplay* display) {
  double dpi = 0.0;
  if (const char* resources = XResourceManagerString(display)) {
    XrmInitialize();
    if (XrmDatabase db = XrmGetStringDatabase(resources)) {
      char* type = nullptr;
      XrmValue value{};
      // Read as C reads it whatever the locale (a decimal comma would cut "96.5" short).
      if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        const char* text = value.addr;
        while (*text == ' ' || *text == '\t') ++text;
        std::from_chars(text, text + std::strlen(text), dpi);
      }
      XrmDestroyDatabase(db);
    }
  }
  if (!(dpi > 0.0)) {
    const int screen = DefaultScreen(display);
    const int mm = DisplayWidthMM(display, screen);
    if (mm > 0) dpi = DisplayWidth(display, screen) * 25.4 / mm;
  }
  if (!(dpi > 0.0) || !std::isfinite(dpi)) return 1.f;
  return std::clamp(float(std::round(dpi / 96.0 * 4.0) / 4.0), 1.f, 4.f);
}

bool X11View::Create(unsigned long parent) {
  const int screen = DefaultScreen(mDisplay);
  mRoot = RootWindow(mDisplay, screen);
  mParent = parent;
  mGfx.SetScreenScale(ScreenScale(mDisplay));

  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;  // the frame paints every pixel: no background flash
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                     StructureNotifyMask;
  const int w = std::max(mGfx.WindowWidth(), 1), h = std::max(mGfx.WindowHeight(), 1);
  mWindow = XCreateWindow(mDisplay, parent, 0, 0, unsigned(w), unsigned(h), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attrs);
  if (!mWindow) return false;

  mProtocolsAtom = XInternAtom(mDisplay, "WM_PROTOCOLS", False);
  mDeleteAtom = XInternAtom(mDisplay, "WM_DELETE_WINDOW", False);
  mFramesAtom = XInternAtom(mDisplay, "_TOVRASAT_FRAMES", False);
  Atom protocols[] = {mDeleteAtom};
  XSetWMProtocols(mDisplay, mWindow, protocols, 1);
  SetSizeHints(w, h);
  XStoreName(mDisplay, mWindow, "TovraSat");

  char nothing[1] = {0};
  Pixmap blank = XCreateBitmapFromData(mDisplay, mWindow, nothing, 1, 1);
  XColor black{};
  mBlankCursor = XCreatePixmapCursor(mDisplay, blank, blank, &black, &black, 0, 0);
  XFreePixmap(mDisplay, blank);

  mSurface = std::make_unique<X11Surface>(mDisplay, mWindow);
  XMapWindow(mDisplay, mWindow);
  XFlush(mDisplay);

  // The connection is one more source of the main run loop, beside the idle timer.
  CFFileDescriptorContext fdContext{0, this, nullptr, nullptr, nullptr};
  mConnection = CFFileDescriptorCreate(nullptr, ConnectionNumber(mDisplay), false,
                                       ConnectionCallback, &fdContext);
  CFFileDescriptorEnableCallBacks(mConnection, kCFFileDescriptorReadCallBack);
  mConnectionSource = CFFileDescriptorCreateRunLoopSource(nullptr, mConnection, 0);
  CFRunLoopAddSource(CFRunLoopGetMain(), mConnectionSource, kCFRunLoopCommonModes);

  const double period = 1.0 / std::max(mGfx.FPS(), 1);
  CFRunLoopTimerContext timerContext{0, this, nullptr, nullptr, nullptr};
  mFrameTimer = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent(), period, 0, 0,
                                     FrameCallback, &timerContext);
  CFRunLoopAddTimer(CFRunLoopGetMain(), mFrameTimer, kCFRunLoopCommonModes);
  return true;
}

X11View::~X11View() {
  if (mFrameTimer) {
    CFRunLoopTimerInvalidate(mFrameTimer);
    CFRelease(mFrameTimer);
  }
  if (mCloseTimer) {
    CFRunLoopTimerInvalidate(mCloseTimer);
    CFRelease(mCloseTimer);
  }
  if (mConnectionSource) {
    CFRunLoopRemoveSource(CFRunLoopGetMain(), mConnectionSource, kCFRunLoopCommonModes);
    CFRelease(mConnectionSource);
  }
  if (mConnection) {
    CFFileDescriptorInvalidate(mConnection);
    CFRelease(mConnection);
  }
  mMenu.reset();
  mTextEntry.reset();
  mTooltip.reset();
  mSurface.reset();
  if (mBlankCursor) XFreeCursor(mDisplay, mBlankCursor);
  if (mWindow && !mWindowGone) XDestroyWindow(mDisplay, mWindow);
  XSync(mDisplay, False);  // errors of the requests above arrive while they are still ours
  XCloseDisplay(mDisplay);
  RemoveOwnDisplay(mDisplay);
}

void X11View::Resize(int w, int h) {
  if (mWindowGone) return;
  w = std::max(w, 1);
  h = std::max(h, 1);
  SetSizeHints(w, h);
  XResizeWindow(mDisplay, mWindow, unsigned(w), unsigned(h));
  mSurface->SetSize(w, h);
  XFlush(mDisplay);
}

void X11View::SetSizeHints(int w, int h) {
  // A fixed size: the editor resizes itself through its size menu, not by its frame. A window
  // manager reads minimum and maximum. An embedding host reads base size as the size wanted and
  // maximum as the size not to stretch past (GTK's socket through suil centres the editor then).
  // Embedded, no minimum: suil's GTK 2 embedding (Ardour 7) turns a minimum into a size request
  // it never updates again, so the host's window could follow no later change.
  if (XSizeHints* hints = XAllocSizeHints()) {
    hints->flags = PMaxSize | PBaseSize;
    if (mParent == mRoot) hints->flags |= PMinSize;
    hints->min_width = hints->max_width = hints->base_width = w;
    hints->min_height = hints->max_height = hints->base_height = h;
    XSetWMNormalHints(mDisplay, mWindow, hints);
    XFree(hints);
  }
}

void X11View::HideCursor(bool hide) {
  if (hide == mCursorHidden || mWindowGone) return;
  mCursorHidden = hide;
  if (hide) {
    XDefineCursor(mDisplay, mWindow, mBlankCursor);
  } else {
    XUndefineCursor(mDisplay, mWindow);
  }
  XFlush(mDisplay);
}

void X11View::Blit(int x, int y, int w, int h) {
  if (mWindowGone || !mSurface) return;
  mSurface->Show(mGfx.BackingSurface(), x, y, w, h);
}

void X11View::CountFrame() {
  if (mWindowGone) return;
  ++mFrames;
  const long value = long(mFrames);
  XChangeProperty(mDisplay, mWindow, mFramesAtom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&value), 1);
  XFlush(mDisplay);
}

void X11View::Frame() {
  ProcessEvents();
  mGfx.OnGUIIdle();
  std::vector<IRECT> rects;
  if (mGfx.IsDirty(rects)) {
    mGfx.Draw(rects);
    IRECT area;
    for (const IRECT& r : rects) area = area.Union(r);
    const IRECT px = area.GetScaled(mGfx.GetDrawScale()).GetPixelAligned();
    Blit(int(px.L), int(px.T), int(px.W()), int(px.H()));
    mHasDrawn = true;
    CountFrame();
  }
  UpdateTooltip(CFAbsoluteTimeGetCurrent());
}

void X11View::ProcessEvents() {
  while (XPending(mDisplay) > 0) {
    XEvent event;
    XNextEvent(mDisplay, &event);
    if (XFilterEvent(&event, None)) continue;  // the input method's own
    Handle(event);
    SyncPopups();
    if (mCloseTimer) break;  // the window is going: the rest is for nobody
  }
  SyncPopups();
}

void X11View::RequestClose() {
  if (mCloseTimer) return;
  CFRunLoopTimerContext context{0, &mGfx.GetDelegate(), nullptr, nullptr, nullptr};
  mCloseTimer =
      CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent(), 0, 0, 0, CloseCallback, &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), mCloseTimer, kCFRunLoopCommonModes);
}

void X11View::SyncPopups() {
  // A menu or text entry that ended is completed only after its windows and grabs are gone,
  // since the completion may open the next one.
  if (mMenu && mMenu->Done()) {
    IPopupMenu* chosen = mMenu->ChosenMenu();
    const int idx = mMenu->ChosenIndex();
    mMenu.reset();
    mGfx.CompletePopupMenu(chosen, chosen ? idx : -1);
  }
  if (mTextEntry && mTextEntry->Done()) {
    const bool confirmed = mTextEntry->Confirmed();
    const std::string text = mTextEntry->Text();
    mTextEntry.reset();
    if (confirmed) {
      mGfx.CompleteTextEntry(text.c_str());
    } else {
      mGfx.CancelTextEntry();
    }
  }
  // A press that opened a popup is no first half of a double-click any more.
  if (!mMenu && mGfx.GetPendingMenu()) {
    HideTooltip();
    mLastPressButton = 0;
    const IRECT& a = mGfx.GetPendingMenuAnchor();
    const float s = mGfx.GetDrawScale();
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(mDisplay, mWindow, mRoot, int(a.L * s), int(a.B * s), &rootX, &rootY,
                          &child);
    mMenu = std::make_unique<X11Menu>(mDisplay, mRoot, mGfx.GetDelegate(), *mGfx.GetPendingMenu(),
                                      rootX, rootY, mGfx.GetDrawScale());
  }
  if (!mTextEntry && mGfx.IsTextEntryPending()) {
    HideTooltip();
    mLastPressButton = 0;
    mTextEntry = std::make_unique<X11TextEntry>(mDisplay, mWindow, mGfx.GetDelegate(),
                                                mGfx.GetTextEntryText(), mGfx.GetTextEntryBounds(),
                                                mGfx.GetDrawScale(), mGfx.GetTextEntryString());
  }
}

void X11View::Handle(XEvent& event) {
  switch (event.type) {
    case Expose:
      if (mMenu) mMenu->OnExpose(event.xexpose.window);
      if (mTextEntry && event.xexpose.window == mTextEntry->Window()) mTextEntry->OnExpose();
      if (mTooltip && event.xexpose.window == mTooltip->Id()) mTooltip->Show();
      if (event.xexpose.window == mWindow) {
        Blit(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
        // Only a picture that holds the editor counts as drawn (the first Expose may come first).
        if (event.xexpose.count == 0 && mHasDrawn) CountFrame();
      }
      break;
    case ButtonPress:
      if (mMenu) {
        if (event.xbutton.button <= Button3)
          mMenu->OnPress(event.xbutton.x_root, event.xbutton.y_root);
      } else if (mTextEntry) {
        mTextEntry->OnPress(event.xbutton.x_root, event.xbutton.y_root);
      } else if (event.xbutton.window == mWindow) {
        HandlePress(event);
      }
      break;
    case ButtonRelease:
      if (mMenu) {
        if (event.xbutton.button <= Button3)
          mMenu->OnRelease(event.xbutton.x_root, event.xbutton.y_root);
      } else if (event.xbutton.window == mWindow) {
        // Also while a text entry is open: the press that opened it still waits for its release.
        HandleRelease(event);
      }
      break;
    case MotionNotify:
      if (mMenu) {
        mMenu->OnMotion(event.xmotion.x_root, event.xmotion.y_root);
      } else if (!mTextEntry && event.xmotion.window == mWindow) {
        HandleMotion(event);
      }
      break;
    case EnterNotify:
      // Also a window that appears under a resting pointer: mouse-over starts without a motion.
      if (event.xcrossing.window == mWindow && !mMenu && !mTextEntry &&
          !(event.xcrossing.state & kHeldButtons)) {
        const float s = mGfx.GetDrawScale();
        PointerOver(float(event.xcrossing.x) / s, float(event.xcrossing.y) / s,
                    event.xcrossing.state);
      }
      break;
    case LeaveNotify:
      if (event.xcrossing.window == mWindow && event.xcrossing.mode == NotifyNormal &&
          !(event.xcrossing.state & kHeldButtons)) {
        mPointerInside = false;
        HideTooltip();
        mGfx.OnMouseOut();
      }
      break;
    case KeyPress:
      if (mTextEntry) {
        mTextEntry->OnKey(event);
      } else if (mMenu) {
        mMenu->OnKey(XLookupKeysym(&event.xkey, 0));
      } else if (event.xkey.window == mWindow) {
        mGfx.OnKeyDown(mLastX, mLastY, KeyFromEvent(event.xkey));
      }
      break;
    case KeyRelease:
      if (!mTextEntry && !mMenu && event.xkey.window == mWindow)
        mGfx.OnKeyUp(mLastX, mLastY, KeyFromEvent(event.xkey));
      break;
    case DestroyNotify:
      // The host destroyed the window (or its parent): the editor has nothing to show on.
      if (event.xdestroywindow.window == mWindow) {
        mWindowGone = true;
        mMenu.reset();
        mTextEntry.reset();
        mTooltip.reset();
        RequestClose();
      }
      break;
    case ConfigureNotify:
      // A host whose area stays smaller than the editor (one that does not follow a size
      // change) centres it and cuts off its top, with the SIZE menu that would make it fit
      // again: keep the top-left corner inside the host's area instead.
      if (event.xconfigure.window == mWindow && !event.xconfigure.send_event && mParent != mRoot &&
          (event.xconfigure.x < 0 || event.xconfigure.y < 0)) {
        XMoveWindow(mDisplay, mWindow, std::max(event.xconfigure.x, 0),
                    std::max(event.xconfigure.y, 0));
        XFlush(mDisplay);
      }
      break;
    case ClientMessage:
      if (event.xclient.window == mWindow && event.xclient.message_type == mProtocolsAtom &&
          static_cast<unsigned long>(event.xclient.data.l[0]) == mDeleteAtom)
        RequestClose();
      break;
    default:
      break;
  }
}

void X11View::HandlePress(XEvent& event) {
  const XButtonEvent& b = event.xbutton;
  const float s = mGfx.GetDrawScale();
  const float x = float(b.x) / s, y = float(b.y) / s;
  HideTooltip();
  mTooltipDismissed = true;
  IMouseMod mod = Modifiers(b.state);
  switch (b.button) {
    case 4:
    case 5:
    case 6:
    case 7: {
      // Up and right step up, down and left step down.
      const float d = (b.button == 4 || b.button == 7) ? 1.f : -1.f;
      mGfx.OnMouseWheel(x, y, mod, d);
      return;
    }
    case Button1:
    case Button2:
      mod.L = true;
      break;
    case Button3:
      mod.R = true;
      break;
    default:
      return;
  }
  mLastX = x;
  mLastY = y;
  const bool first = (b.state & kHeldButtons) == 0;
  if (first) {
    mLastPixelX = mAnchorX = b.x;
    mLastPixelY = mAnchorY = b.y;
    mWarpPending = false;
  }
  const bool fastPair =
      first && !mLastPressWasDouble && b.button == mLastPressButton &&
      b.time - mLastPressTime <= static_cast<unsigned long>(kDoubleClickSeconds * 1000.0) &&
      std::abs(b.x - mLastPressX) <= kDoubleClickPixels &&
      std::abs(b.y - mLastPressY) <= kDoubleClickPixels;
  mLastPressTime = b.time;
  mLastPressButton = b.button;
  mLastPressX = b.x;
  mLastPressY = b.y;
  mLastPressWasDouble = fastPair;
  if (fastPair) {
    mGfx.OnMouseDblClick(x, y, mod);
  } else {
    mGfx.OnMouseDown(x, y, mod);
  }
}

void X11View::HandleRelease(XEvent& event) {
  const XButtonEvent& b = event.xbutton;
  const unsigned mask = MaskOf(b.button);
  if (!mask) return;
  const float s = mGfx.GetDrawScale();
  // Only the release of the last held button ends the interaction.
  if ((b.state & kHeldButtons & ~mask) != 0) return;
  IMouseMod mod = Modifiers(b.state & ~mask);
  mLastX = float(b.x) / s;
  mLastY = float(b.y) / s;
  mGfx.OnMouseUp(mLastX, mLastY, mod);
}

void X11View::HandleMotion(XEvent& event) {
  // Of a run of motions queued back to back only the latest matters; a motion after a press or
  // release stays behind it, and so does one after the pointer was put back (another frame of
  // reference).
  auto afterWarp = [this](const XEvent& e) { return mWarpPending && e.xany.serial >= mWarpSerial; };
  while (XPending(mDisplay) > 0) {
    XEvent next;
    XPeekEvent(mDisplay, &next);
    if (next.type != MotionNotify || next.xmotion.window != mWindow ||
        afterWarp(next) != afterWarp(event))
      break;
    XNextEvent(mDisplay, &event);
  }
  const XMotionEvent& m = event.xmotion;
  const float s = mGfx.GetDrawScale();
  if (!(m.state & kHeldButtons)) {
    PointerOver(float(m.x) / s, float(m.y) / s, m.state);
    return;
  }
  // Motions from before the pointer was put back are measured from where it was; the first one
  // after from where it was put.
  if (afterWarp(event)) {
    mWarpPending = false;
    mLastPixelX = mAnchorX;
    mLastPixelY = mAnchorY;
  }
  const float dX = float(m.x - mLastPixelX) / s, dY = float(m.y - mLastPixelY) / s;
  mLastPixelX = m.x;
  mLastPixelY = m.y;
  if (dX == 0.f && dY == 0.f) return;
  mLastX += dX;
  mLastY += dY;
  mGfx.OnMouseDrag(mLastX, mLastY, dX, dY, Modifiers(m.state));
  // While a control hides the cursor, the pointer goes back to where the drag began after each
  // step, so a knob turns on however far the mouse travels (the screen's edge never stops it).
  if (mGfx.IsCursorHidden() && !mWarpPending && !mWindowGone &&
      (m.x != mAnchorX || m.y != mAnchorY)) {
    mWarpSerial = NextRequest(mDisplay);
    mWarpPending = true;
    XWarpPointer(mDisplay, None, mWindow, 0, 0, 0, 0, mAnchorX, mAnchorY);
    XFlush(mDisplay);
  }
}

void X11View::PointerOver(float x, float y, unsigned state) {
  mPointerInside = true;
  IControl* before = mGfx.GetMouseOverControl();
  mGfx.OnMouseOver(x, y, Modifiers(state));
  if (mGfx.GetMouseOverControl() != before) mTooltipDismissed = false;
  HideTooltip();
  mLastMotion = CFAbsoluteTimeGetCurrent();
  mLastX = x;
  mLastY = y;
}

void X11View::HideTooltip() {
  mTooltip.reset();
  mTooltipText.clear();
}

void X11View::UpdateTooltip(double now) {
  if (mTooltip || mTooltipDismissed || !mPointerInside || mMenu || mTextEntry) return;
  if (mLastMotion == 0.0 || now - mLastMotion < kTooltipDelay) return;
  const std::string text = mGfx.GetTooltipForCurrentMouseOver();
  if (text.empty()) return;
  // Near the pointer, below and to the right, kept on the screen; as large as the editor's own
  // text, so it grows with the editor's size.
  const float scale = mGfx.GetDrawScale();
  const IText style(12.f, IColor(255, 20, 20, 24), "TovraMenu", EAlign::Center, EVAlign::Middle);
  IRECT extent;
  {
    IGfxCairo probe(mGfx.GetDelegate(), 1, 1, 60, 1.f);
    probe.LoadFont("TovraMenu", "Roboto-Regular.ttf");
    extent = probe.MeasureText(style, text.c_str(), IRECT());
  }
  const float w = std::ceil(extent.W()) + 14.f, h = 20.f;
  int rootX = 0, rootY = 0;
  ::Window child = 0;
  XTranslateCoordinates(mDisplay, mWindow, mRoot, int(mLastX * scale) + 12,
                        int(mLastY * scale) + 18,
                        &rootX, &rootY, &child);
  const int screenW = DisplayWidth(mDisplay, DefaultScreen(mDisplay));
  const int screenH = DisplayHeight(mDisplay, DefaultScreen(mDisplay));
  rootX = std::max(0, std::min(rootX, screenW - int(w * scale)));
  rootY = std::max(0, std::min(rootY, screenH - int(h * scale)));
  mTooltipText = text;
  mTooltip = std::make_unique<X11PopupWindow>(
      mDisplay, mRoot, true, mGfx.GetDelegate(), rootX, rootY, int(w), int(h), scale,
      [this, w, h, style](IGfx& g) {
        g.LoadFont("TovraMenu", "Roboto-Regular.ttf");
        g.FillRect(IColor(255, 250, 248, 230), IRECT(0, 0, w, h));
        g.DrawRect(IColor(255, 120, 120, 110), IRECT(0.5f, 0.5f, w - 0.5f, h - 0.5f));
        g.DrawText(style, mTooltipText.c_str(), IRECT(0, 0, w, h));
      });
}

}  // namespace plug::gfx
