// tovrasat::OversampledCrusher: the crusher run at a multiple of the host's rate, bypass outside.
#pragma once

#include <array>

#include "dsp/Crusher.h"
#include "dsp/HighRateChain.h"
#include "dsp/Oversampler.h"
#include "dsp/TruePeakLimiter.h"

namespace tovrasat {

// Each channel goes up by kFactor, through the crusher's chain (the crusher prepared for kFactor
// times the rate, so its ramps and time constants, which are in seconds, keep their length; the
// chain run by HighRateChain) and down again:
//
//   in ──┬── up ── chain (Gain, trim, 48V; never bypassed) ── down ── limiter ── w ──┐
//        └── delay of latency() frames ──────────────────────────────────── dry ──┴── fade ── out
//
// The down filters ring where the chain flattens peaks at the high rate, so the wet path ends
// in a true-peak limiter (ceiling −0.1 dBTP) whose look-ahead takes what the filters leave of
// kLatency.
//
// The bypass cross-fade (12 ms one-pole, snapped within 1e-6, exactly the delayed input once
// bypassed) runs at the host's rate on the delayed input, so a bypassed HQ plug-in passes its
// input bit for bit, only later by the latency that the host compensates. The crusher's meter
// readings (`peak`, `clip`) come from the high rate, after the trim, as in the crusher alone.
//
// Threads: as the crusher's: `setParams`, `prepare` and `process` on one thread at a time.
class OversampledCrusher {
 public:
  static constexpr int kStages = 4;
  static constexpr int kFactor = 1 << kStages;
  // Frames of delay from input to output, the same at every sample rate: 1 ms at 44.1 kHz.
  static constexpr int kLatency = 44;

  // The crusher that does the work; it must outlive this object.
  explicit OversampledCrusher(Crusher& crusher) noexcept;

  // Frames of delay from input to output: the filters' and the limiter's (kLatency). Threads: any.
  int latency() const noexcept { return mUp[0].latency() + mLimiter.latency(); }

  // The crusher's intake with Bypass kept here. Threads: render, or main while not rendering.
  void setParams(float gain, float trimDb, bool phantom, bool bypass) noexcept;
  // Clears filters and delay and prepares the crusher at kFactor · rate; false (nothing changed)
  // for a rate that is not finite and positive. Threads: main while not rendering.
  bool prepare(double rate) noexcept;
  // Channels 0 and 1 of inputs to channels 0 and 1 of outputs (in place is fine); nothing for
  // nFrames < 1 or a null pointer. Allocates nothing, takes no lock, makes no system call and
  // throws nothing. Threads: render.
  void process(const float* const* inputs, float* const* outputs, int nFrames) noexcept;

  // Whether the high rate runs HighRateChain (true, the default) or Crusher::process, the
  // double-precision chain without averaging, for comparisons (its output then comes
  // HighRateChain::kDelay high-rate samples before the latency). Threads: not while rendering.
  void useSinglePrecisionChain(bool on) noexcept { mSinglePrecision = on; }

 private:
  static constexpr int kRun = Oversampler::kMaxRun;
  static constexpr int kMaxLatency = 64;

  float delayDry(int channel, float x) noexcept;

  Crusher& mCrusher;
  HighRateChain mChain;
  bool mSinglePrecision = true;
  std::array<Oversampler, 2> mUp{Oversampler(kStages, HighRateChain::kDelay),
                                 Oversampler(kStages, HighRateChain::kDelay)};
  TruePeakLimiter mLimiter{kLatency - mUp[0].latency() - TruePeakLimiter::kDetectorDelay};
  bool mBypassOn = false;
  double mBypassCoef = 0.0;
  double mBypassMix = 0.0;
  // The dry input, delayed by latency() frames (a ring per channel).
  std::array<std::array<float, kMaxLatency + 1>, 2> mDry{};
  int mDryPos = 0;
  std::array<std::array<float, kRun * kFactor>, 2> mHigh{};
  std::array<std::array<float, kRun>, 2> mWet{};
};

}  // namespace tovrasat
