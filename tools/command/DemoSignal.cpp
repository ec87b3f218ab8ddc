// DemoSignal.cpp: kick, snare and hats, a bass line and pad chords, mixed and scaled to the demo
// peak.
#include "tools/command/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tools {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kBeat = 0.5;  // seconds at 120 bpm

// xorshift32: the same noise everywhere, unlike std:: distributions.
struct Noise {
  uint32_t state = 0x9E3779B9u;
  double Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

double NoteHz(int midi) {
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// A band-limited-enough sawtooth from its first harmonics (the demo need not be alias-free, but
// should not whistle).
double Saw(double phase, int harmonics) {
  double s = 0.0;
  for (int k = 1; k <= harmonics; ++k) s += std::sin(kTwoPi * phase * k) / k;
  return s * (2.0 / std::numbers::pi);
}

}  // namespace

AudioFile DemoSignal::Make(double sampleRate) {
  AudioFile file;
  if (!(sampleRate >= 8000.0)) return file;
  file.sampleRate = sampleRate;
  const auto frames = static_cast<size_t>(kSeconds * sampleRate);
  file.channels.assign(2, std::vector<float>(frames));
  std::vector<float>& left = file.channels[0];
  std::vector<float>& right = file.channels[1];

  // Roots of the four bars (A minor, F, C, G) for the bass, and their triads for the chords.
  const int roots[4] = {45, 41, 48, 43};
  const int thirds[4] = {3, 4, 4, 4};
  Noise noise;
  double hatState = 0.0;
  double bassPhase = 0.0;
  double chordPhase[3] = {0.0, 0.0, 0.0};
  std::vector<double> mixL(frames), mixR(frames);
  double peak = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const int bar = std::min(3, static_cast<int>(t / (4 * kBeat)));
    const double inBeat = std::fmod(t, kBeat);
    const int beat = static_cast<int>(t / kBeat) % 4;

    // Kick on every beat: a falling sine with a fast click.
    const double kickPitch = 45.0 + 90.0 * std::exp(-inBeat * 30.0);
    const double kick = std::sin(kTwoPi * kickPitch * inBeat) * std::exp(-inBeat * 7.0);
    // Snare on beats 2 and 4: noise and a body tone.
    const double n = noise.Next();
    const double snare = (beat % 2 == 1) ? (0.7 * n + 0.4 * std::sin(kTwoPi * 185.0 * inBeat)) *
                                               std::exp(-inBeat * 18.0)
                                         : 0.0;
    // Hats on the eighths: noise minus its smoothed self, a crude high-pass.
    const double inEighth = std::fmod(t, kBeat / 2.0);
    hatState += 0.3 * (n - hatState);
    const double hat = (n - hatState) * std::exp(-inEighth * 60.0);
    // Bass on the eighths, root and octave alternating.
    const int eighth = static_cast<int>(t / (kBeat / 2.0));
    const int bassNote = roots[bar] - 12 + ((eighth % 2 == 1) ? 12 : 0);
    bassPhase = std::fmod(bassPhase + NoteHz(bassNote) / sampleRate, 1.0);
    const double bass = Saw(bassPhase, 8) * (0.35 + 0.65 * std::exp(-inEighth * 10.0));
    // Chords held for a bar, swelling in.
    const double inBar = std::fmod(t, 4 * kBeat);
    const int chordNotes[3] = {roots[bar] + 12, roots[bar] + 12 + thirds[bar], roots[bar] + 19};
    double chord[3];
    for (int k = 0; k < 3; ++k) {
      chordPhase[k] = std::fmod(
          chordPhase[k] + NoteHz(chordNotes[k]) * (1.0 + 0.002 * (k - 1)) / sampleRate, 1.0);
      chord[k] = Saw(chordPhase[k], 5) * (1.0 - std::exp(-inBar * 6.0));
    }

    const double centre = 1.0 * kick + 0.55 * snare + 0.5 * bass;
    mixL[i] = centre + 0.18 * hat + 0.16 * (chord[0] + 0.7 * chord[1] + 0.4 * chord[2]);
    mixR[i] = centre + 0.28 * hat + 0.16 * (0.4 * chord[0] + 0.7 * chord[1] + chord[2]);
    peak = std::max({peak, std::fabs(mixL[i]), std::fabs(mixR[i])});
  }
  const double scale = peak > 0.0 ? kPeak / peak : 0.0;
  for (size_t i = 0; i < frames; ++i) {
    left[i] = static_cast<float>(mixL[i] * scale);
    right[i] = static_cast<float>(mixR[i] * scale);
  }
  return file;
}

}  // namespace tools
