// TruePeakMeter.cpp: the polyphase filter, its gain bound, the stretches worth interpolating and
// the parabola between the 4x points.
#include "tools/meters/TruePeakMeter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tools {
namespace {

constexpr size_t kPhases = 4;
constexpr size_t kDelay = TruePeakMeter::kTaps / 2;  // phase 0 passes x[i - kDelay]
constexpr size_t kStretch = 64;                      // outputs decided on together
// Samples kept from block to block: the filter's span, the neighbour before a stretch and the
// three samples the bound's differences reach back to.
constexpr size_t kHistory = TruePeakMeter::kTaps + 3;
// The block's samples copied after the kept ones, enough for the stretches that reach back.
constexpr size_t kJoined = 2 * kStretch;
static_assert(kJoined >= kHistory && kJoined % kStretch == 0);
constexpr double kRounding = 1.0001;
// Stretches that go without the differences' bound after it failed to rule one out.
constexpr int kDifferencesRest = 8;
// The quick bound's filter: the central taps of each phase.
constexpr size_t kShortTaps = 16;

// Between two 4x points a band-limited signal rises at most as a full-scale sine at the Nyquist
// frequency does between points π/4 apart: by 1 / cos(π/8). The parabola is held to that, which
// also bounds what it can add for the stretch test.
const double kBetweenPoints = 1.0 / std::cos(std::numbers::pi / 8.0);

// The largest |x| of n samples; a NaN is passed over, as std::max passes it over.
float AbsMax(const float* x, size_t n) {
  size_t i = 0;
  float most = 0.0f;
#if defined(__SSE2__)
  // Four at a time: maxps gives its second operand when the first is NaN.
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128 m = _mm_setzero_ps();
  for (; i + 4 <= n; i += 4) m = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(x + i), magnitude), m);
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, m);
  most = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
  for (; i < n; ++i) most = std::max(most, std::fabs(x[i]));
  return most;
}

// The largest |x[i] - x[i-1]| and |x[i] - 2x[i-1] + x[i-2]| for i in [2, n).
void DifferenceMax(const float* x, size_t n, float& first, float& second) {
  size_t i = 2;
  float most1 = 0.0f;
  float most2 = 0.0f;
#if defined(__SSE2__)
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128 m1 = _mm_setzero_ps();
  __m128 m2 = _mm_setzero_ps();
  for (; i + 4 <= n; i += 4) {
    const __m128 d = _mm_sub_ps(_mm_loadu_ps(x + i), _mm_loadu_ps(x + i - 1));
    const __m128 before = _mm_sub_ps(_mm_loadu_ps(x + i - 1), _mm_loadu_ps(x + i - 2));
    m1 = _mm_max_ps(_mm_and_ps(d, magnitude), m1);
    m2 = _mm_max_ps(_mm_and_ps(_mm_sub_ps(d, before), magnitude), m2);
  }
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, m1);
  most1 = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
  _mm_store_ps(lanes, m2);
  most2 = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
  for (; i < n; ++i) {
    const float d = x[i] - x[i - 1];
    const float before = x[i - 1] - x[i - 2];
    most1 = std::max(most1, std::fabs(d));
    most2 = std::max(most2, std::fabs(d - before));
  }
  first = most1;
  second = most2;
}

struct Filter {
  // taps[p - 1][j][lane]: phase p's weight of x[i - j], for the position i - kDelay + p / 4,
  // repeated in four lanes so that a vector multiply reads it as it is.
  alignas(
      16) std::array<std::array<std::array<float, 4>, TruePeakMeter::kTaps>, kPhases - 1> taps{};
  // Bounds on every phase's output y over a stretch, from the maxima over the filter's span of
  // |x|, of |Δx| = |x[n] - x[n-1]| and of |Δ²x| = |x[n] - 2x[n-1] + x[n-2]|:
  //   |y| <= gain · max|x|                                  (sum of |taps|)
  //   |y| <= max|x| + slope · max|Δx| + curve · max|Δ²x|    (see Design)
  // The second is far tighter for all but the brightest material (a 1 kHz sine at 48 kHz:
  // 1.0095 against 2.7).
  double gain = 0.0;
  double slope = 0.0;
  double curve = 0.0;
  // The central kShortTaps taps of a phase miss its output by at most tails · max|x|.
  double tails = 0.0;
};

