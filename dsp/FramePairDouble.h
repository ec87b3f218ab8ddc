// FramePairDouble: two stereo frames (four doubles) in one AVX register, for AVX2 builds only.
#pragma once

#include "dsp/StereoDouble.h"

// Only where the compiler can build single functions for AVX2 (their caller checks the processor).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(TOVRASAT_STEREO_PORTABLE)
#include <immintrin.h>
#define TOVRASAT_FRAME_PAIR 1
#else
#define TOVRASAT_FRAME_PAIR 0
#endif

#if TOVRASAT_FRAME_PAIR

// Every member is compiled for AVX2 and inlines into functions compiled for it; nothing else may
// call them, and only on a processor that has AVX2.
#define TOVRASAT_AVX2 [[gnu::target("avx2"), gnu::always_inline]] inline

namespace tovrasat {

// The lanes are (left, right) of a frame, then (left, right) of the next. Every operation is
// StereoDouble's on each lane: the same IEEE operation (no fused multiply-add, no reordering), the
// same comparison masks, and min and max with the instructions' rules (see StereoDouble), so a
// stage of independent frames computes the same bits two frames at a time.
class FramePairDouble {
 public:
  TOVRASAT_AVX2 explicit FramePairDouble(double all) noexcept : mV(_mm256_set1_pd(all)) {}
  TOVRASAT_AVX2 FramePairDouble(double l0, double r0, double l1, double r1) noexcept
      : mV(_mm256_set_pd(r1, l1, r0, l0)) {}

  // Frames i and i + 1 of two float channels, widened.
  TOVRASAT_AVX2 static FramePairDouble fromFloats(const float* left, const float* right) noexcept {
    const __m128 l = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(left)));
    const __m128 r = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(right)));
    return FramePairDouble(_mm256_cvtps_pd(_mm_unpacklo_ps(l, r)));
  }
  // Frames i and i + 1 of two double channels, as they are.
  TOVRASAT_AVX2 static FramePairDouble fromDoubles(const double* left,
                                                   const double* right) noexcept {
    const __m128d l = _mm_loadu_pd(left);
    const __m128d r = _mm_loadu_pd(right);
    return FramePairDouble(_mm256_set_m128d(_mm_unpackhi_pd(l, r), _mm_unpacklo_pd(l, r)));
  }
  // Four consecutive doubles (any alignment), and back.
  TOVRASAT_AVX2 static FramePairDouble load(const double* four) noexcept {
    return FramePairDouble(_mm256_loadu_pd(four));
  }
  TOVRASAT_AVX2 void store(double* four) const noexcept { _mm256_storeu_pd(four, mV); }
  // Each frame as a StereoDouble.
  TOVRASAT_AVX2 void store(StereoDouble* two) const noexcept {
    static_assert(sizeof(StereoDouble) == 2 * sizeof(double));
    _mm256_storeu_pd(reinterpret_cast<double*>(two), mV);
  }

  TOVRASAT_AVX2 double lane(int i) const noexcept {
    alignas(32) double v[4];
    _mm256_store_pd(v, mV);
    return v[i & 3];
  }

  // Each lane narrowed to float and widened back: the value a float buffer would hold.
  TOVRASAT_AVX2 FramePairDouble roundedToFloat() const noexcept {
    return FramePairDouble(_mm256_cvtps_pd(_mm256_cvtpd_ps(mV)));
  }

  TOVRASAT_AVX2 friend FramePairDouble operator+(FramePairDouble a, FramePairDouble b) noexcept {
    return FramePairDouble(_mm256_add_pd(a.mV, b.mV));
  }
  TOVRASAT_AVX2 friend FramePairDouble operator-(FramePairDouble a, FramePairDouble b) noexcept {
    return FramePairDouble(_mm256_sub_pd(a.mV, b.mV));
  }
  TOVRASAT_AVX2 friend FramePairDouble operator*(FramePairDouble a, FramePairDouble b) noexcept {
    return FramePairDouble(_mm256_mul_pd(a.mV, b.mV));
  }
  TOVRASAT_AVX2 friend FramePairDouble operator/(FramePairDouble a, FramePairDouble b) noexcept {
    return FramePairDouble(_mm256_div_pd(a.mV, b.mV));
  }

  TOVRASAT_AVX2 FramePairDouble abs() const noexcept {
    return FramePairDouble(_mm256_andnot_pd(signBits(), mV));
  }
  // Each lane as it is when it is a finite number (-0.0 included), +0.0 for a NaN or an infinity.
  TOVRASAT_AVX2 FramePairDouble finiteOrZero() const noexcept {
    const __m256d finite = _mm256_cmp_pd(_mm256_andnot_pd(signBits(), mV),
                                         _mm256_set1_pd(StereoDouble::kLargest), _CMP_LE_OS);
    return FramePairDouble(_mm256_and_pd(finite, mV));
  }
  // This value negated where x's sign bit is set.
  TOVRASAT_AVX2 FramePairDouble withSignOf(FramePairDouble x) const noexcept {
    return FramePairDouble(_mm256_xor_pd(mV, _mm256_and_pd(x.mV, signBits())));
  }

  // SSE2's cmplepd predicate: false where either is a NaN.
  TOVRASAT_AVX2 static FramePairDouble lessEqual(FramePairDouble a, FramePairDouble b) noexcept {
    return FramePairDouble(_mm256_cmp_pd(a.mV, b.mV, _CMP_LE_OS));
  }
  TOVRASAT_AVX2 static FramePairDouble select(FramePairDouble mask, FramePairDouble ifTrue,
                                              FramePairDouble ifFalse) noexcept {
    return FramePairDouble(_mm256_blendv_pd(ifFalse.mV, ifTrue.mV, mask.mV));
  }

  // Per frame, std::max(left, right): right if left < right, else left (also for a NaN), stored
  // as two doubles, the first frame's then the second's.
  TOVRASAT_AVX2 void storeLargerLanes(double* two) const noexcept {
    const __m256d swapped = _mm256_permute_pd(mV, 0b0101);
    const __m256d larger = _mm256_max_pd(swapped, mV);
    _mm_storeu_pd(
        two, _mm_unpacklo_pd(_mm256_castpd256_pd128(larger), _mm256_extractf128_pd(larger, 1)));
  }

 private:
  TOVRASAT_AVX2 explicit FramePairDouble(__m256d v) noexcept : mV(v) {}
  TOVRASAT_AVX2 static __m256d signBits() noexcept { return _mm256_set1_pd(-0.0); }

  __m256d mV;
};

}  // namespace tovrasat

#endif
