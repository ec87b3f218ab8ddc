// LatencyCompensation: what a render does to take back the delay a plug-in reports, so that its
// output lines up with its input and has its length.
#pragma once

#include <algorithm>
#include <cstddef>

namespace tools {

// A plug-in that delays its output by latency frames is fed that many frames of silence after
// the input, and as many frames are dropped from the front of what it gives back. Frames are
// counted at the input's rate, whatever rate the plug-in runs at.
class LatencyCompensation {
 public:
  explicit LatencyCompensation(size_t latency) : mSilenceLeft(latency), mSkipLeft(latency) {}

  // Once the input has ended: how many frames of silence go in next, at most room of them.
  size_t TakeSilence(size_t room) {
    const size_t n = std::min(mSilenceLeft, room);
    mSilenceLeft -= n;
    return n;
  }
  // Of frames the plug-in (or what follows it) just gave back, how many to drop from the front.
  size_t TakeSkip(size_t frames) {
    const size_t n = std::min(mSkipLeft, frames);
    mSkipLeft -= n;
    return n;
  }
  // All the silence has gone in: the output is complete once it has come out.
  bool SilenceFed() const { return mSilenceLeft == 0; }

 private:
  size_t mSilenceLeft;
  size_t mSkipLeft;
};

}  // namespace tools
