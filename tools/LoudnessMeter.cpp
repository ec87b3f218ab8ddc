// LoudnessMeter.cpp: de-interleaved blocks interleaved for libebur128 a chunk at a time.
#include "tools/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace tools {
namespace {

// Frames per libebur128 call: bounds the interleaving scratch.
constexpr size_t kChunkFrames = 4096;

}  // namespace

LoudnessMeter::~LoudnessMeter() {
  if (mState != nullptr) ebur128_destroy(&mState);
}

bool LoudnessMeter::Open(int channels, double sampleRate) {
  if (mState != nullptr) ebur128_destroy(&mState);
  if (channels <= 0 || !(sampleRate >= 1.0 && sampleRate <= 1e7)) return false;
  mState = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(std::lround(sampleRate)),
                        EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
  mTruePeak.Reset(channels);
  mChannels = channels;
  mInterleaved.assign(kChunkFrames * static_cast<size_t>(channels), 0.0f);
  return mState != nullptr;
}

void LoudnessMeter::Add(const float* const* channels, size_t frames) {
  if (mState == nullptr) return;
  mTruePeak.Add(channels, frames);
  const auto nc = static_cast<size_t>(mChannels);
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min(kChunkFrames, frames - done);
    for (size_t c = 0; c < nc; ++c) {
      const float* from = channels[c] + done;
      float* to = mInterleaved.data() + c;
      for (size_t i = 0; i < n; ++i) to[i * nc] = from[i];
    }
    ebur128_add_frames_float(mState, mInterleaved.data(), n);
    done += n;
  }
}

double LoudnessMeter::IntegratedLufs() const {
  double lufs = -HUGE_VAL;
  if (mState == nullptr || ebur128_loudness_global(mState, &lufs) != EBUR128_SUCCESS)
    return -HUGE_VAL;
  return lufs;
}

double LoudnessMeter::TruePeak() const { return mState != nullptr ? mTruePeak.Peak() : 0.0; }

}  // namespace tools
