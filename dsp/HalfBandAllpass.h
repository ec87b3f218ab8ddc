// tovrasat::HalfBandAllpass: a half-band stage of two allpass branches that doubles or halves a
// rate.
#pragma once

#include <array>

namespace tovrasat {

// An elliptic half-band lowpass of order 15 split into two branches of first-order allpass
// sections (scripts/design-hq-filters.py designs it and prints its constants):
//
//   H(z) = ½ [A0(z²) + z⁻¹ A1(z²)],   A(z) = Π (a_k + z⁻¹) / (1 + a_k z⁻¹)
//
// A0 has four sections and A1 three. The stopband, from 0.6 of the lower rate on, lies 120 dB
// down; the passband, to 0.4 of the lower rate, is flat within 1e-11 dB. Each branch runs at the
// lower rate:
//
//   up    y[2n] = A0(x)[n],   y[2n + 1] = A1(x)[n]
//   down  y[n]  = ½ (A0(v[2n + 1]) + A1(v[2n]))
//
// It is not linear phase: its group delay, 3.8 samples of the higher rate at low frequencies,
// rises to 9.4 at the passband edge. That is why it serves the first stage, where a linear-phase
// filter of the same stopband needs about 67 taps and 33 samples of delay each way.
//
// Each section keeps its state in double. `up` and `down` allocate, lock, call into the system
// and throw nothing. One object is one direction of one channel.
class HalfBandAllpass {
 public:
  static constexpr int kSections0 = 4;
  static constexpr int kSections1 = 3;

  HalfBandAllpass() noexcept = default;

  // An impulse through `up` and then `down` peaks this many frames of the lower rate later (the
  // peak of the band-limited curve through the output samples; from the design script). Its
  // response is not symmetric, and tones arrive at other delays: 3.32 frames at DC, 4.06 at 0.2
  // of the rate, 8.9 at 0.4.
  static constexpr double kPairPeakDelay = 4.0309;

  // Delays at low frequencies, in samples of the higher rate (not whole numbers).
  static double upDelay() noexcept;
  static double downDelay() noexcept { return upDelay() - 1.0; }

  void reset() noexcept;

  // n input samples at the lower rate become 2n at the higher rate. In place is not allowed.
  // Threads: render.
  void up(const float* in, float* out, int n) noexcept;
  // 2n input samples at the higher rate become n at the lower rate; out may equal in.
  // Threads: render.
  void down(const float* in, float* out, int n) noexcept;

  // `up` and `down` of two channels in one loop, the same bits as one call per channel: each
  // section's recursion waits on its previous output, so the two channels' recursions side by
  // side take little more time than one. left and right are distinct objects. Threads: render.
  static void upStereo(HalfBandAllpass& left, HalfBandAllpass& right, const float* inL,
                       const float* inR, float* outL, float* outR, int n) noexcept;
  static void downStereo(HalfBandAllpass& left, HalfBandAllpass& right, const float* inL,
                         const float* inR, float* outL, float* outR, int n) noexcept;

  // One section's memory.
  struct Section {
    double in = 0.0;   // the previous input
    double out = 0.0;  // the previous output
  };

 private:
  std::array<Section, kSections0> mBranch0{};
  std::array<Section, kSections1> mBranch1{};
};

}  // namespace tovrasat
