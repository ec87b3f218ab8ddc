// tovrasat::Crusher: parameter intake, preparation and the block loop.
#include "dsp/Crusher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "dsp/EngineSettledLoop.h"
#include "dsp/ScopedFlushDenormals.h"
#include "dsp/StereoDouble.h"

namespace tovrasat {
namespace {

constexpr double kFastSeconds = 2.5;
constexpr double kClipLevel = 0.9998;

double trimToGain(float db) {
  return std::pow(10.0, db * 0.05);
}

double onePole(double rate, double tau) {
  return 1.0 - std::exp(-1.0 / (rate * tau));
}

}  // namespace

void Crusher::setParams(float newGain, float newTrimDb, bool phantom, bool bypass) noexcept {
  if (std::isfinite(newGain)) gain = newGain;
  // trimDb always holds a trim with a finite gain, so an equal one needs no power of ten.
  if (newTrimDb == trimDb || std::isfinite(trimToGain(newTrimDb))) trimDb = newTrimDb;
  phantomOn = phantom;
  bypassOn = bypass;

  if (gain != lastGain) {
    engine.mix = gain;
    engine.fastCount = cc::Engine::samplesIn(kFastSeconds, engine.sampleRate);
    if (engine.mixSm.target != gain) {
      engine.mixSm.target = gain;
      engine.mixSm.step = (gain - engine.mixSm.current) / (engine.sampleRate * 0.01);
    }
    lastGain = gain;
  }

  if (phantomOn != lastPhantom) {
    engine.phantom = phantomOn ? 1.0 : 0.0;
    engine.fastCount = cc::Engine::samplesIn(kFastSeconds, engine.sampleRate);
    lastPhantom = phantomOn;
  }
}

bool Crusher::prepare(double rate) noexcept {
  if (!(rate > 0.0) || !std::isfinite(rate)) return false;
  sampleRate = rate;

  engine = cc::Engine{};
  engine.shaperOn = voicing.shaperOn;
  engine.kneeDrive = voicing.kneeDrive;
  engine.clipDrive = voicing.clipDrive;
  engine.filterOn = voicing.filterOn;
  engine.cutoff = voicing.cutoff;
  engine.resonance = voicing.resonance;
  engine.limiterOn = voicing.limiterOn;
  engine.limiterDrive = voicing.limiterDrive;
  engine.enabled = voicing.enabled;
  engine.output = voicing.output;
  engine.phantom = phantomOn ? 1.0 : 0.0;
  engine.mix = gain;

  engine.prepare(rate);
  engine.snapParams();

  bypassCoef = onePole(rate, 0.012);
  trimCoef = onePole(rate, 0.025);
  bypassMix = bypassOn ? 1.0 : 0.0;
  trimGain = trimToGain(trimDb);
  lastGain = gain;
  lastPhantom = phantomOn;
  return true;
}

void Crusher::process(const float* const* inputs, float* const* outputs, int nFrames) noexcept {
  const ScopedFlushDenormals flushDenormals;
  if (nFrames < 1 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
      inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) {
    return;
  }

  const float* inL = inputs[0];
  const float* inR = inputs[1];
  float* outL = outputs[0];
  float* outR = outputs[1];

  const double bypassTarget = bypassOn ? 1.0 : 0.0;
  // trimDb only changes between blocks, so its power of ten is the same on every sample.
  const double trimTarget = trimToGain(trimDb);

  float localPeak = 0.0f;
  bool localClip = false;

  // Settled, the whole block runs as one loop: engine, trim, meter and output per frame, with no
  // scratch copy and no run boundaries (the settled engine has no per-call state the runs could
  // show). The tests compare it with the one-frame-at-a-time definition bit for bit.
  if (settled(trimTarget)) {
    processSettled(inL, inR, outL, outR, nFrames, localPeak, localClip);
    publish(localPeak, localClip);
    return;
  }

  float scratchL[kRunFrames];
  float scratchR[kRunFrames];

  for (int offset = 0; offset < nFrames; offset += kRunFrames) {
    const int m = std::min(kRunFrames, nFrames - offset);
    std::memcpy(scratchL, inL + offset, sizeof(float) * static_cast<std::size_t>(m));
    std::memcpy(scratchR, inR + offset, sizeof(float) * static_cast<std::size_t>(m));
    engine.process(scratchL, scratchR, m);

    // The engine was not settled, but bypass and trim may be (or may have settled during the
    // block): then the run needs no one-pole updates.
    const bool runBypassSettled =
        bypassMix == bypassTarget &&
        bypassMix + bypassCoef * (bypassTarget - bypassMix) == bypassTarget;
    const bool runTrimSettled = trimGain + trimCoef * (trimTarget - trimGain) == trimGain;
    if (runBypassSettled && runTrimSettled) {
      const double g = trimGain;
      const bool dry = bypassTarget >= 1.0;
      float peakL = localPeak;
      float peakR = localPeak;
      float ceilL = 0.0f;
      float ceilR = 0.0f;
      for (int j = 0; j < m; ++j) {
        const float eL = scratchL[j];
        const float eR = scratchR[j];
        const float wL = static_cast<float>(g * eL);
        const float wR = static_cast<float>(g * eR);
        peakL = std::max(peakL, std::fabs(wL));
        peakR = std::max(peakR, std::fabs(wR));
        ceilL = std::max(ceilL, std::fabs(eL));
        ceilR = std::max(ceilR, std::fabs(eR));
        outL[offset + j] = dry ? inL[offset + j] : wL;
        outR[offset + j] = dry ? inR[offset + j] : wR;
      }
      localPeak = std::max(peakL, peakR);
      if (ceilL >= static_cast<float>(kClipLevel) || ceilR >= static_cast<float>(kClipLevel)) {
        localClip = true;
      }
      continue;
    }

    for (int j = 0; j < m; ++j) {
      const float dL = inL[offset + j];
      const float dR = inR[offset + j];
      const float eL = scratchL[j];
      const float eR = scratchR[j];

      double b = bypassMix + bypassCoef * (bypassTarget - bypassMix);
      if (std::fabs(b - bypassTarget) < 1e-6) b = bypassTarget;
      bypassMix = b;

      trimGain += trimCoef * (trimTarget - trimGain);

      const float wL = static_cast<float>(trimGain * eL);
      const float wR = static_cast<float>(trimGain * eR);
      localPeak = std::max({localPeak, std::fabs(wL), std::fabs(wR)});
      if (std::fabs(eL) >= static_cast<float>(kClipLevel) ||
          std::fabs(eR) >= static_cast<float>(kClipLevel)) {
        localClip = true;
      }

      float oL;
      float oR;
      if (b == 0.0) {
        // Exactly the wet sample: dry × 0 would bring a NaN or infinite input back.
        oL = wL;
        oR = wR;
      } else if (b < 1.0) {
        oL = static_cast<float>(wL * (1.0 - b) + static_cast<double>(dL) * b);
        oR = static_cast<float>(wR * (1.0 - b) + static_cast<double>(dR) * b);
      } else {
        oL = dL;
        oR = dR;
      }
      outL[offset + j] = oL;
      outR[offset + j] = oR;
    }
  }

  publish(localPeak, localClip);
}

void Crusher::process(const double* const* inputs, double* const* outputs, int nFrames) noexcept {
  if (nFrames < 1 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
      inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) {
    return;
  }
  const double* inL = inputs[0];
  const double* inR = inputs[1];
  double* outL = outputs[0];
  double* outR = outputs[1];

  // Settled and not bypassed, every output sample is a wet one computed under flush-to-zero, so
  // it is never a subnormal float, and narrowing and widening inside the loop give what the
  // conversions outside it would give. A bypassed block passes the dry input through, whose
  // conversions must keep subnormals: it takes the float path below.
  if (!bypassOn && settled(trimToGain(trimDb))) {
    const ScopedFlushDenormals flushDenormals;
    float localPeak = 0.0f;
    bool localClip = false;
    processSettled(inL, inR, outL, outR, nFrames, localPeak, localClip);
    publish(localPeak, localClip);
    return;
  }

  // In runs through float buffers, converted with the caller's floating-point settings.
  float chunkInL[kRunFrames];
  float chunkInR[kRunFrames];
  float chunkOutL[kRunFrames];
  float chunkOutR[kRunFrames];
  const float* const chunkIns[2] = {chunkInL, chunkInR};
  float* const chunkOuts[2] = {chunkOutL, chunkOutR};
  for (int offset = 0; offset < nFrames; offset += kRunFrames) {
    const int m = std::min(kRunFrames, nFrames - offset);
    for (int i = 0; i < m; ++i) chunkInL[i] = static_cast<float>(inL[offset + i]);
    for (int i = 0; i < m; ++i) chunkInR[i] = static_cast<float>(inR[offset + i]);
    process(chunkIns, chunkOuts, m);
    for (int i = 0; i < m; ++i) outL[offset + i] = chunkOutL[i];
    for (int i = 0; i < m; ++i) outR[offset + i] = chunkOutR[i];
  }
}

bool Crusher::settled(double trimTarget) const noexcept {
  // The bypass fade has snapped to its end and the trim glide can no longer move (its next step
  // rounds to nothing): every frame computes the same trim and the same mix.
  const double bypassTarget = bypassOn ? 1.0 : 0.0;
  const bool bypassSettled = bypassMix == bypassTarget &&
                             bypassMix + bypassCoef * (bypassTarget - bypassMix) == bypassTarget;
  const bool trimSettled = trimGain + trimCoef * (trimTarget - trimGain) == trimGain;
  return bypassSettled && trimSettled && engine.enabled >= 0.5 && engine.settled();
}

template <class Sample>
void Crusher::processSettled(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                             int nFrames, float& localPeak, bool& localClip) noexcept {
  // Per frame, on both channels at once, from the engine's clamped output o:
  //   e = float(o)              the engine's sample, as its float buffer would hold it
  //   w = float(trimGain · e)   the trimmed wet sample
  //   meter: peak = max |w|, ceiling = max |e| (clip when it reaches 0.9998)
  //   out = w, or the dry input exactly when bypassed
  using tovrasat::StereoDouble;
  const StereoDouble trim(trimGain);
  StereoDouble peakSoFar(static_cast<double>(localPeak));
  StereoDouble ceiling(0.0);
  const auto wet = [&](int i, StereoDouble out) {
    const StereoDouble e = out.roundedToFloat();
    const StereoDouble w = (trim * e).roundedToFloat();
    peakSoFar = StereoDouble::max(w.abs(), peakSoFar);  // std::max(peak, |w|)
    ceiling = StereoDouble::max(e.abs(), ceiling);
    w.store(outL + i, outR + i);
  };
  const auto dry = [&](int i, StereoDouble out) {
    const StereoDouble e = out.roundedToFloat();
    const StereoDouble w = (trim * e).roundedToFloat();
    peakSoFar = StereoDouble::max(w.abs(), peakSoFar);
    ceiling = StereoDouble::max(e.abs(), ceiling);
    outL[i] = inL[i];
    outR[i] = inR[i];
  };
  if constexpr (std::is_same_v<Sample, float>) {
    if (bypassOn) engine.processSettled(inL, inR, nFrames, dry);
  }
  if (!bypassOn) {
    engine.processSettled(inL, inR, nFrames, wet);
  }
  // Both are floats widened, never NaN (the engine's clamp sees to that), so the lanes can be
  // combined in any order.
  localPeak = static_cast<float>(peakSoFar.largerLane().left());
  localClip = ceiling.largerLane().left() >= static_cast<double>(static_cast<float>(kClipLevel));
}

void Crusher::publish(float localPeak, bool localClip) noexcept {
  float published = peak.load(std::memory_order_relaxed);
  while (localPeak > published &&
         !peak.compare_exchange_weak(published, localPeak, std::memory_order_relaxed,
                                     std::memory_order_relaxed)) {
  }
  if (localClip) clip.store(true, std::memory_order_relaxed);
  renderPeak = std::max(renderPeak, localPeak);
  renderClip = renderClip || localClip;
}

void Crusher::takeRenderReadings(float& peakOut, bool& clipOut) noexcept {
  peakOut = renderPeak;
  clipOut = renderClip;
  renderPeak = 0.0f;
  renderClip = false;
}

}  // namespace tovrasat
