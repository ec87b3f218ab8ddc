// tovrasat::HalfBand: Kaiser design and the polyphase loops of one half-band stage.
#include "dsp/HalfBand.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
  mSide = (mTaps + 1) / 2;
  for (int i = 0; i < mSide; ++i) {
    mSideTaps[static_cast<std::size_t>(i)] =
        static_cast<float>(mImpulse[static_cast<std::size_t>(2 * i)]);
  }
  mCentreDelay = (c - 1) / 2;
}

double HalfBand::tap(int index) const noexcept {
  if (index < 0 || index >= mTaps) return 0.0;
  return mImpulse[static_cast<std::size_t>(index)];
}

void HalfBand::reset() noexcept {
  mLine.fill(0.0f);
  mCentre.fill(0.0f);
}

namespace {

// out[j] = Σ taps[i] · block[j − i] over `side` taps, eight outputs per vector. GCC and Clang
// lower the vector to what the target has (two SSE registers on the x86-64 baseline, one AVX
// register, two NEON registers on Apple silicon). Every lane adds its products in the same
// order on every target (no fused multiply-add: contraction is off), so the bits never depend
// on the build chosen.
[[gnu::always_inline]] inline void sideLoop(const float* taps, int side, const float* block,
                                            float* out, int n) noexcept {
  constexpr int kLanes = 8;
  using Vec = float __attribute__((vector_size(kLanes * sizeof(float))));
  // Loads at any float's address: a memcpy into a Vec stays a library call inside a function
  // built for another target than the file's.
  using Unaligned = float
      __attribute__((vector_size(kLanes * sizeof(float)), aligned(alignof(float)), may_alias));
  int j = 0;
  // Four vectors at a time, so that four chains of additions overlap instead of each waiting on
  // the one before; every lane still adds its products in the same order.
  for (; j + 4 * kLanes <= n; j += 4 * kLanes) {
    Vec s0 = {}, s1 = {}, s2 = {}, s3 = {};
    const float* newest = block + j;
    for (int i = 0; i < side; ++i) {
      const float t = taps[i];
      const auto* x = reinterpret_cast<const Unaligned*>(newest - i);
      s0 += t * x[0];
      s1 += t * x[1];
      s2 += t * x[2];
      s3 += t * x[3];
    }
    auto* o = reinterpret_cast<Unaligned*>(out + j);
    o[0] = s0;
    o[1] = s1;
    o[2] = s2;
    o[3] = s3;
  }
  for (; j < n; j += kLanes) {
    Vec sum = {};
    const float* newest = block + j;
    for (int i = 0; i < side; ++i) {
      sum += taps[i] * *reinterpret_cast<const Unaligned*>(newest - i);
    }
    if (n - j >= kLanes) {
      *reinterpret_cast<Unaligned*>(out + j) = sum;
    } else {
      for (int k = 0; k < n - j; ++k) out[j + k] = sum[k];
    }
  }
}

void sideLoopBaseline(const float* taps, int side, const float* block, float* out, int n) noexcept {
  sideLoop(taps, side, block, out, n);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
[[gnu::target("avx2")]] void sideLoopAvx2(const float* taps, int side, const float* block,
                                          float* out, int n) noexcept {
  sideLoop(taps, side, block, out, n);
}
#endif

}  // namespace

bool HalfBand::usesAvx2 = [] {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}();

void HalfBand::sidePhase(const float* line, float* out, int n) const noexcept {
  static_assert(kLanes == 8, "the line's slack is one vector of sideLoop");
  const float* block = line + (mSide - 1);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (usesAvx2) return sideLoopAvx2(mSideTaps.data(), mSide, block, out, n);
#endif
  sideLoopBaseline(mSideTaps.data(), mSide, block, out, n);
}

namespace {

// line[0 .. count) = line[n .. n + count), for the few samples of history a line keeps. For
// n ≥ 8 it moves whole vectors, which a library call would cost more than for so few samples: it
// may read up to 7 samples past n + count and write up to 7 past count, which the caller's
// arrays leave room for (and which hold only samples the next block overwrites).
inline void keepHistory(float* line, int n, int count) noexcept {
  constexpr int kChunk = 8;
  if (n >= kChunk) {
    for (int i = 0; i < count; i += kChunk) {
      float chunk[kChunk];
      std::memcpy(chunk, line + n + i, sizeof chunk);
      std::memcpy(line + i, chunk, sizeof chunk);
    }
  } else {
    for (int i = 0; i < count; ++i) line[i] = line[n + i];
  }
}

}  // namespace

void HalfBand::upFromLine(float* out, int n) noexcept {
  const int history = mSide - 1;
  const float* block = mLine.data() + history;
  float even[kBlock];
  sidePhase(mLine.data(), even, n);
  for (int j = 0; j < n; ++j) {
    out[2 * j] = 2.0f * even[j];
    out[2 * j + 1] = block[j - mCentreDelay];  // x[n − (c − 1) / 2]
  }
  static_assert(kMaxSideTaps + kBlock + kLanes >= kBlock + (kMaxSideTaps - 1 + 7) / 8 * 8);
  keepHistory(mLine.data(), n, history);
}

void HalfBand::upBlock(const float* in, float* out, int n) noexcept {
  std::memcpy(upInput(), in, sizeof(float) * static_cast<std::size_t>(n));
  upFromLine(out, n);
}

void HalfBand::downBlock(const float* in, float* out, int n) noexcept {
  // Every input is read before any output is written, so out may be in.
  const int history = mSide - 1;
  float* sideBlock = mLine.data() + history;
  float* centreBlock = mCentre.data() + mCentreDelay;
  for (int j = 0; j < n; ++j) {
    centreBlock[j] = in[2 * j];
    sideBlock[j] = in[2 * j + 1];
  }
  float side[kBlock];
  sidePhase(mLine.data(), side, n);
  // The centre sample of output j is the even input mCentreDelay samples before j.
  for (int j = 0; j < n; ++j) out[j] = side[j] + 0.5f * mCentre[static_cast<std::size_t>(j)];
  keepHistory(mLine.data(), n, history);
  keepHistory(mCentre.data(), n, mCentreDelay);
}

void HalfBand::up(const float* in, float* out, int n) noexcept {
  for (int done = 0; done < n; done += kBlock) {
    upBlock(in + done, out + 2 * done, std::min(kBlock, n - done));
  }
}

void HalfBand::down(const float* in, float* out, int n) noexcept {
  for (int done = 0; done < n; done += kBlock) {
    downBlock(in + 2 * done, out + done, std::min(kBlock, n - done));
  }
}

}  // namespace tovrasat
