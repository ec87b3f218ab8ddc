// tovrasat::Oversampler: the stage designs, the latency padding and the cascade loops.
#include "dsp/Oversampler.h"

#include <algorithm>
#include <cstring>

namespace tovrasat {
namespace {

struct StageDesign {
  int taps;
  double beta;
};

// Kaiser beta 0.1102 · (A − 8.7) for A = 100 dB; the lengths set each stage's transition band.
constexpr StageDesign kDesigns[Oversampler::kMaxStages] = {
    {67, 10.06}, {31, 10.06}, {23, 10.06}, {19, 10.06}, {19, 10.06}};

}  // namespace

Oversampler::Oversampler(int stages, int highRateDelay) noexcept
    : mStages(std::clamp(stages, 1, kMaxStages)),
      mUp{HalfBand(kDesigns[0].taps, kDesigns[0].beta),
          HalfBand(kDesigns[1].taps, kDesigns[1].beta),
          HalfBand(kDesigns[2].taps, kDesigns[2].beta),
          HalfBand(kDesigns[3].taps, kDesigns[3].beta),
          HalfBand(kDesigns[4].taps, kDesigns[4].beta)},
      mDown(mUp) {
  int delay = std::clamp(highRateDelay, 0, kMaxFactor);  // at the highest rate
  for (int k = 0; k < mStages; ++k) {
    const HalfBand& s = mUp[static_cast<std::size_t>(k)];
    delay += (s.upDelay() + s.downDelay()) << (mStages - 1 - k);
  }
  const int n = factor();
  mLatency = (delay + n - 1) / n;
  mPad = mLatency * n - delay;
}

void Oversampler::reset() noexcept {
  for (HalfBand& s : mUp) s.reset();
  for (HalfBand& s : mDown) s.reset();
  mPadLine.fill(0.0f);
}

void Oversampler::up(const float* in, float* out, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  const float* src = in;
  for (int k = 0; k < mStages; ++k) {
    float* dst = k + 1 == mStages ? out : (k % 2 == 0 ? mScratchA.data() : mScratchB.data());
    mUp[static_cast<std::size_t>(k)].up(src, dst, n << k);
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
  for (int k = mStages - 1; k >= 0; --k) {
    float* dst = k == 0 ? out : (src == mScratchA.data() ? mScratchB.data() : mScratchA.data());
    mDown[static_cast<std::size_t>(k)].down(src, dst, n << k);
    src = dst;
  }
}

}  // namespace tovrasat
