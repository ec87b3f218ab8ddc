// IKeyPress: a key event: its UTF-8 text, virtual key code and modifiers.
#pragma once

#include <cstring>

namespace plug::gfx {

struct IKeyPress {
  char utf8[5] = {};
  int VK = 0;
  bool S = false, C = false, A = false;

  IKeyPress() = default;
  IKeyPress(const char* str, int vk, bool s = false, bool c = false, bool a = false)
      : VK(vk), S(s), C(c), A(a) {
    if (str) std::memcpy(utf8, str, strnlen(str, sizeof(utf8) - 1));
  }
};

}  // namespace plug::gfx
