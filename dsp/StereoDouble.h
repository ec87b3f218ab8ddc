// StereoDouble: a left and right double side by side, one SSE2 register on x86-64.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

// TOVRASAT_STEREO_PORTABLE selects the plain pair on any processor (the tests build it on x86-64 to
// check the form that other processors compile).
#if (defined(__SSE2__) || defined(_M_X64)) && !defined(TOVRASAT_STEREO_PORTABLE)
#include <emmintrin.h>
#define TOVRASAT_STEREO_SSE2 1
#else
#define TOVRASAT_STEREO_SSE2 0
#endif

namespace tovrasat {

// The engine treats both channels alike, so one frame's two samples go through every step
// together. Each operation is the IEEE operation of the same name on each lane (no fused
// multiply-add, no reordering), so a lane computes exactly the bits the scalar code computes.
//
// Comparisons give a mask (all bits set where true) for `select`. `min` and `max` are the
// instructions' rules, which are not symmetric: min(a, b) is a < b ? a : b and max(a, b) is
// a > b ? a : b, so where either is NaN (or both are zeros) the second operand comes out. Callers
// order the operands to match the expression they replace: std::min(x, y) is min(y, x).
class StereoDouble {
 public:
  static constexpr double kLargest = std::numeric_limits<double>::max();

  StereoDouble() noexcept : StereoDouble(0.0) {}
#if TOVRASAT_STEREO_SSE2
  explicit StereoDouble(double both) noexcept : mV(_mm_set1_pd(both)) {}
  StereoDouble(double left, double right) noexcept : mV(_mm_set_pd(right, left)) {}

  static StereoDouble fromFloats(float left, float right) noexcept {
    return StereoDouble(_mm_cvtps_pd(_mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right))));
  }

  // Two consecutive doubles (any alignment), and back.
  static StereoDouble load(const double* pair) noexcept {
    return StereoDouble(_mm_loadu_pd(pair));
  }
  void store(double* pair) const noexcept {
    _mm_storeu_pd(pair, mV);
  }

  double left() const noexcept {
    return _mm_cvtsd_f64(mV);
  }
  double right() const noexcept {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(mV, mV));
  }

  // Narrows each lane to float (the current rounding mode, as a cast does) and stores it.
  void storeFloats(float* left, float* right) const noexcept {
    const __m128 f = _mm_cvtpd_ps(mV);
    _mm_store_ss(left, f);
    _mm_store_ss(right, _mm_shuffle_ps(f, f, 1));
  }
  void store(float* left, float* right) const noexcept {
    storeFloats(left, right);
  }
  // Stores each lane as it is.
  void store(double* left, double* right) const noexcept {
    _mm_storel_pd(left, mV);
    _mm_storeh_pd(right, mV);
  }
  // Each lane narrowed to float and widened back: the value a float buffer would hold.
  StereoDouble roundedToFloat() const noexcept {
    return StereoDouble(_mm_cvtps_pd(_mm_cvtpd_ps(mV)));
  }

  friend StereoDouble operator+(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_add_pd(a.mV, b.mV));
  }
  friend StereoDouble operator-(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_sub_pd(a.mV, b.mV));
  }
  friend StereoDouble operator*(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_mul_pd(a.mV, b.mV));
  }
  friend StereoDouble operator/(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_div_pd(a.mV, b.mV));
  }

  StereoDouble abs() const noexcept {
    return StereoDouble(_mm_andnot_pd(signBits(), mV));
  }
  // Each lane as it is when it is a finite number (-0.0 included), +0.0 for a NaN or an infinity.
  StereoDouble finiteOrZero() const noexcept {
    const __m128d finite = _mm_cmple_pd(_mm_andnot_pd(signBits(), mV), _mm_set1_pd(kLargest));
    return StereoDouble(_mm_and_pd(finite, mV));
  }
  // This value negated where x's sign bit is set (x < 0, -0.0, a NaN with the sign set): the
  // shaping stages work on |x| and give the result x's sign, without a branch on it.
  StereoDouble withSignOf(StereoDouble x) const noexcept {
    return StereoDouble(_mm_xor_pd(mV, _mm_and_pd(x.mV, signBits())));
  }

  static StereoDouble lessEqual(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_cmple_pd(a.mV, b.mV));
  }
  static StereoDouble less(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_cmplt_pd(a.mV, b.mV));
  }
  static StereoDouble greater(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_cmpgt_pd(a.mV, b.mV));
  }
  static StereoDouble equal(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_cmpeq_pd(a.mV, b.mV));
  }
  // For a number this is a mask with every bit set; for a NaN, none.
  static StereoDouble isNumber(StereoDouble a) noexcept {
    return StereoDouble(_mm_cmpord_pd(a.mV, a.mV));
  }
  // Masks combined: set where b is set and a is not.
  static StereoDouble andNot(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_andnot_pd(a.mV, b.mV));
  }
  static StereoDouble select(StereoDouble mask, StereoDouble ifTrue,
                             StereoDouble ifFalse) noexcept {
    return StereoDouble(
        _mm_or_pd(_mm_and_pd(mask.mV, ifTrue.mV), _mm_andnot_pd(mask.mV, ifFalse.mV)));
  }
  static StereoDouble min(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_min_pd(a.mV, b.mV));
  }
  static StereoDouble max(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_max_pd(a.mV, b.mV));
  }

  // std::max(left, right) in both lanes: right if left < right, else left (also for a NaN).
  StereoDouble largerLane() const noexcept {
    const __m128d larger = _mm_max_sd(_mm_unpackhi_pd(mV, mV), mV);
    return StereoDouble(_mm_unpacklo_pd(larger, larger));
  }
  // (a.left + a.right, b.left + b.right).
  static StereoDouble laneSums(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(_mm_add_pd(_mm_unpacklo_pd(a.mV, b.mV), _mm_unpackhi_pd(a.mV, b.mV)));
  }

 private:
  explicit StereoDouble(__m128d v) noexcept : mV(v) {}
  static __m128d signBits() noexcept {
    return _mm_set1_pd(-0.0);
  }

  __m128d mV;
