// LoudnessMeter.cpp: both meters opened and fed together.
#include "tools/meters/LoudnessMeter.h"

namespace tools {

bool LoudnessMeter::Open(int channels, double sampleRate) {
  mChannels = 0;
  if (channels < 1 || channels > IntegratedLoudness::kMostChannels ||
      !(sampleRate > 0.0 && sampleRate <= 1e7))
    return false;
  mLoudnessDefined = mLoudness.Open(channels, sampleRate);
  mTruePeak.Reset(channels);
  mChannels = channels;
  return true;
}

void LoudnessMeter::Add(const float* const* channels, size_t frames) {
  if (!IsOpen()) return;
  if (mLoudnessDefined) mLoudness.Add(channels, frames);
  mTruePeak.Add(channels, frames);
}

}  // namespace tools
