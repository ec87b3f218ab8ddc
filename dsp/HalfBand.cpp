// tovrasat::HalfBand: Kaiser design and the polyphase loops of one half-band stage.
#include "dsp/HalfBand.h"

#include <algorithm>
#include <cmath>

namespace tovrasat {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The zeroth-order modified Bessel function of the first kind, by its power series (it converges
// fast for the arguments a Kaiser window needs, below 20).
double besselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double q = 0.25 * x * x;
  for (int k = 1; k < 64; ++k) {
    term *= q / (static_cast<double>(k) * static_cast<double>(k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

int legalTaps(int taps) {
  const int clamped = std::clamp(taps, 7, HalfBand::kMaxTaps);
  return clamped - ((clamped - 3) % 4 + 4) % 4;
}

}  // namespace

HalfBand::HalfBand(int taps, double beta) noexcept : mTaps(legalTaps(taps)) {
  const int c = (mTaps - 1) / 2;
  const double norm = besselI0(beta);
  double sideSum = 0.0;
  for (int j = 0; j < mTaps; ++j) {
    const int d = j - c;
    if (d == 0) {
      mImpulse[static_cast<std::size_t>(j)] = 0.5;
      continue;
    }
    if (d % 2 == 0) continue;  // zero by the half-band's symmetry
    const double r = static_cast<double>(d) / static_cast<double>(c);
    const double window = besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / norm;
    const double x = 0.5 * kPi * d;
    const double h = 0.5 * std::sin(x) / x * window;
    mImpulse[static_cast<std::size_t>(j)] = h;
    sideSum += h;
  }
  // Side taps sum to 0.5 exactly, so that DC (and the phases of `up`) have unit gain.
  for (int j = 0; j < mTaps; ++j) {
    if (j != c) mImpulse[static_cast<std::size_t>(j)] *= 0.5 / sideSum;
  }
  const int side = (mTaps + 1) / 2;
  mSide = (side + 3) / 4 * 4;
  // Side tap h[2i] weighs x[n − i], which sits at index mSide − 1 − i of the window.
  for (int i = 0; i < side; ++i) {
    mSideTaps[static_cast<std::size_t>(mSide - 1 - i)] =
        static_cast<float>(mImpulse[static_cast<std::size_t>(2 * i)]);
  }
  mCentreDelay = (c - 1) / 2;
}

double HalfBand::tap(int index) const noexcept {
  if (index < 0 || index >= mTaps) return 0.0;
  return mImpulse[static_cast<std::size_t>(index)];
}

void HalfBand::reset() noexcept {
  mHistory.fill(0.0f);
  mCentre.fill(0.0f);
  mPos = 0;
  mCentrePos = 0;
}

float HalfBand::pushAndFilter(float x) noexcept {
  mPos = mPos + 1 == mSide ? 0 : mPos + 1;
  mHistory[static_cast<std::size_t>(mPos)] = x;
  mHistory[static_cast<std::size_t>(mPos + mSide)] = x;
  // The window: the oldest of the newest mSide samples at mPos + 1, the newest at mPos + mSide.
  const float* window = mHistory.data() + mPos + 1;
  const float* taps = mSideTaps.data();
  // Four partial sums, so the compiler can keep them in one vector register.
  float s0 = 0.0f;
  float s1 = 0.0f;
  float s2 = 0.0f;
  float s3 = 0.0f;
  for (int k = 0; k < mSide; k += 4) {
    s0 += taps[k] * window[k];
    s1 += taps[k + 1] * window[k + 1];
    s2 += taps[k + 2] * window[k + 2];
    s3 += taps[k + 3] * window[k + 3];
  }
  return (s0 + s1) + (s2 + s3);
}

float HalfBand::pushCentre(float x) noexcept {
  const int length = mCentreDelay + 1;
  mCentrePos = mCentrePos + 1 == length ? 0 : mCentrePos + 1;
  mCentre[static_cast<std::size_t>(mCentrePos)] = x;
  mCentre[static_cast<std::size_t>(mCentrePos + length)] = x;
  return mCentre[static_cast<std::size_t>(mCentrePos + 1)];  // the oldest: mCentreDelay ago
}

void HalfBand::up(const float* in, float* out, int n) noexcept {
  for (int i = 0; i < n; ++i) {
    const float even = 2.0f * pushAndFilter(in[i]);
    // x[n − (c − 1) / 2]: mCentreDelay samples before the newest in the side history.
    const float odd = mHistory[static_cast<std::size_t>(mPos + mSide - mCentreDelay)];
    out[2 * i] = even;
    out[2 * i + 1] = odd;
  }
}

void HalfBand::down(const float* in, float* out, int n) noexcept {
  for (int i = 0; i < n; ++i) {
    const float evenSample = in[2 * i];
    const float oddSample = in[2 * i + 1];
    const float centre = pushCentre(evenSample);
    out[i] = pushAndFilter(oddSample) + 0.5f * centre;
  }
}

}  // namespace tovrasat
