// TrimReadout: formatting and the two-pass text.
#include "ui/TrimReadout.h"

#include <cmath>
#include <cstdio>

#include "gfx/IGfx.h"
#include "plug/IParam.h"

namespace TovraUI {

using namespace plug::gfx;

TrimReadout::TrimReadout(const IRECT& bounds, int paramIdx, float scale)
    : IControl(bounds, paramIdx), mScale(scale) {
  SetIgnoreMouse(true);
}

std::string TrimReadout::Format(double trimDb) {
  if (std::abs(trimDb) < 0.05) return "0.0 dB";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", trimDb);
  return text;
}

void TrimReadout::Draw(IGfx& g) {
  const float s = mScale;
  const plug::IParam* param = GetParam();
  const std::string text = Format(param ? param->Value() : -24.0 + 36.0 * GetValue());
  g.DrawText(IText(27.f * s, IColor(170, 0, 0, 0), "Plain"), text.c_str(),
             mRECT.GetTranslated(1.5f * s, 2.f * s));
  g.DrawText(IText(27.f * s, IColor(255, 120, 190, 255), "Plain"), text.c_str(), mRECT);
}

}  // namespace TovraUI
