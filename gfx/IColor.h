// IColor: a colour as four 0-255 integers in the order alpha, red, green, blue.
#pragma once

#include <algorithm>

namespace plug::gfx {

class IColor {
 public:
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

  /** Components forced into 0-255, so a computed alpha can never wrap. */
  constexpr IColor Clamped() const {
    return IColor(std::clamp(A, 0, 255), std::clamp(R, 0, 255), std::clamp(G, 0, 255),
                  std::clamp(B, 0, 255));
  }
  constexpr bool operator==(const IColor&) const = default;
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);

}  // namespace plug::gfx
