// AudioReader.h: an audio file (or standard input) read a block at a time with libsndfile.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tools {

// Memory stays at one block of scratch, whatever the file's length.
// Threads: one caller at a time.
class AudioReader {
 public:
  // Opens path, or standard input for "-". Any format libsndfile reads. False, with a one-line
  // text, when the file cannot be opened, is a folder, or is not usable audio.
  bool Open(const std::string& path, std::string& error);

  double SampleRate() const { return mInfo.samplerate; }
  int NChannels() const { return mInfo.channels; }
  // libsndfile's format code (container | sample format), to write the output alike.
  int Format() const { return mInfo.format; }
  // The length the header claims: a hint only (a damaged file or a pipe may say anything), -1
  // when unknown.
  long long FramesHint() const;
  // The length the file's header promises, to tell a truncated file from a short one (libsndfile
  // trims the length of a truncated WAV or AIFF to what is there): -1 when unknown, as for
  // standard input and for a header that says "until the end".
  long long ClaimedFrames() const { return mClaimed; }

  // The samples read so far that were NaN or infinite (a float file's damage, never audio).
  uint64_t NonFiniteSamples() const { return mNonFinite; }

  // Fills channels[c][0..got) for each channel, got < frames only at the end of the file (0: the
  // end). False, with a text, on a read error.
  bool Read(float* const* channels, size_t frames, size_t& got, std::string& error);

 private:
  struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
  };

  std::unique_ptr<SNDFILE, Closer> mFile;
  SF_INFO mInfo{};
  long long mClaimed = -1;
  std::string mPath;
  std::vector<float> mInterleaved;
  uint64_t mNonFinite = 0;
  bool mFloatSamples = false;
};

}  // namespace tools