// Sinc with its zeros on the samples (cut-off at the Nyquist frequency, so phase 0 is the samples
// themselves), under a Kaiser window of beta 5 over the 64 samples of the span: every phase is
// within 0.04 dB up to 0.94 of the Nyquist frequency, and images of content there are rejected
// where they would add to it.
Filter Design() {
  Filter f;
  constexpr double kBeta = 5.0;
  const double i0Beta = std::cyl_bessel_i(0.0, kBeta);
  for (size_t p = 1; p < kPhases; ++p) {
    std::array<double, TruePeakMeter::kTaps> h{};
    double sum = 0.0;
    for (size_t j = 0; j < TruePeakMeter::kTaps; ++j) {
      const double t = static_cast<double>(j) - static_cast<double>(kDelay) +
                       static_cast<double>(p) / static_cast<double>(kPhases);
      const double sinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
      const double r = t / static_cast<double>(kDelay);
      const double window =
          std::cyl_bessel_i(0.0, kBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0Beta;
      h[j] = sinc * window;
      sum += h[j];
    }
    double absolute = 0.0;
    for (size_t j = 0; j < TruePeakMeter::kTaps; ++j) {
      const float tap = static_cast<float>(h[j] / sum);  // each phase passes DC at unity
      f.taps[p - 1][j].fill(tap);
      h[j] = tap;
      absolute += std::fabs(static_cast<double>(tap));
    }
    f.gain = std::max(f.gain, absolute);
    double tails = 0.0;
    for (size_t j = 0; j < TruePeakMeter::kTaps; ++j)
      if (j < kDelay - kShortTaps / 2 || j >= kDelay + kShortTaps / 2) tails += std::fabs(h[j]);
    f.tails = std::max(f.tails, tails);

    // The phase minus linear interpolation between its two samples, d, sums to zero, so summing
    // by parts twice turns d · x into Σ F[j]·Δ²x[i-j] + F[last]·Δx[i-kTaps], F being the running
    // sum of the running sum of d; the linear part is at most max|x|.
    const double w = static_cast<double>(p) / static_cast<double>(kPhases);
    double running = 0.0;
    double twice = 0.0;
    double curve = 0.0;
    for (size_t j = 0; j < TruePeakMeter::kTaps; ++j) {
      const double linear = j == kDelay ? 1.0 - w : j + 1 == kDelay ? w : 0.0;
      running += h[j] - linear;
      twice += running;
      curve += std::fabs(twice);
    }
    f.slope = std::max(f.slope, std::fabs(twice));
    f.curve = std::max(f.curve, curve);
  }
  return f;
}

const Filter& TheFilter() {
  static const Filter filter = Design();
  return filter;
}

// Which taps of every phase to sum: all of them for the 4x points, the central ones for the
// quick bound.
struct Taps {
  size_t from = 0;
  size_t to = TruePeakMeter::kTaps;
};
constexpr Taps kAllTaps{};
constexpr Taps kCentralTaps{kDelay - kShortTaps / 2, kDelay + kShortTaps / 2};

// Phases 1 to 3 at n positions from x + first, into phase[0..2][0..n), summing the given taps.
void PhaseSumsBaseline(const Filter& filter, const Taps& taps, const float* x, size_t first,
                       size_t n, float* const* phase) {
  size_t k = 0;
#if defined(__SSE2__)
  // Eight positions, three phases: six independent sums, so the additions overlap.
  for (; k + 8 <= n; k += 8) {
    const float* base = x + first + k;
    __m128 a1 = _mm_setzero_ps(), a2 = _mm_setzero_ps(), a3 = _mm_setzero_ps();
    __m128 b1 = _mm_setzero_ps(), b2 = _mm_setzero_ps(), b3 = _mm_setzero_ps();
    for (size_t j = taps.from; j < taps.to; ++j) {
      const __m128 xa = _mm_loadu_ps(base - j);
      const __m128 xb = _mm_loadu_ps(base + 4 - j);
      const __m128 h1 = _mm_load_ps(filter.taps[0][j].data());
      const __m128 h2 = _mm_load_ps(filter.taps[1][j].data());
      const __m128 h3 = _mm_load_ps(filter.taps[2][j].data());
      a1 = _mm_add_ps(a1, _mm_mul_ps(h1, xa));
      a2 = _mm_add_ps(a2, _mm_mul_ps(h2, xa));
      a3 = _mm_add_ps(a3, _mm_mul_ps(h3, xa));
      b1 = _mm_add_ps(b1, _mm_mul_ps(h1, xb));
      b2 = _mm_add_ps(b2, _mm_mul_ps(h2, xb));
      b3 = _mm_add_ps(b3, _mm_mul_ps(h3, xb));
    }
    _mm_storeu_ps(phase[0] + k, a1);
    _mm_storeu_ps(phase[1] + k, a2);
    _mm_storeu_ps(phase[2] + k, a3);
    _mm_storeu_ps(phase[0] + k + 4, b1);
    _mm_storeu_ps(phase[1] + k + 4, b2);
    _mm_storeu_ps(phase[2] + k + 4, b3);
  }
#endif
  // The same sums one position at a time, in the same order, so every point has the same bits
  // whichever way it is reached (the result does not depend on where the blocks are cut).
  for (; k < n; ++k) {
    for (size_t p = 0; p < 3; ++p) {
      float sum = 0.0f;
      for (size_t j = taps.from; j < taps.to; ++j) sum += filter.taps[p][j][0] * x[first + k - j];
      phase[p][k] = sum;
    }
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOVRASAT_TRUE_PEAK_AVX2 1
// Phases 1 to 3 at the sixteen positions from x + first + k: a[p] holds the first eight, b[p]
// the next eight.
struct SixteenSums {
  __m256 a[3];
  __m256 b[3];
};
[[gnu::target("avx2,fma")]] inline SixteenSums SumsOfSixteen(const Filter& filter, const Taps& taps,
                                                             const float* x, size_t first,
                                                             size_t k) {
  const float* base = x + first + k;
  SixteenSums s{{_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()},
                {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()}};
  for (size_t j = taps.from; j < taps.to; ++j) {
    const __m256 xa = _mm256_loadu_ps(base - j);
    const __m256 xb = _mm256_loadu_ps(base + 8 - j);
    for (size_t p = 0; p < 3; ++p) {
      const __m256 h = _mm256_broadcast_ss(filter.taps[p][j].data());
      s.a[p] = _mm256_fmadd_ps(h, xa, s.a[p]);
      s.b[p] = _mm256_fmadd_ps(h, xb, s.b[p]);
    }
  }
  return s;
}

// The same with eight lanes and fused multiply-adds where the processor has them (other bits in
// the last place, the same on every call of one machine, so still independent of the blocks).
[[gnu::target("avx2,fma")]] void PhaseSumsAvx2(const Filter& filter, const Taps& taps,
                                               const float* x, size_t first, size_t n,
                                               float* const* phase) {
  size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const SixteenSums sums = SumsOfSixteen(filter, taps, x, first, k);
    const __m256 a1 = sums.a[0], a2 = sums.a[1], a3 = sums.a[2];
    const __m256 b1 = sums.b[0], b2 = sums.b[1], b3 = sums.b[2];
    _mm256_storeu_ps(phase[0] + k, a1);
    _mm256_storeu_ps(phase[1] + k, a2);
    _mm256_storeu_ps(phase[2] + k, a3);
    _mm256_storeu_ps(phase[0] + k + 8, b1);
    _mm256_storeu_ps(phase[1] + k + 8, b2);
    _mm256_storeu_ps(phase[2] + k + 8, b3);
  }
  for (; k < n; ++k) {
    for (size_t p = 0; p < 3; ++p) {
      float sum = 0.0f;
      for (size_t j = taps.from; j < taps.to; ++j)
        sum = std::fma(filter.taps[p][j][0], x[first + k - j], sum);
      phase[p][k] = sum;
    }
  }
}
#else
#define TOVRASAT_TRUE_PEAK_AVX2 0
#endif

void PhaseSums(const Filter& filter, const Taps& taps, const float* x, size_t first, size_t n,
               float* const* phase) {
#if TOVRASAT_TRUE_PEAK_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (avx2) return PhaseSumsAvx2(filter, taps, x, first, n, phase);
#endif
  PhaseSumsBaseline(filter, taps, x, first, n, phase);
}

// The largest |sum| of phases 1 to 3 at n positions from x + first, summing the given taps: for
// the quick bound, which needs no point itself, so nothing is stored (the sums' bits may differ
// from PhaseSums'). scratch holds 3 n floats.
#if TOVRASAT_TRUE_PEAK_AVX2
[[gnu::target("avx2,fma")]] float PeakOfSumsAvx2(const Filter& filter, const Taps& taps,
                                                 const float* x, size_t first, size_t n) {
  const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
  __m256 most = _mm256_setzero_ps();
  size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const SixteenSums sums = SumsOfSixteen(filter, taps, x, first, k);
    const __m256 a1 = sums.a[0], a2 = sums.a[1], a3 = sums.a[2];
    const __m256 b1 = sums.b[0], b2 = sums.b[1], b3 = sums.b[2];
    const __m256 a =
        _mm256_max_ps(_mm256_and_ps(a1, magnitude),
                      _mm256_max_ps(_mm256_and_ps(a2, magnitude), _mm256_and_ps(a3, magnitude)));
    const __m256 b =
        _mm256_max_ps(_mm256_and_ps(b1, magnitude),
                      _mm256_max_ps(_mm256_and_ps(b2, magnitude), _mm256_and_ps(b3, magnitude)));
    // maxps gives its second operand when the first is NaN: a NaN sum is passed over, as
    // AbsMax passes it over.
    most = _mm256_max_ps(_mm256_max_ps(a, b), most);
  }
  alignas(32) float lanes[8];
  _mm256_store_ps(lanes, most);
  float peak = 0.0f;
  for (const float lane : lanes) peak = std::max(peak, lane);
  for (; k < n; ++k) {
    for (size_t p = 0; p < 3; ++p) {
      float sum = 0.0f;
      for (size_t j = taps.from; j < taps.to; ++j)
        sum = std::fma(filter.taps[p][j][0], x[first + k - j], sum);
      peak = std::max(peak, std::fabs(sum));
    }
  }
  return peak;
}
#endif

float PeakOfSums(const Filter& filter, const Taps& taps, const float* x, size_t first, size_t n,
                 float* scratch) {
#if TOVRASAT_TRUE_PEAK_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (avx2) return PeakOfSumsAvx2(filter, taps, x, first, n);
#endif
  float* const phase[3] = {scratch, scratch + n, scratch + 2 * n};
  PhaseSumsBaseline(filter, taps, x, first, n, phase);
  return std::max({AbsMax(phase[0], n), AbsMax(phase[1], n), AbsMax(phase[2], n)});
}

// The peak of the parabola through a, b and c (consecutive 4x points) when b is the highest of
// the three in magnitude, held to what a band-limited signal can reach; else |b|.
double BetweenPoints(double a, double b, double c) {
  if (b < 0.0) {
    a = -a;
    b = -b;
    c = -c;
  }
  const double curvature = 2.0 * b - a - c;
  if (!(b >= a && b >= c && curvature > 0.0)) return b;
  const double slope = c - a;
  return std::min(b + slope * slope / (8.0 * curvature), b * kBetweenPoints);
}

}  // namespace

