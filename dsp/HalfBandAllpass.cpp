// tovrasat::HalfBandAllpass: the branch coefficients and the two polyphase loops.
#include "dsp/HalfBandAllpass.h"

namespace tovrasat {
namespace {

// From scripts/design-hq-filters.py: the a_k of the order-15 design, sorted, taken in turn.
constexpr std::array<double, HalfBandAllpass::kSections0> kCoefs0 = {
    0.029562077155316072, 0.23647140108504747, 0.54532416998827915, 0.8979367050031144};
constexpr std::array<double, HalfBandAllpass::kSections1> kCoefs1 = {
    0.11289276583795514, 0.38458051653958147, 0.71454256319881793};

// y[n] = a (x[n] − y[n − 1]) + x[n − 1]: the section (a + z⁻¹) / (1 + a z⁻¹).
template <std::size_t N>
inline double runBranch(const std::array<double, N>& coefs,
                        std::array<HalfBandAllpass::Section, N>& s, double x) noexcept {
  for (std::size_t k = 0; k < N; ++k) {
    const double y = coefs[k] * (x - s[k].out) + s[k].in;
    s[k].in = x;
    s[k].out = y;
    x = y;
  }
  return x;
}

}  // namespace

double HalfBandAllpass::upDelay() noexcept {
  // At DC a section (a + z⁻²) delays by 2 (1 − a) / (1 + a) samples; H's delay is the mean of
  // its two branches', the second one sample later.
  double branch0 = 0.0;
  for (const double a : kCoefs0) branch0 += 2.0 * (1.0 - a) / (1.0 + a);
  double branch1 = 1.0;
  for (const double a : kCoefs1) branch1 += 2.0 * (1.0 - a) / (1.0 + a);
  return 0.5 * (branch0 + branch1);
}

void HalfBandAllpass::reset() noexcept {
  mBranch0.fill(Section{});
  mBranch1.fill(Section{});
}

void HalfBandAllpass::up(const float* in, float* out, int n) noexcept {
  for (int i = 0; i < n; ++i) {
    const double x = in[i];
    out[2 * i] = static_cast<float>(runBranch(kCoefs0, mBranch0, x));
    out[2 * i + 1] = static_cast<float>(runBranch(kCoefs1, mBranch1, x));
  }
}

void HalfBandAllpass::down(const float* in, float* out, int n) noexcept {
  // Output i reads inputs 2i and 2i + 1 only, and is written after both: out may be in.
  for (int i = 0; i < n; ++i) {
    const double even = in[2 * i];
    const double odd = in[2 * i + 1];
    const double y = 0.5 * (runBranch(kCoefs0, mBranch0, odd) + runBranch(kCoefs1, mBranch1, even));
    out[i] = static_cast<float>(y);
  }
}

// The stereo loops work on local copies of the four branches' states: held in registers, each
// section's recursion waits only on its arithmetic, not on a store and a load.
void HalfBandAllpass::upStereo(HalfBandAllpass& left, HalfBandAllpass& right, const float* inL,
                               const float* inR, float* outL, float* outR, int n) noexcept {
  auto l0 = left.mBranch0;
  auto l1 = left.mBranch1;
  auto r0 = right.mBranch0;
  auto r1 = right.mBranch1;
  for (int i = 0; i < n; ++i) {
    const double xL = inL[i];
    const double xR = inR[i];
    outL[2 * i] = static_cast<float>(runBranch(kCoefs0, l0, xL));
    outR[2 * i] = static_cast<float>(runBranch(kCoefs0, r0, xR));
    outL[2 * i + 1] = static_cast<float>(runBranch(kCoefs1, l1, xL));
    outR[2 * i + 1] = static_cast<float>(runBranch(kCoefs1, r1, xR));
  }
  left.mBranch0 = l0;
  left.mBranch1 = l1;
  right.mBranch0 = r0;
  right.mBranch1 = r1;
}

void HalfBandAllpass::downStereo(HalfBandAllpass& left, HalfBandAllpass& right, const float* inL,
                                 const float* inR, float* outL, float* outR, int n) noexcept {
  auto l0 = left.mBranch0;
  auto l1 = left.mBranch1;
  auto r0 = right.mBranch0;
  auto r1 = right.mBranch1;
  for (int i = 0; i < n; ++i) {
    const double evenL = inL[2 * i];
    const double oddL = inL[2 * i + 1];
    const double evenR = inR[2 * i];
    const double oddR = inR[2 * i + 1];
    const double a0L = runBranch(kCoefs0, l0, oddL);
    const double a0R = runBranch(kCoefs0, r0, oddR);
    const double a1L = runBranch(kCoefs1, l1, evenL);
    const double a1R = runBranch(kCoefs1, r1, evenR);
    outL[i] = static_cast<float>(0.5 * (a0L + a1L));
    outR[i] = static_cast<float>(0.5 * (a0R + a1R));
  }
  left.mBranch0 = l0;
  left.mBranch1 = l1;
  right.mBranch0 = r0;
  right.mBranch1 = r1;
}

}  // namespace tovrasat
