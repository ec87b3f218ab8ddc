// tovrasat::Crusher: the processing chain around the engine (voicing, trim, bypass, metering).
#pragma once

#include <atomic>

#include "dsp/Engine.h"

namespace tovrasat {

// Runs the engine in runs of at most 256 frames with denormals flushed, then per frame:
//
//   bypass  b += 12 ms one-pole towards B (0 processed, 1 dry), snapped to B within 1e-6
//   trim    trimGain += 25 ms one-pole towards 10^(trimDb / 20)
//   wet     w = float(trimGain · e)                       e: engine output
//   meter   peak = max |w| (after the trim), clip when |e| >= 0.9998 (before it)
//   out     w when b = 0, dry when b = 1, else float(w·(1 − b) + dry·b)
//
// Gain and 48V changes reach the engine in `setParams`: Gain as a 10 ms ramp of the mix, 48V at
// once; either switches the engine's gain compensation to its fast time constants for 2.5 s.
//
// Threads: `setParams`, `prepare` and `process` on one thread at a time (the render thread, or
// the main thread while not rendering); `peak` and `clip` are shared with the main thread,
// which exchanges them with 0 and false. `renderPeak` and `renderClip` hold the same readings for
// a reader on the render thread itself (meters that must follow the audio, not a clock), so
// neither reader takes what the other has not seen.
class Crusher {
 public:
  // The fixed engine settings that give the plug-in its sound.
  struct Voicing {
    double shaperOn = 1.0;
    double kneeDrive = 0.09;
    double clipDrive = 0.05;
    double filterOn = 0.0;
    double cutoff = 0.34;
    double resonance = 0.04;
    double limiterOn = 1.0;
    double limiterDrive = 0.08;
    double enabled = 1.0;
    double output = 1.0;
  };

  Voicing voicing;
  cc::Engine engine;
  float gain = 1.0f;
  float trimDb = 0.0f;
  bool phantomOn = false;
  bool bypassOn = false;
  double sampleRate = 44100.0;
  double bypassCoef = 0.0;
  double trimCoef = 0.0;
  double bypassMix = 0.0;
  double trimGain = 1.0;
  float lastGain = 1.0f;
  bool lastPhantom = false;
  // Threads: raised (compare-and-swap, relaxed) and set by the render thread; taken with an
  // exchange by the main thread, so a peak raised after a read waits for the next one.
  std::atomic<float> peak{0.0f};
  std::atomic<bool> clip{false};
  // Threads: render only; raised with `peak` and `clip`, taken by `takeRenderReadings`.
  float renderPeak = 0.0f;
  bool renderClip = false;

  static_assert(std::atomic<float>::is_always_lock_free);
  static_assert(std::atomic<bool>::is_always_lock_free);

  // The longest run handed to the engine at once; the scratch buffers hold one run.
  static constexpr int kRunFrames = 256;

  // Parameter intake: gain 0..1, trim in dB, the 48V and Bypass switches. A gain or trim that is
  // not a finite number (or a trim too large for a finite gain) is ignored and the previous
  // value kept, so one bad value cannot leave a NaN in the ramps for good.
  // Threads: render thread, or main thread while not rendering.
  void setParams(float newGain, float newTrimDb, bool phantom, bool bypass) noexcept;

  // Resets the whole chain for a sample rate and snaps every ramp to its target. A rate that is
  // not a finite positive number is refused: returns false and changes nothing.
  // Threads: main thread while not rendering (or the render thread between blocks).
  bool prepare(double rate) noexcept;

  // Processes nFrames of input channels 0 and 1 into output channels 0 and 1 (in place is fine).
  // Does nothing for nFrames < 1 or a null pointer. Allocates nothing, takes no lock, makes no
  // system call and throws nothing.
  // Threads: render thread.
  void process(const float* const* inputs, float* const* outputs, int nFrames) noexcept;

  // The same for double-precision channels, with results exactly those of narrowing the input to
  // float, `process` on floats and widening the result (conversions with the caller's
  // floating-point settings), without the copies where the chain is settled. Threads: render.
  void process(const double* const* inputs, double* const* outputs, int nFrames) noexcept;

  // The largest peak and whether a clip came since the last call, then clears both. Leaves
  // `peak` and `clip` alone. Threads: render (or main while not rendering).
  void takeRenderReadings(float& peakOut, bool& clipOut) noexcept;

  // Raises the shared peak (compare-and-swap, relaxed) and sets the clip flag, and the same for
  // the render-thread readings; for a chain that runs the crusher's steps itself (HQ).
  // Threads: render.
  void publish(float localPeak, bool localClip) noexcept;

 private:
  // True when bypass fade, trim glide (towards trimTarget, 10^(trimDb / 20)) and engine are
  // settled, so the block can run as one loop.
  bool settled(double trimTarget) const noexcept;
  // The whole block in one loop; Sample is float, or double when not bypassed.
  template <class Sample>
  void processSettled(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int nFrames,
                      float& localPeak, bool& localClip) noexcept;
};

}  // namespace tovrasat
