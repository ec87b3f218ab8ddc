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
// Both directions work on blocks: the block is appended to a line that holds the newest c
// samples before it, and each output is the dot product of the side taps with that line, the
// taps in one fixed order. The loop runs across outputs (eight at a time) rather than across
// taps, so it needs no horizontal sums and its results do not depend on the vector width.
//
// The design is fixed at construction; `reset` clears the history. Neither `up` nor `down`
// allocates, locks, calls into the system or throws. One object is one direction of one channel.
class HalfBand {
 public:
  static constexpr int kMaxTaps = 127;
  static constexpr int kMaxSideTaps = (kMaxTaps + 1) / 2;
  // Lower-rate samples handled in one pass; longer calls go in passes of this length.
  static constexpr int kBlock = 512;

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

  // Whether the filter loop runs its AVX2 build (the same bits, faster): set at start-up from the
  // processor's features; tests switch it to compare both builds.
  static bool usesAvx2;

  // n input samples at the lower rate become 2n at the higher rate. In place is not allowed.
  // Threads: render.
  void up(const float* in, float* out, int n) noexcept;
  // 2n input samples at the higher rate become n at the lower rate; out may equal in.
  // Threads: render.
  void down(const float* in, float* out, int n) noexcept;

  // The stage's own input line: a writer that fills upInput()[0 .. n) and then calls
  // upFromLine(out, n) (n at most kBlock) gets what up(in, out, n) gives, without a copy of the
  // block. Threads: render.
  float* upInput() noexcept { return mLine.data() + (mSide - 1); }
  void upFromLine(float* out, int n) noexcept;

 private:
  // Outputs computed per vector; the lines have this much slack after a block so that the last
  // vector may read past it.
  static constexpr int kLanes = 8;

  void upBlock(const float* in, float* out, int n) noexcept;
  void downBlock(const float* in, float* out, int n) noexcept;
  // out[j] = Σ side tap i · line[history + j − i], j < n: the side phase over a line whose block
  // starts at index `history` = mSide − 1.
  void sidePhase(const float* line, float* out, int n) const noexcept;

  int mTaps;
  int mSide = 0;  // side taps: (taps + 1) / 2
  int mCentreDelay = 0;
  // Side tap i weighs the sample i places before the newest: h[2i].
  std::array<float, kMaxSideTaps> mSideTaps{};
  std::array<double, kMaxTaps> mImpulse{};
  // The side phase's line: mSide − 1 samples of history, then the block.
  std::array<float, kMaxSideTaps + kBlock + kLanes> mLine{};
  // The centre phase of `down`: mCentreDelay samples of history, then the block's even samples.
  std::array<float, kMaxSideTaps + kBlock> mCentre{};
};

}  // namespace tovrasat
