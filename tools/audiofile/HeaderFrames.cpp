// HeaderFrames.cpp: a walk over the chunks of the RIFF family, AIFF and AU headers.
#include "tools/audiofile/HeaderFrames.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace tools {
namespace {

// A header is walked a chunk at a time; a file with more chunks than this before its data is not
// worth the reads.
constexpr int kMaxChunks = 256;

// RIFF data sizes that say "until the end" rather than a length: left by writers that could not
// seek back (sox's value, which WavEncoder writes too) or that never finished the header.
constexpr uint32_t kOpenEnded[] = {0u, 0x7FFFF000u, 0xFFFFFFFFu};

class File {
 public:
  explicit File(const std::string& path) : mFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (mFd >= 0) ::close(mFd);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Read(uint64_t at, void* to, size_t bytes) const {
    return mFd >= 0 &&
           ::pread(mFd, to, bytes, static_cast<off_t>(at)) == static_cast<ssize_t>(bytes);
  }

 private:
  int mFd;
};

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
  return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool Is(const uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

// The bytes of a frame from a WAVE format chunk's first 16 bytes; 0 for a compressed encoding,
// whose data size says nothing exact about frames.
uint32_t FrameBytes(const uint8_t* fmt) {
  const uint16_t tag = Le16(fmt);
  const bool plain = tag == 1 || tag == 3 || tag == 6 || tag == 7 || tag == 0xFFFE;
  return plain ? Le16(fmt + 12) : 0;
}

long long Divide(uint64_t bytes, uint32_t frameBytes) {
  return frameBytes == 0 ? -1 : static_cast<long long>(bytes / frameBytes);
}

// WAV, RF64 and BW64: 8-byte chunk headers from byte 12, each chunk padded to an even size.
long long RiffFrames(const File& file, bool sizesIn64) {
  uint32_t frameBytes = 0;
  uint64_t ds64Data = 0;
  uint64_t at = 12;
  for (int i = 0; i < kMaxChunks; ++i) {
    std::array<uint8_t, 28> h{};
    if (!file.Read(at, h.data(), 8)) return -1;
    const uint32_t size = Le32(h.data() + 4);
    if (Is(h.data(), "fmt ") && size >= 16 && file.Read(at + 8, h.data() + 8, 16)) {
      frameBytes = FrameBytes(h.data() + 8);
    } else if (Is(h.data(), "ds64") && size >= 16 && file.Read(at + 8, h.data() + 8, 16)) {
      ds64Data = Le64(h.data() + 16);
    } else if (Is(h.data(), "data")) {
      if (sizesIn64 && size == 0xFFFFFFFFu) return ds64Data > 0 ? Divide(ds64Data, frameBytes) : -1;
      for (const uint32_t open : kOpenEnded)
        if (size == open) return -1;
      return Divide(size, frameBytes);
    }
    at += 8 + static_cast<uint64_t>(size) + (size & 1u);
  }
  return -1;
}

// Wave64: 16-byte GUIDs (whose first four bytes name the chunk) and 64-bit sizes that count the
// 24-byte chunk header, chunks aligned to 8 bytes, from byte 40.
long long Wave64Frames(const File& file) {
  uint32_t frameBytes = 0;
  uint64_t at = 40;
  for (int i = 0; i < kMaxChunks; ++i) {
    std::array<uint8_t, 40> h{};
    if (!file.Read(at, h.data(), 24)) return -1;
    const uint64_t size = Le64(h.data() + 16);
    if (size < 24) return -1;
    if (Is(h.data(), "fmt ") && file.Read(at + 24, h.data() + 24, 16)) {
      frameBytes = FrameBytes(h.data() + 24);
    } else if (Is(h.data(), "data")) {
      return Divide(size - 24, frameBytes);
    }
    at += (size + 7) / 8 * 8;
  }
  return -1;
}

// AIFF and AIFC: the COMM chunk counts the frames itself.
long long AiffFrames(const File& file) {
  uint64_t at = 12;
  for (int i = 0; i < kMaxChunks; ++i) {
    std::array<uint8_t, 14> h{};
    if (!file.Read(at, h.data(), 8)) return -1;
    const uint32_t size = Be32(h.data() + 4);
    if (Is(h.data(), "COMM"))
      return size >= 6 && file.Read(at + 8, h.data() + 8, 6) ? Be32(h.data() + 10) : -1;
    at += 8 + static_cast<uint64_t>(size) + (size & 1u);
  }
  return -1;
}

long long AuFrames(const uint8_t* h) {
  const uint32_t size = Be32(h + 8);
  const uint32_t encoding = Be32(h + 12);
  const uint32_t channels = Be32(h + 20);
  uint32_t sampleBytes = 0;
  switch (encoding) {
    case 1:
    case 2:
    case 27:
      sampleBytes = 1;
      break;  // mu-law, 8-bit, A-law
    case 3:
      sampleBytes = 2;
      break;
    case 4:
      sampleBytes = 3;
      break;
    case 5:
    case 6:
      sampleBytes = 4;
      break;  // 32-bit integer, float
    case 7:
      sampleBytes = 8;
      break;
    default:
      return -1;
  }
  if (size == 0xFFFFFFFFu || channels == 0 || channels > 1024) return -1;
  return Divide(size, sampleBytes * channels);
}

}  // namespace

long long HeaderFrames(const std::string& path) {
  const File file(path);
  std::array<uint8_t, 24> h{};
  if (!file.Read(0, h.data(), h.size())) return -1;
  if (Is(h.data(), "RIFF") && Is(h.data() + 8, "WAVE")) return RiffFrames(file, false);
  if ((Is(h.data(), "RF64") || Is(h.data(), "BW64")) && Is(h.data() + 8, "WAVE"))
    return RiffFrames(file, true);
  if (Is(h.data(), "riff")) {
    std::array<uint8_t, 4> wave{};
    return file.Read(24, wave.data(), 4) && Is(wave.data(), "wave") ? Wave64Frames(file) : -1;
  }
  if (Is(h.data(), "FORM") && (Is(h.data() + 8, "AIFF") || Is(h.data() + 8, "AIFC")))
    return AiffFrames(file);
  if (Is(h.data(), ".snd")) return AuFrames(h.data());
  return -1;
}

}  // namespace tools
