// DemoSignal.h: a built-in, deterministic demo mix (drums, bass, chords) peaking near full scale.
#pragma once

#include "tools/audiofile/AudioFile.h"

namespace tools {

class DemoSignal {
 public:
  static constexpr double kSeconds = 8.0;  // four bars at 120 beats per minute
  static constexpr double kPeak = 0.98;    // the loudest sample, linear

  // The same samples on every machine and every call: fixed-seed noise, no files, no clock.
  // Stereo, at the given rate; empty for a rate below 8 kHz.
  static AudioFile Make(double sampleRate = 48000.0);
};

}  // namespace tools
