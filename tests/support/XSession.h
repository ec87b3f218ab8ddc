// XSession: what the window tests do on the X server: real input through xdotool, the window's
// frame count, the popup windows on the screen, closing as a window manager does.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// Xlib's macros come after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace testsupport {

/** A connection of the test's own to the server in DISPLAY. Threads: the test's main thread,
 *  which also runs the main run loop that drives the editor. */
class XSession {
 public:
  struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
  };

  XSession() : mDisplay(XOpenDisplay(nullptr)) {}
  ~XSession() {
    if (mDisplay) XCloseDisplay(mDisplay);
  }
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  Display* Get() const { return mDisplay; }
  Window Root() const { return DefaultRootWindow(mDisplay); }

  /** Runs the main run loop until done() holds; false after ten seconds. */
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, true);
    }
    return true;
  }

  /** The frames the view counted in its _TOVRASAT_FRAMES property; 0 before the first. */
  long Frames(Window window) const {
    const Atom atom = XInternAtom(mDisplay, "_TOVRASAT_FRAMES", False);
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    long frames = 0;
    if (XGetWindowProperty(mDisplay, window, atom, 0, 1, False, XA_CARDINAL, &type, &format, &n,
                           &after, &data) == Success &&
        data && n == 1)
      frames = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return frames;
  }
  bool WaitForFrames(Window window, long atLeast) const {
    return PumpUntil([&] { return Frames(window) >= atLeast; });
  }

  /** xdotool with the arguments; true when it ran to a good end. Its events then wait on the
   *  view's connection for the run loop. */
  static bool Xdo(const std::string& args) {
    const std::string cmd = "xdotool " + args;
    return std::system(cmd.c_str()) == 0;
  }

  /** The mapped override-redirect windows (menu levels, tooltips) in stacking order. */
  std::vector<Geometry> Popups() const {
    std::vector<Geometry> out;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    XQueryTree(mDisplay, Root(), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes wa;
      if (XGetWindowAttributes(mDisplay, children[i], &wa) && wa.override_redirect &&
          wa.map_state == IsViewable)
        out.push_back({wa.x, wa.y, wa.width, wa.height});
    }
    if (children) XFree(children);
    return out;
  }

  Geometry WindowGeometry(Window window) const {
    XWindowAttributes wa{};
    if (!XGetWindowAttributes(mDisplay, window, &wa)) return {};
    return {wa.x, wa.y, wa.width, wa.height};
  }

  /** What a window manager sends when the user closes the window. */
  void Close(Window window) const {
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(mDisplay, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(mDisplay, "WM_DELETE_WINDOW", False));
    XSendEvent(mDisplay, window, False, NoEventMask, &close);
    XFlush(mDisplay);
  }

  /** True while the window exists. */
  bool Exists(Window window) const {
    XSync(mDisplay, False);
    const auto old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XWindowAttributes wa{};
    const bool exists = XGetWindowAttributes(mDisplay, window, &wa) != 0;
    XSync(mDisplay, False);
    XSetErrorHandler(old);
    return exists;
  }

 private:
  Display* mDisplay;
};

}  // namespace testsupport
