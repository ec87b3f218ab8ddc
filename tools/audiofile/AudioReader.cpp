// AudioReader.cpp: libsndfile reading, de-interleaved into the caller's channel arrays.
#include "tools/audiofile/AudioReader.h"

#include "tools/audiofile/HeaderFrames.h"
#include "tools/audiofile/LibraryText.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tools {
namespace {

// Frames per libsndfile call: bounds the interleaving scratch, not the file.
constexpr size_t kChunkFrames = 8192;

// Stereo frames split into left and right, four at a time where the processor can: the common
// case, and a strided copy one sample at a time costs more than the rest of reading a float file.
void SplitStereo(const float* frames, size_t count, float* left, float* right) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= count; i += 4) {
    const __m128 a = _mm_loadu_ps(frames + 2 * i);      // l0 r0 l1 r1
    const __m128 b = _mm_loadu_ps(frames + 2 * i + 4);  // l2 r2 l3 r3
    _mm_storeu_ps(left + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(right + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }
#endif
  for (; i < count; ++i) {
    left[i] = frames[2 * i];
    right[i] = frames[2 * i + 1];
  }
}

}  // namespace

bool AudioReader::Open(const std::string& path, std::string& error) {
  mPath = path == "-" ? std::string("standard input") : path;
  std::error_code ec;
  if (path != "-" && std::filesystem::is_directory(path, ec)) {
    error = path + ": is a folder, not an audio file";
    return false;
  }
  mInfo = SF_INFO{};
  SNDFILE* file = path == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &mInfo, SF_FALSE)
                              : sf_open(path.c_str(), SFM_READ, &mInfo);
  if (file == nullptr) {
    error = mPath + ": cannot read audio: " + LibraryText(nullptr);
    return false;
  }
  mFile.reset(file);
  if (mInfo.channels <= 0 || mInfo.samplerate <= 0 || mInfo.frames < 0) {
    mFile.reset();
    error = mPath + ": not a usable audio file";
    return false;
  }
  mClaimed = -1;
  if (path != "-") {
    switch (mInfo.format & SF_FORMAT_TYPEMASK) {
      case SF_FORMAT_WAV:
      case SF_FORMAT_WAVEX:
      case SF_FORMAT_RF64:
      case SF_FORMAT_W64:
      case SF_FORMAT_AIFF:
      case SF_FORMAT_AU:
        mClaimed = HeaderFrames(path);
        break;
      default:
        mClaimed = FramesHint();  // libsndfile reports these headers' counts as they are
        break;
    }
  }
  mInterleaved.assign(kChunkFrames * static_cast<size_t>(mInfo.channels), 0.0f);
  mNonFinite = 0;
  // Only floating-point samples can be NaN or infinite.
  const int samples = mInfo.format & SF_FORMAT_SUBMASK;
  mFloatSamples = samples == SF_FORMAT_FLOAT || samples == SF_FORMAT_DOUBLE;
  return true;
}

long long AudioReader::FramesHint() const {
  // libsndfile reports the largest count it can hold for a stream of unknown length.
  return mInfo.frames >= SF_COUNT_MAX / 2 ? -1 : static_cast<long long>(mInfo.frames);
}

bool AudioReader::Read(float* const* channels, size_t frames, size_t& got, std::string& error) {
  got = 0;
  if (!mFile) {
    error = mPath + ": not open";
    return false;
  }
  const auto nc = static_cast<size_t>(mInfo.channels);
  while (got < frames) {
    const size_t want = std::min(kChunkFrames, frames - got);
    const sf_count_t n =
        sf_readf_float(mFile.get(), mInterleaved.data(), static_cast<sf_count_t>(want));
    if (n <= 0) break;
    const auto count = static_cast<size_t>(n);
    if (mFloatSamples)
      for (size_t i = 0; i < count * nc; ++i)
        mNonFinite += std::isfinite(mInterleaved[i]) ? 0u : 1u;
    if (nc == 2) {
      SplitStereo(mInterleaved.data(), count, channels[0] + got, channels[1] + got);
    } else {
      for (size_t c = 0; c < nc; ++c) {
        float* dest = channels[c] + got;
        const float* src = mInterleaved.data() + c;
        for (size_t i = 0; i < count; ++i) dest[i] = src[i * nc];
      }
    }
    got += count;
  }
  if (sf_error(mFile.get()) != SF_ERR_NO_ERROR) {
    error = mPath + ": cannot read audio: " + LibraryText(mFile.get());
    return false;
  }
  return true;
}

}  // namespace tools
