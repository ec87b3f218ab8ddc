// The optimised engine and crusher against their step-for-step versions: same bits, same state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"
#include "tests/dsp/DspFixtures.h"
#include "tests/dsp/StraightCrusher.h"
#include "tests/dsp/StraightEngine.h"
#include "tests/dsp/TestSignals.h"

namespace {

// Noise with the occasional value that takes an unusual path: NaN, infinities, subnormals,
// exact zeros of both signs, and levels far above full scale.
std::vector<float> awkwardNoise(std::size_t n, std::mt19937& rng) {
  std::uniform_real_distribution<float> level(-1.2f, 1.2f);
  std::uniform_int_distribution<int> pick(0, 199);
  std::vector<float> v(n);
  for (float& x : v) {
    switch (pick(rng)) {
      case 0:
        x = std::numeric_limits<float>::quiet_NaN();
        break;
      case 1:
        x = std::numeric_limits<float>::infinity();
        break;
      case 2:
        x = -std::numeric_limits<float>::infinity();
        break;
      case 3:
        x = std::numeric_limits<float>::denorm_min() * 77.0f;
        break;
      case 4:
        x = -0.0f;
        break;
      case 5:
        x = 0.0f;
        break;
      case 6:
        x = 40.0f;
        break;
      default:
        x = level(rng);
        break;
    }
  }
  return v;
}

// The builds of the engine's settled loop this processor runs: SSE2 always, AVX2 where it has it.
std::vector<bool> settledLoopBuilds() {
  std::vector<bool> builds = {false};
#if TOVRASAT_ENGINE_AVX2_LOOP
  if (__builtin_cpu_supports("avx2")) builds.push_back(true);
#endif
  return builds;
}

// Selects one build of the settled loop for a scope.
class SettledLoopBuild {
 public:
  explicit SettledLoopBuild(bool avx2) : mSaved(cc::Engine::settledLoopUsesAvx2) {
    cc::Engine::settledLoopUsesAvx2 = avx2;
  }
  ~SettledLoopBuild() { cc::Engine::settledLoopUsesAvx2 = mSaved; }
  SettledLoopBuild(const SettledLoopBuild&) = delete;
  SettledLoopBuild& operator=(const SettledLoopBuild&) = delete;

 private:
  bool mSaved;
};

TEST(MatchesStraight, StartsWithTheWidestBuildTheProcessorRuns) {
  EXPECT_EQ(cc::Engine::settledLoopUsesAvx2, settledLoopBuilds().back());
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Every stage on, gain compensation on, every ramp moving (output down through zero and below).
TEST(MatchesStraight, EngineWithEveryStageAndRamp) {
  for (const bool phantom : {true, false}) {
    std::mt19937 rng(phantom ? 11u : 12u);
    cc::Engine fast = dsptest::voicedEngine(48000.0, 0.6, phantom);
    fast.filterOn = 1.0;
    fast.autoGain = true;
    fast.fastCount = 3000;
    fast.prepare(48000.0);
    cc::Engine slow = fast;
    std::uniform_int_distribution<int> blockSize(0, 700);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int block = 0; block < 60; ++block) {
      if (block % 5 == 0) {
        const auto ramp = [&](cc::Engine::Smoothed cc::Engine::*field, double target) {
          cc::Engine::Smoothed& a = fast.*field;
          a.target = target;
          a.step = (target - a.current) / 480.0;
          slow.*field = a;
        };
        ramp(&cc::Engine::cutoffSm, unit(rng));
        ramp(&cc::Engine::resonanceSm, unit(rng));
        ramp(&cc::Engine::driveSm, unit(rng) * 0.9);
        ramp(&cc::Engine::mixSm, unit(rng));
        ramp(&cc::Engine::outputSm, unit(rng) * 1.4 - 0.2);
      }
      const int n = blockSize(rng);
      std::vector<float> l = awkwardNoise(static_cast<std::size_t>(n), rng);
      std::vector<float> r = awkwardNoise(static_cast<std::size_t>(n), rng);
      std::vector<float> l2 = l;
      std::vector<float> r2 = r;
      fast.process(l.data(), r.data(), n);
      dsptest::straightEngineProcess(slow, l2.data(), r2.data(), n);
      ASSERT_TRUE(sameBits(l, l2)) << "block " << block;
      ASSERT_TRUE(sameBits(r, r2)) << "block " << block;
      ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast), dsptest::engineFields(slow)),
                "")
          << "block " << block;
    }
  }
}

