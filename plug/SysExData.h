// A SysEx message copied into a fixed record, so that it can travel through a ring.
#pragma once

#include <cstdint>

namespace plug {

// 520 bytes: offset, size, up to 512 data bytes.
struct SysExData {
  static constexpr int kMaxBytes = 512;

  int mOffset = 0;
  int mSize = 0;
  std::uint8_t mData[kMaxBytes] = {};
};

static_assert(sizeof(SysExData) == 520);

}  // namespace plug
