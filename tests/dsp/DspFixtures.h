// Shared helpers of the dsp tests: the voiced engine, test signals and field-by-field state dumps.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dsp/Crusher.h"
#include "dsp/Engine.h"

namespace dsptest {

// An engine with the plug-in's voicing written out here, independently of the crusher's copy.
inline cc::Engine voicedEngine(double rate, double mix, bool phantom) {
  cc::Engine e;
  e.shaperOn = 1.0;
  e.kneeDrive = 0.09;
  e.clipDrive = 0.05;
  e.filterOn = 0.0;
  e.cutoff = 0.34;
  e.resonance = 0.04;
  e.limiterOn = 1.0;
  e.limiterDrive = 0.08;
  e.enabled = 1.0;
  e.output = 1.0;
  e.mix = mix;
  e.phantom = phantom ? 1.0 : 0.0;
  e.prepare(rate);
  return e;
}

// What the crusher's intake does to its engine when Gain moves: the new mix, a fast stretch of
// 2.5 s, and the 10 ms mix ramp from where it stands.
inline void changeGain(cc::Engine& e, double gain, double rate) {
  e.mix = gain;
  e.fastCount = cc::Engine::samplesIn(2.5, rate);
  e.mixSm.target = gain;
  e.mixSm.step = (gain - e.mixSm.current) / (rate * 0.01);
}

// Uniform noise scaled to a peak of about -6 dBFS, fixed seed.
inline std::vector<float> noise(std::size_t n, unsigned seed, float peak = 0.5f) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-peak, peak);
  std::vector<float> v(n);
  for (float& x : v) x = dist(rng);
  return v;
}

inline std::vector<float> sine(std::size_t n, double freq, double rate, double amplitude) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    v[i] = static_cast<float>(
        amplitude * std::sin(2.0 * 3.14159265358979323846 * freq * static_cast<double>(i) / rate));
  }
  return v;
}

using FieldDump = std::vector<std::pair<std::string, std::uint64_t>>;

// A double's bit pattern, with every NaN folded into one: which of two NaN operands an
// instruction passes on depends on the operand order the compiler picked for a commutative
// operation, so NaN payloads are not part of what two implementations can agree on.
inline std::uint64_t bitsOf(double v) {
  return std::isnan(v) ? 0x7ff8000000000000u : std::bit_cast<std::uint64_t>(v);
}

// Every field of the engine as name and bit pattern, so -0.0 and NaN are told from 0.0.
inline FieldDump engineFields(const cc::Engine& e) {
  FieldDump f;
  const auto add = [&f](const std::string& name, double v) { f.emplace_back(name, bitsOf(v)); };
  const auto addSm = [&add](const std::string& name, const cc::Engine::Smoothed& s) {
    add(name + ".current", s.current);
    add(name + ".target", s.target);
    add(name + ".step", s.step);
  };
  const auto addCoefs = [&add](const std::string& name, const cc::Engine::LowpassCoefs& c) {
    add(name + ".b0", c.b0);
    add(name + ".b1", c.b1);
    add(name + ".b2", c.b2);
    add(name + ".a1", c.a1);
    add(name + ".a2", c.a2);
  };
  const auto addState = [&add](const std::string& name, const cc::Engine::LowpassState& s) {
    add(name + ".x1", s.x1);
    add(name + ".x2", s.x2);
    add(name + ".y1", s.y1);
    add(name + ".y2", s.y2);
  };
  add("shaperOn", e.shaperOn);
  add("kneeDrive", e.kneeDrive);
  add("clipDrive", e.clipDrive);
  add("filterOn", e.filterOn);
  add("cutoff", e.cutoff);
  add("resonance", e.resonance);
  add("limiterOn", e.limiterOn);
  add("limiterDrive", e.limiterDrive);
  add("phantom", e.phantom);
  add("enabled", e.enabled);
  add("mix", e.mix);
  add("output", e.output);
  f.emplace_back("autoGain", e.autoGain ? 1u : 0u);
  add("sampleRate", e.sampleRate);
  add("envRise", e.envRise);
  add("envFall", e.envFall);
  add("recoverySamples", e.recoverySamples);
  addCoefs("lpCoefL", e.lpCoefL);
  addState("lpStateL", e.lpStateL);
  addCoefs("lpCoefR", e.lpCoefR);
  addState("lpStateR", e.lpStateR);
  add("levelEnv", e.levelEnv);
  add("levelGain", e.levelGain);
  add("levelGainStep", e.levelGainStep);
  add("levelRise", e.levelRise);
  add("levelFall", e.levelFall);
  add("levelRecoverySamples", e.levelRecoverySamples);
  addSm("mixSm", e.mixSm);
  addSm("outputSm", e.outputSm);
  addSm("driveSm", e.driveSm);
  addSm("cutoffSm", e.cutoffSm);
  addSm("resonanceSm", e.resonanceSm);
  add("limGain", e.limGain);
  add("limCurve", e.limCurve);
  add("limThreshold", e.limThreshold);
  add("lastDrive", e.lastDrive);
  add("lastCutoff", e.lastCutoff);
  add("lastResonance", e.lastResonance);
  add("inEnergy", e.inEnergy);
  add("outEnergy", e.outEnergy);
  add("makeup", e.makeup);
  add("energyCoefSlow", e.energyCoefSlow);
  add("makeupCoefSlow", e.makeupCoefSlow);
  add("energyCoefFast", e.energyCoefFast);
  add("makeupCoefFast", e.makeupCoefFast);
  f.emplace_back("fastCount", static_cast<std::uint64_t>(e.fastCount));
  add("limEnv", e.limEnv);
  add("limGainNow", e.limGainNow);
  add("limGainStep", e.limGainStep);
  return f;
}

// The crusher's own fields (the engine is dumped separately).
inline FieldDump crusherFields(const tovrasat::Crusher& c) {
  FieldDump f;
  const auto add = [&f](const std::string& name, double v) { f.emplace_back(name, bitsOf(v)); };
  add("gain", c.gain);
  add("trimDb", c.trimDb);
  f.emplace_back("phantomOn", c.phantomOn ? 1u : 0u);
  f.emplace_back("bypassOn", c.bypassOn ? 1u : 0u);
  add("sampleRate", c.sampleRate);
  add("bypassCoef", c.bypassCoef);
  add("trimCoef", c.trimCoef);
  add("bypassMix", c.bypassMix);
  add("trimGain", c.trimGain);
  add("lastGain", c.lastGain);
  f.emplace_back("lastPhantom", c.lastPhantom ? 1u : 0u);
  add("peak", c.peak.load());
  f.emplace_back("clip", c.clip.load() ? 1u : 0u);
  return f;
}

// Names of the fields whose bits differ, empty when the dumps agree.
inline std::string differingFields(const FieldDump& a, const FieldDump& b) {
  std::string names;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) names += a[i].first + " ";
  }
  if (a.size() != b.size()) names += "(different field counts)";
  return names;
}

}  // namespace dsptest
