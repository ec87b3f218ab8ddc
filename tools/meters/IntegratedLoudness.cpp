// IntegratedLoudness.cpp: the filter loop, the 100 ms steps and the two gates.
#include "tools/meters/IntegratedLoudness.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TOVRASAT_LOUDNESS_FMA 1
#else
#define TOVRASAT_LOUDNESS_FMA 0
#endif

namespace tools {
namespace {

constexpr double kAbsoluteGate = -70.0;  // LUFS
constexpr double kRelativeGate = -10.0;  // LU under the mean of the blocks past the absolute gate
constexpr double kBinWidth = 0.01;       // LU
constexpr double kHighestBin = 30.0;     // LUFS; louder blocks share the top bin, sums still exact
constexpr size_t kStepsPerBlock = 4;

double Loudness(double power) {
  return -0.691 + 10.0 * std::log10(power);
}

// Filter history this small only decays further; zeroed, it never turns subnormal in a silence.
tovrasat::StereoDouble Flushed(tovrasat::StereoDouble v) {
  using tovrasat::StereoDouble;
  const StereoDouble tiny(1e-30);
  return StereoDouble::select(StereoDouble::less(StereoDouble::max(v, StereoDouble(0.0) - v), tiny),
                              StereoDouble(0.0), v);
}

#if TOVRASAT_LOUDNESS_FMA
// The filter loop below with each recursion's multiply and subtraction fused: every sample's
// recursions are half as long, which is what bounds the loop (other bits in the last place, the
// same on every call of one machine). state holds x1, x2, y1, y2, d1, z1, z2 and the squares, a
// pair of lanes each.
[[gnu::target("fma")]] void FilterFma(const double* coefficients, double* state, const float* left,
                                      const float* right, size_t frames) {
  const __m128d b1 = _mm_set1_pd(coefficients[0]), b2 = _mm_set1_pd(coefficients[1]);
  const __m128d a1 = _mm_set1_pd(coefficients[2]), a2 = _mm_set1_pd(coefficients[3]);
  const __m128d c1 = _mm_set1_pd(coefficients[4]), c2 = _mm_set1_pd(coefficients[5]);
  __m128d x1 = _mm_loadu_pd(state), x2 = _mm_loadu_pd(state + 2);
  __m128d y1 = _mm_loadu_pd(state + 4), y2 = _mm_loadu_pd(state + 6);
  __m128d d1 = _mm_loadu_pd(state + 8), z1 = _mm_loadu_pd(state + 10);
  __m128d z2 = _mm_loadu_pd(state + 12), squares = _mm_loadu_pd(state + 14);
  for (size_t i = 0; i < frames; ++i) {
    const __m128d x = _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i)));
    const __m128d early = _mm_fnmadd_pd(a2, y2, _mm_fmadd_pd(b2, x2, _mm_fmadd_pd(b1, x1, x)));
    const __m128d y = _mm_fnmadd_pd(a1, y1, early);
    const __m128d d = _mm_sub_pd(y, y1);
    const __m128d z = _mm_fnmadd_pd(c1, z1, _mm_fnmadd_pd(c2, z2, _mm_sub_pd(d, d1)));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    d1 = d;
    z2 = z1;
    z1 = z;
    squares = _mm_fmadd_pd(z, z, squares);
  }
  const __m128d after[] = {x1, x2, y1, y2, d1, z1, z2, squares};
  for (size_t k = 0; k < 8; ++k) _mm_storeu_pd(state + 2 * k, after[k]);
}

bool HasFma() {
  static const bool fma = __builtin_cpu_supports("fma");
  return fma;
}
#endif

}  // namespace

bool IntegratedLoudness::Open(int channels, double sampleRate) {
  mChannels = 0;
  mBins.clear();
  if (channels < 1 || channels > kMostChannels || !KWeighting::Defined(sampleRate) ||
      !(sampleRate <= 1e7))
    return false;
  const Biquad shelf = KWeighting::Shelf(sampleRate), highPass = KWeighting::HighPass(sampleRate);
  mShelfB1 = shelf.b1 / shelf.b0;
  mShelfB2 = shelf.b2 / shelf.b0;
  mShelfA1 = shelf.a1;
  mShelfA2 = shelf.a2;
  mHighPassA1 = highPass.a1;
  mHighPassA2 = highPass.a2;
  mSquareScale = shelf.b0 * highPass.b0 * shelf.b0 * highPass.b0;
  mChannels = channels;
  mX1 = mX2 = mY1 = mY2 = mD1 = mZ1 = mZ2 = mSquares = Lanes();
  mStepFrames = static_cast<size_t>(std::lround(sampleRate / 10.0));
  mInStep = 0;
  mEarlierSteps = {};
  mSteps = 0;
  mBins.assign(static_cast<size_t>((kHighestBin - kAbsoluteGate) / kBinWidth) + 1, Bin{});
  return true;
}