// The crusher through random blocks and parameter changes at several rates: frequent changes
// keep the fades and glides moving; rare ones let them settle, which takes the steady-state loop.
struct Scenario {
  int changeOneIn;
  int blocks;

  friend void PrintTo(const Scenario& s, std::ostream* os) {
    *os << "each parameter changes once in " << s.changeOneIn << " blocks";
  }
};

class CrusherMatchesStraight : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrusherMatchesStraight, ThroughParameterChanges) {
  const Scenario scenario = GetParam();
  int settledBlocks = 0;
  for (const double rate : {22050.0, 44100.0, 48000.0, 96000.0}) {
    std::mt19937 rng(static_cast<unsigned>(rate) + static_cast<unsigned>(scenario.changeOneIn));
    auto fast = std::make_unique<tovrasat::Crusher>();
    auto slow = std::make_unique<tovrasat::Crusher>();
    fast->setParams(0.24f, 0.0f, true, false);
    slow->setParams(0.24f, 0.0f, true, false);
    fast->prepare(rate);
    slow->prepare(rate);
    std::uniform_int_distribution<int> blockSize(-2, 1300);
    std::uniform_int_distribution<int> change(0, scenario.changeOneIn - 1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    float gain = 0.24f;
    float trim = 0.0f;
    bool phantom = true;
    bool bypass = false;
    for (int block = 0; block < scenario.blocks; ++block) {
      if (change(rng) == 0) gain = unit(rng);
      if (change(rng) == 0) trim = unit(rng) * 36.0f - 24.0f;
      if (change(rng) == 0) phantom = !phantom;
      if (change(rng) == 0) bypass = !bypass;
      fast->setParams(gain, trim, phantom, bypass);
      slow->setParams(gain, trim, phantom, bypass);
      const int n = blockSize(rng);
      const std::size_t frames = static_cast<std::size_t>(std::max(n, 0));
      const std::vector<float> l = awkwardNoise(frames, rng);
      const std::vector<float> r = awkwardNoise(frames, rng);
      std::vector<float> fl(frames), fr(frames), sl(frames), sr(frames);
      const float* ins[2] = {l.data(), r.data()};
      float* fastOuts[2] = {fl.data(), fr.data()};
      float* slowOuts[2] = {sl.data(), sr.data()};
      fast->process(ins, fastOuts, n);
      dsptest::straightCrusherProcess(*slow, ins, slowOuts, n);
      ASSERT_TRUE(sameBits(fl, sl)) << rate << " block " << block;
      ASSERT_TRUE(sameBits(fr, sr)) << rate << " block " << block;
      ASSERT_EQ(
          dsptest::differingFields(dsptest::crusherFields(*fast), dsptest::crusherFields(*slow)),
          "")
          << block;
      ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast->engine),
                                         dsptest::engineFields(slow->engine)),
                "")
          << block;
      const double trimTarget = std::pow(10.0, fast->trimDb * 0.05);
      if (fast->trimGain + fast->trimCoef * (trimTarget - fast->trimGain) == fast->trimGain) {
        ++settledBlocks;
      }
      if (block % 4 == 0) {
        fast->peak.exchange(0.0f);
        slow->peak.exchange(0.0f);
        fast->clip.exchange(false);
        slow->clip.exchange(false);
      }
    }
  }
  if (scenario.changeOneIn > 100) {
    EXPECT_GT(settledBlocks, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(MatchesStraight, CrusherMatchesStraight,
                         ::testing::Values(Scenario{10, 150}, Scenario{400, 500}),
                         [](const ::testing::TestParamInfo<Scenario>& s) {
                           return "ChangeOneIn" + std::to_string(s.param.changeOneIn);
                         });

// Every kind of signal, the host's common block sizes, steady and with Gain automated on every
// block (a new mix ramp and the fast gain-compensation time constants each time), for both limiter
// detectors; three seconds, so the 2.5 s of fast time constants also run out. Output bits and the
// whole end state must agree after every block.
struct SignalCase {
  dsptest::SignalKind kind;
  int frames;
  bool automated;

  friend void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << dsptest::signalName(c.kind) << ", " << c.frames << " frames, "
        << (c.automated ? "automated" : "steady");
  }
};

std::vector<SignalCase> allSignalCases() {
  std::vector<SignalCase> cases;
  for (const dsptest::SignalKind kind : dsptest::kAllSignals) {
    for (const int frames : {512, 64}) {
      for (const bool automated : {false, true}) cases.push_back({kind, frames, automated});
    }
  }
  return cases;
}

std::string signalCaseName(const ::testing::TestParamInfo<SignalCase>& info) {
  return std::string(dsptest::signalName(info.param.kind)) + std::to_string(info.param.frames) +
         (info.param.automated ? "Automated" : "Steady");
}

constexpr double kSignalRate = 48000.0;
constexpr std::size_t kSignalFrames = 3 * 48000;

class EngineOnSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(EngineOnSignals, MatchesStraight) {
  const SignalCase c = GetParam();
  const dsptest::StereoSignal in = dsptest::makeSignal(c.kind, kSignalFrames, kSignalRate);
  for (const bool avx2 : settledLoopBuilds())
    for (const bool phantom : {true, false}) {
      const SettledLoopBuild build(avx2);
      SCOPED_TRACE(::testing::Message() << (avx2 ? "AVX2" : "SSE2") << ", 48V " << phantom);
      cc::Engine fast = dsptest::voicedEngine(kSignalRate, 0.24, phantom);
      cc::Engine slow = fast;
      std::vector<float> l = in.l;
      std::vector<float> r = in.r;
      std::vector<float> l2 = in.l;
      std::vector<float> r2 = in.r;
      for (std::size_t offset = 0, block = 0; offset < kSignalFrames;
           offset += static_cast<std::size_t>(c.frames), ++block) {
        // What the crusher's intake does on a Gain change.
        if (c.automated || block == 0) {
          const double gain = block % 2 == 0 ? 0.6 : 0.24;
          for (cc::Engine* e : {&fast, &slow}) dsptest::changeGain(*e, gain, kSignalRate);
        }
        const int n = static_cast<int>(std::min<std::size_t>(c.frames, kSignalFrames - offset));
        fast.process(l.data() + offset, r.data() + offset, n);
        dsptest::straightEngineProcess(slow, l2.data() + offset, r2.data() + offset, n);
        ASSERT_EQ(std::memcmp(l.data() + offset, l2.data() + offset, sizeof(float) * n), 0)
            << "block " << block;
        ASSERT_EQ(std::memcmp(r.data() + offset, r2.data() + offset, sizeof(float) * n), 0)
            << "block " << block;
        ASSERT_EQ(
            dsptest::differingFields(dsptest::engineFields(fast), dsptest::engineFields(slow)), "")
            << "block " << block;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(MatchesStraight, EngineOnSignals, ::testing::ValuesIn(allSignalCases()),
                         signalCaseName);

class CrusherOnSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(CrusherOnSignals, MatchesStraight) {
  const SignalCase c = GetParam();
  const dsptest::StereoSignal in = dsptest::makeSignal(c.kind, kSignalFrames, kSignalRate);
  for (const bool avx2 : settledLoopBuilds())
    for (const bool phantom : {true, false}) {
      const SettledLoopBuild build(avx2);
      SCOPED_TRACE(::testing::Message() << (avx2 ? "AVX2" : "SSE2") << ", 48V " << phantom);
      auto fast = std::make_unique<tovrasat::Crusher>();
      auto slow = std::make_unique<tovrasat::Crusher>();
      for (tovrasat::Crusher* crusher : {fast.get(), slow.get()}) {
        crusher->setParams(0.24f, 0.0f, phantom, false);
        crusher->prepare(kSignalRate);
      }
      std::vector<float> fl(kSignalFrames), fr(kSignalFrames), sl(kSignalFrames), sr(kSignalFrames);
      for (std::size_t offset = 0, block = 0; offset < kSignalFrames;
           offset += static_cast<std::size_t>(c.frames), ++block) {
        // Steady: the defaults all through, apart from a trim of -3 dB at the first block (its
        // glide settles within the first second). Automated: Gain changes on every block.
        const float gain = c.automated && block % 2 == 0 ? 0.6f : 0.24f;
        const float trim = block == 0 ? 0.0f : -3.0f;
        fast->setParams(gain, trim, phantom, false);
        slow->setParams(gain, trim, phantom, false);
        const int n = static_cast<int>(std::min<std::size_t>(c.frames, kSignalFrames - offset));
        const float* ins[2] = {in.l.data() + offset, in.r.data() + offset};
        float* fastOuts[2] = {fl.data() + offset, fr.data() + offset};
        float* slowOuts[2] = {sl.data() + offset, sr.data() + offset};
        fast->process(ins, fastOuts, n);
        dsptest::straightCrusherProcess(*slow, ins, slowOuts, n);
        ASSERT_EQ(std::memcmp(fastOuts[0], slowOuts[0], sizeof(float) * n), 0) << "block " << block;
        ASSERT_EQ(std::memcmp(fastOuts[1], slowOuts[1], sizeof(float) * n), 0) << "block " << block;
        ASSERT_EQ(
            dsptest::differingFields(dsptest::crusherFields(*fast), dsptest::crusherFields(*slow)),
            "")
            << "block " << block;
        ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast->engine),
                                           dsptest::engineFields(slow->engine)),
                  "")
            << "block " << block;
        if (block % 8 == 0) {
          fast->peak.exchange(0.0f);
          slow->peak.exchange(0.0f);
          fast->clip.exchange(false);
          slow->clip.exchange(false);
        }
      }
    }
}

INSTANTIATE_TEST_SUITE_P(MatchesStraight, CrusherOnSignals, ::testing::ValuesIn(allSignalCases()),
                         signalCaseName);

// The crusher on double-precision channels against narrowing to float, the straightforward
// crusher and widening back: the signals with a little below float resolution added, and doubles
// that narrow to subnormal floats (which a bypassed block must pass through unchanged), through
// Gain, trim and Bypass changes and long settled stretches (rare changes), in place and not.
TEST_P(CrusherOnSignals, DoubleChannelsMatchStraight) {
  const SignalCase c = GetParam();
  const dsptest::StereoSignal in = dsptest::makeSignal(c.kind, kSignalFrames, kSignalRate);
  std::vector<double> l(kSignalFrames), r(kSignalFrames);
  for (std::size_t i = 0; i < kSignalFrames; ++i) {
    l[i] = in.l[i] + 1e-12 * static_cast<double>(i % 7);
    r[i] = i % 97 == 0 ? -3e-41 * static_cast<double>(i % 5) : static_cast<double>(in.r[i]);
  }
  for (const bool avx2 : settledLoopBuilds())
    for (const bool inPlace : {false, true}) {
      const SettledLoopBuild build(avx2);
      SCOPED_TRACE(::testing::Message() << (avx2 ? "AVX2" : "SSE2") << ", in place " << inPlace);
      auto fast = std::make_unique<tovrasat::Crusher>();
      auto slow = std::make_unique<tovrasat::Crusher>();
      for (tovrasat::Crusher* crusher : {fast.get(), slow.get()}) {
        crusher->setParams(0.24f, 0.0f, true, false);
        crusher->prepare(kSignalRate);
      }
      std::vector<double> fl(kSignalFrames), fr(kSignalFrames);
      std::vector<float> nl(kSignalFrames), nr(kSignalFrames), sl(kSignalFrames), sr(kSignalFrames);
      if (inPlace) {
        fl = l;
        fr = r;
      }
      for (std::size_t offset = 0, block = 0; offset < kSignalFrames;
           offset += static_cast<std::size_t>(c.frames), ++block) {
        // A change every 40 blocks: the glides settle in between, except when automated.
        const std::size_t phase = (block / 40) % 4;
        const float gain = c.automated && block % 2 == 0 ? 0.6f : 0.24f;
        const float trim = phase == 1 ? -6.0f : 0.0f;
        const bool bypass = phase == 2;
        fast->setParams(gain, trim, phase != 3, bypass);
        slow->setParams(gain, trim, phase != 3, bypass);
        const int n = static_cast<int>(std::min<std::size_t>(c.frames, kSignalFrames - offset));
        const double* ins[2] = {inPlace ? fl.data() + offset : l.data() + offset,
                                inPlace ? fr.data() + offset : r.data() + offset};
        double* outs[2] = {fl.data() + offset, fr.data() + offset};
        fast->process(ins, outs, n);
        for (int i = 0; i < n; ++i) {
          nl[offset + i] = static_cast<float>(l[offset + i]);
          nr[offset + i] = static_cast<float>(r[offset + i]);
        }
        const float* slowIns[2] = {nl.data() + offset, nr.data() + offset};
        float* slowOuts[2] = {sl.data() + offset, sr.data() + offset};
        dsptest::straightCrusherProcess(*slow, slowIns, slowOuts, n);
        for (int i = 0; i < n; ++i) {
          const double wideL = sl[offset + i];
          const double wideR = sr[offset + i];
          ASSERT_EQ(std::memcmp(&fl[offset + i], &wideL, sizeof(double)), 0) << "block " << block;
          ASSERT_EQ(std::memcmp(&fr[offset + i], &wideR, sizeof(double)), 0) << "block " << block;
        }
        ASSERT_EQ(
            dsptest::differingFields(dsptest::crusherFields(*fast), dsptest::crusherFields(*slow)),
            "")
            << "block " << block;
        ASSERT_EQ(dsptest::differingFields(dsptest::engineFields(fast->engine),
                                           dsptest::engineFields(slow->engine)),
                  "")
            << "block " << block;
      }
    }
}

// Inputs on, just below and just above every place where the chain changes its formula or its
// result is cut: the knee's and the clipper's joins, the limiter's threshold (as the input that
// reaches it after knee and clipper), the clamp at 0.9999 and the meter's clip level 0.9998 (at
// Gain 0 the engine passes the input through), full scale, and the special values.
std::vector<float> edgeValues() {
  std::vector<float> centres = {0.0f, 0.5f, 1.0f, 0.9998f, 0.9999f, 40.0f};
  const double t1 = 0.75 / 1.9;
  centres.push_back(static_cast<float>(t1));
  centres.push_back(static_cast<float>(0.5 / 1.9));  // knee output at the clipper's join
  // The input whose knee and clipper output is the limiter's threshold t (bisection on the curve).
  const auto shaped = [t1](double x) {
    const double k = x <= t1 ? 1.9 * x : 0.75 + 0.25 * (x - t1) / (1.0 - t1);
    const double r = (1.0 - k) / 0.5;
    return k <= 0.5 ? 1.2 * k : 1.0 - 0.4 * (r * r);
  };
  double lo = 0.3;
  double hi = 1.0;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    (shaped(mid) < 0.9109273 ? lo : hi) = mid;
  }
  centres.push_back(static_cast<float>(lo));

  std::vector<float> values;
  for (const float centre : centres) {
    float below = centre;
    float above = centre;
    values.push_back(centre);
    for (int step = 0; step < 3; ++step) {
      below = std::nextafter(below, -1.0f);
      above = std::nextafter(above, 2.0f * above + 1.0f);
      values.push_back(below);
      values.push_back(above);
    }
  }
  const float specials[] = {
      std::numeric_limits<float>::quiet_NaN(),  std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
      std::numeric_limits<float>::min() * 0.5f, std::numeric_limits<float>::max()};
  values.insert(values.end(), std::begin(specials), std::end(specials));
  const std::size_t positives = values.size();
  for (std::size_t i = 0; i < positives; ++i) values.push_back(-values[i]);
  return values;
}

