// Knob: the rotated cap.
#include "ui/Knob.h"

#include "gfx/IGfx.h"
#include "ui/PlateGeometry.h"

namespace TovraUI {

using namespace plug::gfx;

Knob::Knob(const IRECT& bounds, int paramIdx, float scale, float cx, float cy, const IBitmap& cap,
           float capSize, double angleOffset, const char* tooltip, double gearing)
    : IKnobControlBase(bounds, paramIdx, EDirection::Vertical, gearing),
      mScale(scale),
      mCX(cx),
      mCY(cy),
      mCap(cap),
      mCapName(cap.GetResourceName()),
      mCapSize(capSize),
      mAngleOffset(angleOffset) {
  SetHideCursorOnDrag(true);
  SetTooltip(tooltip);
}

void Knob::Draw(IGfx& g) {
  const float s = mScale;
  const double rotation = GetValue() * 270.0 - 135.0 - mAngleOffset;
  const float half = 0.5f * mCapSize * s;
  g.PathTransformSave();
  g.PathTransformTranslate(mCX * s, mCY * s);
  if (rotation != 0.0) g.PathTransformRotate(static_cast<float>(rotation));
  if (mCap.IsValid()) {
    g.DrawFittedBitmap(mCap, IRECT(-half, -half, half, half));
  } else {
    DrawPlainCap(g, half);
  }
  g.PathTransformRestore();
}

void Knob::DrawPlainCap(IGfx& g, float half) const {
  // The pointer sits where the angle offset expects the image's mark, so the plain cap points
  // at the value on the scale like the image would.
  const auto offset = static_cast<float>(mAngleOffset);
  const DialPoint tip = DialPoint::At(0.f, 0.f, 0.85f * half, offset);
  const DialPoint root = DialPoint::At(0.f, 0.f, 0.45f * half, offset);
  g.FillCircle(IColor(255, 58, 60, 66), 0.f, 0.f, half);
  g.DrawLine(IColor(255, 236, 236, 238), root.x, root.y, tip.x, tip.y, nullptr, 0.08f * half);
}

}  // namespace TovraUI
