// X11PopupWindow: a small window of its own (menu level, tooltip, text field) drawn with the
// toolkit.
#pragma once

#include <functional>
#include <memory>

#include "gfx/IGfx.h"

struct _XDisplay;

namespace plug::gfx {

class IGfxCairo;
class IGfxEditorDelegate;
class X11Surface;

/** Its own graphics context of the window's logical size, with one control that
 *  paints through the given function; Redraw draws it and shows it. Override-
 *  redirect windows (menus, tooltips) sit above everything at root coordinates;
 *  the others are children of parent at coordinates inside it. Threads: main. */
class X11PopupWindow {
 public:
  using PaintFn = std::function<void(IGfx&)>;

  X11PopupWindow(_XDisplay* display, unsigned long parent, bool overrideRedirect,
                 IGfxEditorDelegate& dlg, int x, int y, int logicalW, int logicalH, float scale,
                 PaintFn paint);
  ~X11PopupWindow();
  X11PopupWindow(const X11PopupWindow&) = delete;
  X11PopupWindow& operator=(const X11PopupWindow&) = delete;

  unsigned long Id() const { return mWindow; }
  int X() const { return mX; }
  int Y() const { return mY; }
  int PixelWidth() const;
  int PixelHeight() const;
  float Scale() const;
  /** Paints the whole window again and shows it. */
  void Redraw();
  /** Shows what was painted last (after an Expose). */
  void Show();
  /** True when the root point lies on this window. */
  bool Contains(int rootX, int rootY) const;
  IGfx& Gfx();

 private:
  _XDisplay* mDisplay;
  unsigned long mWindow = 0;
  int mX, mY;
  std::unique_ptr<IGfxCairo> mGfx;
  std::unique_ptr<X11Surface> mSurface;
};

}  // namespace plug::gfx
