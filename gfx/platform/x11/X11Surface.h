// X11Surface: shows the pixels of a Cairo image surface in an X11 window.
#pragma once

struct _XDisplay;
struct _XGC;
struct _cairo_surface;

namespace plug::gfx {

/** The image's 32-bit ARGB pixels go to the window with XPutImage when the
 *  window's visual is the usual 24- or 32-bit true colour one (red, green and
 *  blue in the bytes Cairo keeps them in), through Cairo's own Xlib surface
 *  otherwise. Pixels are shown premultiplied, as over black. Threads: main. */
class X11Surface {
 public:
  X11Surface(_XDisplay* display, unsigned long window);
  ~X11Surface();
  X11Surface(const X11Surface&) = delete;
  X11Surface& operator=(const X11Surface&) = delete;

  /** Copies the rectangle (window pixels, the same in the image) from image to the window. */
  void Show(_cairo_surface* image, int x, int y, int w, int h);
  /** The window's new size (for the Cairo path). */
  void SetSize(int w, int h);

 private:
  _XDisplay* mDisplay;
  unsigned long mWindow;
  _XGC* mGC = nullptr;
  void* mVisual = nullptr;  // the window's Visual
  int mDepth = 24;
  bool mDirect = false;  // the visual takes Cairo's pixels as they are
  _cairo_surface* mFallback = nullptr;
  int mWidth = 1, mHeight = 1;
};

}  // namespace plug::gfx