// The edge values, each held for three frames on the left against a changing right side (so
// limiter gains repeat exactly and the envelope meets its level), then in a shuffled order.
dsptest::StereoSignal edgeSignal() {
  const std::vector<float> v = edgeValues();
  dsptest::StereoSignal s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    for (int hold = 0; hold < 3; ++hold) {
      s.l.push_back(v[i]);
      s.r.push_back(v[(i * 7 + static_cast<std::size_t>(hold)) % v.size()]);
    }
  }
  std::vector<float> shuffled = v;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
  for (std::size_t i = 0; i < shuffled.size(); ++i) {
    s.l.push_back(shuffled[i]);
    s.r.push_back(shuffled[(i + 1) % shuffled.size()]);
  }
  return s;
}

TEST(MatchesStraight, EdgeValues) {
  const dsptest::StereoSignal in = edgeSignal();
  const int n = static_cast<int>(in.l.size());
  for (const bool avx2 : settledLoopBuilds())
    for (const bool phantom : {true, false}) {
      const SettledLoopBuild build(avx2);
      for (const float gain : {0.0f, 0.24f, 1.0f}) {
        SCOPED_TRACE(::testing::Message()
                     << (avx2 ? "AVX2" : "SSE2") << ", 48V " << phantom << ", gain " << gain);
        cc::Engine fast = dsptest::voicedEngine(kSignalRate, gain, phantom);
        cc::Engine slow = fast;
        for (int pass = 0; pass < 2; ++pass) {  // the first pass also sets up the limiter
          std::vector<float> l = in.l, r = in.r, l2 = in.l, r2 = in.r;
          fast.process(l.data(), r.data(), n);
          dsptest::straightEngineProcess(slow, l2.data(), r2.data(), n);
          EXPECT_TRUE(sameBits(l, l2));
          EXPECT_TRUE(sameBits(r, r2));
          EXPECT_EQ(
              dsptest::differingFields(dsptest::engineFields(fast), dsptest::engineFields(slow)),
              "");
        }

        for (const bool bypass : {false, true}) {
          auto fastC = std::make_unique<tovrasat::Crusher>();
          auto slowC = std::make_unique<tovrasat::Crusher>();
          for (tovrasat::Crusher* crusher : {fastC.get(), slowC.get()}) {
            crusher->setParams(gain, 0.0f, phantom, bypass);
            crusher->prepare(kSignalRate);
          }
          std::vector<float> fl(in.l.size()), fr(in.l.size()), sl(in.l.size()), sr(in.l.size());
          const float* ins[2] = {in.l.data(), in.r.data()};
          float* fastOuts[2] = {fl.data(), fr.data()};
          float* slowOuts[2] = {sl.data(), sr.data()};
          for (int pass = 0; pass < 2; ++pass) {
            fastC->process(ins, fastOuts, n);
            dsptest::straightCrusherProcess(*slowC, ins, slowOuts, n);
            EXPECT_TRUE(sameBits(fl, sl)) << "bypass " << bypass;
            EXPECT_TRUE(sameBits(fr, sr)) << "bypass " << bypass;
            EXPECT_EQ(dsptest::differingFields(dsptest::crusherFields(*fastC),
                                               dsptest::crusherFields(*slowC)),
                      "");
          }
        }
      }
    }
}

}  // namespace
