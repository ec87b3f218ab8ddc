// FramePairDouble's operations against the scalar IEEE operations, lane by lane, on awkward values.
#include "dsp/FramePairDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#if TOVRASAT_FRAME_PAIR

namespace {

using tovrasat::FramePairDouble;
using Lanes = std::array<double, 4>;

bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}

const std::vector<double>& awkwardValues() {
  using L = std::numeric_limits<double>;
  static const std::vector<double> values = {L::quiet_NaN(),
                                             -L::quiet_NaN(),
                                             0.0,
                                             -0.0,
                                             L::infinity(),
                                             -L::infinity(),
                                             L::denorm_min(),
                                             -L::denorm_min(),
                                             L::min(),
                                             -L::min() / 3.0,
                                             L::max(),
                                             -L::max(),
                                             1.0,
                                             -1.0,
                                             0.75,
                                             1e300,
                                             -1e-300,
                                             0.1,
                                             1.0 / 3.0,
                                             -0.9999,
                                             3.4028235677973366e38};
  return values;
}

enum class Op {
  kAdd,
  kSub,
  kMul,
  kDiv,
  kAbs,
  kFiniteOrZero,
  kWithSignOf,
  kLessEqual,
  kSelect,
  kRoundedToFloat
};

std::string opName(Op op) {
  static const char* const names[] = {"+",          "-",
                                      "*",          "/",
                                      "abs",        "finiteOrZero",
                                      "withSignOf", "lessEqual",
                                      "select",     "roundedToFloat"};
  return names[static_cast<int>(op)];
}

double maskBits(bool on) {
  return std::bit_cast<double>(on ? ~std::uint64_t{0} : std::uint64_t{0});
}

// What each lane must hold: the scalar operation on that lane's operands.
double scalarOp(Op op, double a, double b) {
  switch (op) {
    case Op::kAdd:
      return a + b;
    case Op::kSub:
      return a - b;
    case Op::kMul:
      return a * b;
    case Op::kDiv:
      return a / b;
    case Op::kAbs:
      return std::fabs(a);
    case Op::kFiniteOrZero:
      return std::isfinite(a) ? a : 0.0;
    case Op::kWithSignOf:
      return std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) ^
                                   (std::bit_cast<std::uint64_t>(b) & (std::uint64_t{1} << 63)));
    case Op::kLessEqual:
      return maskBits(a <= b);
    case Op::kSelect:
      return a <= b ? a : b;
    case Op::kRoundedToFloat:
      return static_cast<double>(static_cast<float>(a));
  }
  return 0.0;
}

[[gnu::target("avx2")]] Lanes pairOp(Op op, const Lanes& a, const Lanes& b) {
  const FramePairDouble x = FramePairDouble::load(a.data());
  const FramePairDouble y = FramePairDouble::load(b.data());
  FramePairDouble r(0.0);
  switch (op) {
    case Op::kAdd:
      r = x + y;
      break;
    case Op::kSub:
      r = x - y;
      break;
    case Op::kMul:
      r = x * y;
      break;
    case Op::kDiv:
      r = x / y;
      break;
    case Op::kAbs:
      r = x.abs();
      break;
    case Op::kFiniteOrZero:
      r = x.finiteOrZero();
      break;
    case Op::kWithSignOf:
      r = x.withSignOf(y);
      break;
    case Op::kLessEqual:
      r = FramePairDouble::lessEqual(x, y);
      break;
    case Op::kSelect:
      r = FramePairDouble::select(FramePairDouble::lessEqual(x, y), x, y);
      break;
    case Op::kRoundedToFloat:
      r = x.roundedToFloat();
      break;
  }
  Lanes out;
  r.store(out.data());
  return out;
}

