// ScopedFlushDenormals on its own, and the crusher's use of it.
#include "dsp/ScopedFlushDenormals.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "dsp/Crusher.h"

namespace {

using tovrasat::ScopedFlushDenormals;

#if defined(__x86_64__) || defined(__aarch64__)

// Opaque to the optimiser, so that the arithmetic runs at the point where it is written.
volatile float gSmallest = std::numeric_limits<float>::min();
volatile float gHalf = 0.5f;
volatile float gSubnormal = std::numeric_limits<float>::denorm_min() * 64.0f;
volatile float gTwoTo24 = 16777216.0f;

float halfOfSmallestNormal() {
  return gSmallest * gHalf;
}
// A subnormal input scaled into the normal range: only reading inputs as zero (DAZ on x86-64,
// FZ on arm64) makes this zero, flushing results alone does not.
float subnormalScaledUp() {
  return gSubnormal * gTwoTo24;
}

// Starting states the guard must hand back untouched: the default, flush already on (a guard
// that clears its bits on exit breaks it), and a changed rounding mode (a guard that only
// restores the flush bits, or a 32-bit slice of FPCR, breaks that one).
struct StartState {
  const char* what;
  bool flushOn;
  int rounding;

  friend void PrintTo(const StartState& s, std::ostream* os) { *os << s.what; }
};

class FlushGuard : public ::testing::TestWithParam<StartState> {
 protected:
  void SetUp() override {
    mOriginal = ScopedFlushDenormals::read();
    std::fesetround(GetParam().rounding);
    if (GetParam().flushOn) {
      ScopedFlushDenormals::write(ScopedFlushDenormals::read() | ScopedFlushDenormals::kFlushBits);
    }
  }
  void TearDown() override {
    std::fesetround(FE_TONEAREST);
    ScopedFlushDenormals::write(mOriginal);
  }

 private:
  std::uint64_t mOriginal = 0;
};

TEST_P(FlushGuard, FlushesInsideAndRestoresTheRegisterAfter) {
  if (!GetParam().flushOn) {
    ASSERT_NE(halfOfSmallestNormal(), 0.0f);  // the machine does produce subnormals here
  }
  // Read after the check above, whose arithmetic raised sticky exception flags of its own.
  const std::uint64_t before = ScopedFlushDenormals::read();
  {
    const ScopedFlushDenormals guard;
    EXPECT_EQ(halfOfSmallestNormal(), 0.0f);
    EXPECT_EQ(subnormalScaledUp(), 0.0f);
    EXPECT_EQ(ScopedFlushDenormals::read() & ScopedFlushDenormals::kFlushBits,
              ScopedFlushDenormals::kFlushBits);
  }
  EXPECT_EQ(ScopedFlushDenormals::read(), before);
  EXPECT_EQ(std::fegetround(), GetParam().rounding);
  if (!GetParam().flushOn) {
    EXPECT_NE(halfOfSmallestNormal(), 0.0f);
    EXPECT_NE(subnormalScaledUp(), 0.0f);
  }
}

TEST_P(FlushGuard, CrusherRestoresTheRegisterOnEveryPath) {
  tovrasat::Crusher c;
  c.prepare(48000.0);
  std::vector<float> in(300, 0.25f);
  std::vector<float> out(300);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};
  const std::uint64_t before = ScopedFlushDenormals::read();
  for (const int n : {300, 0, -1}) {
    c.process(ins, outs, n);
    EXPECT_EQ(ScopedFlushDenormals::read(), before) << n;
  }
  c.process(nullptr, outs, 300);
  EXPECT_EQ(ScopedFlushDenormals::read(), before);
}

INSTANTIATE_TEST_SUITE_P(Dsp, FlushGuard,
                         ::testing::Values(StartState{"Default", false, FE_TONEAREST},
                                           StartState{"FlushAlreadyOn", true, FE_TONEAREST},
                                           StartState{"RoundTowardZero", false, FE_TOWARDZERO}),
                         [](const ::testing::TestParamInfo<StartState>& state) {
                           return std::string(state.param.what);
                         });

// Inside the crusher a subnormal input counts as zero: the processed output is exactly zero
// where without flushing it would be a tiny non-zero value.
TEST(Dsp, CrusherFlushesSubnormalInput) {
  tovrasat::Crusher c;
  c.setParams(1.0f, 0.0f, true, false);
  c.prepare(48000.0);
  std::vector<float> in(64, std::numeric_limits<float>::denorm_min() * 1000.0f);
  std::vector<float> out(64, 1.0f);
  const float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out.data(), out.data()};
  c.process(ins, outs, 64);
  for (const float y : out) EXPECT_EQ(y, 0.0f);
}

#endif

}  // namespace
