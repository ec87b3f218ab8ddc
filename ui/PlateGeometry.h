// PlateGeometry: the plate-unit frame every control of the editor is designed in.
#pragma once

#include <cmath>
#include <numbers>

namespace TovraUI {

// The editor is designed on a plate of 667 x 2000 units; a control multiplies its constants by
// the layout factor s = logical editor width / 667, which it is given at construction.
inline constexpr float kPlateWidth = 667.0f;
inline constexpr float kPlateHeight = 2000.0f;

// A point on a dial, in plate units.
struct DialPoint {
  float x;
  float y;

  // The point at radius r from (cx, cy) at angle degrees: 0 straight up, growing clockwise.
  static DialPoint At(float cx, float cy, float r, float degrees) {
    const double rad = static_cast<double>(degrees) * std::numbers::pi / 180.0;
    return {cx + r * static_cast<float>(std::sin(rad)), cy - r * static_cast<float>(std::cos(rad))};
  }
};

}  // namespace TovraUI
