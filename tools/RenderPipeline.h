// RenderPipeline.h: a file streamed through the plug-in a chunk at a time: read, optionally
// resampled up, rendered, resampled back down, written.
#pragma once

#include "tools/AudioReader.h"
#include "tools/AudioWriter.h"
#include "tools/PluginHost.h"

#include <functional>

namespace tools {

// What went through a render.
struct RenderTotals {
  size_t frames = 0;     // at the file's rate, in and out alike
  float peakIn = 0.0f;   // max |x| over every input sample
  float peakOut = 0.0f;  // max |x| over every written sample (before quantisation)
};

// Memory holds a quarter of a second of audio per stage, whatever the file's length.
// Threads: main only.
class RenderPipeline {
 public:
  // framesTotal 0: the length is unknown (a pipe).
  using Progress = std::function<void(size_t framesDone, size_t framesTotal)>;

  // plugin must be prepared for in's channels at oversample times in's rate. With oversample 1
  // the plug-in sees the file's own samples; above, it runs at the higher rate between two
  // libsoxr converters, and the output still has exactly as many frames as the input.
  static bool Run(PluginHost& plugin, AudioReader& in, AudioWriter& out, int oversample,
                  const Progress& progress, RenderReport& report, RenderTotals& totals,
                  std::string& error);
};

}  // namespace tools
