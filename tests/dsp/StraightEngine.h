// The engine's per-sample chain written step for step, the yardstick for the optimised one.
#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/Engine.h"

namespace dsptest {

// Same state, same results bit for bit as cc::Engine::process, but with nothing hoisted or
// cached: a power per sample, the library's fmax/fmin, every field read and written in place.
inline void straightEngineProcess(cc::Engine& e, float* left, float* right, int n) noexcept {
  if (e.enabled < 0.5 || n < 1 || left == nullptr || right == nullptr) return;
  const double k1 = 1.0 + 10.0 * e.kneeDrive;
  const double t1 = 0.75 / k1;
  const double k3 = 1.0 + 4.0 * e.clipDrive;
  const double t3 = 0.6 / k3;
  const bool clipper = e.clipDrive > 0.0 && e.shaperOn >= 0.5;
  const bool shaper = e.shaperOn >= 0.5;
  const bool filter = e.filterOn >= 0.5;
  const bool limiter = e.limiterOn >= 0.5;
  const bool phantom = e.phantom >= 0.5;

  for (int i = 0; i < n; ++i) {
    const double xL = std::isfinite(left[i]) ? left[i] : 0.0;
    const double xR = std::isfinite(right[i]) ? right[i] : 0.0;
    double v[2] = {xL, xR};

    e.cutoffSm.tick();
    e.resonanceSm.tick();
    if (i % 16 == 0 &&
        (e.cutoffSm.current != e.lastCutoff || e.resonanceSm.current != e.lastResonance)) {
      e.setLowpass(e.cutoffSm.current, e.resonanceSm.current);
      e.lastCutoff = e.cutoffSm.current;
      e.lastResonance = e.resonanceSm.current;
    }

    if (shaper) {
      for (double& x : v) {
        const double a = std::fabs(x);
        const double y = a <= t1 ? k1 * a : 0.75 + 0.25 * (a - t1) / (1.0 - t1);
        x = x < 0.0 ? -y : (x > 0.0 ? y : std::copysign(y, x));
      }
    }

    if (filter) {
      cc::Engine::LowpassCoefs* c[2] = {&e.lpCoefL, &e.lpCoefR};
      cc::Engine::LowpassState* s[2] = {&e.lpStateL, &e.lpStateR};
      for (int ch = 0; ch < 2; ++ch) {
        const double x = v[ch];
        const double y = c[ch]->b0 * x + c[ch]->b1 * s[ch]->x1 + c[ch]->b2 * s[ch]->x2 -
                         c[ch]->a1 * s[ch]->y1 - c[ch]->a2 * s[ch]->y2;
        s[ch]->x2 = s[ch]->x1;
        s[ch]->x1 = x;
        s[ch]->y2 = s[ch]->y1;
        s[ch]->y1 = y;
        v[ch] = y;
      }
      const double p = std::max(std::fabs(v[0]), std::fabs(v[1]));
      if (p > e.levelEnv) {
        e.levelEnv = std::min(p, e.levelEnv + e.levelRise);
      } else {
        e.levelEnv = std::max(p, e.levelEnv - e.levelFall);
      }
      const double g = e.levelEnv > 1.0 ? 1.0 / e.levelEnv : 1.0;
      if (g <= e.levelGain) {
        e.levelGain = g;
      } else {
        e.levelGain = std::min(g, e.levelGain + e.levelGainStep);
      }
      if (e.levelGain == g) e.levelGainStep = (1.0 - e.levelGain) / e.levelRecoverySamples;
      v[0] *= e.levelGain;
      v[1] *= e.levelGain;
    }

    if (clipper) {
      for (double& x : v) {
        const double a = std::fabs(x);
        const double r = (1.0 - a) / (1.0 - t3);
        const double y = a <= t3 ? k3 * a : 1.0 - 0.4 * (r * r);
        x = x < 0.0 ? -y : (x > 0.0 ? y : std::copysign(y, x));
      }
    }

    e.driveSm.tick();
    if (e.driveSm.current != e.lastDrive) {
      e.setLimiter(e.driveSm.current);
      e.lastDrive = e.driveSm.current;
    }

    if (limiter) {
      const double p = std::max(std::fabs(v[0]), std::fabs(v[1]));
      double gain;
      if (phantom) {
        const double g = e.limiterGainFor(p);
        if (g <= e.limGainNow) {
          e.limGainNow = g;
        } else {
          e.limGainNow = std::min(g, e.limGainNow + e.limGainStep);
        }
        if (e.limGainNow == g) e.limGainStep = (e.limGain - e.limGainNow) / e.recoverySamples;
        gain = e.limGainNow;
      } else {
        if (p > e.limEnv) {
          e.limEnv = std::min(p, e.limEnv + e.envRise);
        } else {
          e.limEnv = std::max(p, e.limEnv - e.envFall);
        }
        gain = e.limiterGainFor(e.limEnv);
      }
      v[0] *= gain;
      v[1] *= gain;
    }

    e.mixSm.tick();
    e.outputSm.tick();
    const double level = e.outputSm.current <= 0.0 ? 0.0 : std::pow(e.outputSm.current, 2.737);

    const bool fast = e.fastCount > 0;
    const double c = fast ? e.energyCoefFast : e.energyCoefSlow;
    const double cMakeup = fast ? e.makeupCoefFast : e.makeupCoefSlow;
    if (e.fastCount >= 1) e.fastCount -= 1;

    const double m = e.mixSm.current;
    const double oL = level * (xL + (v[0] - xL) * m);
    const double oR = level * (xR + (v[1] - xR) * m);

    e.inEnergy += c * (0.5 * (xL * xL + xR * xR) - e.inEnergy);
    e.outEnergy += c * (0.5 * (oL * oL + oR * oR) - e.outEnergy);

    double target = 1.0;
    if (e.autoGain) {
      target = e.makeup;
      if (e.inEnergy > 1e-10 && e.outEnergy > 1e-10) {
        target = std::clamp(std::sqrt(e.inEnergy / e.outEnergy), 0.0625, 16.0);
      }
    }
    e.makeup += cMakeup * (target - e.makeup);

    left[i] = static_cast<float>(std::fmin(std::fmax(oL * e.makeup, -0.9999), 0.9999));
    right[i] = static_cast<float>(std::fmin(std::fmax(oR * e.makeup, -0.9999), 0.9999));
  }
}

}  // namespace dsptest
