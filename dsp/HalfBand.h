// tovrasat::HalfBand: one linear-phase half-band FIR stage that doubles or halves a sample rate.
#pragma once

#include <array>

namespace tovrasat {

// A Kaiser-windowed half-band lowpass of odd length L = 4m + 3 at the higher of its two rates:
//
//   h[c + d] = 0.5 · sinc(d / 2) · kaiser(d),   c = (L − 1) / 2,   |d| ≤ c
//
// Every tap at an even non-zero distance from the centre is zero and the centre tap is 0.5, so
// each direction runs as two phases, one of which is a pure delay:
//
//   up    y[2n]   = 2 · Σ h[2i] · x[n − i]          y[2n + 1] = x[n − (c − 1) / 2]
//   down  y[n]    = Σ h[2i] · v[2n + 1 − 2i]  +  0.5 · v[2n + 1 − c]
//
// counting delays in samples of the higher rate: `up` delays by c, `down` by c − 1 (it takes the
// newest sample, 2n + 1, into output n). The side taps are scaled so that they sum to exactly
// 0.5: DC passes with a gain of exactly 1.
//
// The design is fixed at construction; `reset` clears the history. Neither `up` nor `down`
// allocates, locks, calls into the system or throws. One object is one direction of one channel.
class HalfBand {
 public:
  static constexpr int kMaxTaps = 127;
  // Side taps (those at even indices), rounded up to a multiple of 4 for the dot product.
  static constexpr int kMaxSideTaps = 64;

  // taps: 4m + 3, from 7 to kMaxTaps (other lengths are taken to the nearest legal one below);
  // beta: the Kaiser window's shape (about 0.1102 · (A − 8.7) for a stopband of A dB).
  HalfBand(int taps, double beta) noexcept;

  int taps() const noexcept { return mTaps; }
  // Delays in samples of the higher rate.
  int upDelay() const noexcept { return (mTaps - 1) / 2; }
  int downDelay() const noexcept { return (mTaps - 1) / 2 - 1; }
  // The impulse response, h[0 .. taps − 1], for tests and measurements.
  double tap(int index) const noexcept;

  void reset() noexcept;
  // n input samples at the lower rate become 2n at the higher rate. In place is not allowed.
  // Threads: render.
  void up(const float* in, float* out, int n) noexcept;
  // 2n input samples at the higher rate become n at the lower rate; out may equal in.
  // Threads: render.
  void down(const float* in, float* out, int n) noexcept;

 private:
  // Σ side tap · history, over the newest mSide samples after x was pushed.
  float pushAndFilter(float x) noexcept;
  // Pushes x into the centre delay and returns the sample mCentreDelay pushes before it.
  float pushCentre(float x) noexcept;

  int mTaps;
  int mSide = 0;  // side taps in the dot product (a multiple of 4)
  int mCentreDelay = 0;
  // Side taps, oldest history sample first.
  std::array<float, kMaxSideTaps> mSideTaps{};
  std::array<double, kMaxTaps> mImpulse{};
  // History of the side phase, written twice (at p and p + mSide) so that the newest mSide
  // samples are always contiguous from mPos + 1.
  std::array<float, 2 * kMaxSideTaps> mHistory{};
  int mPos = 0;
  // The centre phase of `down`: a delay of mCentreDelay + 1 samples, written twice likewise.
  std::array<float, 2 * kMaxSideTaps> mCentre{};
  int mCentrePos = 0;
};

}  // namespace tovrasat
