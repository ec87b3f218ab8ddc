// KWeighting.h: the two biquads of the loudness pre-filter (a high shelf, then a high-pass) for
// any sample rate.
#pragma once

namespace tools {

// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
struct Biquad {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// ITU-R BS.1770 gives the K-weighting only as coefficients at 48 kHz. Each biquad is taken back to
// its analogue prototype, H(s') = (n2 s'^2 + n1 s' + n0) / (s'^2 + s'/Q + 1) with s' = s / w0,
// through the bilinear transform prewarped at its own corner w0 (that is, s' = (z - 1) / (K (z +
// 1)) with K = tan(w0 / 2 fs)), and brought forward again at the rate asked for. At 48 kHz that
// gives the standard's figures back; at other rates the corners and gains stay where the analogue
// filter has them (shelf near 1682 Hz, +4 dB; high-pass near 38 Hz, Q 0.5). The high-pass keeps
// the standard's numerator 1 - 2/z + 1/z^2 at every rate, as the common meters do (libebur128,
// ffmpeg's ebur128): its pass band then reads 1 + K/Q + K^2 rather than the 48 kHz figure, which
// lifts the loudness by 0.05 LU at 22.05 kHz and 0.47 LU at 4 kHz against the analogue filter,
// and keeps the figures comparable with theirs.
class KWeighting {
 public:
  static Biquad Shelf(double sampleRate);
  static Biquad HighPass(double sampleRate);

  // The shelf's corner (Hz). At a rate of twice that or less it lies at or past the Nyquist
  // frequency, the filter cannot be built, and K-weighted loudness is not defined.
  static double ShelfCorner();
  static bool Defined(double sampleRate) { return sampleRate > 2.0 * ShelfCorner(); }

  // The standard's own coefficients at 48 kHz.
  static constexpr Biquad kShelf48k{1.53512485958697, -2.69169618940638, 1.19839281085285,
                                    -1.69065929318241, 0.73248077421585};
  static constexpr Biquad kHighPass48k{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
};

}  // namespace tools
