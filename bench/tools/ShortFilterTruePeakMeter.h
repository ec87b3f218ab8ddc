// ShortFilterTruePeakMeter.h: the true-peak meter with a 48-tap Blackman filter and no parabola,
// raced beside tools::TruePeakMeter in bench_tools.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace bench {

// The true peak as ITU-R BS.1770 defines it: the largest absolute value of the signal
// interpolated at four times its rate, through a 48-tap (12 per phase) windowed-sinc filter whose
// phase 0 passes the samples themselves. A stretch is interpolated only when its samples times the
// filter's largest gain could pass the peak found so far, so the result is that of interpolating
// everything at a fraction of the cost (music rarely comes near its own peak).
// Threads: one caller at a time.
class ShortFilterTruePeakMeter {
 public:
  static constexpr size_t kTaps = 12;  // per phase

  void Reset(int channels);
  // frames from channels[c][0..frames).
  void Add(const float* const* channels, size_t frames);
  // Linear (1 is 0 dBTP); 0 before any sound.
  double Peak() const { return mPeak; }

 private:
  void Interpolate(const float* x, size_t from, size_t to);

  std::vector<std::vector<float>>
      mHistory;  // per channel: the last kTaps - 1 samples, then the block
  double mPeak = 0.0;
};

}  // namespace bench
