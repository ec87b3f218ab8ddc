// Four-character codes as the 32-bit numbers hosts use ('aufx' == 0x61756678).
#pragma once

#include <cstdint>

namespace plug {

// The first character is the most significant byte.
constexpr std::uint32_t MakeFourCC(const char (&code)[5]) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

static_assert(MakeFourCC("aufx") == 0x61756678u);

}  // namespace plug
