// AudioWriter.h: an audio file (or standard output) written a block at a time with libsndfile:
// the container chosen by name, integer samples dithered and clip-counted, an existing file
// replaced only once the new one is complete.
#pragma once

#include "tools/audiofile/TemporaryFile.h"
#include "tools/audiofile/WavEncoder.h"

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tools {

// Samples of a written file.
enum class ESampleFormat { kFloat32, kInt24, kInt16 };

// Threads: main only (it may own the process's one TemporaryFile).
class AudioWriter {
 public:
  // libsndfile's format code for OUT: the container from type when given (wav, flac, ogg, aiff,
  // caf, w64, rf64, au; for "-" the default is wav), else from OUT's extension; the samples from
  // samples when given, else like inputFormat's (8- and 16-bit as s16, 24-bit as s24, everything
  // else as f32) or, when the container cannot hold those, the nearest it can (f32, s24, s16).
  // False, with a one-line text, for a container that
  // cannot be written or samples it cannot hold.
  static bool ChooseFormat(const std::string& path, const std::string& type,
                           std::optional<ESampleFormat> samples, int inputFormat, int& format,
                           std::string& error);

  // The largest file a container with 32-bit sizes (WAV, AIFF, AU) can describe.
  static constexpr uint64_t kSizeLimit32 = 0xFFFFFFFFull;

  // Decides, before the first frame, whether format can hold frames (negative: unknown, which
  // passes) of channels within limitBytes: a WAV file that cannot becomes RF64, as other writers
  // do when needed; a pipe (toPipe) or another container with 32-bit sizes is refused with the
  // reason. True when format (perhaps changed) will do.
  static bool FitLength(const std::string& path, long long frames, int channels, bool toPipe,
                        uint64_t limitBytes, int& format, std::string& error);

  // Whether OUT ("-": standard output) cannot seek: a pipe, a FIFO or a socket.
  static bool IsPipe(const std::string& path);

  // Only WAV, AU and Ogg can be written without seeking back to finish the header. False, with
  // the one message every other container gets, when format cannot go to OUT for that reason.
  static bool CheckStreamable(const std::string& path, int format, std::string& error);

  // The extensions a folder's audio files may have (lower case, without the dot): those of every
  // container libsndfile reads.
  static std::vector<std::string> ReadableExtensions();

  AudioWriter() = default;
  ~AudioWriter();  // an unfinished file is removed
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  // Starts OUT ("-": standard output). A regular or missing OUT is written to a temporary file
  // renamed over it by Finish (a replaced file's mode, and as root its owner, carry over; one
  // without a write bit for the user is refused, left as it is); OUT that is a symbolic link
  // replaces the file it points to; any other existing OUT (a device, a FIFO) is written directly.
  // dither adds TPDF dither of one least significant bit to 16-bit samples. False, with a one-line
  // text.
  bool Open(const std::string& path, int format, double sampleRate, int channels, bool dither,
            std::string& error);

  // frames from channels[c][0..frames).
  bool Write(const float* const* channels, size_t frames, std::string& error);

  // Completes the file (and, for a temporary file, renames it over OUT).
  bool Finish(std::string& error);

  // Integer samples that lay beyond full scale and were set to it.
  uint64_t ClippedSamples() const { return mClipped; }
  int Format() const { return mFormat; }

 private:
  bool Fail(const std::string& text, std::string& error);
  template <typename Quantize>
  void Interleave(const float* const* channels, size_t frames, Quantize quantize);

  struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
  };

  std::unique_ptr<SNDFILE, Closer> mFile;  // every container but WAV
  std::unique_ptr<WavEncoder> mWav;        // WAV
  TemporaryFile mTemp;
  int mDirectFd = -1;  // a device or FIFO written in place
  std::string mPath;
  int mFormat = 0;
  int mChannels = 0;
  bool mDither = false;
  uint64_t mClipped = 0;
  uint64_t mFrames = 0;
  uint64_t mNoise = 0x9E3779B97F4A7C15ull;  // dither's generator state: the same noise every run
  std::vector<const float*> mBlock;         // the channels at the current chunk
  std::vector<float> mFloats;
  std::vector<int> mInts;
};

}  // namespace tools