void IntegratedLoudness::Add(const float* const* channels, size_t frames) {
  if (mChannels == 0) return;
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min(frames - done, mStepFrames - mInStep);
    Filter(channels[0] + done, channels[mChannels - 1] + done, n);
    done += n;
    mInStep += n;
    if (mInStep == mStepFrames) EndStep();
  }
}

// Both stages in direct form I: the shelf's output history is the high-pass's input history. The
// terms that do not wait for the previous output come first, so each sample's recursion is one
// multiply and one subtraction long.
void IntegratedLoudness::Filter(const float* left, const float* right, size_t frames) {
#if TOVRASAT_LOUDNESS_FMA
  if (HasFma()) {
    const double coefficients[] = {mShelfB1, mShelfB2,    mShelfA1,
                                   mShelfA2, mHighPassA1, mHighPassA2};
    double state[16];
    Lanes* const lanes[] = {&mX1, &mX2, &mY1, &mY2, &mD1, &mZ1, &mZ2, &mSquares};
    for (size_t k = 0; k < 8; ++k) lanes[k]->store(state + 2 * k);
    FilterFma(coefficients, state, left, right, frames);
    for (size_t k = 0; k < 8; ++k) *lanes[k] = Lanes::load(state + 2 * k);
    return;
  }
#endif
  const Lanes b1(mShelfB1), b2(mShelfB2), a1(mShelfA1), a2(mShelfA2);
  const Lanes c1(mHighPassA1), c2(mHighPassA2);
  Lanes x1 = mX1, x2 = mX2, y1 = mY1, y2 = mY2, d1 = mD1, z1 = mZ1, z2 = mZ2, squares = mSquares;
  for (size_t i = 0; i < frames; ++i) {
    const Lanes x = Lanes::fromFloats(left[i], right[i]);
    const Lanes y = (x + b1 * x1 + b2 * x2 - a2 * y2) - a1 * y1;
    const Lanes d = y - y1;
    const Lanes z = (d - d1 - c2 * z2) - c1 * z1;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    d1 = d;
    z2 = z1;
    z1 = z;
    squares = squares + z * z;
  }
  mX1 = x1, mX2 = x2, mY1 = y1, mY2 = y2, mD1 = d1, mZ1 = z1, mZ2 = z2, mSquares = squares;
}

void IntegratedLoudness::EndStep() {
  const double step = mSquareScale * (mSquares.left() + (mChannels == 2 ? mSquares.right() : 0.0));
  mSquares = Lanes();
  mInStep = 0;
  for (Lanes* v : {&mX1, &mX2, &mY1, &mY2, &mD1, &mZ1, &mZ2}) *v = Flushed(*v);
  if (++mSteps >= kStepsPerBlock) {
    const double power = (step + mEarlierSteps[0] + mEarlierSteps[1] + mEarlierSteps[2]) /
                         static_cast<double>(kStepsPerBlock * mStepFrames);
    const double lufs = Loudness(power);
    if (lufs > kAbsoluteGate) {
      const auto at = static_cast<size_t>((lufs - kAbsoluteGate) / kBinWidth);
      Bin& bin = mBins[std::min(at, mBins.size() - 1)];
      ++bin.blocks;
      bin.power += power;
    }
  }
  mEarlierSteps = {step, mEarlierSteps[0], mEarlierSteps[1]};
}

double IntegratedLoudness::Lufs() const {
  uint64_t blocks = 0;
  double power = 0.0;
  for (const Bin& bin : mBins) {
    blocks += bin.blocks;
    power += bin.power;
  }
  if (blocks == 0) return -HUGE_VAL;
  const double relativeGate = Loudness(power / static_cast<double>(blocks)) + kRelativeGate;
  blocks = 0;
  power = 0.0;
  for (const Bin& bin : mBins) {
    if (bin.blocks == 0 || !(Loudness(bin.power / static_cast<double>(bin.blocks)) > relativeGate))
      continue;
    blocks += bin.blocks;
    power += bin.power;
  }
  return blocks == 0 ? -HUGE_VAL : Loudness(power / static_cast<double>(blocks));
}

}  // namespace tools
