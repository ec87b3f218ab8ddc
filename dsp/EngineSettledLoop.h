// cc::Engine's settled loop: the per-sample chain with both channels in one register and no
// branch on the signal, for calls in which nothing but the mix ramp moves.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dsp/Engine.h"
#include "dsp/FramePairDouble.h"
#include "dsp/StereoDouble.h"

namespace cc {

// A frame as the engine reads it: float samples widened; double samples narrowed to float first,
// as the float buffers `process` works on would hold them. A sample that is not a finite number
// (after the narrowing) reads as silence, as in `process`.
inline tovrasat::StereoDouble engineFrame(float left, float right) noexcept {
  return tovrasat::StereoDouble::fromFloats(left, right).finiteOrZero();
}
inline tovrasat::StereoDouble engineFrame(double left, double right) noexcept {
  return tovrasat::StereoDouble(left, right).roundedToFloat().finiteOrZero();
}

#if TOVRASAT_ENGINE_AVX2_LOOP && TOVRASAT_FRAME_PAIR
namespace settled {

// Frames i and i + 1 as engineFrame reads them.
[[gnu::target("avx2")]] inline tovrasat::FramePairDouble framePair(const float* inL,
                                                                   const float* inR) noexcept {
  return tovrasat::FramePairDouble::fromFloats(inL, inR).finiteOrZero();
}
[[gnu::target("avx2")]] inline tovrasat::FramePairDouble framePair(const double* inL,
                                                                   const double* inR) noexcept {
  return tovrasat::FramePairDouble::fromDoubles(inL, inR).roundedToFloat().finiteOrZero();
}

// The knee and the clipper (the settled loop's first pass) on an even number of frames, two at a
// time: the same operations as the loop's own shaping, lane for lane.
template <class Sample>
[[gnu::target("avx2")]] void shapeFramePairs(const Sample* inL, const Sample* inR, int count,
                                             double k1, double t1, double k3, double t3,
                                             tovrasat::StereoDouble* frame,
                                             tovrasat::StereoDouble* shaped,
                                             double* level) noexcept {
  using tovrasat::FramePairDouble;
  const FramePairDouble kneeGain(k1), kneeJoin(t1), kneeSpan(1.0 - t1);
  const FramePairDouble clipGain(k3), clipJoin(t3), clipSpan(1.0 - t3);
  const FramePairDouble one(1.0), kneeBase(0.75), kneeSlope(0.25), clipCurve(0.4);
  for (int i = 0; i < count; i += 2) {
    FramePairDouble w = framePair(inL + i, inR + i);
    w.store(frame + i);
    {
      const FramePairDouble a = w.abs();
      const FramePairDouble bent = kneeBase + kneeSlope * (a - kneeJoin) / kneeSpan;
      w = FramePairDouble::select(FramePairDouble::lessEqual(a, kneeJoin), kneeGain * a, bent)
              .withSignOf(w);
    }
    {
      const FramePairDouble a = w.abs();
      const FramePairDouble r = (one - a) / clipSpan;
      const FramePairDouble curved = one - clipCurve * (r * r);
      w = FramePairDouble::select(FramePairDouble::lessEqual(a, clipJoin), clipGain * a, curved)
              .withSignOf(w);
    }
    w.store(shaped + i);
    w.abs().storeLargerLanes(level + i);
  }
}

// The limiter's gain g(e) for a multiple of four levels, and (where `step` is given) the peak
// detector's recovery step (limG − g) / recovery, four frames at a time.
[[gnu::target("avx2")]] inline void limiterGainsFramePairs(const double* level, int count,
                                                           double limG, double limK, double limT,
                                                           double recovery, double* gain,
                                                           double* step) noexcept {
  using tovrasat::FramePairDouble;
  const FramePairDouble one(1.0), g(limG), k(limK), t(limT), r(recovery);
  for (int i = 0; i < count; i += 4) {
    const FramePairDouble e = FramePairDouble::load(level + i);
    const FramePairDouble d = one - e;
    const FramePairDouble target =
        FramePairDouble::select(FramePairDouble::lessEqual(e, t), g, (one - k * (d * d)) / e);
    target.store(gain + i);
    if (step != nullptr) ((g - target) / r).store(step + i);
  }
}

}  // namespace settled
#endif

template <class Sample, class Sink>
void Engine::processSettled(const Sample* inL, const Sample* inR, int n, Sink& sink) noexcept {
  const LimiterMode limiter = limiterOn < 0.5  ? LimiterMode::kOff
                              : phantom >= 0.5 ? LimiterMode::kPeak
                                               : LimiterMode::kEnvelope;
#if TOVRASAT_ENGINE_AVX2_LOOP
  if (settledLoopUsesAvx2) {
    switch (limiter) {
      case LimiterMode::kOff:
        return settledLoopAvx2<LimiterMode::kOff>(inL, inR, n, sink);
      case LimiterMode::kPeak:
        return settledLoopAvx2<LimiterMode::kPeak>(inL, inR, n, sink);
      case LimiterMode::kEnvelope:
        return settledLoopAvx2<LimiterMode::kEnvelope>(inL, inR, n, sink);
    }
  }
#endif
  switch (limiter) {
    case LimiterMode::kOff:
      return settledLoopBaseline<LimiterMode::kOff>(inL, inR, n, sink);
    case LimiterMode::kPeak:
      return settledLoopBaseline<LimiterMode::kPeak>(inL, inR, n, sink);
    case LimiterMode::kEnvelope:
      return settledLoopBaseline<LimiterMode::kEnvelope>(inL, inR, n, sink);
  }
}

template <Engine::LimiterMode kLimiter, class Sample, class Sink>
void Engine::settledLoopBaseline(const Sample* inL, const Sample* inR, int n, Sink& sink) noexcept {
  settledLoop<kLimiter, false>(inL, inR, n, sink);
}

#if TOVRASAT_ENGINE_AVX2_LOOP
// The same loop compiled for processors with AVX2: the same operations in their three-operand
// (VEX) encoding, which spares the register copies SSE2's two-operand forms need, and the passes
// without state from frame to frame (shaping, the limiter's gains) on two frames (or four levels)
// per 256-bit register. No fused multiply-add (the "fma" feature is not enabled and contraction is
// off), so the bits are the same.
template <Engine::LimiterMode kLimiter, class Sample, class Sink>
[[gnu::target("avx2")]] void Engine::settledLoopAvx2(const Sample* inL, const Sample* inR, int n,
                                                     Sink& sink) noexcept {
  settledLoop<kLimiter, TOVRASAT_FRAME_PAIR != 0>(inL, inR, n, sink);
}
#endif

// Per frame, with x = (xL, xR) and every step on both lanes at once (see Engine.h for the curves):
//
//   knee      w = sign(x)·(|x| <= t1 ? k1·|x| : 0.75 + 0.25·(|x| − t1) / (1 − t1))
//   clipper   w = sign(w)·(|w| <= t3 ? k3·|w| : 1 − 0.4·((1 − |w|) / (1 − t3))²)
//   limiter   p = max(|wL|, |wR|); w ·= gain, from the peak detector or the envelope
//   mix       o = P·(x + (w − x)·m),  m the mix ramp, P the (settled) output level
//   energies  (inE, outE) += c·(0.5·(xL² + xR², oL² + oR²) − (inE, outE))
//   makeup    makeup += c′·(1 − makeup)            (gain compensation is off)
//   out       clamp(o·makeup, ±0.9999)
//
// Both sides of every choice are computed and one is selected, so noise, where each sample picks
// its segment at random, costs no mispredicted branches. The frames go in stages of 32 through
// three passes (shaping, limiter levels, the rest), so that long chains without state overlap. The
// filter controls, drive and output level are at their targets (settled()), so their ramps and the
// 16-frame coefficient check have nothing to do; the fast time constants hold for the first
// fastCount frames, which splits the call into two stretches with fixed coefficients instead of
// testing the count on every frame.
template <Engine::LimiterMode kLimiter, bool kFramePairs, class Sample, class Sink>
[[gnu::always_inline]] inline void Engine::settledLoop(const Sample* inL, const Sample* inR, int n,
                                                       Sink& sink) noexcept {
  using tovrasat::StereoDouble;

  const double k1 = 1.0 + 10.0 * kneeDrive;
  const double t1 = 0.75 / k1;
  const double k3 = 1.0 + 4.0 * clipDrive;
  const double t3 = 0.6 / k3;
  const StereoDouble kneeGain(k1), kneeJoin(t1), kneeSpan(1.0 - t1);
  const StereoDouble clipGain(k3), clipJoin(t3), clipSpan(1.0 - t3);
  const StereoDouble one(1.0), ceiling(0.9999), floor(-0.9999);
  const StereoDouble outputLevel(outputSm.current <= 0.0 ? 0.0 : std::pow(outputSm.current, 2.737));
  const StereoDouble limG(limGain), limK(limCurve), limT(limThreshold);
  const StereoDouble recovery(recoverySamples), rise(envRise), fall(envFall);

  // The limiter's gain for level e: g up to the threshold t, (1 − k(1 − e)²) / e above it.
  const auto limiterGain = [&](StereoDouble e) {
    const StereoDouble d = one - e;
    return StereoDouble::select(StereoDouble::lessEqual(e, limT), limG, (one - limK * (d * d)) / e);
  };

  Smoothed mixRamp = mixSm;
  StereoDouble gainNow(limGainNow);
  StereoDouble gainStep(limGainStep);
  StereoDouble envelope(limEnv);
  StereoDouble energy(inEnergy, outEnergy);
  double gainComp = makeup;
  const StereoDouble half(0.5);

  // Each stage of up to 32 frames goes through three passes. First the steps that carry nothing
  // from frame to frame (knee, clipper, the limiter's input peak): the frames are independent, so
  // the processor overlaps their long chains of divisions freely.
  constexpr int kStageFrames = 32;
  StereoDouble frame[kStageFrames];   // the input as the engine reads it
  StereoDouble shaped[kStageFrames];  // after the knee and the clipper
  double level[kStageFrames];         // the limiter's input peak, then (envelope) the envelope
  double gain[kStageFrames];          // peak detector: target gain G; envelope: the limiter's gain
  double step[kStageFrames];          // peak detector: the recovery step from G
  const auto shape = [&](int from, int to, int stageStart) {
    for (int i = from; i < to; ++i) {
      StereoDouble w = engineFrame(inL[i], inR[i]);
      frame[i - stageStart] = w;

      {  // knee
        const StereoDouble a = w.abs();
        const StereoDouble bent =
            StereoDouble(0.75) + StereoDouble(0.25) * (a - kneeJoin) / kneeSpan;
        w = StereoDouble::select(StereoDouble::lessEqual(a, kneeJoin), kneeGain * a, bent)
                .withSignOf(w);
      }

      {  // clipper
        const StereoDouble a = w.abs();
        const StereoDouble r = (one - a) / clipSpan;
        const StereoDouble curved = one - StereoDouble(0.4) * (r * r);
        w = StereoDouble::select(StereoDouble::lessEqual(a, clipJoin), clipGain * a, curved)
                .withSignOf(w);
      }

      shaped[i - stageStart] = w;
      level[i - stageStart] = w.abs().largerLane().left();
    }
  };

  // Second pass: the limiter's levels and gains. Gains of two frames (four with frame pairs) share
  // one division; the unused partners of the last frames read level 0.
  const auto limiterGains = [&](int count, bool withStep) {
#if TOVRASAT_ENGINE_AVX2_LOOP && TOVRASAT_FRAME_PAIR
    if constexpr (kFramePairs) {
      const int padded = (count + 3) & ~3;
      std::fill(level + count, level + padded, 0.0);
      settled::limiterGainsFramePairs(level, padded, limGain, limCurve, limThreshold,
                                      recoverySamples, gain, withStep ? step : nullptr);
      return;
    }
#endif
    if (count % 2 != 0) level[count] = 0.0;
    for (int k = 0; k < count; k += 2) {
      const StereoDouble target = limiterGain(StereoDouble::load(level + k));
      target.store(gain + k);
      if (withStep) ((limG - target) / recovery).store(step + k);
    }
  };
  const auto limit = [&](int count) {
    if constexpr (kLimiter == LimiterMode::kPeak) {
      // The step (g − now) / recovery is renewed when the gain lands on G, and then the gain is
      // G, so it is computed from G here, off the chain that carries the gain.
      limiterGains(count, true);
    } else if constexpr (kLimiter == LimiterMode::kEnvelope) {
      // Slews towards the peak p by at most rise up or fall down per frame:
      //   env = p > env ? min(p, env + rise) : max(p, env − fall)
      for (int k = 0; k < count; ++k) {
        const StereoDouble p(level[k]);
        const StereoDouble up = StereoDouble::min(envelope + rise, p);    // std::min(p, ...)
        const StereoDouble down = StereoDouble::max(envelope - fall, p);  // std::max(p, ...)
        envelope = StereoDouble::select(StereoDouble::greater(p, envelope), up, down);
        level[k] = envelope.left();
      }
      limiterGains(count, false);
    }
  };

  // Third pass: the limiter's gain (peak detector), mix, energies, makeup and clamp, in order.
  const auto finishFrames = [&]<bool kUnityMakeup>(int from, int to, int stageStart,
                                                   double energyCoefNow, double makeupCoefNow) {
    const StereoDouble energyCoef(energyCoefNow);
    for (int i = from; i < to; ++i) {
      const int k = i - stageStart;
      const StereoDouble x = frame[k];
      StereoDouble w = shaped[k];

      if constexpr (kLimiter == LimiterMode::kPeak) {
        // Falls at once to the target gain G, climbs back at most gainStep per frame:
        //   now = G <= now ? G : min(G, now + step);  if now == G: step = (g − G) / recovery.
        // The gain is still climbing (below G) exactly when G > now and now + step < G; in every
        // other case it lands on G, and the step is renewed unless G is a NaN (never equal).
        const StereoDouble target(gain[k]);
        const StereoDouble climbed = gainNow + gainStep;
        const StereoDouble climbing = StereoDouble::andNot(StereoDouble::lessEqual(target, gainNow),
                                                           StereoDouble::less(climbed, target));
        gainNow = StereoDouble::select(climbing, climbed, target);
        gainStep =
            StereoDouble::select(StereoDouble::andNot(climbing, StereoDouble::isNumber(target)),
                                 StereoDouble(step[k]), gainStep);
        w = w * gainNow;
      } else if constexpr (kLimiter == LimiterMode::kEnvelope) {
        w = w * StereoDouble(gain[k]);
      }

      mixRamp.tick();
      const StereoDouble o = outputLevel * (x + (w - x) * StereoDouble(mixRamp.current));

      energy = energy + energyCoef * (half * StereoDouble::laneSums(x * x, o * o) - energy);
      StereoDouble out = o;
      if constexpr (!kUnityMakeup) {
        gainComp += makeupCoefNow * (1.0 - gainComp);
        out = o * StereoDouble(gainComp);
      }

      // fmin(fmax(v, −0.9999), 0.9999): the operand order gives a NaN the lower bound.
      sink(i, StereoDouble::min(StereoDouble::max(out, floor), ceiling));
    }
  };
  // With gain compensation off the makeup gain heads for 1.0; once there it stays exactly 1.0
  // (1 + c·0) and multiplies by one, so the frames skip it.
  const auto finish = [&](int from, int to, int stageStart, double energyCoefNow,
                          double makeupCoefNow) {
    if (gainComp == 1.0) {
      finishFrames.template operator()<true>(from, to, stageStart, energyCoefNow, makeupCoefNow);
    } else {
      finishFrames.template operator()<false>(from, to, stageStart, energyCoefNow, makeupCoefNow);
    }
  };

  const int fastFrames = static_cast<int>(std::clamp<std::int64_t>(fastCount, 0, n));
  for (int start = 0; start < n; start += kStageFrames) {
    const int end = std::min(n, start + kStageFrames);
#if TOVRASAT_ENGINE_AVX2_LOOP && TOVRASAT_FRAME_PAIR
    if constexpr (kFramePairs) {
      const int pairs = (end - start) & ~1;
      settled::shapeFramePairs(inL + start, inR + start, pairs, k1, t1, k3, t3, frame, shaped,
                               level);
      shape(start + pairs, end, start);
    } else {
      shape(start, end, start);
    }
#else
    shape(start, end, start);
#endif
    limit(end - start);
    const int fastEnd = std::clamp(fastFrames, start, end);
    finish(start, fastEnd, start, energyCoefFast, makeupCoefFast);
    finish(fastEnd, end, start, energyCoefSlow, makeupCoefSlow);
  }

  fastCount -= fastFrames;
  mixSm = mixRamp;
  if constexpr (kLimiter == LimiterMode::kPeak) {
    limGainNow = gainNow.left();
    limGainStep = gainStep.left();
  } else if constexpr (kLimiter == LimiterMode::kEnvelope) {
    limEnv = envelope.left();
  }
  inEnergy = energy.left();
  outEnergy = energy.right();
  makeup = gainComp;
}

}  // namespace cc
