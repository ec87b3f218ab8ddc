// MacInput: AppKit's mouse and wheel events turned into the graphics context's events, in plain
// C++.
#pragma once

#include "gfx/IMouseMod.h"

namespace plug::gfx {

class IGfx;

/** NSEvent's modifier flag bits, mirrored so the translation builds and is tested anywhere; the
 *  AppKit view checks them against AppKit's own values when it compiles. */
struct MacModifierFlags {
  static constexpr unsigned long kShift = 1ul << 17;
  static constexpr unsigned long kControl = 1ul << 18;
  static constexpr unsigned long kOption = 1ul << 19;
  static constexpr unsigned long kCommand = 1ul << 20;
};

enum class EMacButton { Left, Right };

/** Positions come in view points with y growing downwards (the view is flipped); the context
 *  works in logical pixels, the points divided by the draw scale.
 *
 *  - A press whose click count is even (the second of a fast pair) is a double-click.
 *  - A Control-click is the secondary (right) click, as everywhere on macOS; Command is our
 *    Command, Option our Alt.
 *  - While the context hides the cursor for a drag, the view holds the pointer still, so the
 *    drag moves by the event's own deltas and keeps its position.
 *  - Threads: main. */
class MacInput {
 public:
  explicit MacInput(IGfx& graphics) : mGraphics(graphics) {}

  static IMouseMod Mod(unsigned long modifierFlags, bool left, bool right);
  /** Wheel steps from a scroll event: a wheel gives lines, a trackpad (precise) points, ten to a
   *  line. Positive turns a knob up whichever way the user has set scrolling to go. */
  static float WheelSteps(double deltaY, bool precise, bool directionInverted);

  void MouseDown(float x, float y, EMacButton button, long clickCount, unsigned long flags);
  void MouseDragged(float x, float y, float eventDX, float eventDY, EMacButton button,
                    unsigned long flags);
  void MouseUp(float x, float y, EMacButton button, unsigned long flags);
  void MouseMoved(float x, float y, unsigned long flags);
  void MouseExited();
  void ScrollWheel(float x, float y, double deltaY, bool precise, bool directionInverted,
                   unsigned long flags);

  static constexpr double kPointsPerLine = 10.0;

 private:
  float Logical(float points) const;

  IGfx& mGraphics;
  float mLastX = 0.f, mLastY = 0.f;  // logical position of the previous press or drag
  bool mRightDrag = false;           // the press was a secondary click (Control-click included)
};

}  // namespace plug::gfx
