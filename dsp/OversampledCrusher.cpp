// tovrasat::OversampledCrusher: up, crusher, down and the bypass fade on the delayed input.
#include "dsp/OversampledCrusher.h"

#include <algorithm>
#include <cmath>

#include "dsp/ScopedFlushDenormals.h"

namespace tovrasat {

OversampledCrusher::OversampledCrusher(Crusher& crusher) noexcept : mCrusher(crusher) {
  static_assert(kFactor <= Oversampler::kMaxFactor);
}

void OversampledCrusher::setParams(float gain, float trimDb, bool phantom, bool bypass) noexcept {
  mCrusher.setParams(gain, trimDb, phantom, false);
  mBypassOn = bypass;
}

bool OversampledCrusher::prepare(double rate) noexcept {
  if (!(rate > 0.0) || !std::isfinite(rate)) return false;
  if (!mCrusher.prepare(rate * kFactor)) return false;
  for (Oversampler& o : mUp) o.reset();
  mChain.reset();
  mLimiter.prepare(rate);
  for (auto& line : mDry) line.fill(0.0f);
  mDryPos = 0;
  mBypassCoef = 1.0 - std::exp(-1.0 / (rate * 0.012));
  mBypassMix = mBypassOn ? 1.0 : 0.0;
  return true;
}

float OversampledCrusher::delayDry(int channel, float x) noexcept {
  auto& line = mDry[static_cast<std::size_t>(channel)];
  const int length = latency() + 1;
  line[static_cast<std::size_t>(mDryPos)] = x;
  const int oldest = mDryPos + 1 == length ? 0 : mDryPos + 1;
  return line[static_cast<std::size_t>(oldest)];
}

void OversampledCrusher::process(const float* const* inputs, float* const* outputs,
                                 int nFrames) noexcept {
  if (nFrames < 1 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
      inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) {
    return;
  }
  const ScopedFlushDenormals flush;
  const double target = mBypassOn ? 1.0 : 0.0;
  const int length = latency() + 1;
  for (int offset = 0; offset < nFrames; offset += kRun) {
    const int m = std::min(kRun, nFrames - offset);
    Oversampler::upStereo(mUp[0], mUp[1], inputs[0] + offset, inputs[1] + offset, mHigh[0].data(),
                          mHigh[1].data(), m);
    float* const high[2] = {mHigh[0].data(), mHigh[1].data()};
    if (mSinglePrecision) {
      mChain.process(mCrusher, high[0], high[1], m * kFactor);
    } else {
      mCrusher.process(high, high, m * kFactor);
    }
    Oversampler::downStereo(mUp[0], mUp[1], high[0], high[1], mWet[0].data(), mWet[1].data(), m);
    mLimiter.process(mWet[0].data(), mWet[1].data(), m);
    if (target == 0.0 && mBypassMix == 0.0) {
      // Not bypassed and not fading: the output is the wet signal, and the dry line only keeps
      // the input for a later fade. Inputs are read before outputs are written: in place is fine.
      auto& lineL = mDry[0];
      auto& lineR = mDry[1];
      for (int i = 0; i < m; ++i) {
        const auto at = static_cast<std::size_t>(mDryPos);
        lineL[at] = inputs[0][offset + i];
        lineR[at] = inputs[1][offset + i];
        mDryPos = mDryPos + 1 == length ? 0 : mDryPos + 1;
        outputs[0][offset + i] = mWet[0][static_cast<std::size_t>(i)];
        outputs[1][offset + i] = mWet[1][static_cast<std::size_t>(i)];
      }
      continue;
    }
    for (int i = 0; i < m; ++i) {
      // Inputs are read before outputs are written: in place is fine.
      const float dryL = delayDry(0, inputs[0][offset + i]);
      const float dryR = delayDry(1, inputs[1][offset + i]);
      mDryPos = mDryPos + 1 == length ? 0 : mDryPos + 1;
      double b = mBypassMix + mBypassCoef * (target - mBypassMix);
      if (std::fabs(b - target) < 1e-6) b = target;
      mBypassMix = b;
      const float wetL = mWet[0][static_cast<std::size_t>(i)];
      const float wetR = mWet[1][static_cast<std::size_t>(i)];
      if (b <= 0.0) {
        outputs[0][offset + i] = wetL;
        outputs[1][offset + i] = wetR;
      } else if (b < 1.0) {
        outputs[0][offset + i] = static_cast<float>(wetL * (1.0 - b) + dryL * b);
        outputs[1][offset + i] = static_cast<float>(wetR * (1.0 - b) + dryR * b);
      } else {
        outputs[0][offset + i] = dryL;
        outputs[1][offset + i] = dryR;
      }
    }
  }
}

}  // namespace tovrasat
