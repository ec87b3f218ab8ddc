// WavEncoder.h: WAV files written by the command itself, to files and pipes alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// The layout (little-endian), from the descriptor's position at Open:
//
//   0  "RIFF" size "WAVE"
//  12  "fmt " 16 | 18   format 1 (integer PCM) or 3 (IEEE float), channels, rate, bytes per
//                       second, bytes per frame, bits; float adds cbSize 0, as the format
//                       requires of every non-PCM fmt chunk
//      "fact" 4 frames  float only
//      "data" size, the samples interleaved
//
// libsndfile refuses to write WAV to a pipe and writes float without cbSize (sox warns about
// every such file); this writes what sox itself writes. On a descriptor that can seek, Finish
// fills in the sizes; on a pipe the data size stays 0x7FFFF000, which sox writes and readers
// take as "until the end".
// Threads: one caller at a time.
class WavEncoder {
 public:
  // bits: 16 or 24 for integers (samples given left-aligned in 32 bits), 32 for float.
  bool Open(int fd, int sampleRate, int channels, int bits, bool isFloat, std::string& error);
  bool WriteFloat(const float* interleaved, size_t frames, std::string& error);
  bool WriteInt(const int* interleaved, size_t frames, std::string& error);
  bool Finish(std::string& error);

 private:
  bool Put(const std::vector<uint8_t>& bytes, std::string& error);
  bool Grow(size_t frames, std::string& error);

  int mFd = -1;
  long long mStart = -1;  // the header's position; -1 on a pipe
  int mChannels = 0;
  int mBytesPerSample = 0;
  bool mFloat = false;
  size_t mFactAt = 0;  // offsets in the header of the fact value and the data size
  size_t mDataAt = 0;
  size_t mHeaderBytes = 0;
  uint64_t mDataBytes = 0;
  std::vector<uint8_t> mBytes;
};

}  // namespace tools
