// A reference true-peak reading for the dsp tests: 16 times oversampled by a long windowed sinc.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace dsptest {

// The largest magnitude of x and of x interpolated at 15 points between each pair of samples,
// from index `from` on; a 64-tap-a-side Kaiser-windowed sinc, in double. Far more exact than
// the limiter's own detector, which it checks.
inline double truePeak(const std::vector<float>& x, std::size_t from = 0) {
  constexpr int kHalf = 64;
  constexpr int kPoints = 16;
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kBeta = 8.0;
  const auto i0 = [](double v) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60; ++k) {
      term *= (0.25 * v * v) / (double(k) * k);
      sum += term;
    }
    return sum;
  };
  std::vector<std::vector<double>> kernels(kPoints);
  for (int q = 1; q < kPoints; ++q) {
    double norm = 0.0;
    for (int k = -kHalf + 1; k <= kHalf; ++k) {
      const double t = k - double(q) / kPoints;
      const double r = t / kHalf;
      const double w = i0(kBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0(kBeta);
      const double s = std::sin(kPi * t) / (kPi * t) * w;
      kernels[static_cast<std::size_t>(q)].push_back(s);
      norm += s;
    }
    for (double& s : kernels[static_cast<std::size_t>(q)]) s /= norm;
  }
  double peak = 0.0;
  const auto n = static_cast<long>(x.size());
  for (long m = static_cast<long>(from); m < n; ++m) {
    peak = std::max(peak, std::fabs(double(x[static_cast<std::size_t>(m)])));
    if (m - kHalf + 1 < 0 || m + kHalf >= n) continue;
    for (int q = 1; q < kPoints; ++q) {
      double v = 0.0;
      const std::vector<double>& h = kernels[static_cast<std::size_t>(q)];
      for (int k = 0; k < 2 * kHalf; ++k)
        v += h[static_cast<std::size_t>(k)] * x[static_cast<std::size_t>(m - kHalf + 1 + k)];
      peak = std::max(peak, std::fabs(v));
    }
  }
  return peak;
}

}  // namespace dsptest
