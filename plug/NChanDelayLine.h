// The latency delay: one line per channel, all sharing one position, for passed-through audio.
#pragma once

#include <vector>

namespace plug {

// Sized on the main thread while the host is not rendering; Process runs on the render thread.
class NChanDelayLine {
 public:
  // Threads: main, not while rendering.
  NChanDelayLine(int nInChans, int nOutChans);
  // Length in frames; contents and position are zeroed. A negative length counts as 0.
  // Threads: main, not while rendering.
  void SetDelayTime(int frames);
  // Threads: not while rendering.
  void Reset();
  // Threads: any.
  int GetDelayTime() const { return mLength; }
  int NInChans() const { return mNIn; }
  int NOutChans() const { return mNOut; }

  // For each frame f and channel c < nChans (at most the line count): out[c][f] is the sample
  // pushed mLength frames earlier, then in[c][f] is stored. A null input reads as silence, a null
  // output is skipped. Threads: render. No allocation, lock, system call or exception.
  void Process(double* const* inputs, double* const* outputs, int nChans, int nFrames) noexcept;

 private:
  int mNIn;
  int mNOut;
  int mLength = 0;
  int mPos = 0;
  std::vector<double> mBuffer;  // mNIn lines of mLength samples
};

}  // namespace plug
