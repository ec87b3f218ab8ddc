// IByteChunk: bounded appends and reads.
#include "state/IByteChunk.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace plug {

void IByteChunk::Reserve(std::size_t needed) {
  if (needed <= mBytes.capacity()) return;
  const std::size_t step = static_cast<std::size_t>(kGrowStep);
  mBytes.reserve((needed + step - 1) / step * step);
}

int IByteChunk::PutBytes(const void* data, int size) {
  if (size < 0 || (data == nullptr && size > 0)) return -1;
  const std::int64_t newSize = static_cast<std::int64_t>(mBytes.size()) + size;
  if (newSize > INT_MAX) return -1;
  Reserve(static_cast<std::size_t>(newSize));
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  mBytes.insert(mBytes.end(), bytes, bytes + size);
  return Size();
}

int IByteChunk::GetBytes(void* data, int size, int position) const {
  if (data == nullptr || size < 0 || position < 0) return -1;
  const std::int64_t end = static_cast<std::int64_t>(position) + size;
  if (end > Size()) return -1;
  if (size > 0) std::memcpy(data, mBytes.data() + position, static_cast<std::size_t>(size));
  return static_cast<int>(end);
}

int IByteChunk::PutChunk(const IByteChunk& other) {
  if (&other == this) {
    const std::vector<std::uint8_t> copy = mBytes;
    return PutBytes(copy.data(), static_cast<int>(copy.size()));
  }
  return PutBytes(other.GetData(), other.Size());
}

int IByteChunk::PutStr(const char* text) {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length > static_cast<std::size_t>(INT_MAX - 4)) return -1;
  const auto n = static_cast<std::int32_t>(length);
  if (static_cast<std::int64_t>(Size()) + 4 + n > INT_MAX) return -1;
  Put(n);
  return PutBytes(text, n);
}

int IByteChunk::GetStr(std::string& out, int position) const {
  std::int32_t length = 0;
  const int start = Get(&length, position);
  if (start < 0 || length < 0) return -1;
  const std::int64_t end = static_cast<std::int64_t>(start) + length;
  if (end > Size()) return -1;
  const auto* first = reinterpret_cast<const char*>(mBytes.data()) + start;
  out.assign(first, std::find(first, first + length, '\0'));
  return static_cast<int>(end);
}

int IByteChunk::Resize(int newSize) {
  if (newSize < 0) return -1;
  Reserve(static_cast<std::size_t>(newSize));
  mBytes.resize(static_cast<std::size_t>(newSize), 0);
  return Size();
}

}  // namespace plug
