// IMouseMod: buttons and modifier keys at a pointer event, with the touch that caused it.
#pragma once

#include <cstdint>

namespace plug::gfx {

using ITouchID = std::uintptr_t;

struct IMouseMod {
  bool L = false;  // left button
  bool R = false;  // right button
  bool S = false;  // Shift
  bool C = false;  // Command (Control elsewhere)
  bool A = false;  // Option / Alt
  ITouchID touchID = 0;
  float touchRadius = 0.f;

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false,
                      ITouchID touch = 0)
      : L(l), R(r), S(s), C(c), A(a), touchID(touch) {}

  /** Shift or Command: the keys that make a drag or wheel ten times finer. */
  constexpr bool FineAdjust() const { return S || C; }
};

}  // namespace plug::gfx
