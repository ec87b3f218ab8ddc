// X11Surface: XPutImage of the image surface's rows, or Cairo's Xlib surface for other visuals.
#include "gfx/platform/x11/X11Surface.h"

#include <algorithm>

// Xlib defines macros (None, Bool, Status) that would clash with names in other headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>

namespace plug::gfx {

X11Surface::X11Surface(_XDisplay* display, unsigned long window)
    : mDisplay(display), mWindow(window) {
  XWindowAttributes wa{};
  XGetWindowAttributes(display, window, &wa);
  mWidth = std::max(wa.width, 1);
  mHeight = std::max(wa.height, 1);
  mGC = XCreateGC(display, window, 0, nullptr);
  Visual* v = wa.visual;
  mVisual = v;
  mDepth = wa.depth;
  mDirect = v && (wa.depth == 24 || wa.depth == 32) && v->red_mask == 0xFF0000 &&
            v->green_mask == 0x00FF00 && v->blue_mask == 0x0000FF;
  if (!mDirect) mFallback = cairo_xlib_surface_create(display, window, wa.visual, mWidth, mHeight);
}

X11Surface::~X11Surface() {
  if (mFallback) {
    // The rasteriser keeps per-connection state (its device); it is let go with the window.
    cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(mFallback));
    cairo_surface_destroy(mFallback);
    if (device) {
      cairo_device_finish(device);
      cairo_device_destroy(device);
    }
  }
  if (mGC) XFreeGC(mDisplay, mGC);
}

void X11Surface::SetSize(int w, int h) {
  mWidth = std::max(w, 1);
  mHeight = std::max(h, 1);
  if (mFallback) cairo_xlib_surface_set_size(mFallback, mWidth, mHeight);
}

void X11Surface::Show(_cairo_surface* image, int x, int y, int w, int h) {
  if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) return;
  const int iw = cairo_image_surface_get_width(image), ih = cairo_image_surface_get_height(image);
  // Only what both the image and the window have.
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min({x + w, iw, mWidth}), y1 = std::min({y + h, ih, mHeight});
  if (x1 <= x0 || y1 <= y0) return;
  cairo_surface_flush(image);
  if (mDirect) {
    XImage* img =
        XCreateImage(mDisplay, static_cast<Visual*>(mVisual), unsigned(mDepth), ZPixmap, 0,
                     reinterpret_cast<char*>(cairo_image_surface_get_data(image)), unsigned(iw),
                     unsigned(ih), 32, cairo_image_surface_get_stride(image));
    if (!img) return;
    // Cairo keeps each pixel as a native 32-bit word; Xlib swaps for a server of the other order.
    const unsigned one = 1;
    img->byte_order = *reinterpret_cast<const unsigned char*>(&one) == 1 ? LSBFirst : MSBFirst;
    XPutImage(mDisplay, mWindow, mGC, img, x0, y0, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0));
    img->data = nullptr;  // the pixels stay the image surface's
    XDestroyImage(img);
  } else {
    cairo_t* cr = cairo_create(mFallback);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mFallback);
  }
}

}  // namespace plug::gfx
