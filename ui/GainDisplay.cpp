// GainDisplay: digits, segments and glow.
#include "ui/GainDisplay.h"

#include <cmath>
#include <cstring>

#include "gfx/IGfx.h"
#include "plug/IParam.h"

namespace TovraUI {

using namespace plug::gfx;

namespace {

struct CellLayout {
  int count;
  float width;
  float gap;
  float pitch;
};

constexpr CellLayout kTwoDigits{2, 68.f, 20.f, 88.f};
constexpr CellLayout kThreeDigits{3, 48.f, 12.f, 60.f};
constexpr float kCentreX = 333.f;
constexpr float kCellTop = 232.f;
constexpr float kCellHeight = 112.f;

}  // namespace

GainDisplay::GainDisplay(const IRECT& bounds, int paramIdx, float scale)
    : IKnobControlBase(bounds, paramIdx, EDirection::Vertical, 6.0), mScale(scale) {
  SetHideCursorOnDrag(true);
  SetTooltip("Gain 0-100%: drag or scroll");
}

void GainDisplay::Draw(IGfx& g) {
  const float s = mScale;
  const plug::IParam* param = GetParam();
  const double gain = param ? param->Value() : GetValue() * 100.0;
  const int n = static_cast<int>(std::round(gain));  // halves away from zero
  const int digits[3] = {n / 100 % 10, n / 10 % 10, n % 10};

  const CellLayout& cells = n >= 100 ? kThreeDigits : kTwoDigits;
  const float groupWidth = static_cast<float>(cells.count) * cells.width +
                           static_cast<float>(cells.count - 1) * cells.gap;
  const float x0 = kCentreX - groupWidth / 2.f;

  g.PathClear();
  g.PathCircle(kCentreX * s, 288.f * s, 120.f * s);
  g.PathFill(IPattern::CreateRadialGradient(
      kCentreX * s, 288.f * s, 120.f * s,
      {{IColor(46, 40, 110, 255), 0.f}, {IColor(0, 40, 110, 255), 1.f}}));

  const int first = cells.count == 3 ? 0 : 1;  // two digits show tens and ones
  for (int i = 0; i < cells.count; ++i) {
    const int digit = digits[first + i];
    Digit(g, s, x0 + static_cast<float>(i) * cells.pitch, kCellTop, cells.width, kCellHeight,
          kDigitSegments[digit < 0 ? 0 : digit]);
  }
}

void GainDisplay::Digit(IGfx& g, float scale, float x, float y, float w, float h,
                        const char* segments) {
  const float t = 0.2f * w;
  const float len = w - 1.1f * t;
  const float vlen = h / 2.f - 0.55f * t;
  // The slant: a point moves right by 4 % of its height above the cell's bottom.
  auto place = [&](float px, float py) {
    return std::pair<float, float>((x + px + 0.04f * (h - py)) * scale, (y + py) * scale);
  };
  auto horizontal = [&](float cx, float cy) {
    return std::array<std::pair<float, float>, 6>{place(cx - len / 2.f, cy),
                                                  place(cx - len / 2.f + t / 2.f, cy - t / 2.f),
                                                  place(cx + len / 2.f - t / 2.f, cy - t / 2.f),
                                                  place(cx + len / 2.f, cy),
                                                  place(cx + len / 2.f - t / 2.f, cy + t / 2.f),
                                                  place(cx - len / 2.f + t / 2.f, cy + t / 2.f)};
  };
  auto vertical = [&](float cx, float cy) {
    return std::array<std::pair<float, float>, 6>{place(cx, cy - vlen / 2.f),
                                                  place(cx + t / 2.f, cy - vlen / 2.f + t / 2.f),
                                                  place(cx + t / 2.f, cy + vlen / 2.f - t / 2.f),
                                                  place(cx, cy + vlen / 2.f),
                                                  place(cx - t / 2.f, cy + vlen / 2.f - t / 2.f),
                                                  place(cx - t / 2.f, cy - vlen / 2.f + t / 2.f)};
  };

  struct Segment {
    char letter;
    bool isHorizontal;
    float cx, cy;
  };
  const Segment order[7] = {
      {'a', true, w / 2.f, t / 2.f},
      {'g', true, w / 2.f, h / 2.f},
      {'d', true, w / 2.f, h - t / 2.f},
      {'f', false, t / 2.f, t / 2.f + vlen / 2.f},
      {'b', false, w - t / 2.f, t / 2.f + vlen / 2.f},
      {'e', false, t / 2.f, h - t / 2.f - vlen / 2.f},
      {'c', false, w - t / 2.f, h - t / 2.f - vlen / 2.f},
  };
  for (const Segment& seg : order) {
    if (!segments || !std::strchr(segments, seg.letter)) continue;  // unlit: no ghost
    Seg(g, seg.isHorizontal ? horizontal(seg.cx, seg.cy) : vertical(seg.cx, seg.cy), t * scale);
  }
}

void GainDisplay::Seg(IGfx& g, const std::array<std::pair<float, float>, 6>& points,
                      float thickness) {
  auto outline = [&] {
    g.PathMoveTo(points[0].first, points[0].second);
    for (std::size_t i = 1; i < points.size(); ++i) g.PathLineTo(points[i].first, points[i].second);
    g.PathClose();
  };
  outline();
  g.PathStroke(IColor(46, 30, 100, 255), 1.7f * thickness);
  outline();
  g.PathStroke(IColor(80, 30, 110, 255), 0.8f * thickness);
  outline();
  g.PathFill(IColor(255, 38, 120, 255));
  outline();
  g.PathStroke(IColor(255, 120, 190, 255), 0.12f * thickness);
}

}  // namespace TovraUI
