// X11PopupWindow: window creation, painting through a one-control context, blitting.
#include "gfx/platform/x11/X11PopupWindow.h"

#include <algorithm>

#include "gfx/platform/IGfxCairo.h"
#include "gfx/platform/x11/X11Surface.h"

// Xlib defines macros (None, Bool, Status) that would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace plug::gfx {

namespace {

class PaintControl : public IControl {
 public:
  PaintControl(const IRECT& r, X11PopupWindow::PaintFn fn) : IControl(r), mPaint(std::move(fn)) {}
  void Draw(IGfx& g) override {
    if (mPaint) mPaint(g);
  }

 private:
  X11PopupWindow::PaintFn mPaint;
};

}  // namespace

X11PopupWindow::X11PopupWindow(_XDisplay* display, unsigned long parent, bool overrideRedirect,
                               IGfxEditorDelegate& dlg, int x, int y, int logicalW, int logicalH,
                               float scale, PaintFn paint)
    : mDisplay(display),
      mX(x),
      mY(y),
      mGfx(std::make_unique<IGfxCairo>(dlg, std::max(logicalW, 1), std::max(logicalH, 1), 60,
                                       scale)) {
  mGfx->AttachControl(new PaintControl(mGfx->GetBounds(), std::move(paint)));
  XSetWindowAttributes attrs{};
  attrs.override_redirect = overrideRedirect ? True : False;
  attrs.background_pixmap = None;  // no flash of a background before the first paint
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask | LeaveWindowMask;
  mWindow = XCreateWindow(display, parent, x, y, unsigned(PixelWidth()), unsigned(PixelHeight()), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixmap | CWEventMask, &attrs);
  mSurface = std::make_unique<X11Surface>(display, mWindow);
  XMapRaised(display, mWindow);
  Redraw();
}

X11PopupWindow::~X11PopupWindow() {
  mSurface.reset();
  XDestroyWindow(mDisplay, mWindow);
  XFlush(mDisplay);
}

int X11PopupWindow::PixelWidth() const {
  return std::max(mGfx->WindowWidth(), 1);
}

int X11PopupWindow::PixelHeight() const {
  return std::max(mGfx->WindowHeight(), 1);
}

float X11PopupWindow::Scale() const {
  return mGfx->GetDrawScale();
}

IGfx& X11PopupWindow::Gfx() {
  return *mGfx;
}

bool X11PopupWindow::Contains(int rootX, int rootY) const {
  return rootX >= mX && rootX < mX + PixelWidth() && rootY >= mY && rootY < mY + PixelHeight();
}

void X11PopupWindow::Redraw() {
  mGfx->SetAllControlsDirty();
  mGfx->DrawFrame();
  Show();
}

void X11PopupWindow::Show() {
  mSurface->Show(mGfx->BackingSurface(), 0, 0, PixelWidth(), PixelHeight());
  XFlush(mDisplay);
}

}  // namespace plug::gfx
