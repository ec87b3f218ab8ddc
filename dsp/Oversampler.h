// tovrasat::Oversampler: one channel taken up to 2^K times its rate and back, by half-band stages.
#pragma once

#include <array>

#include "dsp/HalfBand.h"
#include "dsp/HalfBandAllpass.h"

namespace tovrasat {

// A cascade of K half-band stages each way (K = 1 to kMaxStages, factor N = 2^K). The first, at
// twice the base rate, needs the narrowest transition (passband to 0.40 of the base rate,
// stopband from 0.60): it is the allpass pair of HalfBandAllpass (120 dB), whose delay is a few
// samples where a linear-phase filter of that stopband would take most of a millisecond. The
// later stages only have to reject what lies near multiples of the base rate: short linear-phase
// FIR stages, Kaiser windows designed for about 100 dB:
//
//   stage (rate)   1 (2x)        2 (4x)  3 (8x)  4 (16x)  5 (32x)
//   filter         allpass pair  31 taps  23      19       19
//
// Latency: where an impulse comes out at its peak. The FIR stage k delays by c_k (up) and
// c_k − 1 (down) samples of its higher rate; the allpass pair's response peaks p = 4.03 frames
// after the impulse. A delay at the highest rate pads the sum to a whole number of frames, so a
// host can compensate it:
//
//   latency = ceil((p · N + Σ_{k ≥ 2} (2 c_k − 1) · 2^(K − k) + d) / N)   frames
//
// d being the delay of the processing between up and down, in samples of the highest rate (0
// to N). This is 16 frames at K = 4 and at K = 5, the impulse's peak within 1/64 of a frame of
// it. The pair is not linear phase, so tones arrive at other delays: low ones 0.7 frame sooner,
// those at 0.2 of the rate on time, those at 0.3 of the rate 1.4 frames later.
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

  void reset() noexcept;
  // n (at most kMaxRun) base-rate samples to n · factor() samples at the high rate.
  void up(const float* in, float* out, int n) noexcept;
  // n · factor() high-rate samples to n (at most kMaxRun) base-rate samples; out may be in.
  void down(const float* in, float* out, int n) noexcept;

  // `up` and `down` of two channels, the same bits as one call per channel, with the first
  // stage's recursions of both channels run side by side. left and right are distinct objects of
  // the same number of stages.
  static void upStereo(Oversampler& left, Oversampler& right, const float* inL, const float* inR,
                       float* outL, float* outR, int n) noexcept;
  static void downStereo(Oversampler& left, Oversampler& right, const float* inL, const float* inR,
                         float* outL, float* outR, int n) noexcept;

 private:
  // The stages after the first, each way, and the padding, in and out at the first stage's
  // higher rate.
  void upRest(float* out, int n) noexcept;
  const float* downRest(const float* in, int n) noexcept;
  void padBase(float* out, int n) noexcept;
  float* upFirstOutput(float* out) noexcept;

  int mStages;
  int mLatency = 0;
  // The padding: mHighPad samples at the highest rate, then mBasePad frames at the base rate.
  int mHighPad = 0;
  int mBasePad = 0;
  HalfBandAllpass mFirstUp;
  HalfBandAllpass mFirstDown;
  // Stages 2 to K; index k − 2 holds stage k.
  std::array<HalfBand, kMaxStages - 1> mUp;
  std::array<HalfBand, kMaxStages - 1> mDown;
  // The last mHighPad samples of the previous run at the highest rate, the last mBasePad frames.
  std::array<float, kMaxFactor> mPadLine{};
  std::array<float, kMaxFactor> mBaseLine{};
  // Intermediate rates, ping-pong (the padded highest rate too).
  std::array<float, kMaxRun * kMaxFactor> mScratchA{};
  std::array<float, kMaxRun * kMaxFactor> mScratchB{};
};

}  // namespace tovrasat
