// NChanDelayLine: a circular buffer per channel with one shared position.
#include "plug/NChanDelayLine.h"

#include <algorithm>

namespace plug {

NChanDelayLine::NChanDelayLine(int nInChans, int nOutChans)
    : mNIn(std::max(nInChans, 0)), mNOut(std::max(nOutChans, 0)) {}

void NChanDelayLine::SetDelayTime(int frames) {
  mLength = std::max(frames, 0);
  mBuffer.assign(static_cast<std::size_t>(mNIn) * static_cast<std::size_t>(mLength), 0.0);
  mPos = 0;
}

void NChanDelayLine::Reset() {
  std::fill(mBuffer.begin(), mBuffer.end(), 0.0);
  mPos = 0;
}

void NChanDelayLine::Process(double* const* inputs, double* const* outputs, int nChans,
                             int nFrames) noexcept {
  const int chans = std::min(nChans, mNIn);
  if (mLength == 0) {
    for (int c = 0; c < chans; ++c) {
      if (outputs == nullptr || outputs[c] == nullptr) continue;
      for (int f = 0; f < nFrames; ++f) {
        outputs[c][f] = (inputs != nullptr && inputs[c] != nullptr) ? inputs[c][f] : 0.0;
      }
    }
    return;
  }
  for (int f = 0; f < nFrames; ++f) {
    for (int c = 0; c < chans; ++c) {
      double& slot = mBuffer[static_cast<std::size_t>(c) * static_cast<std::size_t>(mLength) +
                             static_cast<std::size_t>(mPos)];
      const double in = (inputs != nullptr && inputs[c] != nullptr) ? inputs[c][f] : 0.0;
      if (outputs != nullptr && outputs[c] != nullptr) outputs[c][f] = slot;
      slot = in;
    }
    mPos = (mPos + 1) % mLength;
  }
}

}  // namespace plug
