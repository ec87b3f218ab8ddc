// LoudnessMeter.h: integrated loudness and true peak of a signal fed a block at a time, measured
// per ITU-R BS.1770.
#pragma once

#include "tools/meters/IntegratedLoudness.h"
#include "tools/meters/TruePeakMeter.h"

#include <cmath>
#include <cstddef>

namespace tools {

// Integrated loudness by IntegratedLoudness, true peak by TruePeakMeter. Memory stays constant
// whatever the length.
// Threads: one caller at a time.
class LoudnessMeter {
 public:
  // False for more than two channels or an unusable rate; the meter then stays off and its
  // figures unknown. At a rate where the K-weighting is not defined (KWeighting::Defined) only
  // the true peak is measured.
  bool Open(int channels, double sampleRate);
  bool IsOpen() const { return mChannels > 0; }
  bool LoudnessDefined() const { return IsOpen() && mLoudnessDefined; }
  int NChannels() const { return mChannels; }

  // frames from channels[c][0..frames).
  void Add(const float* const* channels, size_t frames);

  // LUFS; -inf for silence or less than one 400 ms gating block, NaN where loudness is not
  // defined.
  double IntegratedLufs() const {
    if (!IsOpen()) return -HUGE_VAL;
    return mLoudnessDefined ? mLoudness.Lufs() : NAN;
  }
  // The highest true peak over the channels, linear (1 is 0 dBTP); 0 when nothing was measured.
  double TruePeak() const { return IsOpen() ? mTruePeak.Peak() : 0.0; }
  // The largest |sample| over the channels; 0 when nothing was measured.
  float SamplePeak() const { return IsOpen() ? mTruePeak.SamplePeak() : 0.0f; }

 private:
  IntegratedLoudness mLoudness;
  TruePeakMeter mTruePeak;
  int mChannels = 0;
  bool mLoudnessDefined = false;
};

}  // namespace tools
