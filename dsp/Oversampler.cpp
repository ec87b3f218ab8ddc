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
  const int pad = static_cast<int>(std::lround(mLatency * n - delay));
  // A delay of whole frames at the highest rate decimates to the same delay at the base rate
  // (every stage keeps its pairs of samples), so it runs there, on n samples rather than n · N.
  mHighPad = pad % n;
  mBasePad = pad / n;
}

void Oversampler::reset() noexcept {
  mFirstUp.reset();
  mFirstDown.reset();
  for (HalfBand& s : mUp) s.reset();
  for (HalfBand& s : mDown) s.reset();
  mPadLine.fill(0.0f);
  mBaseLine.fill(0.0f);
}

float* Oversampler::upFirstOutput(float* out) noexcept {
  // Each stage writes straight into the next one's input line.
  return mStages == 1 ? out : mUp[0].upInput();
}

void Oversampler::upRest(float* out, int n) noexcept {
  for (int k = 1; k < mStages; ++k) {
    float* dst = k + 1 == mStages ? out : mUp[static_cast<std::size_t>(k)].upInput();
    mUp[static_cast<std::size_t>(k - 1)].upFromLine(dst, n << k);
  }
}

void Oversampler::up(const float* in, float* out, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  mFirstUp.up(in, upFirstOutput(out), n);
  upRest(out, n);
}

void Oversampler::upStereo(Oversampler& left, Oversampler& right, const float* inL,
                           const float* inR, float* outL, float* outR, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  HalfBandAllpass::upStereo(left.mFirstUp, right.mFirstUp, inL, inR, left.upFirstOutput(outL),
                            right.upFirstOutput(outR), n);
  left.upRest(outL, n);
  right.upRest(outR, n);
}

const float* Oversampler::downRest(const float* in, int n) noexcept {
  const float* src = in;
  if (mHighPad > 0) {
    // Delayed by mHighPad samples: the held tail of the last run, then this run but its last
    // mHighPad.
    const int total = n << mStages;
    float* padded = mScratchA.data();
    const auto pad = static_cast<std::size_t>(mHighPad);
    std::memcpy(padded, mPadLine.data(), sizeof(float) * pad);
    std::memcpy(padded + mHighPad, in, sizeof(float) * static_cast<std::size_t>(total - mHighPad));
    std::memcpy(mPadLine.data(), in + (total - mHighPad), sizeof(float) * pad);
    src = padded;
  }
  // From the highest rate down: stage k halves 2^(k + 1) times the base rate.
  for (int k = mStages - 1; k >= 1; --k) {
    float* dst = src == mScratchA.data() ? mScratchB.data() : mScratchA.data();
    mDown[static_cast<std::size_t>(k - 1)].down(src, dst, n << k);
    src = dst;
  }
  return src;
}

void Oversampler::down(const float* in, float* out, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  mFirstDown.down(downRest(in, n), out, n);
  padBase(out, n);
}

void Oversampler::downStereo(Oversampler& left, Oversampler& right, const float* inL,
                             const float* inR, float* outL, float* outR, int n) noexcept {
  n = std::clamp(n, 0, kMaxRun);
  if (n == 0) return;
  const float* twiceL = left.downRest(inL, n);
  const float* twiceR = right.downRest(inR, n);
  HalfBandAllpass::downStereo(left.mFirstDown, right.mFirstDown, twiceL, twiceR, outL, outR, n);
  left.padBase(outL, n);
  right.padBase(outR, n);
}

void Oversampler::padBase(float* out, int n) noexcept {
  if (mBasePad == 0) return;
  // The rest of the padding, in whole frames: the held frames, then this run but its last.
  float held[kMaxFactor];
  const int keep = std::min(mBasePad, n);
  for (int i = 0; i < keep; ++i) held[i] = out[n - keep + i];
  for (int i = n - 1; i >= mBasePad; --i) out[i] = out[i - mBasePad];
  for (int i = 0; i < n && i < mBasePad; ++i) out[i] = mBaseLine[static_cast<std::size_t>(i)];
  // When a run is shorter than the padding, what stays in the line moves up by n.
  for (int i = 0; i + n < mBasePad; ++i) {
    mBaseLine[static_cast<std::size_t>(i)] = mBaseLine[static_cast<std::size_t>(i + n)];
  }
  for (int i = 0; i < keep; ++i) mBaseLine[static_cast<std::size_t>(mBasePad - keep + i)] = held[i];
}

}  // namespace tovrasat
