// A view of one System Exclusive message: frame offset and borrowed bytes.
#pragma once

#include <cstdint>

namespace plug {

// Borrows its bytes; the caller keeps them alive for the duration of the call it is passed to.
struct ISysEx {
  int mOffset = 0;
  const std::uint8_t* mData = nullptr;
  int mSize = 0;
};

}  // namespace plug
