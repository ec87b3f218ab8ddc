// A growable byte buffer that state is serialised into and read back from.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

// Layout rules (every chunk in the system follows them):
//   scalars   the value's bytes as they lie in memory, no alignment, no padding; the targets are
//             little-endian, so integers and IEEE 754 floats are stored little-endian
//   strings   a signed 32-bit byte count L, then the L bytes, no terminator
//   positions signed 32-bit byte offsets; -1 means failure
// Reads never run past the end: a read that does not fit fails with -1 and leaves its output as
// it was.
//
namespace plug {

// A chunk is an ordinary value owned by one thread at a time; it is not for the render thread.
class IByteChunk {
 public:
  // The buffer grows in steps of this many bytes; the step has no effect on the content.
  static constexpr int kGrowStep = 4096;

  // Appends the bytes of value. Returns the new size, or -1 (nothing appended) when the chunk
  // would outgrow a 32-bit size.
  template <typename T>
  int Put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are stored byte for byte");
    return PutBytes(&value, static_cast<int>(sizeof(T)));
  }

  // Reads a T at position into *value. Returns position + sizeof(T); -1 (value untouched) when
  // position is negative, value is null or the bytes lie past the end.
  template <typename T>
  int Get(T* value, int position) const {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values are stored byte for byte");
    return GetBytes(value, static_cast<int>(sizeof(T)), position);
  }

  // Appends the text up to its first zero byte as length and bytes (null appends length 0).
  // Returns the new size, or -1 (nothing appended).
  int PutStr(const char* text);
  // Reads a string written by PutStr at position. Returns the position after its bytes and sets
  // out to them, cut at the first zero byte (empty for length 0). Returns -1 and leaves out
  // unchanged when the length cannot be read, is negative, or the bytes run past the end.
  int GetStr(std::string& out, int position) const;

  // Appends size raw bytes. Returns the new size, or -1 (nothing appended) for a negative size,
  // a null pointer with a positive size, or a chunk that would outgrow a 32-bit size.
  int PutBytes(const void* data, int size);
  // Copies size raw bytes at position into data. Returns position + size, or -1 (data untouched).
  int GetBytes(void* data, int size, int position) const;
  // Appends the contents of another chunk. Returns the new size, or -1.
  int PutChunk(const IByteChunk& other);

  int Size() const { return static_cast<int>(mBytes.size()); }
  std::uint8_t* GetData() { return mBytes.data(); }
  const std::uint8_t* GetData() const { return mBytes.data(); }
  // Grows (new bytes are zero) or shrinks to newSize. Returns the new size; -1 (unchanged) for a
  // negative size.
  int Resize(int newSize);
  void Clear() { mBytes.clear(); }
  bool IsEqual(const IByteChunk& other) const { return mBytes == other.mBytes; }

 private:
  void Reserve(std::size_t needed);

  std::vector<std::uint8_t> mBytes;
};

}  // namespace plug
