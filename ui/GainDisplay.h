// GainDisplay: the glowing seven-segment read-out of the gain in whole percent; draggable.
#pragma once

#include <array>
#include <utility>

#include "gfx/IKnobControlBase.h"

namespace TovraUI {

// Two digits ("05", "99") in wide cells, or three ("100") in narrower ones, centred on x = 333,
// leaning right, over a soft blue glow. Dragged like a knob with gearing 6: six times its own
// height takes the gain across its whole range.
class GainDisplay : public plug::gfx::IKnobControlBase {
 public:
  // The lit segments of each decimal digit: a top, b upper right, c lower right, d bottom,
  // e lower left, f upper left, g middle.
  static constexpr const char* kDigitSegments[10] = {
      "abcdef", "bc", "abged", "abgcd", "fgbc", "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};

  GainDisplay(const plug::gfx::IRECT& bounds, int paramIdx, float scale);

  void Draw(plug::gfx::IGfx& g) override;

  // One digit whose cell has its top-left corner at (x, y) and size w x h, in plate units.
  void Digit(plug::gfx::IGfx& g, float scale, float x, float y, float w, float h,
             const char* segments);
  // One lit segment: six corners in logical pixels, painted in four passes (two glow strokes, the
  // fill, a bright rim), the outline rebuilt before each because a paint consumes the path.
  void Seg(plug::gfx::IGfx& g, const std::array<std::pair<float, float>, 6>& points,
           float thickness);

 private:
  float mScale;
};

}  // namespace TovraUI
