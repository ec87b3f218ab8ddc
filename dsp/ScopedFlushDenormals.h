// ScopedFlushDenormals: flush-to-zero for one scope, the caller's control register restored after.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace tovrasat {

// Subnormal numbers cost a micro-code assist per operation on many processors, and decaying
// filter and envelope tails are full of them. While a guard lives, subnormal results become zero.
//
// x86-64 (MXCSR): FTZ (bit 15) flushes subnormal results, DAZ (bit 6) reads subnormal inputs as
// zero. Both are set because arm64's FZ (FPCR bit 24), which the product runs with, does both
// things at once: with only FTZ the x86 build we test would compute different samples from a
// subnormal input than the Arm build we ship. Every x86-64 processor implements DAZ.
//
// The whole saved register is written back on every way out of the scope, not just the bits
// this guard set, so a caller that already had flush-to-zero on (or a non-default rounding mode,
// or other FPCR fields) finds its state exactly as it left it.
class ScopedFlushDenormals {
 public:
  ScopedFlushDenormals() noexcept : mSaved(read()) { write(mSaved | kFlushBits); }
  ~ScopedFlushDenormals() { write(mSaved); }

  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

#if defined(__x86_64__) || defined(_M_X64)
  static constexpr std::uint64_t kFlushBits = 0x8000u | 0x0040u;

  static std::uint64_t read() noexcept {
    return _mm_getcsr();
  }
  static void write(std::uint64_t value) noexcept {
    _mm_setcsr(static_cast<unsigned int>(value));
  }
#elif defined(__aarch64__)
  static constexpr std::uint64_t kFlushBits = std::uint64_t{1} << 24;

  // FPCR is a 64-bit system register; reading and writing it whole keeps every field.
  static std::uint64_t read() noexcept {
    std::uint64_t value;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(value) : : "memory");
    return value;
  }
  static void write(std::uint64_t value) noexcept {
    __asm__ __volatile__("msr fpcr, %0" : : "r"(value) : "memory");
  }
#else
  // Other processors keep their default handling of subnormals.
  static constexpr std::uint64_t kFlushBits = 0;

  static std::uint64_t read() noexcept {
    return 0;
  }
  static void write(std::uint64_t) noexcept {}
#endif

 private:
  std::uint64_t mSaved;
};

}  // namespace tovrasat
