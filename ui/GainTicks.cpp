// GainTicks: shadow, base and lit strokes of each tick.
#include "ui/GainTicks.h"

#include <cmath>

#include "gfx/IGfx.h"
#include "plug/IParam.h"
#include "ui/PlateGeometry.h"

namespace TovraUI {

using namespace plug::gfx;

GainTicks::GainTicks(const IRECT& bounds, int paramIdx, float scale)
    : IControl(bounds, paramIdx), mScale(scale) {
  SetIgnoreMouse(true);
}

void GainTicks::Draw(IGfx& g) {
  const float s = mScale;
  constexpr float kCX = 332.f, kCY = 1366.f;
  const plug::IParam* param = GetParam();
  const double gain = param ? param->Value() : GetValue() * 100.0;
  const int n = static_cast<int>(std::round(gain / 5.0));  // halves away from zero

  for (int i = 0; i <= 20; ++i) {
    const bool major = i % 5 == 0;
    const float angle = -135.f + static_cast<float>(i) * 270.f / 20.f;
    const float w = (major ? 6.f : 4.2f) * s;
    const float outerR = i == n ? 222.f : (major ? 208.f : 200.f);
    const DialPoint in = DialPoint::At(kCX, kCY, 182.f, angle);
    const DialPoint out = DialPoint::At(kCX, kCY, outerR, angle);
    const float x1 = in.x * s, y1 = in.y * s, x2 = out.x * s, y2 = out.y * s;

    g.DrawLine(IColor(150, 0, 0, 0), x1 + 1.5f * s, y1 + 2.f * s, x2 + 1.5f * s, y2 + 2.f * s,
               nullptr, w);
    g.DrawLine(major ? IColor(230, 226, 226, 232) : IColor(160, 226, 226, 232), x1, y1, x2, y2,
               nullptr, w);
    if (i < n) {
      g.DrawLine(IColor(70, 255, 150, 40), x1, y1, x2, y2, nullptr, 2.4f * w);
      g.DrawLine(IColor(255, 245, 170, 70), x1, y1, x2, y2, nullptr, w);
    } else if (i == n) {
      const float mx = 0.5f * (x1 + x2), my = 0.5f * (y1 + y2);
      g.FillCircle(IColor(40, 255, 170, 40), mx, my, 70.f * s);
      g.FillCircle(IColor(70, 255, 190, 60), mx, my, 42.f * s);
      g.FillCircle(IColor(90, 255, 215, 120), mx, my, 24.f * s);
      g.DrawLine(IColor(150, 255, 170, 40), x1, y1, x2, y2, nullptr, 3.4f * w);
      g.DrawLine(IColor(255, 255, 208, 80), x1, y1, x2, y2, nullptr, 1.5f * w);
      g.DrawLine(IColor(255, 255, 250, 215), x1, y1, x2, y2, nullptr, 0.6f * w);
    }
  }
}

}  // namespace TovraUI
