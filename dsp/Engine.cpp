// cc::Engine: preparation, constants and the per-sample chain.
#include "dsp/Engine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/EngineSettledLoop.h"

namespace cc {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCeiling = 0.9999;
constexpr double kOutputExponent = 2.737;
constexpr int kCoefCheckInterval = 16;

bool isOn(double value) {
  return value >= 0.5;
}

// One-pole smoothing coefficient for a time constant of tau seconds.
double onePole(double tau, double rate) {
  return 1.0 - std::exp(-1.0 / (tau * rate));
}

// The knee and the clipper work on the magnitude and then multiply by the input's sign. Far
// above full scale the clipper's parabola turns negative (an input of 40 gives -416), and that
// value keeps its own sign under the multiplication, which std::copysign would not.
double restoreSign(double y, double x) {
  return std::signbit(x) ? -y : y;
}

double knee(double x, double k1, double t1) {
  const double a = std::fabs(x);
  const double y = a <= t1 ? k1 * a : 0.75 + 0.25 * (a - t1) / (1.0 - t1);
  return restoreSign(y, x);
}

double softClip(double x, double k3, double t3) {
  const double a = std::fabs(x);
  double y;
  if (a <= t3) {
    y = k3 * a;
  } else {
    const double r = (1.0 - a) / (1.0 - t3);
    y = 1.0 - 0.4 * (r * r);
  }
  return restoreSign(y, x);
}

// A NaN or an infinity from upstream reads as silence: left in, it would pass every stage as a
// NaN and leave at the clamp as a full-scale click, and an infinity would stick in the energy
// followers. Every finite value, -0.0 included, passes unchanged.
double finiteOrZero(float x) {
  return std::fabs(x) <= std::numeric_limits<float>::max() ? static_cast<double>(x) : 0.0;
}

// fmin(fmax(v, -ceiling), ceiling) without the library calls: the first comparison is false
// for NaN (which the stages can only make from NaN parameters), which then leaves as -ceiling
// exactly as IEEE maximum-number does.
double clampToCeiling(double v) {
  const double lowered = v > -kCeiling ? v : -kCeiling;
  return lowered < kCeiling ? lowered : kCeiling;
}

}  // namespace

bool Engine::prepare(double rate) noexcept {
  if (!(rate > 0.0) || !std::isfinite(rate)) return false;
  sampleRate = rate;

  energyCoefSlow = onePole(1.5, rate);
  makeupCoefSlow = onePole(0.25, rate);
  inEnergy = 0.0;
  outEnergy = 0.0;
  makeup = 1.0;
  energyCoefFast = onePole(0.4, rate);
  makeupCoefFast = onePole(0.1, rate);

  envRise = 20.8333333 / rate;
  envFall = 12.5 / rate;
  recoverySamples = rate * 0.00025;
  levelRise = 113.3333333 / rate;
  levelFall = 20.0 / rate;
  levelRecoverySamples = rate * 7.5;

  lpStateL = LowpassState{};
  lpStateR = LowpassState{};
  levelEnv = 0.0;
  levelGain = 1.0;
  levelGainStep = 0.0;
  limEnv = 0.0;
  limGainNow = 1e30;
  limGainStep = 0.0;

  snapParams();
  return true;
}

void Engine::snapParams() noexcept {
  const auto snap = [](Smoothed& s, double value) {
    s.current = value;
    s.target = value;
    s.step = 0.0;
  };
  snap(mixSm, mix);
  snap(outputSm, output);
  snap(driveSm, limiterDrive);
  snap(cutoffSm, cutoff);
  snap(resonanceSm, resonance);
  setLowpass(cutoffSm.current, resonanceSm.current);
  setLimiter(driveSm.current);
}