// Equal bits; two NaNs count as equal (which operand's payload a NaN result carries is not
// something the engine relies on).
bool sameBits(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(FramePairDouble, EachOperationIsTheScalarOperationOnEveryLane) {
  if (!hasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  const std::vector<double>& v = awkwardValues();
  // Every ordered pair of the table, four to a register, so each value meets each other value in
  // every lane position over the run.
  std::vector<std::pair<double, double>> pairs;
  for (double a : v) {
    for (double b : v) pairs.emplace_back(a, b);
  }
  for (Op op : {Op::kAdd, Op::kSub, Op::kMul, Op::kDiv, Op::kAbs, Op::kFiniteOrZero,
                Op::kWithSignOf, Op::kLessEqual, Op::kSelect, Op::kRoundedToFloat}) {
    int mismatches = 0;
    for (std::size_t i = 0; i < pairs.size(); i += 4) {
      Lanes a{}, b{};
      for (std::size_t lane = 0; lane < 4; ++lane) {
        const auto& p = pairs[(i + lane) % pairs.size()];
        a[lane] = p.first;
        b[lane] = p.second;
      }
      const Lanes got = pairOp(op, a, b);
      for (std::size_t lane = 0; lane < 4; ++lane) {
        const double want = scalarOp(op, a[lane], b[lane]);
        if (!sameBits(got[lane], want) && ++mismatches <= 3) {
          ADD_FAILURE() << opName(op) << " lane " << lane << " of (" << a[lane] << ", " << b[lane]
                        << "): got " << got[lane] << ", want " << want;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << opName(op);
  }
}

[[gnu::target("avx2")]] Lanes framesFromFloats(const float* l, const float* r) {
  Lanes out;
  FramePairDouble::fromFloats(l, r).store(out.data());
  return out;
}
[[gnu::target("avx2")]] Lanes framesFromDoubles(const double* l, const double* r) {
  Lanes out;
  FramePairDouble::fromDoubles(l, r).store(out.data());
  return out;
}
[[gnu::target("avx2")]] std::array<double, 2> largerLanes(const Lanes& frames) {
  std::array<double, 2> out;
  FramePairDouble::load(frames.data()).storeLargerLanes(out.data());
  return out;
}
[[gnu::target("avx2")]] std::array<tovrasat::StereoDouble, 2> asStereo(const Lanes& frames) {
  std::array<tovrasat::StereoDouble, 2> out;
  FramePairDouble::load(frames.data()).store(out.data());
  return out;
}

// Two frames of two channels come in as (left, right, next left, next right), and each frame's
// larger lane is std::max(left, right), NaNs included.
TEST(FramePairDouble, FramesKeepTheirLanesAndTheLargerLaneIsStdMax) {
  if (!hasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  const std::vector<double>& v = awkwardValues();
  for (std::size_t i = 0; i < v.size(); ++i) {
    for (std::size_t j = 0; j < v.size(); ++j) {
      const double l[2] = {v[i], v[j]};
      const double r[2] = {v[j], -v[i]};
      const float lf[2] = {static_cast<float>(l[0]), static_cast<float>(l[1])};
      const float rf[2] = {static_cast<float>(r[0]), static_cast<float>(r[1])};
      const Lanes want = {l[0], r[0], l[1], r[1]};
      const Lanes fromD = framesFromDoubles(l, r);
      const Lanes fromF = framesFromFloats(lf, rf);
      const auto stereo = asStereo(want);
      const auto larger = largerLanes(want);
      for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(sameBits(fromD[k], want[k])) << i << ", " << j << " lane " << k;
        EXPECT_TRUE(sameBits(fromF[k], static_cast<double>(static_cast<float>(want[k]))))
            << i << ", " << j << " lane " << k;
      }
      for (int f = 0; f < 2; ++f) {
        EXPECT_TRUE(sameBits(stereo[f].left(), want[2 * f]) &&
                    sameBits(stereo[f].right(), want[2 * f + 1]))
            << i << ", " << j << " frame " << f;
        EXPECT_TRUE(sameBits(larger[f], std::max(want[2 * f], want[2 * f + 1])))
            << v[i] << ", " << v[j] << " frame " << f;
      }
    }
  }
}

}  // namespace

#endif