#else
  // Plain pair: the same rules written out lane by lane.
  explicit StereoDouble(double both) noexcept : mL(both), mR(both) {}
  StereoDouble(double left, double right) noexcept : mL(left), mR(right) {}

  static StereoDouble fromFloats(float left, float right) noexcept {
    return StereoDouble(left, right);
  }

  static StereoDouble load(const double* pair) noexcept {
    return StereoDouble(pair[0], pair[1]);
  }
  void store(double* pair) const noexcept {
    pair[0] = mL;
    pair[1] = mR;
  }

  double left() const noexcept {
    return mL;
  }
  double right() const noexcept {
    return mR;
  }

  void storeFloats(float* left, float* right) const noexcept {
    *left = static_cast<float>(mL);
    *right = static_cast<float>(mR);
  }
  void store(float* left, float* right) const noexcept {
    storeFloats(left, right);
  }
  void store(double* left, double* right) const noexcept {
    *left = mL;
    *right = mR;
  }
  StereoDouble roundedToFloat() const noexcept {
    return StereoDouble(static_cast<float>(mL), static_cast<float>(mR));
  }

  friend StereoDouble operator+(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL + b.mL, a.mR + b.mR);
  }
  friend StereoDouble operator-(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL - b.mL, a.mR - b.mR);
  }
  friend StereoDouble operator*(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL * b.mL, a.mR * b.mR);
  }
  friend StereoDouble operator/(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL / b.mL, a.mR / b.mR);
  }

  StereoDouble abs() const noexcept {
    return lanes(mL, mR, [](std::uint64_t v) { return v & ~kSign; });
  }
  StereoDouble finiteOrZero() const noexcept {
    return StereoDouble(std::fabs(mL) <= kLargest ? mL : 0.0, std::fabs(mR) <= kLargest ? mR : 0.0);
  }
  StereoDouble withSignOf(StereoDouble x) const noexcept {
    return StereoDouble(std::bit_cast<double>(std::bit_cast<std::uint64_t>(mL) ^
                                              (std::bit_cast<std::uint64_t>(x.mL) & kSign)),
                        std::bit_cast<double>(std::bit_cast<std::uint64_t>(mR) ^
                                              (std::bit_cast<std::uint64_t>(x.mR) & kSign)));
  }

  static StereoDouble lessEqual(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(mask(a.mL <= b.mL), mask(a.mR <= b.mR));
  }
  static StereoDouble less(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(mask(a.mL < b.mL), mask(a.mR < b.mR));
  }
  static StereoDouble greater(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(mask(a.mL > b.mL), mask(a.mR > b.mR));
  }
  static StereoDouble isNumber(StereoDouble a) noexcept {
    return StereoDouble(mask(a.mL == a.mL), mask(a.mR == a.mR));
  }
  static StereoDouble andNot(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(mask(!isSet(a.mL) && isSet(b.mL)), mask(!isSet(a.mR) && isSet(b.mR)));
  }
  static StereoDouble equal(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(mask(a.mL == b.mL), mask(a.mR == b.mR));
  }
  static StereoDouble select(StereoDouble mask, StereoDouble ifTrue,
                             StereoDouble ifFalse) noexcept {
    return StereoDouble(isSet(mask.mL) ? ifTrue.mL : ifFalse.mL,
                        isSet(mask.mR) ? ifTrue.mR : ifFalse.mR);
  }
  static StereoDouble min(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL < b.mL ? a.mL : b.mL, a.mR < b.mR ? a.mR : b.mR);
  }
  static StereoDouble max(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL > b.mL ? a.mL : b.mL, a.mR > b.mR ? a.mR : b.mR);
  }

  StereoDouble largerLane() const noexcept {
    return StereoDouble(mL < mR ? mR : mL);
  }
  static StereoDouble laneSums(StereoDouble a, StereoDouble b) noexcept {
    return StereoDouble(a.mL + a.mR, b.mL + b.mR);
  }

 private:
  static constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  static double mask(bool on) noexcept {
    return std::bit_cast<double>(on ? ~std::uint64_t{0} : std::uint64_t{0});
  }
  static bool isSet(double m) noexcept {
    return std::bit_cast<std::uint64_t>(m) != 0;
  }
  template <class F>
  static StereoDouble lanes(double l, double r, F f) noexcept {
    return StereoDouble(std::bit_cast<double>(f(std::bit_cast<std::uint64_t>(l))),
                        std::bit_cast<double>(f(std::bit_cast<std::uint64_t>(r))));
  }

  double mL;
  double mR;
#endif
};

}  // namespace tovrasat