double Engine::cutoffHz(double control, double rate) noexcept {
  double f = control >= 1.0 ? 16000.0 : 80.0 - 1728.48 * std::log(1.0 - control);
  if (f < 80.0) f = 80.0;
  if (f > 16000.0) f = 16000.0;
  const double nyquistCap = 0.499 * rate;
  if (f > nyquistCap) f = nyquistCap;
  return f;
}

std::int64_t Engine::samplesIn(double seconds, double rate) noexcept {
  const double samples = seconds * rate;
  // Converting NaN or a value outside the 64-bit range is undefined, so saturate first.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (std::isnan(samples)) return 0;
  if (samples >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
  if (samples <= -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(samples);
}

void Engine::setLowpass(double cutoffControl, double resonanceControl) noexcept {
  const double f = cutoffHz(cutoffControl, sampleRate);
  const double q = 1.0 + 6.0 * resonanceControl;
  const double w = 2.0 * kPi * f / sampleRate;
  const double cosW = std::cos(w);
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  LowpassCoefs c;
  c.b0 = (1.0 - cosW) * 0.5 / a0;
  c.b1 = (1.0 - cosW) / a0;
  c.b2 = c.b0;
  c.a1 = -2.0 * cosW / a0;
  c.a2 = (1.0 - alpha) / a0;
  lpCoefL = c;
  lpCoefR = c;
}

void Engine::setLimiter(double drive) noexcept {
  const double g = 1.0 / (1.0 - 0.99 * drive);
  const double root = 0.83066073 + 0.36946597 * drive;
  const double k = 1.0 / (root * root);
  const double b = g - 2.0 * k;
  limGain = g;
  limCurve = k;
  limThreshold = (std::sqrt(b * b + 4.0 * k * (1.0 - k)) - b) / (2.0 * k);
}

bool Engine::settledLoopUsesAvx2 = [] {
#if TOVRASAT_ENGINE_AVX2_LOOP
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}();

bool Engine::settled() const noexcept {
  const auto still = [](const Smoothed& s) { return s.current == s.target; };
  return isOn(shaperOn) && clipDrive > 0.0 && !isOn(filterOn) && !autoGain && still(cutoffSm) &&
         cutoffSm.current == lastCutoff && still(resonanceSm) &&
         resonanceSm.current == lastResonance && still(driveSm) && driveSm.current == lastDrive &&
         still(outputSm);
}

void Engine::process(float* left, float* right, int n) noexcept {
  if (!isOn(enabled) || n < 1 || left == nullptr || right == nullptr) return;

  if (settled()) {
    const auto store = [left, right](int i, tovrasat::StereoDouble out) {
      out.storeFloats(left + i, right + i);
    };
    processSettled(left, right, n, store);
    return;
  }

  const double k1 = 1.0 + 10.0 * kneeDrive;
  const double t1 = 0.75 / k1;
  const double k3 = 1.0 + 4.0 * clipDrive;
  const double t3 = 0.6 / k3;
  const bool shaper = isOn(shaperOn);
  const bool clipper = clipDrive > 0.0 && shaper;
  const bool filter = isOn(filterOn);
  const bool limiter = isOn(limiterOn);
  const bool peakDetector = isOn(phantom);

  double inE = inEnergy;
  double outE = outEnergy;

  // pow is the costliest call per sample and the output level rarely moves: keep the last
  // result for this call (the floating-point mode may differ between calls).
  double levelOf = std::numeric_limits<double>::quiet_NaN();
  double level = 0.0;

  for (int i = 0; i < n; ++i) {
    const double xL = finiteOrZero(left[i]);
    const double xR = finiteOrZero(right[i]);

    cutoffSm.tick();
    resonanceSm.tick();
    if (i % kCoefCheckInterval == 0 &&
        (cutoffSm.current != lastCutoff || resonanceSm.current != lastResonance)) {
      setLowpass(cutoffSm.current, resonanceSm.current);
      lastCutoff = cutoffSm.current;
      lastResonance = resonanceSm.current;
    }

    double wL = xL;
    double wR = xR;
    if (shaper) {
      wL = knee(wL, k1, t1);
      wR = knee(wR, k1, t1);
    }

    if (filter) {
      const LowpassCoefs& cl = lpCoefL;
      const double yL = cl.b0 * wL + cl.b1 * lpStateL.x1 + cl.b2 * lpStateL.x2 -
                        cl.a1 * lpStateL.y1 - cl.a2 * lpStateL.y2;
      lpStateL = LowpassState{wL, lpStateL.x1, yL, lpStateL.y1};
      const LowpassCoefs& cr = lpCoefR;
      const double yR = cr.b0 * wR + cr.b1 * lpStateR.x1 + cr.b2 * lpStateR.x2 -
                        cr.a1 * lpStateR.y1 - cr.a2 * lpStateR.y2;
      lpStateR = LowpassState{wR, lpStateR.x1, yR, lpStateR.y1};

      const double p = std::max(std::fabs(yL), std::fabs(yR));
      if (p > levelEnv) {
        levelEnv = std::min(p, levelEnv + levelRise);
      } else {
        levelEnv = std::max(p, levelEnv - levelFall);
      }
      const double target = levelEnv > 1.0 ? 1.0 / levelEnv : 1.0;
      if (target <= levelGain) {
        levelGain = target;
      } else {
        levelGain = std::min(target, levelGain + levelGainStep);
      }
      if (levelGain == target) levelGainStep = (1.0 - levelGain) / levelRecoverySamples;
      wL = yL * levelGain;
      wR = yR * levelGain;
    }

    if (clipper) {
      wL = softClip(wL, k3, t3);
      wR = softClip(wR, k3, t3);
    }

    driveSm.tick();
    if (driveSm.current != lastDrive) {
      setLimiter(driveSm.current);
      lastDrive = driveSm.current;
    }

    if (limiter) {
      const double p = std::max(std::fabs(wL), std::fabs(wR));
      double gain;
      if (peakDetector) {
        const double target = limiterGainFor(p);
        if (target <= limGainNow) {
          limGainNow = target;
        } else {
          limGainNow = std::min(target, limGainNow + limGainStep);
        }
        if (limGainNow == target) limGainStep = (limGain - limGainNow) / recoverySamples;
        gain = limGainNow;
      } else {
        if (p > limEnv) {
          limEnv = std::min(p, limEnv + envRise);
        } else {
          limEnv = std::max(p, limEnv - envFall);
        }
        gain = limiterGainFor(limEnv);
      }
      wL *= gain;
      wR *= gain;
    }

    mixSm.tick();
    outputSm.tick();
    const double out = outputSm.current;
    if (!(out == levelOf)) {
      levelOf = out;
      level = out <= 0.0 ? 0.0 : std::pow(out, kOutputExponent);
    }

    double energyCoef = energyCoefSlow;
    double makeupCoef = makeupCoefSlow;
    if (fastCount > 0) {
      energyCoef = energyCoefFast;
      makeupCoef = makeupCoefFast;
    }
    if (fastCount >= 1) --fastCount;

    const double m = mixSm.current;
    const double oL = level * (xL + (wL - xL) * m);
    const double oR = level * (xR + (wR - xR) * m);

    inE += energyCoef * (0.5 * (xL * xL + xR * xR) - inE);
    outE += energyCoef * (0.5 * (oL * oL + oR * oR) - outE);

    double target = 1.0;
    if (autoGain) {
      if (inE > 1e-10 && outE > 1e-10) {
        target = std::sqrt(inE / outE);
        if (target < 0.0625) target = 0.0625;
        if (target > 16.0) target = 16.0;
      } else {
        target = makeup;
      }
    }
    makeup += makeupCoef * (target - makeup);

    left[i] = static_cast<float>(clampToCeiling(oL * makeup));
    right[i] = static_cast<float>(clampToCeiling(oR * makeup));
  }

  inEnergy = inE;
  outEnergy = outE;
}

}  // namespace cc
