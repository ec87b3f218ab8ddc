// cc::Engine: the stereo saturation chain (knee, filter and leveller, soft clipper, limiter, mix).
#pragma once

#include <cstdint>

// The settled loop has an AVX2 build, chosen at run time, where the compiler can target it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOVRASAT_ENGINE_AVX2_LOOP 1
#else
#define TOVRASAT_ENGINE_AVX2_LOOP 0
#endif

namespace cc {

// Works in place on two float buffers and computes every sample in double. Per sample, with
// a = |x| and the result multiplied by the sign of x in the two shaping stages:
//
//   knee      k1·a up to a = t1 = 0.75 / k1, then 0.75 + 0.25·(a − t1) / (1 − t1),
//             k1 = 1 + 10·kneeDrive (input 1.0 still gives 1.0)
//   low-pass  audio-cookbook resonant low-pass in direct form I, then a peak leveller that
//             pulls levels above 1.0 down at once and lets go over 7.5 s
//   clipper   k3·a up to a = t3 = 0.6 / k3, then 1 − 0.4·((1 − a) / (1 − t3))²,
//             k3 = 1 + 4·clipDrive (reaches 1.0 with zero slope at 1.0)
//   limiter   gain g up to the level t, (1 − k(1 − e)²) / e above it, t being where the line
//             g·x meets the parabola 1 − k(1 − x)²;
//             g = 1 / (1 − 0.99·d), k = 1 / (0.83066073 + 0.36946597·d)²
//   mix       o = P·(x + (w − x)·mix), P = output^2.737, then optional gain compensation
//   clamp     fmin(fmax(o, −0.9999), 0.9999)
//
// An input sample that is not a finite number (NaN, ±infinity) is read as 0.0 before any stage,
// so it leaves as silence (not a full-scale click) and leaves no trace in the state: the frames
// after it come out as if it had been 0.0. Finite input is untouched.
//
// With the crusher's voicing the shaped path has a small-signal gain of
// 1.9 × 1.2 × 1.0860 ≈ +7.9 dB. Slews and recovery lengths are per-second rates scaled by the
// sample rate, so every time constant is the same at every rate.
//
// The owner writes the parameters (first block of fields) directly between calls to `process`;
// everything after them is state that tests and the owner may read. A switch is on at 0.5 or more.
// Nothing here allocates, locks or throws; `prepare`, `snapParams`, parameter writes and `process`
// must not overlap.
class Engine {
 public:
  // A straight ramp that snaps at its target; the owner starts one by setting `target` and
  // `step` = (target − current) / (0.01 × sampleRate).
  struct Smoothed {
    double current = 0.0;
    double target = 0.0;
    double step = 0.0;

    // Moves one sample along the ramp.
    void tick() noexcept {
      if (current != target) {
        current += step;
        if ((step > 0.0 && current >= target) || (step < 0.0 && current <= target)) {
          current = target;
        }
      }
    }
  };

  // Low-pass coefficients with a0 normalised away; the defaults pass the signal through.
  struct LowpassCoefs {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
  };

  // Direct-form-I memory: the last two inputs and outputs.
  struct LowpassState {
    double x1 = 0.0;
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
  };

  // Parameters.
  double shaperOn = 0.0;
  double kneeDrive = 0.0;
  double clipDrive = 0.0;
  double filterOn = 0.0;
  double cutoff = 0.0;
  double resonance = 0.0;
  double limiterOn = 0.0;
  double limiterDrive = 0.0;
  double phantom = 0.0;
  double enabled = 0.0;
  double mix = 1.0;
  double output = 1.0;
  bool autoGain = false;

