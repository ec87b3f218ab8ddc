// RenderPipeline.h: a file streamed through the plug-in a chunk at a time: read, optionally
// resampled up, rendered, resampled back down, written.
#pragma once

#include "tools/audiofile/AudioReader.h"
#include "tools/audiofile/AudioWriter.h"
#include "tools/meters/LoudnessMeter.h"
#include "tools/pluginhost/PluginHost.h"

#include <functional>

namespace tools {

// What went through a render.
struct RenderTotals {
  size_t frames = 0;     // at the file's rate, in and out alike
  float peakIn = 0.0f;   // max |x| over every input sample
  float peakOut = 0.0f;  // max |x| over every sample as the output file holds it
  // Loudness of the file as read (before --in-gain) and of the samples as the output file holds
  // them (AudioWriter::Written: after dither and clipping; for a lossy file, before encoding
  // until MeasureFile decodes it); unmeasured, both meters stay closed.
  LoudnessMeter loudnessIn, loudnessOut;
};

// How a file goes through.
struct PipelineOptions {
  int oversample = 1;   // 1, or the factor the plug-in's rate is above the file's
  float inGain = 1.0f;  // linear gain on the input before the plug-in, like a host's clip gain
  // Integrated loudness and true peak of the input and of the output: together about a quarter of
  // the render's CPU time, so only what will be shown is measured.
  bool measureIn = true;
  bool measureOut = true;
  // The plug-in's idle timer pumped for the meter figures of the report (off: they are unknown,
  // and the render saves a system call per tick).
  bool idleTicks = true;
};

// Memory holds a quarter of a second of audio per stage (four of them read ahead, four waiting
// to be written), whatever the file's length.
// Threads: the caller's runs the plug-in; the file is read ahead, and the input measured, on a
// thread of its own; the output is written behind, one chunk after the other so the bytes are
// those of writing in line, and measured, on another. Each measures the samples it has just
// handled, so no audio is copied or handed over for it. Both end before Run returns, and the
// reader, the writer and the meters are the caller's again.
class RenderPipeline {
 public:
  // framesTotal 0: the length is unknown (a pipe).
  using Progress = std::function<void(size_t framesDone, size_t framesTotal)>;

  // plugin must be prepared for in's channels at options.oversample times in's rate. With
  // oversample 1 the plug-in sees the file's own samples (times inGain); above, it runs at the
  // higher rate between two libsoxr converters, and the output still has exactly as many frames as
  // the input. The latency the plug-in reports is taken back: the output lines up with the input.
  static bool Run(PluginHost& plugin, AudioReader& in, AudioWriter& out,
                  const PipelineOptions& options, const Progress& progress, RenderReport& report,
                  RenderTotals& totals, std::string& error);

  // The output's figures (peakOut, loudnessOut) taken again from the finished file at path, as a
  // player decodes it: for a lossy file, whose codec changes the samples Run measured. False,
  // with a text, when it cannot be read; the figures are then incomplete.
  static bool MeasureFile(const std::string& path, RenderTotals& totals, std::string& error);
};

}  // namespace tools
