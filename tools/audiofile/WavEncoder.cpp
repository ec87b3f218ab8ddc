// WavEncoder.cpp: header, little-endian samples, sizes filled in at the end.
#include "tools/audiofile/WavEncoder.h"

#include "tools/audiofile/LibraryText.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace tools {
namespace {

constexpr uint32_t kMaxRiff = 0xFFFFFFFFu;
// The data size sox writes when it cannot seek, and reads as "until the end" without a warning.
constexpr uint32_t kUnknownData = 0x7FFFF000u;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

bool WriteAll(int fd, const uint8_t* data, size_t size, std::string& error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemText(errno);
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAt(int fd, long long at, uint32_t value, std::string& error) {
  std::vector<uint8_t> bytes;
  Put32(bytes, value);
  if (::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) != 4) {
    error = SystemText(errno);
    return false;
  }
  return true;
}

}  // namespace

bool WavEncoder::Open(int fd, int sampleRate, int channels, int bits, bool isFloat,
                      std::string& error) {
  mFd = fd;
  mStart = ::lseek(fd, 0, SEEK_CUR);
  mChannels = channels;
  mBytesPerSample = bits / 8;
  mFloat = isFloat;
  mDataBytes = 0;
  const auto frameBytes = static_cast<uint32_t>(channels * mBytesPerSample);
  std::vector<uint8_t> header;
  const size_t headerBytes = isFloat ? 58 : 44;
  PutTag(header, "RIFF");
  Put32(header, kUnknownData + static_cast<uint32_t>(headerBytes - 8));
  PutTag(header, "WAVE");
  PutTag(header, "fmt ");
  Put32(header, isFloat ? 18 : 16);
  Put16(header, isFloat ? 3 : 1);
  Put16(header, static_cast<uint32_t>(channels));
  Put32(header, static_cast<uint32_t>(sampleRate));
  Put32(header, static_cast<uint32_t>(sampleRate) * frameBytes);
  Put16(header, frameBytes);
  Put16(header, static_cast<uint32_t>(bits));
  if (isFloat) {
    Put16(header, 0);
    PutTag(header, "fact");
    Put32(header, 4);
    mFactAt = header.size();
    Put32(header, kUnknownData / frameBytes);
  }
  PutTag(header, "data");
  mDataAt = header.size();
  Put32(header, kUnknownData);
  mHeaderBytes = header.size();
  return Put(header, error);
}

bool WavEncoder::Grow(size_t frames, std::string& error) {
  const uint64_t bytes = static_cast<uint64_t>(frames) * mChannels * mBytesPerSample;
  // The sizes are 32-bit: past them only RF64 or Wave64 can say how long the data is.
  if (mDataBytes + bytes + mHeaderBytes + 1 > kMaxRiff) {
    error = "WAV cannot hold more than 4 GB; write .rf64 or .w64";
    return false;
  }
  mDataBytes += bytes;
  mBytes.resize(static_cast<size_t>(bytes));
  return true;
}

bool WavEncoder::WriteFloat(const float* interleaved, size_t frames, std::string& error) {
  if (!Grow(frames, error)) return false;
  // WAV is little-endian: on such a processor the floats are already the file's bytes.
  if constexpr (std::endian::native == std::endian::little)
    return WriteAll(mFd, reinterpret_cast<const uint8_t*>(interleaved), mBytes.size(), error);
  uint8_t* out = mBytes.data();
  for (size_t i = 0; i < frames * static_cast<size_t>(mChannels); ++i) {
    uint32_t bits = 0;
    std::memcpy(&bits, &interleaved[i], 4);
    for (int b = 0; b < 4; ++b) *out++ = static_cast<uint8_t>(bits >> (8 * b));
  }
  return Put(mBytes, error);
}

bool WavEncoder::WriteInt(const int* interleaved, size_t frames, std::string& error) {
  if (!Grow(frames, error)) return false;
  uint8_t* out = mBytes.data();
  const int skip = 4 - mBytesPerSample;  // the low bytes of a left-aligned sample are zero
  for (size_t i = 0; i < frames * static_cast<size_t>(mChannels); ++i) {
    const auto bits = static_cast<uint32_t>(interleaved[i]);
    for (int b = skip; b < 4; ++b) *out++ = static_cast<uint8_t>(bits >> (8 * b));
  }
  return Put(mBytes, error);
}

bool WavEncoder::Put(const std::vector<uint8_t>& bytes, std::string& error) {
  return WriteAll(mFd, bytes.data(), bytes.size(), error);
}

bool WavEncoder::Finish(std::string& error) {
  // A chunk of an odd size is followed by a pad byte (24-bit mono, an odd number of frames).
  const uint32_t pad = mDataBytes % 2;
  if (pad != 0 && !Put({0}, error)) return false;
  if (mStart < 0) return true;  // a pipe: the sizes stay unknown
  const auto data = static_cast<uint32_t>(mDataBytes);
  const auto frames = static_cast<uint32_t>(mDataBytes / (mChannels * mBytesPerSample));
  if (!WriteAt(mFd, mStart + 4, static_cast<uint32_t>(mHeaderBytes - 8) + data + pad, error) ||
      !WriteAt(mFd, mStart + static_cast<long long>(mDataAt), data, error))
    return false;
  return !mFloat || WriteAt(mFd, mStart + static_cast<long long>(mFactAt), frames, error);
}

}  // namespace tools
