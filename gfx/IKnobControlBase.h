// IKnobControlBase: a control whose value follows vertical or horizontal drags and the wheel.
#pragma once

#include "gfx/IControl.h"

namespace plug::gfx {

enum class EDirection { Vertical = 0, Horizontal = 1 };

/** A drag over the whole drag bounds (the target rectangle) moves the value by
 *  1 / gearing, ten times finer with Shift or Command. The value being dragged
 *  is kept unrounded and clamped, so a drag past either end sticks there and
 *  moves again as soon as the pointer turns back. */
class IKnobControlBase : public IControl {
 public:
  static constexpr double kDefaultGearing = 4.0;

  IKnobControlBase(const IRECT& bounds, int paramIdx = kNoParameter,
                   EDirection direction = EDirection::Vertical, double gearing = kDefaultGearing);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  virtual IRECT GetKnobDragBounds() { return mTargetRECT; }

  void SetGearing(double gearing) { mGearing = gearing; }
  double GetGearing() const { return mGearing; }
  void SetDirection(EDirection direction) { mDirection = direction; }
  EDirection GetDirection() const { return mDirection; }
  void SetHideCursorOnDrag(bool hide) { mHideCursorOnDrag = hide; }
  bool GetMouseIsDown() const { return mMouseDown; }
  double GetDragValue() const { return mMouseDragValue; }

 protected:
  /** The normalised value to show for v: v itself, or for a stepped parameter the nearest step. */
  double SnapToStep(double v) const;

  bool mHideCursorOnDrag = true;
  EDirection mDirection = EDirection::Vertical;
  double mGearing = kDefaultGearing;
  bool mMouseDown = false;
  double mMouseDragValue = 0.0;
};

}  // namespace plug::gfx
