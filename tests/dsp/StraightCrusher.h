// The crusher's block loop written step for step, the yardstick for the optimised one.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>

#include "dsp/Crusher.h"
#include "dsp/ScopedFlushDenormals.h"
#include "tests/dsp/StraightEngine.h"

namespace dsptest {

// Same results bit for bit as tovrasat::Crusher::process: the trim's power of ten on every
// sample, the straightforward engine, nothing hoisted.
inline void straightCrusherProcess(tovrasat::Crusher& c, const float* const* inputs,
                                   float* const* outputs, int nFrames) noexcept {
  const tovrasat::ScopedFlushDenormals flush;
  if (nFrames < 1 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
      inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) {
    return;
  }
  float localPeak = 0.0f;
  bool localClip = false;
  for (int offset = 0; offset < nFrames; offset += 256) {
    const int m = std::min(256, nFrames - offset);
    float scratchL[256];
    float scratchR[256];
    for (int j = 0; j < m; ++j) {
      scratchL[j] = inputs[0][offset + j];
      scratchR[j] = inputs[1][offset + j];
    }
    straightEngineProcess(c.engine, scratchL, scratchR, m);
    for (int j = 0; j < m; ++j) {
      const float dry[2] = {inputs[0][offset + j], inputs[1][offset + j]};
      const float eng[2] = {scratchL[j], scratchR[j]};
      const double target = c.bypassOn ? 1.0 : 0.0;
      double b = c.bypassMix + c.bypassCoef * (target - c.bypassMix);
      if (std::fabs(b - target) < 1e-6) b = target;
      c.bypassMix = b;
      c.trimGain += c.trimCoef * (std::pow(10.0, c.trimDb * 0.05) - c.trimGain);
      for (int ch = 0; ch < 2; ++ch) {
        const float w = static_cast<float>(c.trimGain * eng[ch]);
        localPeak = std::max(localPeak, std::fabs(w));
        if (std::fabs(eng[ch]) >= 0.9998f) localClip = true;
        float out;
        if (c.bypassMix == 0.0) {
          out = w;
        } else if (c.bypassMix < 1.0) {
          out = static_cast<float>(static_cast<double>(w) * (1.0 - c.bypassMix) +
                                   static_cast<double>(dry[ch]) * c.bypassMix);
        } else {
          out = dry[ch];
        }
        outputs[ch][offset + j] = out;
      }
    }
  }
  float published = c.peak.load(std::memory_order_relaxed);
  while (localPeak > published &&
         !c.peak.compare_exchange_weak(published, localPeak, std::memory_order_relaxed)) {
  }
  if (localClip) c.clip.store(true, std::memory_order_relaxed);
}

}  // namespace dsptest
