// FuzzCheck.h: the fuzz targets' assertion (a failed property aborts, which libFuzzer reports as a
// crash with the input that caused it) and a reader of fuzz bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: FUZZ_CHECK failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (false)

namespace fuzz {

// Takes values from the front of the input; once it is used up every read gives zeros.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : mData(data), mLeft(size) {}

  bool Empty() const { return mLeft == 0; }
  std::size_t Left() const { return mLeft; }

  template <typename T>
  T Take() {
    T value{};
    const std::size_t n = mLeft < sizeof(T) ? mLeft : sizeof(T);
    if (n > 0) std::memcpy(&value, mData, n);
    mData += n;
    mLeft -= n;
    return value;
  }

  // Up to max bytes, as a length byte then that many bytes.
  std::string TakeString(std::size_t max = 255) {
    std::size_t n = Take<std::uint8_t>();
    if (n > max) n = max;
    if (n > mLeft) n = mLeft;
    std::string s(reinterpret_cast<const char*>(mData), n);
    mData += n;
    mLeft -= n;
    return s;
  }

  std::string TakeRest() {
    std::string s(reinterpret_cast<const char*>(mData), mLeft);
    mData += mLeft;
    mLeft = 0;
    return s;
  }

 private:
  const std::uint8_t* mData;
  std::size_t mLeft;
};

// A fresh folder for the life of the process, removed at exit. In memory (/dev/shm) where there
// is one: on a disk, replacing a file flushes it (ext4's auto_da_alloc), a hundredfold slowdown.
inline std::string ScratchFolder(const char* tag) {
  static std::string made;
  std::error_code ec;
  const std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/tovrasat-" + tag + "-XXXXXX";
  FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
  made = pattern;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(made, ec);
  });
  return made;
}

}  // namespace fuzz
