// TrimTicks: intensities and the five-layer glow of a tick.
#include "ui/TrimTicks.h"

#include <algorithm>
#include <cmath>

#include "gfx/IGfx.h"
#include "plug/IParam.h"
#include "ui/PlateGeometry.h"

namespace TovraUI {

using namespace plug::gfx;

TrimTicks::TrimTicks(const IRECT& bounds, int paramIdx, float scale)
    : IControl(bounds, paramIdx), mScale(scale) {
  SetIgnoreMouse(true);
}

void TrimTicks::Draw(IGfx& g) {
  const float s = mScale;
  constexpr float kCX = 329.f, kCY = 1680.f;
  const plug::IParam* param = GetParam();
  const double trim = param ? param->Value() : -24.0 + 36.0 * GetValue();
  const double p = (trim + 24.0) / 3.0;  // 0 at -24 dB, 12 at +12 dB
  const int n = static_cast<int>(std::round(p));

  for (int i = std::max(n, 1) - 1; i <= std::min(n, 11) + 1; ++i) {
    double k = 1.0;
    if (i != n) {
      const double d = std::max(1.0 - std::abs(p - i), 0.0);
      k = d * d * 0.5;
      if (k <= 0.01) continue;
    }
    const bool even = i % 2 == 0;
    const float angle = -135.f + static_cast<float>(i) * 270.f / 12.f;
    const DialPoint in = DialPoint::At(kCX, kCY, 78.f, angle);
    const DialPoint out = DialPoint::At(kCX, kCY, even ? 98.f : 93.f, angle);
    const float w = (even ? 4.2f : 3.2f) * s;
    const float x1 = in.x * s, y1 = in.y * s, x2 = out.x * s, y2 = out.y * s;
    const float mx = 0.5f * (x1 + x2), my = 0.5f * (y1 + y2);
    auto alpha = [k](double a) { return static_cast<int>(k * a); };

    g.FillCircle(IColor(alpha(60), 255, 170, 40), mx, my, 26.f * s);
    g.FillCircle(IColor(alpha(70), 255, 190, 60), mx, my, 15.f * s);
    g.DrawLine(IColor(alpha(110), 255, 170, 40), x1, y1, x2, y2, nullptr, 2.6f * w);
    g.DrawLine(IColor(alpha(255), 255, 205, 80), x1, y1, x2, y2, nullptr, 1.2f * w);
    g.DrawLine(IColor(alpha(230), 255, 245, 200), x1, y1, x2, y2, nullptr, 0.45f * w);
  }
}

}  // namespace TovraUI
