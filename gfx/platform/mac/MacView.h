// MacView: the AppKit view that shows a Core Graphics context and feeds it the user's events.
#pragma once

#include <memory>

namespace plug::gfx {

class IGfxCoreGraphics;

/** An NSView (flipped, layer-backed by AppKit as it sees fit) the size of the editor's window in
 *  points. It shows the context's backing bitmap, runs the frame timer on the main run loop,
 *  passes mouse, wheel and tracking events through MacInput, shows the context's pending popup
 *  menu as an NSMenu and its pending text entry as an NSTextField, gives AppKit one tooltip
 *  rectangle per control with a tooltip, hides the cursor while a knob is dragged, and follows
 *  the backing scale of the screen it is on.
 *
 *  The context owns this object; the host owns the NSView once it has it. When the host takes
 *  the view out of its window, the editor is closed through the plug-in (CloseWindow), which
 *  destroys the context and this object; destroying this object first cuts the view loose from
 *  the context, stops the timer and takes the view out of its superview. Threads: main. */
class MacView {
 public:
  /** parent: an NSView to add the view to, or null. Null when AppKit cannot make the view. */
  static std::unique_ptr<MacView> Open(IGfxCoreGraphics& graphics, void* parent);
  /** The main screen's backing scale factor (1 when there is no screen). */
  static float MainScreenScale();

  ~MacView();
  MacView(const MacView&) = delete;
  MacView& operator=(const MacView&) = delete;

  /** The NSView. */
  void* NativeView() const { return mView; }
  /** w x h points. */
  void Resize(int w, int h);
  /** Hides the cursor and holds the pointer still (a drag then moves by the device's deltas), or
   *  shows it again where the drag began. */
  void HideCursor(bool hide);

 private:
  MacView() = default;

  void* mView = nullptr;  // the NSView, retained by this object
  bool mCursorHidden = false;
};

}  // namespace plug::gfx
