// MacInput: click counts, modifiers, drag deltas and wheel steps for the context.
#include "gfx/platform/mac/MacInput.h"

#include <cmath>

#include "gfx/IGfx.h"

namespace plug::gfx {

IMouseMod MacInput::Mod(unsigned long flags, bool left, bool right) {
  return IMouseMod(left, right, (flags & MacModifierFlags::kShift) != 0,
                   (flags & MacModifierFlags::kCommand) != 0,
                   (flags & MacModifierFlags::kOption) != 0);
}

float MacInput::WheelSteps(double deltaY, bool precise, bool directionInverted) {
  if (!std::isfinite(deltaY)) return 0.f;
  double d = precise ? deltaY / kPointsPerLine : deltaY;
  if (directionInverted) d = -d;
  return static_cast<float>(d);
}

float MacInput::Logical(float points) const {
  return points / mGraphics.GetDrawScale();
}

void MacInput::MouseDown(float x, float y, EMacButton button, long clickCount,
                         unsigned long flags) {
  const bool right = button == EMacButton::Right || (flags & MacModifierFlags::kControl) != 0;
  mRightDrag = right;
  mLastX = Logical(x);
  mLastY = Logical(y);
  const IMouseMod mod = Mod(flags, !right, right);
  if (clickCount >= 2 && clickCount % 2 == 0) {
    mGraphics.OnMouseDblClick(mLastX, mLastY, mod);
  } else {
    mGraphics.OnMouseDown(mLastX, mLastY, mod);
  }
}

void MacInput::MouseDragged(float x, float y, float eventDX, float eventDY, EMacButton,
                            unsigned long flags) {
  float lx = Logical(x), ly = Logical(y);
  float dX = lx - mLastX, dY = ly - mLastY;
  if (mGraphics.IsCursorHidden()) {
    // The pointer is held where the drag began; only the device's movement counts.
    dX = Logical(eventDX);
    dY = Logical(eventDY);
    lx = mLastX;
    ly = mLastY;
  }
  mLastX = lx;
  mLastY = ly;
  mGraphics.OnMouseDrag(lx, ly, dX, dY, Mod(flags, !mRightDrag, mRightDrag));
}

void MacInput::MouseUp(float x, float y, EMacButton, unsigned long flags) {
  const float lx = mGraphics.IsCursorHidden() ? mLastX : Logical(x);
  const float ly = mGraphics.IsCursorHidden() ? mLastY : Logical(y);
  mGraphics.OnMouseUp(lx, ly, Mod(flags, !mRightDrag, mRightDrag));
  mRightDrag = false;
}

void MacInput::MouseMoved(float x, float y, unsigned long flags) {
  mGraphics.OnMouseOver(Logical(x), Logical(y), Mod(flags, false, false));
}

void MacInput::MouseExited() {
  mGraphics.OnMouseOut();
}

void MacInput::ScrollWheel(float x, float y, double deltaY, bool precise, bool directionInverted,
                           unsigned long flags) {
  // Momentum and phase ends arrive with no movement; they must not touch the value.
  const float d = WheelSteps(deltaY, precise, directionInverted);
  if (d == 0.f) return;
  mGraphics.OnMouseWheel(Logical(x), Logical(y), Mod(flags, false, false), d);
}

}  // namespace plug::gfx
