// KWeighting.cpp: the bilinear transform, backwards from 48 kHz and forwards to any rate.
#include "tools/meters/KWeighting.h"

#include <cmath>
#include <numbers>

namespace tools {
namespace {

constexpr double kStandardRate = 48000.0;

// The analogue section in s' = s / w0, with its corner in Hz.
struct Prototype {
  double corner = 0.0;  // Hz
  double inverseQ = 0.0;
  double n2 = 0.0, n1 = 0.0, n0 = 0.0;
};

// With a0 = 1 + K/Q + K^2 the digital section is
//   b = (n2 + n1 K + n0 K^2, 2 (n0 K^2 - n2), n2 - n1 K + n0 K^2) / a0,
//   a = (2 (K^2 - 1), 1 - K/Q + K^2) / a0,
// so sums and differences of the coefficients give K, Q and the numerator back.
Prototype Analogue(const Biquad& d, double rate) {
  const double a0 = 4.0 / (1.0 - d.a1 + d.a2);
  const double k = std::sqrt((1.0 + d.a1 + d.a2) / (1.0 - d.a1 + d.a2));
  Prototype p;
  p.corner = rate / std::numbers::pi * std::atan(k);
  p.inverseQ = (1.0 - d.a2) * a0 / (2.0 * k);
  p.n2 = (d.b0 - d.b1 + d.b2) * a0 / 4.0;
  p.n1 = (d.b0 - d.b2) * a0 / (2.0 * k);
  p.n0 = (d.b0 + d.b1 + d.b2) * a0 / (4.0 * k * k);
  return p;
}

Biquad Digital(const Prototype& p, double rate) {
  const double k = std::tan(std::numbers::pi * p.corner / rate);
  const double kk = k * k;
  const double a0 = 1.0 + k * p.inverseQ + kk;
  return {(p.n2 + p.n1 * k + p.n0 * kk) / a0, 2.0 * (p.n0 * kk - p.n2) / a0,
          (p.n2 - p.n1 * k + p.n0 * kk) / a0, 2.0 * (kk - 1.0) / a0,
          (1.0 - k * p.inverseQ + kk) / a0};
}

}  // namespace

Biquad KWeighting::Shelf(double sampleRate) {
  return Digital(Analogue(kShelf48k, kStandardRate), sampleRate);
}

Biquad KWeighting::HighPass(double sampleRate) {
  Biquad b = Digital(Analogue(kHighPass48k, kStandardRate), sampleRate);
  b.b0 = kHighPass48k.b0;
  b.b1 = kHighPass48k.b1;
  b.b2 = kHighPass48k.b2;
  return b;
}

double KWeighting::ShelfCorner() {
  return Analogue(kShelf48k, kStandardRate).corner;
}

}  // namespace tools
