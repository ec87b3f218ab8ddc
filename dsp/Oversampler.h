// tovrasat::Oversampler: one channel taken up to 2^K times its rate and back, by half-band stages.
#pragma once

#include <array>

#include "dsp/HalfBand.h"

namespace tovrasat {

// A cascade of K half-band stages each way (K = 1 to kMaxStages, factor N = 2^K). Every stage
// is designed for a stopband near 100 dB; the first, at twice the base rate, has the narrowest
// transition (passband to about 0.40 of the base rate, stopband from about 0.60), the later ones
// only have to reject what lies near multiples of the base rate and are short:
//
//   stage (rate)   1 (2x)  2 (4x)  3 (8x)  4 (16x)  5 (32x)
//   taps              67      31      23       19       19
//
// Latency: the stages delay by c_k (up) and c_k − 1 (down) samples of their higher rate; a
// delay at the highest rate pads the sum to a whole number of base-rate frames, so a host can
// compensate it exactly:
//
//   latency = ceil((Σ (2 c_k − 1) · 2^(K − k) + d) / N)   frames,   c_k = (taps_k − 1) / 2
//
// d being the delay of the processing between up and down, in samples of the highest rate; the
// latency is 44 frames at K = 4 (for d up to 9) and at K = 5 (under 1 ms at 44.1 kHz and above).
//
// `up` and `down` take runs of at most kMaxRun base-rate frames and allocate, lock, call into
// the system and throw nothing. Threads: render (reset: not while rendering).
class Oversampler {
 public:
  static constexpr int kMaxStages = 5;
  static constexpr int kMaxFactor = 1 << kMaxStages;
  static constexpr int kMaxRun = 32;

  // stages: 1 to kMaxStages (clamped). highRateDelay: samples of the highest rate by which the
  // processing between `up` and `down` delays its signal (0 to kMaxFactor); it counts into the
  // latency, and the padding shrinks by as much, so input to output stays a whole number of
  // frames.
  explicit Oversampler(int stages, int highRateDelay = 0) noexcept;

  int stages() const noexcept { return mStages; }
  int factor() const noexcept { return 1 << mStages; }
  // Frames at the base rate from an input sample to the same sample through up and down.
  int latency() const noexcept { return mLatency; }
  const HalfBand& stage(int index) const noexcept { return mUp[static_cast<std::size_t>(index)]; }

  void reset() noexcept;
  // n (at most kMaxRun) base-rate samples to n · factor() samples at the high rate.
  void up(const float* in, float* out, int n) noexcept;
  // n · factor() high-rate samples to n (at most kMaxRun) base-rate samples; out may be in.
  void down(const float* in, float* out, int n) noexcept;

 private:
  int mStages;
  int mLatency = 0;
  int mPad = 0;  // samples of the highest rate
  std::array<HalfBand, kMaxStages> mUp;
  std::array<HalfBand, kMaxStages> mDown;
  // The last mPad samples of the previous run at the highest rate.
  std::array<float, kMaxFactor> mPadLine{};
  // Intermediate rates, ping-pong (the padded highest rate too).
  std::array<float, kMaxRun * kMaxFactor> mScratchA{};
  std::array<float, kMaxRun * kMaxFactor> mScratchB{};
};

}  // namespace tovrasat
