// Plate: image, badge recess, trim scale and display window.
#include "ui/Plate.h"

#include "gfx/IGfx.h"
#include "ui/PlateGeometry.h"

namespace TovraUI {

using namespace plug::gfx;

Plate::Plate(const IRECT& bounds, float scale, const IBitmap& plate)
    : IControl(bounds), mScale(scale), mPlate(plate), mPlateName(plate.GetResourceName()) {
  SetIgnoreMouse(true);
}

void Plate::Draw(IGfx& g) {
  DrawImage(g);
  DrawBadgeRecess(g);
  DrawTrimScale(g);
  DrawDisplayWindow(g);
}

void Plate::DrawImage(IGfx& g) const {
  const float s = mScale;
  // A flat face under the image: the editor is opaque even where the image is missing or does
  // not reach (2000 units scale to 665.67 of the 666 rows), so a window and an offscreen picture
  // show the same pixels whatever lies behind them.
  g.FillRect(kFallbackFace, mRECT);
  if (!mPlate.IsValid()) return;
  // Fitted about the plate's centre: the same pixels as fitting into (0, 0, 667, 2000) * s.
  const float hw = 0.5f * kPlateWidth * s;
  const float hh = 0.5f * kPlateHeight * s;
  g.PathTransformSave();
  g.PathTransformTranslate(hw, hh);
  g.DrawFittedBitmap(mPlate, IRECT(-hw, -hh, hw, hh));
  g.PathTransformRestore();
}

void Plate::DrawBadgeRecess(IGfx& g) const {
  const float s = mScale;
  constexpr IRECT kBadge(246.f, 98.f, 424.f, 148.f);
  // Six rings from the widest, each 30 more opaque than the last, so the recess darkens inwards.
  constexpr float kGrow[] = {10.f, 8.f, 6.f, 4.f, 2.f, 0.f};
  int alpha = 70;
  for (float k : kGrow) {
    const IRECT ring(kBadge.L - k, kBadge.T - k, kBadge.R + k, kBadge.B + k);
    const IPattern brushed = IPattern::CreateLinearGradient(kBadge.L * s, 0.f, kBadge.R * s, 0.f,
                                                            {{IColor(alpha, 56, 58, 63), 0.f},
                                                             {IColor(alpha, 62, 64, 68), 0.3f},
                                                             {IColor(alpha, 74, 74, 78), 0.5f},
                                                             {IColor(alpha, 66, 66, 70), 0.7f},
                                                             {IColor(alpha, 54, 56, 62), 1.f}});
    g.PathClear();
    g.PathRoundRect(ring.GetScaled(s), 6.f * s);
    g.PathFill(brushed);
    alpha += 30;
  }
}

void Plate::DrawTrimScale(IGfx& g) const {
  const float s = mScale;
  constexpr float kCX = 329.f, kCY = 1680.f;
  for (int i = 0; i <= 12; ++i) {
    const bool even = i % 2 == 0;
    const float angle = -135.f + static_cast<float>(i) * 270.f / 12.f;
    const DialPoint inner = DialPoint::At(kCX, kCY, 80.f, angle);
    const DialPoint outer = DialPoint::At(kCX, kCY, even ? 94.f : 89.f, angle);
    const float width = (even ? 3.4f : 2.2f) * s;
    g.DrawLine(IColor(150, 0, 0, 0), inner.x * s + 1.f * s, inner.y * s + 1.5f * s,
               outer.x * s + 1.f * s, outer.y * s + 1.5f * s, nullptr, width);
    g.DrawLine(even ? IColor(235, 232, 232, 236) : IColor(170, 232, 232, 236), inner.x * s,
               inner.y * s, outer.x * s, outer.y * s, nullptr, width);
  }
}

void Plate::DrawDisplayWindow(IGfx& g) const {
  const float s = mScale;
  constexpr IRECT kWindow(222.f, 218.f, 446.f, 362.f);
  g.PathClear();
  g.PathRoundRect(kWindow.GetScaled(s), 34.f * s);
  g.PathFill(IPattern::CreateLinearGradient(
      0.f, kWindow.T * s, 0.f, kWindow.B * s,
      {{IColor(255, 2, 10, 30), 0.f}, {IColor(255, 1, 8, 24), 1.f}}));
}

}  // namespace TovraUI
