// SignalStats.h: peak, RMS and crest factor of a whole multichannel signal.
#pragma once

#include "tools/audiofile/AudioFile.h"

#include <algorithm>
#include <cmath>

namespace tools {

// Over every sample of every channel: peak = max |x|, rms = sqrt(mean x^2), in double.
struct SignalStats {
  double peak = 0.0;
  double rms = 0.0;

  static SignalStats Measure(const AudioFile& file) {
    SignalStats s;
    double sum = 0.0;
    size_t count = 0;
    for (const std::vector<float>& channel : file.channels) {
      for (const float x : channel) {
        const double v = x;
        s.peak = std::max(s.peak, std::fabs(v));
        sum += v * v;
      }
      count += channel.size();
    }
    s.rms = count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
    return s;
  }

  // dBFS; silence reads -inf.
  static double Db(double linear) { return 20.0 * std::log10(linear); }
  double PeakDb() const { return Db(peak); }
  double RmsDb() const { return Db(rms); }
  // Peak over RMS in dB; 0 for silence rather than a NaN.
  double CrestDb() const { return rms > 0.0 ? PeakDb() - RmsDb() : 0.0; }
};

}  // namespace tools
