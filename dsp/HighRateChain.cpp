// tovrasat::HighRateChain: one vector pass, the limiter's scalar steps inside it; the state
// hand-over.
#include "dsp/HighRateChain.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TOVRASAT_HIGH_RATE_SSE2 1
#else
#define TOVRASAT_HIGH_RATE_SSE2 0
#endif

namespace tovrasat {
namespace {

constexpr int kLanes = 8;
using Vec = float __attribute__((vector_size(kLanes * sizeof(float))));
using Mask = std::int32_t __attribute__((vector_size(kLanes * sizeof(float))));

constexpr float kClipLevel = 0.9998f;
constexpr float kCeiling = 0.9999f;
// Beyond 80 dB over full scale every stage's result ends pinned at the ceiling anyway; bounding
// the input there keeps the clipper's square and the limiter's curve finite in single precision.
constexpr float kLargestInput = 1e4f;

// The engine's constants for one call, in the forms the pass uses.
struct Constants {
  float kneeGain, kneeJoin, kneeOffset, kneeSlope;  // 0.75 + 0.25(a − t1)/(1 − t1) = off + slope·a
  float clipGain, clipJoin, clipScale;              // clipScale = 1 / (1 − t3)
  float limGain, limCurve, limThreshold, recoveryScale;
  float outputLevel;
};

[[gnu::always_inline]] inline Vec splat(float v) noexcept {
  return Vec{} + v;
}
[[gnu::always_inline]] inline Vec load(const float* p) noexcept {
  Vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store(float* p, Vec v) noexcept {
  std::memcpy(p, &v, sizeof v);
}
[[gnu::always_inline]] inline Vec select(Mask m, Vec a, Vec b) noexcept {
  return reinterpret_cast<Vec>((m & reinterpret_cast<Mask>(a)) | (~m & reinterpret_cast<Mask>(b)));
}
[[gnu::always_inline]] inline Vec magnitude(Vec v) noexcept {
  return reinterpret_cast<Vec>(reinterpret_cast<Mask>(v) & 0x7fffffff);
}
[[gnu::always_inline]] inline Mask signOf(Vec v) noexcept {
  return reinterpret_cast<Mask>(v) & static_cast<std::int32_t>(0x80000000u);
}
[[gnu::always_inline]] inline Vec withSign(Vec magnitudeValue, Mask sign) noexcept {
  return reinterpret_cast<Vec>(reinterpret_cast<Mask>(magnitudeValue) ^ sign);
}
// a < b ? a : b and a > b ? a : b lane by lane (the second operand where either is NaN).
// Written as conditionals, which the compiler turns into the processor's min and max (the same
// rule, NaN and signed zeros included): one instruction where a mask and a blend take two.
[[gnu::always_inline]] inline Vec vmin(Vec a, Vec b) noexcept {
  return a < b ? a : b;
}
[[gnu::always_inline]] inline Vec vmax(Vec a, Vec b) noexcept {
  return a > b ? a : b;
}
[[gnu::always_inline]] inline float firstLane(Vec v) noexcept {
  float lanes[kLanes];
  std::memcpy(lanes, &v, sizeof lanes);
  return lanes[0];
}
[[gnu::always_inline]] inline float largestLane(Vec v) noexcept {
  float lanes[kLanes];
  std::memcpy(lanes, &v, sizeof lanes);
  float m = lanes[0];
  for (int k = 1; k < kLanes; ++k) m = std::max(m, lanes[k]);
  return m;
}

// 1 / d to within a few units in the last place: the processor's estimate (12 bits) and one
// Newton step, some ten times cheaper than a division of eight lanes. Denormal d gives inf or
// NaN, so callers take it only where d is well inside the normal range.
[[gnu::always_inline]] inline Vec reciprocal(Vec d) noexcept {
#if TOVRASAT_HIGH_RATE_SSE2
  // The halves by shuffles: through memory, their 16-byte stores stall the 32-byte load.
  const __m128 low = _mm_rcp_ps(__builtin_shufflevector(d, d, 0, 1, 2, 3));
  const __m128 high = _mm_rcp_ps(__builtin_shufflevector(d, d, 4, 5, 6, 7));
  const Vec r = __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
  return r * (splat(2.0f) - d * r);
#else
  return splat(1.0f) / d;
#endif
}

// An input sample as the chain reads it: non-finite as silence, bounded to ±kLargestInput.
[[gnu::always_inline]] inline Vec inputOf(Vec x) noexcept {
  const Vec a = magnitude(x);
  const Vec bounded = vmin(a, splat(kLargestInput));
  return select(a <= splat(3.4028234663852886e38f), withSign(bounded, signOf(x)), splat(0.0f));
}

[[gnu::always_inline]] inline Vec knee(Vec x, const Constants& c) noexcept {
  const Vec a = magnitude(x);
  const Vec y = select(a <= splat(c.kneeJoin), splat(c.kneeGain) * a,
                       splat(c.kneeOffset) + splat(c.kneeSlope) * a);
  return withSign(y, signOf(x));
}

// The clipper on the magnitude, the sign restored (far above full scale its parabola is
// negative and keeps that sign under the restoring).
[[gnu::always_inline]] inline Vec clipper(Vec x, const Constants& c) noexcept {
  const Vec a = magnitude(x);
  const Vec r = (splat(1.0f) - a) * splat(c.clipScale);
  const Vec y =
      select(a <= splat(c.clipJoin), splat(c.clipGain) * a, splat(1.0f) - splat(0.4f) * (r * r));
  return withSign(y, signOf(x));
}

// The limiter's gain for a level e: g up to the threshold, (1 − k(1 − e)²) / e above it.
[[gnu::always_inline]] inline Vec limiterGain(Vec e, const Constants& c) noexcept {
  const Vec d = splat(1.0f) - e;
  return select(e <= splat(c.limThreshold), splat(c.limGain),
                (splat(1.0f) - splat(c.limCurve) * (d * d)) * reciprocal(e));
}

// The engine's clamp to ±0.9999; a NaN (second operand of max) leaves at −0.9999.
[[gnu::always_inline]] inline Vec clampToCeiling(Vec v) noexcept {
  const Vec top = splat(kCeiling);
  return vmin(vmax(v, -top), top);
}

// The means of the knee and of the clipper over the straight line between two samples: their
// antiderivatives' differences over the step (first-order antiderivative anti-aliasing), which
// smooth the corners at ±t1 and ±t3 that would otherwise alias. Each curve is split at its
// corners; a straight piece's mean is its value at the piece's midpoint, a parabola's that value
// plus its curvature times the piece's length squared over 12; the means are weighted by the
// pieces' lengths. The lengths are differences of nearby numbers (exact) and every weight is at
// most one, so this stays accurate in single precision however close the samples are, where the
// textbook (F(b) − F(a)) / (b − a) would cancel. At a == b it is the curve at a.
// Steps shorter than this take the curve's value at their end: the mean differs from it by far
// less than a float's rounding, and the reciprocal stays clear of denormals.
constexpr float kShortestSpan = 1e-30f;

struct Pieces {
  Vec lo, span, l1, l2, l3, m1, m2, m3;
};

[[gnu::always_inline]] inline Pieces split(Vec a, Vec b, float join) noexcept {
  const Vec lo = vmin(a, b);
  const Vec hi = vmax(a, b);
  const Vec p1 = vmin(vmax(splat(-join), lo), hi);
  const Vec p2 = vmin(vmax(splat(join), lo), hi);
  const Vec half = splat(0.5f);
  return {lo,      hi - lo,          p1 - lo,          p2 - p1,
          hi - p2, (lo + p1) * half, (p1 + p2) * half, (p2 + hi) * half};
}

// Outside its corners the knee is the line ±off + slope·u, the clipper the parabola
// ±(1 − 0.4·s²·(1 ∓ u)²); the pieces use these directly, the curve itself is needed only where
// the two samples are equal.
[[gnu::always_inline]] inline Vec kneeMean(Vec a, Vec b, const Constants& c) noexcept {
  const Pieces p = split(a, b, c.kneeJoin);
  const Vec slope = splat(c.kneeSlope);
  const Vec sum = p.l1 * (slope * p.m1 - splat(c.kneeOffset)) + p.l2 * (splat(c.kneeGain) * p.m2) +
                  p.l3 * (slope * p.m3 + splat(c.kneeOffset));
  return select(p.span > splat(kShortestSpan), sum * reciprocal(p.span), knee(b, c));
}

[[gnu::always_inline]] inline Vec clipperMean(Vec a, Vec b, const Constants& c) noexcept {
  const Pieces p = split(a, b, c.clipJoin);
  const Vec curve = splat(0.4f * c.clipScale * c.clipScale);
  const Vec bend = splat(0.4f / 12.0f * c.clipScale * c.clipScale);
  const Vec one = splat(1.0f);
  const Vec below = one + p.m1;
  const Vec above = one - p.m3;
  const Vec sum = p.l1 * (curve * (below * below) + bend * (p.l1 * p.l1) - one) +
                  p.l2 * (splat(c.clipGain) * p.m2) +
                  p.l3 * (one - curve * (above * above) - bend * (p.l3 * p.l3));
  return select(p.span > splat(kShortestSpan), sum * reciprocal(p.span), clipper(b, c));
}

// The frame before each lane: lane 7 of `before`, then lanes 0 to 6 of `now`.
[[gnu::always_inline]] inline Vec shiftIn(Vec before, Vec now) noexcept {
  return __builtin_shufflevector(before, now, 7, 8, 9, 10, 11, 12, 13, 14);
}

enum class Limiter { kOff, kPeak, kEnvelope };

// The peak detector, frame by frame: falls at once to G, climbs at most `step` per frame, the
// step renewed whenever the gain lands on G. The step is never negative, so a frame lands when
// G <= gain + step, and the gain is then min(G, gain + step). Carried from frame to frame is
// `next` = gain + step (G + its step on landing), so each frame's chain is one comparison and
// one blend; written without branches, since on hot input whether a frame lands is as good as
// random to a branch predictor.
[[gnu::always_inline]] inline void peakDetector(const float* target, const float* stepOf,
                                                float* gain, int n, double& now,
                                                double& step) noexcept {
  if (n < 1) return;
#if TOVRASAT_HIGH_RATE_SSE2
  __m128d s = _mm_set_sd(step);
  __m128d next = _mm_add_sd(_mm_set_sd(now), s);
  __m128d g = _mm_set_sd(now);
  for (int i = 0; i < n; ++i) {
    const __m128d t = _mm_set_sd(static_cast<double>(target[i]));
    const __m128d renewed = _mm_set_sd(static_cast<double>(stepOf[i]));
    const __m128d lands = _mm_cmple_sd(t, next);
    g = _mm_min_sd(t, next);
    const __m128d climbed = _mm_add_sd(next, s);
    const __m128d landed = _mm_add_sd(t, renewed);
    s = _mm_or_pd(_mm_and_pd(lands, renewed), _mm_andnot_pd(lands, s));
    next = _mm_or_pd(_mm_and_pd(lands, landed), _mm_andnot_pd(lands, climbed));
    _mm_store_ss(gain + i, _mm_cvtsd_ss(_mm_setzero_ps(), g));
  }
  now = _mm_cvtsd_f64(g);
  step = _mm_cvtsd_f64(s);
#else
  double g = now;
  double s = step;
  for (int i = 0; i < n; ++i) {
    const double t = target[i];
    const double climbed = g + s;
    const bool lands = t <= climbed;
    g = lands ? t : climbed;
    s = lands ? static_cast<double>(stepOf[i]) : s;
    gain[i] = static_cast<float>(g);
  }
  now = g;
  step = s;
#endif
}

// Whether every lane of a comparison is true.
[[gnu::always_inline]] inline bool allTrue(Mask m) noexcept {
#if TOVRASAT_HIGH_RATE_SSE2
  __m128 halves[2];
  std::memcpy(halves, &m, sizeof halves);
  return (_mm_movemask_ps(halves[0]) & _mm_movemask_ps(halves[1])) == 0xf;
#else
  std::int32_t lanes[kLanes];
  std::memcpy(lanes, &m, sizeof lanes);
  bool all = true;
  for (const std::int32_t lane : lanes) all = all && lane != 0;
  return all;
#endif
}

// The peak detector's gains for one vector of frames, `count` of them real (the padding after
// them takes G and moves no state). Most runs of eight frames either all land (the level rising:
// the gain is G on each) or none does (the gain climbing in a straight line); both are checked
// across the lanes at once, and only runs that mix the two go frame by frame.
[[gnu::always_inline]] inline Vec peakGains(Vec target, Vec stepOf, int count, double& now,
                                            double& step) noexcept {
  if (count == kLanes) {
    // Frame k lands on its own when G_k <= (gain + step before it); if all land, the gain and step
    // before frame k > 0 are G and its step of frame k − 1.
    const Vec before = shiftIn(splat(static_cast<float>(now + step)), target + stepOf);
    if (allTrue(target <= before)) {
      now = target[kLanes - 1];
      step = stepOf[kLanes - 1];
      return target;
    }
    const Vec climb = Vec{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f};
    const Vec line = splat(static_cast<float>(now)) + splat(static_cast<float>(step)) * climb;
    if (allTrue(target > line)) {
      now += kLanes * step;
      return line;
    }
  }
  float targets[kLanes];
  float steps[kLanes];
  float gains[kLanes];
  store(targets, target);
  store(steps, stepOf);
  store(gains, target);
  peakDetector(targets, steps, gains, count, now, step);
  return load(gains);
}

// The envelope, frame by frame: towards the level p by at most rise up or fall down. Between
// two frames the level is taken as a straight line, and in a frame where it crosses the envelope
// the step is the part of rise before the crossing less the part of fall after it (or the other
// way round): when the crossing falls between samples depends on where the samples lie, and a
// whole step either way would let the grid modulate the gain.
[[gnu::always_inline]] inline void envelopeFollower(float* level, int n, double& env,
                                                    double& previousLevel, double rise,
                                                    double fall) noexcept {
  double e = env;
  double before = previousLevel;
  for (int i = 0; i < n; ++i) {
    const double p = level[i];
    if (p > e + rise) {
      double step = rise;
      if (before < e) {
        const double above = (p - e) / (p - before);
        step = rise * above - fall * (1.0 - above);
      }
      e += step;
    } else if (p < e - fall) {
      double step = -fall;
      if (before > e) {
        const double above = (before - e) / (before - p);
        step = rise * above - fall * (1.0 - above);
      }
      e += step;
    } else {
      e = p;
    }
    before = p;
    level[i] = static_cast<float>(e);
  }
  env = e;
  previousLevel = before;
}

struct Meter {
  float peak = 0.0f;
  float ceilingPeak = 0.0f;
  float kneedEndL = 0.0f;
  float kneedEndR = 0.0f;
};

struct Trim {
  float target;
  double delta;
  const float* decayPowers;
  double decayStep;
};

// The whole chain eight frames at a time in one pass: the means, the limiter's gains (the
// sequential part runs on the vector just shaped, so the processor overlaps it with the next
// vector's arithmetic), then mix, clamp, trim and meter:
//   o = P·(x + (w·gain − x)·m), e = clamp(o), out = trim·e
// The two means each place the shaped sample half a frame back, so the dry x is the frame
// before, which keeps wet and dry aligned at every Gain. Trim lanes are target + d·decay^(k+1),
// d advancing per vector. The meter reads only the call's own frames, not the padding.
// Compiled for the baseline and for AVX2. Lane 7 of `lastIn` and `lastKneed` holds the previous
// call's last frame.
struct Passes {
  Constants c;
  const float* inL;
  const float* inR;
  float* outL;
  float* outR;
  double* previousLevel;  // the envelope's level on the frame before
  const float* mix;       // null: the mix is `mixNow` on every frame
  float mixNow;
  int n;       // frames of the vector pass, a multiple of kLanes
  int frames;  // frames of the call: the limiter's state stops here
  Vec lastInL, lastInR, lastKneedL, lastKneedR;

  template <Limiter kMode>
  [[gnu::always_inline]] inline void run(cc::Engine& engine, const Trim& trim,
                                         Meter& meter) const noexcept {
    const Constants k = c;  // in registers: the output stores could alias the members
    const Vec powers = load(trim.decayPowers);
    const Vec outputLevel = splat(k.outputLevel);
    const Vec laneIndex = Vec{0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f};
    double trimDelta = trim.delta;
    double gainNow = engine.limGainNow;
    double gainStep = engine.limGainStep;
    double env = engine.limEnv;
    double levelBefore = *previousLevel;
    Vec peakSoFar = splat(0.0f);
    Vec ceilingSoFar = splat(0.0f);
    Vec xBeforeL = lastInL, xBeforeR = lastInR, kBeforeL = lastKneedL, kBeforeR = lastKneedR;
    for (int i = 0; i < n; i += kLanes) {
      const int count = std::min(kLanes, frames - i);
      const Vec xl = inputOf(load(inL + i));
      const Vec xr = inputOf(load(inR + i));
      const Vec dryL = shiftIn(xBeforeL, xl);
      const Vec dryR = shiftIn(xBeforeR, xr);
      const Vec kl = kneeMean(dryL, xl, k);
      const Vec kr = kneeMean(dryR, xr, k);
      const Vec wl = clipperMean(shiftIn(kBeforeL, kl), kl, k);
      const Vec wr = clipperMean(shiftIn(kBeforeR, kr), kr, k);
      xBeforeL = xl;
      xBeforeR = xr;
      kBeforeL = kl;
      kBeforeR = kr;

      Vec g = splat(1.0f);
      if constexpr (kMode == Limiter::kPeak) {
        const Vec target = limiterGain(vmax(magnitude(wl), magnitude(wr)), k);
        const Vec renewed = (splat(k.limGain) - target) * splat(k.recoveryScale);
        g = peakGains(target, renewed, count, gainNow, gainStep);
      } else if constexpr (kMode == Limiter::kEnvelope) {
        float levels[kLanes];
        store(levels, vmax(magnitude(wl), magnitude(wr)));
        envelopeFollower(levels, count, env, levelBefore, engine.envRise, engine.envFall);
        g = limiterGain(load(levels), k);
      }

      const Vec trimNow = splat(trim.target) + splat(static_cast<float>(trimDelta)) * powers;
      trimDelta *= trim.decayStep;
      const Vec m = mix != nullptr ? load(mix + i) : splat(mixNow);
      const Vec el = clampToCeiling(outputLevel * (dryL + (wl * g - dryL) * m));
      const Vec er = clampToCeiling(outputLevel * (dryR + (wr * g - dryR) * m));
      const Vec tl = trimNow * el;
      const Vec tr = trimNow * er;
      const Mask real = laneIndex < splat(static_cast<float>(count));
      ceilingSoFar =
          vmax(select(real, vmax(magnitude(el), magnitude(er)), splat(0.0f)), ceilingSoFar);
      peakSoFar = vmax(select(real, vmax(magnitude(tl), magnitude(tr)), splat(0.0f)), peakSoFar);
      store(outL + i, tl);
      store(outR + i, tr);
    }
    if constexpr (kMode == Limiter::kPeak) {
      engine.limGainNow = gainNow;
      engine.limGainStep = gainStep;
    } else if constexpr (kMode == Limiter::kEnvelope) {
      engine.limEnv = env;
      *previousLevel = levelBefore;
    }
    meter.peak = largestLane(peakSoFar);
    meter.ceilingPeak = largestLane(ceilingSoFar);
    float lanesL[kLanes];
    float lanesR[kLanes];
    std::memcpy(lanesL, &kBeforeL, sizeof lanesL);
    std::memcpy(lanesR, &kBeforeR, sizeof lanesR);
    meter.kneedEndL = lanesL[frames - 1 - (n - kLanes)];
    meter.kneedEndR = lanesR[frames - 1 - (n - kLanes)];
  }
};

[[gnu::always_inline]] inline void runMode(Limiter mode, const Passes& p, cc::Engine& engine,
                                           const Trim& trim, Meter& meter) noexcept {
  switch (mode) {
    case Limiter::kOff:
      return p.run<Limiter::kOff>(engine, trim, meter);
    case Limiter::kPeak:
      return p.run<Limiter::kPeak>(engine, trim, meter);
    case Limiter::kEnvelope:
      return p.run<Limiter::kEnvelope>(engine, trim, meter);
  }
}

void passesBaseline(Limiter mode, const Passes& p, cc::Engine& engine, const Trim& trim,
                    Meter& meter) noexcept {
  runMode(mode, p, engine, trim, meter);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOVRASAT_HIGH_RATE_AVX2 1
[[gnu::target("avx2")]] void passesAvx2(Limiter mode, const Passes& p, cc::Engine& engine,
                                        const Trim& trim, Meter& meter) noexcept {
  runMode(mode, p, engine, trim, meter);
}
#else
#define TOVRASAT_HIGH_RATE_AVX2 0
#endif

}  // namespace

bool HighRateChain::usesAvx2 = [] {
#if TOVRASAT_HIGH_RATE_AVX2
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}();

void HighRateChain::reset() noexcept {
  mLastIn = {};
  mLastKneed = {};
  mPreviousLevel = 0.0;
}

void HighRateChain::process(Crusher& crusher, float* left, float* right, int n) noexcept {
  if (n < 1 || left == nullptr || right == nullptr) return;
  for (int done = 0; done < n; done += kMaxFrames) {
    run(crusher, left + done, right + done, std::min(kMaxFrames, n - done));
  }
}

void HighRateChain::run(Crusher& crusher, float* left, float* right, int n) noexcept {
  cc::Engine& engine = crusher.engine;
  // After `prepare` the engine computes its filter and limiter constants on its first frame; with
  // their ramps at rest that is all the frame changes besides the audio, so it is done here and
  // the call stays on this path.
  const auto still = [](const cc::Engine::Smoothed& r) { return r.current == r.target; };
  if (still(engine.cutoffSm) && still(engine.resonanceSm) &&
      (engine.cutoffSm.current != engine.lastCutoff ||
       engine.resonanceSm.current != engine.lastResonance)) {
    engine.setLowpass(engine.cutoffSm.current, engine.resonanceSm.current);
    engine.lastCutoff = engine.cutoffSm.current;
    engine.lastResonance = engine.resonanceSm.current;
  }
  if (still(engine.driveSm) && engine.driveSm.current != engine.lastDrive) {
    engine.setLimiter(engine.driveSm.current);
    engine.lastDrive = engine.driveSm.current;
  }

  const double k1 = 1.0 + 10.0 * engine.kneeDrive;
  const double t1 = 0.75 / k1;
  const double k3 = 1.0 + 4.0 * engine.clipDrive;
  const double t3 = 0.6 / k3;
  const double output = engine.outputSm.current;
  if (output != mLevelOf) {
    mLevelOf = output;
    mOutputLevel = output <= 0.0 ? 0.0 : std::pow(output, 2.737);
  }
  const Constants c{static_cast<float>(k1),
                    static_cast<float>(t1),
                    static_cast<float>(0.75 - 0.25 * t1 / (1.0 - t1)),
                    static_cast<float>(0.25 / (1.0 - t1)),
                    static_cast<float>(k3),
                    static_cast<float>(t3),
                    static_cast<float>(1.0 / (1.0 - t3)),
                    static_cast<float>(engine.limGain),
                    static_cast<float>(engine.limCurve),
                    static_cast<float>(engine.limThreshold),
                    static_cast<float>(1.0 / engine.recoverySamples),
                    static_cast<float>(mOutputLevel)};

  if (engine.enabled < 0.5 || !engine.settled()) {
    // The means of the next call start from this call's last frame, as the engine read it.
    mLastIn = {left[n - 1], right[n - 1]};
    mLastKneed = {firstLane(knee(inputOf(splat(left[n - 1])), c)),
                  firstLane(knee(inputOf(splat(right[n - 1])), c))};
    mPreviousLevel = 0.0;
    float* const io[2] = {left, right};
    crusher.process(io, io, n);
    return;
  }

  // A call whose length is not a multiple of the vector runs on a copy padded with silence; the
  // limiter's steps and the meter stop at n, so the padding moves no state.
  const int vectorFrames = (n + kLanes - 1) / kLanes * kLanes;
  const bool padded = vectorFrames != n;
  const auto bytes = sizeof(float) * static_cast<std::size_t>(n);
  if (padded) {
    const auto padBytes = sizeof(float) * static_cast<std::size_t>(vectorFrames - n);
    std::memcpy(mPaddedL.data(), left, bytes);
    std::memcpy(mPaddedR.data(), right, bytes);
    std::memset(mPaddedL.data() + n, 0, padBytes);
    std::memset(mPaddedR.data() + n, 0, padBytes);
  }
  const float lastInL = left[n - 1];
  const float lastInR = right[n - 1];

  const Limiter mode = engine.limiterOn < 0.5  ? Limiter::kOff
                       : engine.phantom >= 0.5 ? Limiter::kPeak
                                               : Limiter::kEnvelope;

  // The mix ramp: current + (i + 1)·step, landing on its target.
  cc::Engine::Smoothed& mixSm = engine.mixSm;
  const float* mixPerFrame = nullptr;
  const double mixAtStart = mixSm.current;
  if (mixSm.current != mixSm.target && mixSm.step != 0.0) {
    for (int i = 0; i < vectorFrames; ++i) {
      double value = mixAtStart + static_cast<double>(i + 1) * mixSm.step;
      if ((mixSm.step > 0.0 && value >= mixSm.target) ||
          (mixSm.step < 0.0 && value <= mixSm.target)) {
        value = mixSm.target;
      }
      mMix[static_cast<std::size_t>(i)] = static_cast<float>(value);
      if (i == n - 1) mixSm.current = value;
    }
    mixPerFrame = mMix.data();
  }

  // The trim glide: target + d·(1 − c)^i, d = trimGain − target.
  const double trimTarget = std::pow(10.0, crusher.trimDb * 0.05);
  const double decay = 1.0 - crusher.trimCoef;
  float decayPowers[kLanes];
  double power = 1.0;
  for (float& p : decayPowers) {
    power *= decay;
    p = static_cast<float>(power);
  }
  const double trimDeltaAtStart = crusher.trimGain - trimTarget;
  const Trim trim{static_cast<float>(trimTarget), trimDeltaAtStart, decayPowers, power};

  const Passes passes{c,
                      padded ? mPaddedL.data() : left,
                      padded ? mPaddedR.data() : right,
                      padded ? mPaddedL.data() : left,
                      padded ? mPaddedR.data() : right,
                      &mPreviousLevel,
                      mixPerFrame,
                      static_cast<float>(mixAtStart),
                      vectorFrames,
                      n,
                      inputOf(splat(mLastIn[0])),
                      inputOf(splat(mLastIn[1])),
                      splat(mLastKneed[0]),
                      splat(mLastKneed[1])};
  Meter meter;
#if TOVRASAT_HIGH_RATE_AVX2
  if (usesAvx2) {
    passesAvx2(mode, passes, engine, trim, meter);
  } else {
    passesBaseline(mode, passes, engine, trim, meter);
  }
#else
  passesBaseline(mode, passes, engine, trim, meter);
#endif
  if (padded) {
    std::memcpy(left, mPaddedL.data(), bytes);
    std::memcpy(right, mPaddedR.data(), bytes);
  }
  mLastIn = {lastInL, lastInR};
  mLastKneed = {meter.kneedEndL, meter.kneedEndR};

  // The lanes advanced d by whole vectors; the state takes it after exactly n frames.
  crusher.trimGain =
      trimTarget + (trimDeltaAtStart != 0.0 ? trimDeltaAtStart * std::pow(decay, n) : 0.0);
  engine.fastCount -= std::clamp<std::int64_t>(engine.fastCount, 0, n);
  crusher.publish(meter.peak, meter.ceilingPeak >= kClipLevel);
}

}  // namespace tovrasat
