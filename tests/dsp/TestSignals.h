// The four kinds of stereo input the engine and crusher are raced and compared on (fixed seeds).
#pragma once

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace dsptest {

// noise: uniform white noise at -6 dBFS peak; every sample picks its own knee, clipper and
// limiter segment, so branches on them are coin tosses.
// hot: the same noise at +3 dBFS, loud enough that the limiter works on most samples.
// music: three sines per side and a little noise, peaking near -6 dBFS (predictable).
// silence: digital zeros.
enum class SignalKind { kNoise, kHot, kMusic, kSilence };

inline const char* signalName(SignalKind kind) {
  switch (kind) {
    case SignalKind::kNoise:
      return "noise";
    case SignalKind::kHot:
      return "hot";
    case SignalKind::kMusic:
      return "music";
    case SignalKind::kSilence:
      return "silence";
  }
  return "?";
}

inline constexpr SignalKind kAllSignals[] = {SignalKind::kNoise, SignalKind::kHot,
                                             SignalKind::kMusic, SignalKind::kSilence};

struct StereoSignal {
  std::vector<float> l;
  std::vector<float> r;
};

inline StereoSignal makeSignal(SignalKind kind, std::size_t frames, double rate = 48000.0) {
  StereoSignal s{std::vector<float>(frames), std::vector<float>(frames)};
  std::mt19937 rng(2024);
  switch (kind) {
    case SignalKind::kNoise:
    case SignalKind::kHot: {
      const float peak = kind == SignalKind::kNoise ? 0.5f : 1.41f;
      std::uniform_real_distribution<float> dist(-peak, peak);
      for (std::size_t i = 0; i < frames; ++i) {
        s.l[i] = dist(rng);
        s.r[i] = dist(rng);
      }
      break;
    }
    case SignalKind::kMusic: {
      std::uniform_real_distribution<double> noise(-0.02, 0.02);
      const double twoPi = 2.0 * 3.14159265358979323846;
      for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        s.l[i] = static_cast<float>(0.25 * std::sin(twoPi * 110.0 * t) +
                                    0.15 * std::sin(twoPi * 440.0 * t) +
                                    0.08 * std::sin(twoPi * 2500.0 * t) + noise(rng));
        s.r[i] = static_cast<float>(0.22 * std::sin(twoPi * 82.4 * t + 1.0) +
                                    0.17 * std::sin(twoPi * 660.0 * t) +
                                    0.08 * std::sin(twoPi * 3100.0 * t) + noise(rng));
      }
      break;
    }
    case SignalKind::kSilence:
      break;
  }
  return s;
}

}  // namespace dsptest
