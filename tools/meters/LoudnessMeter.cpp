// LoudnessMeter.cpp: both meters opened and fed together.
#include "tools/meters/LoudnessMeter.h"

namespace tools {

bool LoudnessMeter::Open(int channels, double sampleRate) {
  mChannels = 0;
  if (!mLoudness.Open(channels, sampleRate)) return false;
  mTruePeak.Reset(channels);
  mChannels = channels;
  return true;
}

void LoudnessMeter::Add(const float* const* channels, size_t frames) {
  if (!IsOpen()) return;
  mLoudness.Add(channels, frames);
  mTruePeak.Add(channels, frames);
}

}  // namespace tools
