// tovrasat::HighRateChain: the crusher's chain in single precision, for HQ's oversampled rate.
#pragma once

#include <array>

#include "dsp/Crusher.h"

namespace tovrasat {

// The crusher (never bypassed: HQ fades to the dry input at the base rate) with the plug-in's
// voicing, computed eight frames at a time in float where a frame does not depend on the one
// before, reading and advancing the crusher's own state (mix ramp, limiter, trim, meter):
//
//   knee      k[i] = mean of the knee over the line from x[i − 1] to x[i]        vector
//   clipper   w[i] = mean of the clipper over the line from k[i − 1] to k[i]     vector
//   level     p = max(|wL|, |wR|); peak detector: G(p) and (g − G) / recovery   vector
//   limiter   peak detector: gain = G if G <= gain + step (the step renewed),    scalar, double
//             else gain + step; envelope: env towards p by at most rise / fall
//   envelope  gain = G(env)                                                      vector
//   finish    o = P·(x[i − 1] + (w·gain − x[i − 1])·mix), e = clamp(o, ±0.9999),  vector
//             out = trim·e; meter: peak max |out|, clip |e| >= 0.9998
//
// The means are first-order antiderivative anti-aliasing: the knee's corners at ±t1 and the
// clipper's at ±t3 (where its slope steps from 1.2 to 1.6) are piecewise curves whose harmonics
// reach far up; averaged over each step of their input, what they would fold back from above
// the high rate's Nyquist is some 20 dB weaker, which lets HQ run at 16 times the rate instead
// of 32. Each mean places its output half a frame back, so the dry signal in the mix is the
// frame before, and wet and dry stay aligned at every Gain (the whole output is one high-rate
// frame later, a sixteenth of a base frame). In the audio band the means are a gentle low-pass,
// -0.07 dB at 20 kHz and 44.1 kHz.
//
// The envelope (48V off) places the crossing of its level between two frames on the straight
// line between them and steps by the parts of rise and fall on either side, where the engine
// steps by a whole rise or fall: otherwise when the crossing falls depends on how the sample
// grid meets the waveform, and a tone a few hertz off a divisor of the rate comes out with the
// grid's beat as sidebands on every harmonic (-78 dB at 16 times 48 kHz for a hot 4987 Hz tone).
//
// G(e) = g up to the threshold t, (1 − k(1 − e)²) / e above it, as in the engine. Divisions by
// constants are multiplications by reciprocals, the means' and G's quotients products with the
// processor's reciprocal estimate refined by one Newton step (a few units in the last place), and
// the mix ramp and the trim glide are their closed forms (start + i·step, target + d·(1 − c)^i), so
// only the limiter carries a chain from frame to frame. Gain compensation is off in the voicing, so
// the energy followers, whose only reader is gain compensation, are not run (fastCount still counts
// down).
//
// Calls in which the engine is not in the voicing's shape (Engine::settled() false: a ramp other
// than the mix's moving, gain compensation on) go to Crusher::process itself.
//
// Threads: render; one object per crusher. Allocates nothing, takes no lock, makes no system call,
// throws nothing.
class HighRateChain {
 public:
  static constexpr int kMaxFrames = 1024;
  // Samples by which the output lags the input (the two means, half a sample each).
  static constexpr int kDelay = 1;

  // Processes n frames (at most kMaxFrames; longer calls go in passes) of left and right in place
  // through crusher, and publishes its meter readings. Nothing for n < 1.
  void process(Crusher& crusher, float* left, float* right, int n) noexcept;

  // Clears the previous frame that the knee and the ceiling average from. Threads: not while
  // rendering.
  void reset() noexcept;

  // Whether the vector pass runs its AVX2 build: set at start-up from the processor's
  // features; tests switch it to compare both builds.
  static bool usesAvx2;

 private:
  static constexpr int kLanes = 8;
  static constexpr int kSpan = kMaxFrames + kLanes;

  void run(Crusher& crusher, float* left, float* right, int n) noexcept;

  // The last frame of the previous call: its input (as given) and the knee's output.
  std::array<float, 2> mLastIn{};
  std::array<float, 2> mLastKneed{};
  // Calls not a multiple of kLanes frames long run on these copies.
  std::array<float, kSpan> mPaddedL{};
  std::array<float, kSpan> mPaddedR{};
  // The mix per frame while it ramps.
  std::array<float, kSpan> mMix{};
  // The output level P = output^2.737 for the output value it was computed from.
  double mLevelOf = -1.0;
  // The limiter's level on the last frame (the envelope's crossings are placed between frames).
  double mPreviousLevel = 0.0;
  double mOutputLevel = 0.0;
};

}  // namespace tovrasat
