// IKnobControlBase: drag gearing, fine adjustment, stepped rounding and the wheel.
#include "gfx/IKnobControlBase.h"

#include <algorithm>

#include "gfx/IGfx.h"
#include "plug/IParam.h"

namespace plug::gfx {

IKnobControlBase::IKnobControlBase(const IRECT& bounds, int paramIdx, EDirection direction,
                                   double gearing)
    : IControl(bounds, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControlBase::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R) {
    PromptUserInput(GetValIdxForPos(x, y));
    return;
  }
  mMouseDown = true;
  mMouseDragValue = GetValue();
  if (mHideCursorOnDrag && GetUI()) GetUI()->HideMouseCursor(true);
}

void IKnobControlBase::OnMouseUp(float, float, const IMouseMod&) {
  if (mHideCursorOnDrag && GetUI() && GetUI()->IsCursorHidden()) GetUI()->HideMouseCursor(false);
  mMouseDown = false;
  SetDirty(false);
}

double IKnobControlBase::SnapToStep(double v) const {
  const IParam* param = GetParam();
  if (!param || !param->GetStepped() || !(param->GetStep() > 0.0)) return v;
  // Constrain rounds to the step (halves away from zero) and clamps to the range.
  return param->ToNormalized(param->Constrain(param->FromNormalized(v)));
}

void IKnobControlBase::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod) {
  const double gearing = mod.FineAdjust() ? mGearing * 10.0 : mGearing;
  if (!(gearing > 0.0)) return;
  const IRECT bounds = GetKnobDragBounds();
  double delta = 0.0;
  if (mDirection == EDirection::Vertical) {
    if (!(bounds.H() > 0.f)) return;
    delta = double(dY) / double(-bounds.H()) / gearing;
  } else {
    if (!(bounds.W() > 0.f)) return;
    delta = double(dX) / double(bounds.W()) / gearing;
  }
  mMouseDragValue = std::clamp(mMouseDragValue + delta, 0.0, 1.0);
  SetValue(SnapToStep(mMouseDragValue));
  SetDirty(true);
}

void IKnobControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float d) {
  const IParam* param = GetParam();
  if (param && param->GetStepped() && param->GetStep() > 0.0 && d != 0.f) {
    const double step = d > 0.f ? param->GetStep() : -param->GetStep();
    const double real = param->Constrain(param->FromNormalized(GetValue()) + step);
    SetValue(std::clamp(param->ToNormalized(real), 0.0, 1.0));
  } else {
    const double gain = mod.FineAdjust() ? 0.001 : 0.01;
    SetValue(GetValue() + double(d) * gain);
  }
  SetDirty(true);
}

}  // namespace plug::gfx
