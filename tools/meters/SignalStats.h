// SignalStats.h: peak, RMS and crest factor of a whole multichannel signal.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace tools {

// Over every sample of every channel: peak = max |x|, rms = sqrt(mean x^2), in double.
struct SignalStats {
  double peak = 0.0;
  double rms = 0.0;

  // signal: anything holding its samples as channels, a vector of float vectors (an AudioFile).
  template <typename Signal>
  static SignalStats Measure(const Signal& signal) {
    return MeasureChannels(signal.channels);
  }
  static SignalStats MeasureChannels(const std::vector<std::vector<float>>& channels) {
    SignalStats s;
    double sum = 0.0;
    std::size_t count = 0;
    for (const std::vector<float>& channel : channels) {
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
