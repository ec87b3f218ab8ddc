// One short MIDI message with its frame offset inside the block.
#pragma once

#include <cstdint>

namespace plug {

// 8 bytes, so that a ring of 33 messages takes 264 bytes.
struct IMidiMsg {
  int mOffset = 0;  // frame inside the current block
  std::uint8_t mStatus = 0;
  std::uint8_t mData1 = 0;
  std::uint8_t mData2 = 0;
};

static_assert(sizeof(IMidiMsg) == 8);

}  // namespace plug
