// ShortFilterTruePeakMeter.cpp: the 48-tap polyphase filter, its gain bound and the stretches
// worth interpolating.
#include "bench/tools/ShortFilterTruePeakMeter.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bench {
namespace {

constexpr size_t kPhases = 4;
constexpr size_t kStretch = 32;  // outputs decided on together

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

struct Filter {
  // taps[p][j]: phase p's weight of the sample j before the newest; phase 0 is the identity.
  std::array<std::array<double, ShortFilterTruePeakMeter::kTaps>, kPhases> taps{};
  double gain = 0.0;  // the largest sum of |taps| over the phases: no output passes gain * max|x|
};

Filter Design() {
  Filter f;
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kCentre =
      static_cast<double>(kPhases * ShortFilterTruePeakMeter::kTaps / 2);  // 24 of 48
  for (size_t p = 0; p < kPhases; ++p) {
    double sum = 0.0;
    for (size_t j = 0; j < ShortFilterTruePeakMeter::kTaps; ++j) {
      const double k = static_cast<double>(kPhases * j + (kPhases - p) % kPhases);
      const double t = (k - kCentre) / static_cast<double>(kPhases);  // in input samples
      const double sinc = t == 0.0 ? 1.0 : std::sin(kPi * t) / (kPi * t);
      // Blackman over the 48 taps and one more, so the window is symmetric about the centre.
      const double n = k / (2.0 * kCentre);
      const double window = 0.42 - 0.5 * std::cos(2.0 * kPi * n) + 0.08 * std::cos(4.0 * kPi * n);
      f.taps[p][j] = sinc * window;
      sum += f.taps[p][j];
    }
    double absolute = 0.0;
    for (double& tap : f.taps[p]) {
      tap /= sum;  // each phase passes DC at unity
      absolute += std::fabs(tap);
    }
    f.gain = std::max(f.gain, absolute);
  }
  return f;
}

const Filter& TheFilter() {
  static const Filter filter = Design();
  return filter;
}

}  // namespace

void ShortFilterTruePeakMeter::Reset(int channels) {
  mHistory.assign(static_cast<size_t>(std::max(channels, 0)), std::vector<float>(kTaps - 1, 0.0f));
  mPeak = 0.0;
}

void ShortFilterTruePeakMeter::Add(const float* const* channels, size_t frames) {
  const Filter& filter = TheFilter();
  for (size_t c = 0; c < mHistory.size(); ++c) {
    std::vector<float>& x = mHistory[c];
    x.resize(kTaps - 1);
    x.insert(x.end(), channels[c], channels[c] + frames);
    for (size_t at = kTaps - 1; at < x.size(); at += kStretch) {
      const size_t end = std::min(at + kStretch, x.size());
      // Phase 0 is the samples: their peak counts as it is.
      const float samples = AbsMax(x.data() + at, end - at);
      const float most = std::max(samples, AbsMax(x.data() + at + 1 - kTaps, kTaps - 1));
      mPeak = std::max(mPeak, static_cast<double>(samples));
      if (static_cast<double>(most) * filter.gain > mPeak) Interpolate(x.data(), at, end);
    }
    x.erase(x.begin(), x.end() - static_cast<std::ptrdiff_t>(kTaps - 1));
  }
}

void ShortFilterTruePeakMeter::Interpolate(const float* x, size_t from, size_t to) {
  const Filter& filter = TheFilter();
  for (size_t i = from; i < to; ++i) {
    for (size_t p = 1; p < kPhases; ++p) {
      double y = 0.0;
      for (size_t j = 0; j < kTaps; ++j) y += filter.taps[p][j] * static_cast<double>(x[i - j]);
      mPeak = std::max(mPeak, std::fabs(y));
    }
  }
}

}  // namespace bench
