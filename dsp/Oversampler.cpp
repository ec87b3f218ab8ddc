// tovrasat::Oversampler: the stage designs, the latency padding and the cascade loops.
#include "dsp/Oversampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovrasat {
namespace {

struct StageDesign {
  int taps;
  double beta;
};

// Stages 2 to 5. Kaiser beta 0.1102 · (A − 8.7) for A = 100 dB; the lengths set each stage's
// transition band.
constexpr StageDesign kDesigns[Oversampler::kMaxStages - 1] = {
    {31, 10.06}, {23, 10.06}, {19, 10.06}, {19, 10.06}};

}  // namespace

Oversampler::Oversampler(int stages, int highRateDelay) noexcept
    : mStages(std::clamp(stages, 1, kMaxStages)),
      mUp{HalfBand(kDesigns[0].taps, kDesigns[0].beta),
          HalfBand(kDesigns[1].taps, kDesigns[1].beta),
          HalfBand(kDesigns[2].taps, kDesigns[2].beta),
          HalfBand(kDesigns[3].taps, kDesigns[3].beta)},
      mDown(mUp) {
  // At the highest rate.
  double delay =
      HalfBandAllpass::kPairPeakDelay * factor() + std::clamp(highRateDelay, 0, kMaxFactor);
  for (int k = 1; k < mStages; ++k) {
    const HalfBand& s = mUp[static_cast<std::size_t>(k - 1)];
    delay += (s.upDelay() + s.downDelay()) << (mStages - 1 - k);
  }
  const int n = factor();
  mLatency = static_cast<int>(std::ceil(delay / n));
  mPad = static_cast<int>(std::lround(mLatency * n - delay));
}

void Oversampler::reset() noexcept {
  mFirstUp.reset();
  mFirstDown.reset();
  for (HalfBand& s : mUp) s.reset();
  for (HalfBand& s : mDown) s.reset();
  mPadLine.fill(0.0f);
}

void Oversampler::up(const float* in, float* out, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  float* first = mStages == 1 ? out : mScratchA.data();
  mFirstUp.up(in, first, n);
  const float* src = first;
  for (int k = 1; k < mStages; ++k) {
    float* dst = k + 1 == mStages ? out : (k % 2 == 0 ? mScratchA.data() : mScratchB.data());
    mUp[static_cast<std::size_t>(k - 1)].up(src, dst, n << k);
    src = dst;
  }
}

void Oversampler::down(const float* in, float* out, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  const float* src = in;
  if (mPad > 0) {
    // Delayed by mPad samples: the held tail of the last run, then this run but its last mPad.
    const int total = n << mStages;
    float* padded = mScratchA.data();
    const auto pad = static_cast<std::size_t>(mPad);
    std::memcpy(padded, mPadLine.data(), sizeof(float) * pad);
    std::memcpy(padded + mPad, in, sizeof(float) * static_cast<std::size_t>(total - mPad));
    std::memcpy(mPadLine.data(), in + (total - mPad), sizeof(float) * pad);
    src = padded;
  }
  // From the highest rate down: stage k halves 2^(k + 1) times the base rate.
  for (int k = mStages - 1; k >= 1; --k) {
    float* dst = src == mScratchA.data() ? mScratchB.data() : mScratchA.data();
    mDown[static_cast<std::size_t>(k - 1)].down(src, dst, n << k);
    src = dst;
  }
  mFirstDown.down(src, out, n);
}

}  // namespace tovrasat