  // State and derived values.
  double sampleRate = 44100.0;
  double envRise = 0.0;
  double envFall = 0.0;
  double recoverySamples = 11.0;
  LowpassCoefs lpCoefL;
  LowpassState lpStateL;
  LowpassCoefs lpCoefR;
  LowpassState lpStateR;
  double levelEnv = 0.0;
  double levelGain = 1.0;
  double levelGainStep = 0.0;
  double levelRise = 0.0;
  double levelFall = 0.0;
  double levelRecoverySamples = 1.0;
  Smoothed mixSm;
  Smoothed outputSm;
  Smoothed driveSm;
  Smoothed cutoffSm;
  Smoothed resonanceSm;
  double limGain = 1.0;
  double limCurve = 1.0;
  double limThreshold = 1.0;
  double lastDrive = -1.0;
  double lastCutoff = -1.0;
  double lastResonance = -1.0;
  double inEnergy = 0.0;
  double outEnergy = 0.0;
  double makeup = 1.0;
  double energyCoefSlow = 0.0;
  double makeupCoefSlow = 0.0;
  double energyCoefFast = 0.0;
  double makeupCoefFast = 0.0;
  std::int64_t fastCount = 0;
  double limEnv = 0.0;
  double limGainNow = 1e30;
  double limGainStep = 0.0;

  // Sets the rate-dependent constants, clears every memory and snaps the ramps to the
  // parameters. A rate that is not a finite positive number is refused: returns false and
  // changes nothing.
  bool prepare(double rate) noexcept;

  // Snaps every ramp to its parameter and recomputes the filter and limiter constants from them.
  void snapParams() noexcept;

  // Processes n frames in place; does nothing when `enabled` is off, n < 1 or a pointer is null.
  void process(float* left, float* right, int n) noexcept;

  // True when a call can take the settled loop: knee and clipper on, filter and gain compensation
  // off (the plug-in's voicing), and every ramp but the mix's at its target with the constants
  // computed from it, so that nothing but the mix can move inside the call.
  bool settled() const noexcept;

  // The settled loop: the same results and end state as `process` would give, reading the input
  // from inL/inR and handing frame i's output (clamped, still in double) to sink(i, out); the
  // owner narrows and stores it, or works on with it. Double input is read as the float buffer
  // `process` works on would hold it (narrowed to float). Requires `enabled` on, n >= 1 and
  // settled(). Defined in dsp/EngineSettledLoop.h.
  template <class Sample, class Sink>
  void processSettled(const Sample* inL, const Sample* inR, int n, Sink& sink) noexcept;

  // Filter cut-off in Hz for a control value 0..1 at a sample rate.
  static double cutoffHz(double control, double rate) noexcept;

  // Samples in `seconds` at `rate`, truncated towards zero and saturated to the 64-bit range.
  static std::int64_t samplesIn(double seconds, double rate) noexcept;

  // Recomputes the low-pass coefficients of both channels from a cut-off and resonance control.
  void setLowpass(double cutoffControl, double resonanceControl) noexcept;

  // Recomputes limGain, limCurve and limThreshold from a drive value.
  void setLimiter(double drive) noexcept;

  enum class LimiterMode { kOff, kPeak, kEnvelope };

  // Whether the settled loop runs its AVX2 build (same bits, fewer instructions): set at start-up
  // from the processor's features; tests switch it to race and compare both builds.
  static bool settledLoopUsesAvx2;

  // The settled loop for one limiter mode (kFramePairs: its stateless passes two frames at a time,
  // for AVX2 only), and its builds for the baseline instruction set and for
  // AVX2 (dsp/EngineSettledLoop.h).
  template <LimiterMode kLimiter, bool kFramePairs, class Sample, class Sink>
  [[gnu::always_inline]] inline void settledLoop(const Sample* inL, const Sample* inR, int n,
                                                 Sink& sink) noexcept;
  template <LimiterMode kLimiter, class Sample, class Sink>
  void settledLoopBaseline(const Sample* inL, const Sample* inR, int n, Sink& sink) noexcept;
#if TOVRASAT_ENGINE_AVX2_LOOP
  template <LimiterMode kLimiter, class Sample, class Sink>
  [[gnu::target("avx2")]] void settledLoopAvx2(const Sample* inL, const Sample* inR, int n,
                                               Sink& sink) noexcept;
#endif

  // The limiter's gain for a level e with the current constants.
  double limiterGainFor(double e) const noexcept {
    if (e <= limThreshold) return limGain;
    const double d = 1.0 - e;
    return (1.0 - limCurve * (d * d)) / e;
  }
};

}  // namespace cc