void TruePeakMeter::Reset(int channels) {
  mHistory.assign(static_cast<size_t>(std::max(channels, 0)),
                  std::vector<float>(kHistory + kJoined, 0.0f));
  mRecent.assign(mHistory.size(), Recent{});
  mPhases.assign((kPhases - 1) * (kStretch + 1), 0.0f);
  mPeak = 0.0;
  mSamplePeak = 0.0f;
}

// The block is read where it lies: only its first stretches, whose spans reach back into the
// samples kept from the block before, are read from a copy joined to those samples.
void TruePeakMeter::Add(const float* const* channels, size_t frames) {
  for (size_t c = 0; c < mHistory.size(); ++c) {
    std::vector<float>& joined = mHistory[c];
    const float* block = channels[c];
    const size_t head = std::min(frames, kJoined);
    std::copy(block, block + head, joined.begin() + kHistory);
    for (size_t o = 0; o < frames; o += kStretch) {
      const float* span = o < kJoined ? joined.data() + o : block + (o - kHistory);
      Stretch(span, std::min(kStretch, frames - o), mRecent[c]);
    }
    if (frames >= kHistory)
      std::copy(block + (frames - kHistory), block + frames, joined.begin());
    else
      std::copy(joined.begin() + static_cast<std::ptrdiff_t>(frames),
                joined.begin() + static_cast<std::ptrdiff_t>(frames + kHistory), joined.begin());
  }
}

