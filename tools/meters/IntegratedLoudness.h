// IntegratedLoudness.h: the gated integrated loudness of a mono or stereo signal fed a block at a
// time, per ITU-R BS.1770.
#pragma once

#include "dsp/StereoDouble.h"
#include "tools/meters/KWeighting.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tools {

// Each channel goes through the K-weighting (KWeighting, double precision); the mean squares over
// 400 ms blocks overlapping by 75 % are summed over the channels (weight 1 for mono, left and
// right), and a block reads -0.691 + 10 log10(sum) LUFS. The integrated loudness is that of the
// mean power of the blocks above -70 LUFS and above the mean of those less 10 LU.
//
// The squares are summed per 100 ms step, a block being four steps, so the overlap costs nothing;
// both channels run side by side in one register (a mono signal twice, the copy left out of the
// sums) with no branch per sample. The blocks go to a histogram of
// 0.01 LU bins that keeps each bin's exact power sum, so memory is constant whatever the length
// and the result exact except for the blocks sharing a bin with the relative gate, which count
// or not together by their mean power. Such a block has at most a tenth of the result's power,
// so the result stays within 0.01 LU of the exact figure unless more than 0.2 % of the blocks
// counted lie within 0.01 LU of the gate.
// Threads: one caller at a time.
class IntegratedLoudness {
 public:
  static constexpr int kMostChannels = 2;

  // False for more than two channels or a rate at which the K-weighting is not defined
  // (KWeighting::Defined); the meter then measures nothing.
  bool Open(int channels, double sampleRate);
  // frames from channels[c][0..frames).
  void Add(const float* const* channels, size_t frames);
  // LUFS; -inf when no block passes the gates (silence, or less than one 400 ms block).
  double Lufs() const;

 private:
  struct Bin {
    uint64_t blocks = 0;
    double power = 0.0;
  };
  using Lanes = tovrasat::StereoDouble;

  void Filter(const float* left, const float* right, size_t frames);
  void EndStep();

  // The filter runs scaled: the shelf's numerator divided by its b0 and the high-pass's, which is
  // g (1 - 2/z + 1/z^2) at every rate, by its g; the squares are scaled back per step.
  double mShelfB1 = 0.0, mShelfB2 = 0.0, mShelfA1 = 0.0, mShelfA2 = 0.0;
  double mHighPassA1 = 0.0, mHighPassA2 = 0.0;
  double mSquareScale = 1.0;
  int mChannels = 0;
  // Per channel: the last two inputs, scaled shelf outputs, their last difference and the last
  // two scaled high-pass outputs, and the current step's sum of squares.
  Lanes mX1, mX2, mY1, mY2, mD1, mZ1, mZ2, mSquares;
  size_t mStepFrames = 0;
  size_t mInStep = 0;
  std::array<double, 3> mEarlierSteps{};  // the three steps before the current one, newest first
  size_t mSteps = 0;
  std::vector<Bin> mBins;
};

}  // namespace tools
