// tovrasat::TruePeakLimiter: the 4x detector, the hold and release, and the delayed gain.
#include "dsp/TruePeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace tovrasat {
namespace {

// From scripts/design-hq-filters.py: row q − 1 interpolates the point m + q / 4 from samples
// m − 5 .. m + 6 (12-tap Kaiser-windowed sinc phases).
constexpr float kPhases[3][12] = {
    {-0.00487955521f, 0.0147195553f, -0.0343008319f, 0.0724019567f, -0.163447096f, 0.897775454f,
     0.290083687f, -0.106084276f, 0.0500492785f, -0.0229328136f, 0.00888580585f, -0.00227116468f},
    {-0.00484386989f, 0.016329487f, -0.0398362734f, 0.0851504696f, -0.184445326f, 0.627645512f,
     0.627645512f, -0.184445326f, 0.0851504696f, -0.0398362734f, 0.016329487f, -0.00484386989f},
    {-0.00227116468f, 0.00888580585f, -0.0229328136f, 0.0500492785f, -0.106084276f, 0.290083687f,
     0.897775454f, -0.163447096f, 0.0724019567f, -0.0343008319f, 0.0147195553f, -0.00487955521f}};

constexpr int kTaps = 2 * TruePeakLimiter::kDetectorDelay;

// The most any detector point can exceed the largest of the samples it is made from: the largest
// sum of one phase's |taps| (the sample itself counts 1), with room for the float sums' rounding.
constexpr double detectorGainBound() {
  double most = 1.0;
  for (const auto& phase : kPhases) {
    double sum = 0.0;
    for (const float tap : phase) sum += tap < 0.0f ? -tap : tap;
    most = sum > most ? sum : most;
  }
  return most * (1.0 + 1e-4);
}
constexpr double kDetectorGainBound = detectorGainBound();

// A requirement within this factor of the held gain keeps holding it (0.5 dB): wider than a
// steady tone's peaks vary as the 4x grid meets them, narrow enough not to hold much more
// limiting than the material needs.
constexpr double kHoldBand = 1.0592537251772889;

// The largest magnitude of the four points from m on of both channels, over left and right =
// x[m − 5 .. m + 6]: one vector holds the left channel's four points and the right one's, each
// lane summed in the same order as four lanes of one channel would be.
using StereoPoints = float __attribute__((vector_size(8 * sizeof(float))));
// Column k of the detector: what sample m − 5 + k adds to the points m, m + ¼, m + ½, m + ¾ of
// each channel. The points m are the sample itself (a 1 among zeros, so they come out exact).
struct StereoColumns {
  StereoPoints at[kTaps];
};
constexpr StereoColumns makeStereoColumns() {
  StereoColumns c{};
  for (int k = 0; k < kTaps; ++k) {
    const float self = k == TruePeakLimiter::kDetectorDelay - 1 ? 1.0f : 0.0f;
    c.at[k] = StereoPoints{self, kPhases[0][k], kPhases[1][k], kPhases[2][k],
                           self, kPhases[0][k], kPhases[1][k], kPhases[2][k]};
  }
  return c;
}
constexpr StereoColumns kStereoColumns = makeStereoColumns();

[[gnu::always_inline]] inline float stereoPeak(const float* left, const float* right) noexcept {
  StereoPoints sum = {};
  for (int k = 0; k < kTaps; ++k) {
    const float l = left[k];
    const float r = right[k];
    sum += kStereoColumns.at[k] * StereoPoints{l, l, l, l, r, r, r, r};
  }
  const float peakL = std::max(std::max(std::fabs(sum[0]), std::fabs(sum[1])),
                               std::max(std::fabs(sum[2]), std::fabs(sum[3])));
  const float peakR = std::max(std::max(std::fabs(sum[4]), std::fabs(sum[5])),
                               std::max(std::fabs(sum[6]), std::fabs(sum[7])));
  return std::max(peakL, peakR);
}

float stereoPeakBaseline(const float* left, const float* right) noexcept {
  return stereoPeak(left, right);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// One AVX register instead of two SSE ones: the same bits (no fused multiply-add either way).
[[gnu::target("avx2")]] float stereoPeakAvx2(const float* left, const float* right) noexcept {
  return stereoPeak(left, right);
}

const bool kHasAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

}  // namespace

TruePeakLimiter::TruePeakLimiter(int lookahead) noexcept
    : mLookahead(std::clamp(lookahead, 2 * kSpread + 2, kMaxLookahead)),
      mCeiling(std::pow(10.0, kCeilingDb / 20.0)) {
  const int spans = mLookahead - kSpread;  // (mBox1 − 1) + (mBox2 − 1)
  mBox1 = spans / 2 + 1;
  mBox2 = spans - spans / 2 + 1;
}

bool TruePeakLimiter::prepare(double rate) noexcept {
  if (!(rate > 0.0) || !std::isfinite(rate)) return false;
  mHoldFrames = static_cast<int>(std::lround(kHoldSeconds * rate));
  mRelease = 1.0 - std::exp(-1.0 / (kReleaseSeconds * rate));
  reset();
  return true;
}

void TruePeakLimiter::reset() noexcept {
  for (auto& line : mDetector) line.fill(0.0f);
  mDetectorPos = 0;
  mSinceReduced = 2 * kMaxLookahead;
  for (auto& line : mDelay) line.fill(0.0f);
  mDelayPos = 0;
  mMinFirst = 0;
  mMinCount = 0;
  mNow = 0;
  mEnvelope = 1.0;
  mHoldLeft = 0;
  mBoxLine1.fill(1.0);
  mBoxLine2.fill(1.0);
  mBox1Sum = Box{0, static_cast<double>(mBox1)};
  mBox2Sum = Box{0, static_cast<double>(mBox2)};
  mGain = 1.0;
}

double TruePeakLimiter::remember(float left, float right) noexcept {
  const auto at = static_cast<std::size_t>(mDetectorPos);
  mDetector[0][at] = mDetector[0][at + kTaps] = left;
  mDetector[1][at] = mDetector[1][at + kTaps] = right;
  mDetectorPos = mDetectorPos + 1 == kTaps ? 0 : mDetectorPos + 1;
  return 1.0;
}

double TruePeakLimiter::needed(float left, float right) noexcept {
  remember(left, right);
  const auto oldest = static_cast<std::size_t>(mDetectorPos);
  const float* lineL = mDetector[0].data() + oldest;
  const float* lineR = mDetector[1].data() + oldest;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  const double peak = kHasAvx2 ? stereoPeakAvx2(lineL, lineR) : stereoPeakBaseline(lineL, lineR);
#else
  const double peak = stereoPeakBaseline(lineL, lineR);
#endif
  return peak > mCeiling ? mCeiling / peak : 1.0;
}

inline double TruePeakLimiter::Box::push(double* line, int length, double value) noexcept {
  // A running sum, summed afresh from the line once per turn so that its rounding cannot drift.
  const auto at = static_cast<std::size_t>(pos);
  sum += value - line[at];
  line[at] = value;
  pos = pos + 1 == length ? 0 : pos + 1;
  if (pos == 0) {
    sum = 0.0;
    for (int k = 0; k < length; ++k) sum += line[static_cast<std::size_t>(k)];
  }
  return sum / length;
}

double TruePeakLimiter::smoothed(double required) noexcept {
  const int window = mLookahead + kSpread + 1;
  // h, the least r of the last `window` frames, from a queue of the frames that can still be it:
  // times rising, values strictly rising, so the oldest one within the window is the least.
  ++mNow;
  while (mMinCount > 0 &&
         mMinQueue[static_cast<std::size_t>(minSlot(mMinCount - 1))].value >= required) {
    --mMinCount;
  }
  mMinQueue[static_cast<std::size_t>(minSlot(mMinCount))] = {required, mNow};
  ++mMinCount;
  while (mMinQueue[static_cast<std::size_t>(mMinFirst)].time <= mNow - window) {
    mMinFirst = mMinFirst + 1 == kWindowLength ? 0 : mMinFirst + 1;
    --mMinCount;
  }
  const double h = std::min(1.0, mMinQueue[static_cast<std::size_t>(mMinFirst)].value);

  if (h <= mEnvelope) {
    mEnvelope = h;
    mHoldLeft = mHoldFrames;
  } else if (h < 1.0 && h <= mEnvelope * kHoldBand) {
    mHoldLeft = mHoldFrames;
  } else if (mHoldLeft > 0) {
    --mHoldLeft;
  } else {
    mEnvelope += mRelease * (h - mEnvelope);
    if (h - mEnvelope < 1e-6) mEnvelope = h;
  }

  // Once both boxes hold nothing but ones, the gain is exactly 1 without summing.
  mSinceReduced = mEnvelope < 1.0 ? 0 : std::min(mSinceReduced + 1, mBox1 + mBox2);
  const double mean1 = mBox1Sum.push(mBoxLine1.data(), mBox1, mEnvelope);
  if (mSinceReduced == mBox1 + mBox2) {
    mBox2Sum.push(mBoxLine2.data(), mBox2, 1.0);
    return 1.0;
  }
  return mBox2Sum.push(mBoxLine2.data(), mBox2, mean1);
}

void TruePeakLimiter::process(float* left, float* right, int n) noexcept {
  if (n < 1) return;
  // Where no point of the block can reach the ceiling (its samples and the detector's history
  // are small enough whatever the taps make of them), every frame needs a gain of exactly 1 and
  // the interpolation is skipped; the state moves on as it would.
  float largest = 0.0f;
  for (const auto& line : mDetector)
    for (const float x : line) largest = std::max(largest, std::fabs(x));
  for (int i = 0; i < n; ++i)
    largest = std::max({largest, std::fabs(left[i]), std::fabs(right[i])});
  const bool quiet = static_cast<double>(largest) * kDetectorGainBound <= mCeiling;

  const int length = latency() + 1;
  for (int i = 0; i < n; ++i) {
    const double g = smoothed(quiet ? remember(left[i], right[i]) : needed(left[i], right[i]));
    auto& lineL = mDelay[0];
    auto& lineR = mDelay[1];
    const auto pos = static_cast<std::size_t>(mDelayPos);
    lineL[pos] = left[i];
    lineR[pos] = right[i];
    mDelayPos = mDelayPos + 1 == length ? 0 : mDelayPos + 1;
    const auto oldest = static_cast<std::size_t>(mDelayPos);
    left[i] = static_cast<float>(g * static_cast<double>(lineL[oldest]));
    right[i] = static_cast<float>(g * static_cast<double>(lineR[oldest]));
    mGain = g;
  }
}

}  // namespace tovrasat
