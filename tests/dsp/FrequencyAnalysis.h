// FrequencyAnalysis: a mixed-radix FFT and the coherent tone analysis for the oversampling tests.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace dsptest {

using Complex = std::complex<double>;

// The DFT of x, of any length whose prime factors are small (44100, 48000, 96000 and powers of
// two all are), by recursive decimation in time over the smallest factor.
inline std::vector<Complex> fft(const std::vector<Complex>& x) {
  const std::size_t n = x.size();
  if (n <= 1) return x;
  std::size_t p = 2;
  while (p * p <= n && n % p != 0) ++p;
  if (n % p != 0) p = n;  // prime: a plain DFT
  const double pi = 3.14159265358979323846;
  if (p == n) {
    std::vector<Complex> out(n);
    for (std::size_t k = 0; k < n; ++k) {
      Complex sum = 0.0;
      for (std::size_t j = 0; j < n; ++j)
        sum += x[j] * std::polar(1.0, -2.0 * pi * double(k * j % n) / double(n));
      out[k] = sum;
    }
    return out;
  }
  const std::size_t m = n / p;
  std::vector<std::vector<Complex>> parts(p);
  for (std::size_t r = 0; r < p; ++r) {
    std::vector<Complex> sub(m);
    for (std::size_t j = 0; j < m; ++j) sub[j] = x[j * p + r];
    parts[r] = fft(sub);
  }
  std::vector<Complex> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    Complex sum = 0.0;
    for (std::size_t r = 0; r < p; ++r) {
      sum += parts[r][k % m] * std::polar(1.0, -2.0 * pi * double(r * k % n) / double(n));
    }
    out[k] = sum;
  }
  return out;
}

// Magnitudes of bins 0 .. n/2 of a real signal, scaled so that a full-scale sine reads 1.0.
inline std::vector<double> magnitudes(const float* x, std::size_t n) {
  std::vector<Complex> c(n);
  for (std::size_t i = 0; i < n; ++i) c[i] = x[i];
  const std::vector<Complex> bins = fft(c);
  std::vector<double> mags(n / 2 + 1);
  for (std::size_t k = 0; k < mags.size(); ++k) mags[k] = 2.0 * std::abs(bins[k]) / double(n);
  return mags;
}

inline double db(double ratio) {
  return 20.0 * std::log10(std::max(ratio, 1e-20));
}

// One second of a tone of integer frequency f0 at an integer rate, analysed with a rectangular
// window: the tone, each harmonic and each alias falls on one bin of 1 Hz.
struct ToneAnalysis {
  double fundamental = 0.0;
  // Harmonics 2 .. 5 in dB re the fundamental (-200 where beyond Nyquist).
  double harmonicDb[4] = {-200.0, -200.0, -200.0, -200.0};
  // Every bin from 20 Hz up to bandTop that is no multiple of f0: the strongest, and the power
  // sum of all, in dB re the fundamental.
  double strongestAliasDb = -200.0;
  double aliasSumDb = -200.0;
};

inline ToneAnalysis analyseTone(const std::vector<double>& mags, int f0, int bandTop) {
  ToneAnalysis a;
  a.fundamental = mags[static_cast<std::size_t>(f0)];
  for (int h = 2; h <= 5; ++h) {
    if (static_cast<std::size_t>(h * f0) < mags.size()) {
      a.harmonicDb[h - 2] = db(mags[static_cast<std::size_t>(h * f0)] / a.fundamental);
    }
  }
  double strongest = 0.0;
  double power = 0.0;
  for (int k = 20; k <= bandTop && static_cast<std::size_t>(k) < mags.size(); ++k) {
    if (k % f0 == 0) continue;
    strongest = std::max(strongest, mags[static_cast<std::size_t>(k)]);
    power += mags[static_cast<std::size_t>(k)] * mags[static_cast<std::size_t>(k)];
  }
  a.strongestAliasDb = db(strongest / a.fundamental);
  a.aliasSumDb = db(std::sqrt(power) / a.fundamental);
  return a;
}

}  // namespace dsptest
