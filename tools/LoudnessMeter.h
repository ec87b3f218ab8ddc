// LoudnessMeter.h: integrated loudness and true peak of a signal fed a block at a time, measured
// per ITU-R BS.1770 by libebur128.
#pragma once

#include "tools/TruePeakMeter.h"

#include <ebur128.h>

#include <cstddef>
#include <vector>

namespace tools {

// Integrated loudness by libebur128, true peak by TruePeakMeter (libebur128's own costs several times a
// render). Memory stays constant whatever the length (the loudness blocks go to a histogram).
// Threads: one caller at a time.
class LoudnessMeter {
 public:
  LoudnessMeter() = default;
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // False when libebur128 takes neither the channel count nor the rate; the meter then stays off
  // and its figures unknown.
  bool Open(int channels, double sampleRate);
  bool IsOpen() const { return mState != nullptr; }
  int NChannels() const { return mChannels; }

  // frames from channels[c][0..frames).
  void Add(const float* const* channels, size_t frames);

  // LUFS; -inf for silence or less than one 400 ms gating block.
  double IntegratedLufs() const;
  // The highest true peak over the channels, linear (1 is 0 dBTP); 0 when nothing was measured.
  double TruePeak() const;

 private:
  ebur128_state* mState = nullptr;
  TruePeakMeter mTruePeak;
  int mChannels = 0;
  std::vector<float> mInterleaved;
};

}  // namespace tools
