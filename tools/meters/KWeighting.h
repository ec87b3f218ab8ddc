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
// filter has them (shelf near 1682 Hz, +4 dB; high-pass near 38 Hz, Q 0.5).
class KWeighting {
 public:
  static Biquad Shelf(double sampleRate);
  static Biquad HighPass(double sampleRate);

  // The standard's own coefficients at 48 kHz.
  static constexpr Biquad kShelf48k{1.53512485958697, -2.69169618940638, 1.19839281085285,
                                    -1.69065929318241, 0.73248077421585};
  static constexpr Biquad kHighPass48k{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
};

}  // namespace tools