void TruePeakMeter::Stretch(const float* x, size_t length, Recent& recent) {
  const Filter& filter = TheFilter();
  const size_t at = kHistory, end = kHistory + length;
  const float own = AbsMax(x + at, length);
  // The samples are points of the signal: their peak counts as it is.
  mSamplePeak = std::max(mSamplePeak, own);
  mPeak = std::max(mPeak, static_cast<double>(own));
  // Over the stretch and the kHistory samples before it: all that its outputs, their
  // neighbours and the bound's differences read. The three stretches before usually cover
  // those samples; after short ones (small blocks) they are read again.
  float before = 0.0f;
  if (recent.length[0] + recent.length[1] + recent.length[2] >= kHistory)
    before = std::max({recent.level[0], recent.level[1], recent.level[2]});
  else
    before = AbsMax(x, kHistory);
  const auto level = static_cast<double>(std::max(own, before));
  // The parabola adds at most kBetweenPoints; float sums and differences stay well within
  // kRounding of the exact ones. Most stretches of music are ruled out by the gain alone, and
  // the dearer bounds are only worked out for the others.
  const double reach = mPeak / (kBetweenPoints * kRounding);
  // On bright material (noise) the differences rule nothing out: after they failed, they are
  // left out for the next few stretches (and again read once the gain rules one out).
  if (filter.gain * level > reach) {
    bool could = true;
    if (recent.skipDifferences == 0) {
      float first = 0.0f, second = 0.0f;
      DifferenceMax(x, end, first, second);
      could = level + filter.slope * static_cast<double>(first) +
                  filter.curve * static_cast<double>(second) >
              reach;
      if (could) recent.skipDifferences = kDifferencesRest;
    } else {
      --recent.skipDifferences;
    }
    if (could && QuickBound(x, at, end, level) > reach) Interpolate(x, at, end);
  } else {
    recent.skipDifferences = 0;
  }
  recent.level[2] = recent.level[1];
  recent.length[2] = recent.length[1];
  recent.level[1] = recent.level[0];
  recent.length[1] = recent.length[0];
  recent.level[0] = own;
  recent.length[0] = length;
}

