// tovrasat::TruePeakLimiter: a look-ahead limiter that keeps the stereo true peak under a ceiling.
#pragma once

#include <array>

namespace tovrasat {

// The gain g, one for both channels, keeps the peaks between samples, as a 4x oversampled meter
// reads them, at or below the ceiling:
//
//   p[m]  = max over both channels of |x[m]| and x interpolated at m + ¼, m + ½, m + ¾
//           (12-tap Kaiser-windowed sinc phases, flat within 0.03 dB to 0.3 of the rate;
//           scripts/design-hq-filters.py)
//   r[m]  = min(1, ceiling / p[m])                      the gain each point needs
//   h[m]  = min r[m − A − P .. m]                       look-ahead A frames, P frames each side
//   e[m]  = h[m] when lower; held while h stays within 0.5 dB of it; after the hold, released
//           towards h (one-pole)
//   g[m]  = e averaged over two boxes whose spans add up to A − P
//   y[m − A] = g[m] · x[m − A]                          (x read 6 frames late for the detector)
//
// Every point of the averages' reach holds r of the output sample and its P neighbours, so the
// gain falls, smoothly over A − P frames, to at most what those points need by the time the
// sample leaves, and stays there for P frames either side. The hold keeps a steady tone's gain
// constant (its peaks come back within the hold, within 0.5 dB of each other), so limiting it
// adds no sidebands; a gain of 1 passes the input bit for bit.
//
// Latency: kDetectorDelay + A frames. `process` allocates, locks, calls into the system and
// throws nothing. Threads: render (constructor, prepare and reset: not while rendering).
class TruePeakLimiter {
 public:
  static constexpr int kDetectorDelay = 6;
  static constexpr int kMaxLookahead = 48;
  static constexpr int kSpread = 4;  // P
  static constexpr double kCeilingDb = -0.1;
  static constexpr double kHoldSeconds = 0.05;
  static constexpr double kReleaseSeconds = 0.15;

  // lookahead: A, from 2 · kSpread + 2 to kMaxLookahead frames (clamped).
  explicit TruePeakLimiter(int lookahead) noexcept;

  int latency() const noexcept { return kDetectorDelay + mLookahead; }
  // The gain applied to the last sample out, for meters and tests.
  double gain() const noexcept { return mGain; }

  // Sets hold and release for the rate and clears the history; false (nothing changed) for a
  // rate that is not finite and positive.
  bool prepare(double rate) noexcept;
  void reset() noexcept;
  // Limits n frames of both channels in place. Threads: render.
  void process(float* left, float* right, int n) noexcept;

 private:
  static constexpr int kTaps = 2 * kDetectorDelay;
  static constexpr int kDelayLength = kDetectorDelay + kMaxLookahead + 1;
  static constexpr int kWindowLength = kMaxLookahead + kSpread + 1;

  // Takes a frame into the detector's history; returns the gain it needs (`remember`: 1, for
  // frames known to need none).
  double needed(float left, float right) noexcept;
  double remember(float left, float right) noexcept;
  double smoothed(double envelope) noexcept;

  int mLookahead;
  int mBox1;  // the two boxes' lengths: (mBox1 − 1) + (mBox2 − 1) = A − P
  int mBox2;
  int mHoldFrames = 0;
  double mRelease = 0.0;
  double mCeiling;

  // The newest kTaps inputs of each channel for the detector, twice over, so that the kTaps
  // from mDetectorPos on are in order, oldest first.
  std::array<std::array<float, 2 * kTaps>, 2> mDetector{};
  int mDetectorPos = 0;
  // The inputs, delayed by latency() frames (a ring per channel).
  std::array<std::array<float, kDelayLength>, 2> mDelay{};
  int mDelayPos = 0;
  // The frames of the window of h whose r is less than that of every later one: a ring from
  // mMinFirst, mMinCount long, times and values rising.
  struct Candidate {
    double value;
    long long time;
  };
  int minSlot(int index) const noexcept {
    const int slot = mMinFirst + index;
    return slot >= kWindowLength ? slot - kWindowLength : slot;
  }
  std::array<Candidate, kWindowLength> mMinQueue{};
  int mMinFirst = 0;
  int mMinCount = 0;
  long long mNow = 0;  // frames since reset
  double mEnvelope = 1.0;
  int mHoldLeft = 0;
  // A box average over a ring of `length` values: the next write position and their sum.
  struct Box {
    int pos = 0;
    double sum = 0.0;
    double push(double* line, int length, double value) noexcept;
  };
  std::array<double, kMaxLookahead> mBoxLine1{};
  std::array<double, kMaxLookahead> mBoxLine2{};
  Box mBox1Sum;
  Box mBox2Sum;
  int mSinceReduced = 2 * kMaxLookahead;  // frames since e was last below 1, up to both boxes
  double mGain = 1.0;
};

}  // namespace tovrasat