double TruePeakMeter::QuickBound(const float* x, size_t from, size_t to, double level) {
  const Filter& filter = TheFilter();
  const float most = PeakOfSums(filter, kCentralTaps, x, from, to - from, mPhases.data());
  return std::max(level, static_cast<double>(most) + filter.tails * level);
}

void TruePeakMeter::Interpolate(const float* x, size_t from, size_t to) {
  const Filter& filter = TheFilter();
  // Phases 1 to 3 for i in [from - 1, to): the points before `from` are the first one's neighbour.
  const size_t first = from - 1;
  const size_t n = to - first;
  float* const phase[3] = {mPhases.data(), mPhases.data() + n, mPhases.data() + 2 * n};
  PhaseSums(filter, kAllTaps, x, first, n, phase);

  // Most stretches that had to be interpolated still hold nothing new.
  const float highest = std::max({AbsMax(phase[0], n), AbsMax(phase[1], n), AbsMax(phase[2], n)});
  if (!(static_cast<double>(highest) * kBetweenPoints > mPeak)) return;

  // The 4x points in order: x[i - kDelay], then phases 1, 2 and 3 of i.
  const auto point = [&](size_t i, size_t p) -> double {
    return p == 0 ? static_cast<double>(x[i - kDelay])
                  : static_cast<double>(phase[p - 1][i - first]);
  };
  double peak = mPeak;
  for (size_t i = from; i < to; ++i) {
    for (size_t p = 0; p < kPhases; ++p) {
      const double b = point(i, p);
      if (!(std::fabs(b) * kBetweenPoints > peak)) continue;
      const double a = p == 0 ? point(i - 1, kPhases - 1) : point(i, p - 1);
      const double c = p == kPhases - 1 ? point(i + 1, 0) : point(i, p + 1);
      peak = std::max(peak, BetweenPoints(a, b, c));
    }
  }
  mPeak = peak;
}

}  // namespace tools
