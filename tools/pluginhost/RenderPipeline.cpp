// RenderPipeline.cpp: the chunk loop, with a FIFO of whole blocks at the oversampled rate.
#include "tools/pluginhost/RenderPipeline.h"

#include "tools/audiofile/AudioReader.h"
#include "tools/audiofile/Resampler.h"
#include "tools/meters/MeterThread.h"
#include "tools/pluginhost/LatencyCompensation.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tools {
namespace {

using Channels = std::vector<std::vector<float>>;

float Peak(const Channels& channels, size_t from, size_t frames, float peak) {
  for (const std::vector<float>& channel : channels)
    for (size_t i = from; i < from + frames; ++i) peak = std::max(peak, std::fabs(channel[i]));
  return peak;
}

float Peak(const float* const* channels, size_t nc, size_t frames, float peak) {
  for (size_t c = 0; c < nc; ++c)
    for (size_t i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(channels[c][i]));
  return peak;
}

std::vector<const float*> Pointers(const Channels& channels) {
  std::vector<const float*> p;
  for (const std::vector<float>& channel : channels) p.push_back(channel.data());
  return p;
}

std::vector<float*> Pointers(Channels& channels) {
  std::vector<float*> p;
  for (std::vector<float>& channel : channels) p.push_back(channel.data());
  return p;
}

// The oversampled stages: up, render in whole blocks, down, write.
class Oversampled {
 public:
  // latency: drops the frames at the file's rate that the plug-in's latency puts in front.
  Oversampled(PluginHost& plugin, AudioWriter& out, size_t channels, RenderTotals& totals,
              MeterThread& meters, LatencyCompensation& latency)
      : mPlugin(plugin),
        mOut(out),
        mTotals(totals),
        mMeters(meters),
        mHigh(channels),
        mRendered(channels),
        mLow(channels),
        mLatency(latency) {}

  bool Open(double rate, int factor, std::string& error) {
    const int nc = static_cast<int>(mHigh.size());
    return mUp.Open(rate, rate * factor, nc, error) && mDown.Open(rate * factor, rate, nc, error);
  }

  bool Push(const float* const* channels, size_t frames, std::string& error) {
    return mUp.Process(channels, frames, mHigh, error) && Render(false, error);
  }

  bool Finish(std::string& error) {
    if (!mUp.Flush(mHigh, error) || !Render(true, error) || !mDown.Flush(mLow, error) ||
        !Emit(error))
      return false;
    // The converters give back as many frames as went in; should they fall short, silence
    // keeps the promise of an output as long as the input.
    if (mWritten < mTotals.frames) {
      for (std::vector<float>& channel : mLow) channel.assign(mTotals.frames - mWritten, 0.0f);
      return Emit(error);
    }
    return true;
  }

 private:
  // Renders the whole blocks gathered (at the end, everything) and passes them down.
  bool Render(bool last, std::string& error) {
    const size_t block = mPlugin.Block();
    const size_t have = mHigh[0].size();
    const size_t n = last ? have : have / block * block;
    if (n == 0) return Emit(error);
    for (std::vector<float>& channel : mRendered) channel.resize(n);
    if (!mPlugin.Process(Pointers(std::as_const(mHigh)).data(), Pointers(mRendered).data(), n,
                         error))
      return false;
    for (std::vector<float>& channel : mHigh)
      channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(n));
    return mDown.Process(Pointers(std::as_const(mRendered)).data(), n, mLow, error) && Emit(error);
  }

  // Writes what came down, after the frames to skip, never past the input's length.
  bool Emit(std::string& error) {
    const size_t drop = mLatency.TakeSkip(mLow[0].size());
    if (drop > 0) {
      for (std::vector<float>& channel : mLow)
        channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(drop));
    }
    const size_t n = std::min(mLow[0].size(), mTotals.frames - mWritten);
    if (n > 0) {
      const std::vector<const float*> low = Pointers(std::as_const(mLow));
      if (!mOut.Write(low.data(), n, error)) return false;
      mTotals.peakOut = Peak(mOut.Written(), mLow.size(), n, mTotals.peakOut);
      mMeters.Add(mTotals.loudnessOut, mOut.Written(), n);
      mWritten += n;
    }
    for (std::vector<float>& channel : mLow) channel.clear();
    return true;
  }

  PluginHost& mPlugin;
  AudioWriter& mOut;
  RenderTotals& mTotals;
  MeterThread& mMeters;
  Resampler mUp, mDown;
  Channels mHigh;      // up-sampled input not yet rendered (less than a block between calls)
  Channels mRendered;  // the plug-in's output at the high rate
  Channels mLow;       // back at the file's rate, not yet written
  LatencyCompensation& mLatency;
  size_t mWritten = 0;
};

}  // namespace

bool RenderPipeline::Run(PluginHost& plugin, AudioReader& in, AudioWriter& out,
                         const PipelineOptions& options, const Progress& progress,
                         RenderReport& report, RenderTotals& totals, std::string& error) {
  totals.frames = 0;
  totals.peakIn = totals.peakOut = 0.0f;
  if (options.measureIn) totals.loudnessIn.Open(in.NChannels(), in.SampleRate());
  if (options.measureOut) totals.loudnessOut.Open(in.NChannels(), in.SampleRate());
  const int oversample = options.oversample;
  const auto nc = static_cast<size_t>(in.NChannels());
  const size_t block = plugin.Block();
  // A quarter of a second per read, in whole blocks, so the unit sees the block boundaries of
  // one long call.
  const size_t chunk =
      std::max<size_t>(1, static_cast<size_t>(in.SampleRate() / 4.0) / block) * block;
  const long long hint = in.FramesHint();
  const size_t total = hint > 0 ? static_cast<size_t>(hint) : 0;
  size_t latencyFrames = 0;
  if (!plugin.LatencyFrames(in.SampleRate(), latencyFrames, error)) return false;
  LatencyCompensation latency(latencyFrames);
  Channels input(nc, std::vector<float>(chunk));
  Channels output(oversample > 1 ? 0 : nc, std::vector<float>(chunk));
  MeterThread meters({&totals.loudnessIn, &totals.loudnessOut});
  Oversampled high(plugin, out, nc, totals, meters, latency);
  if (oversample > 1 && !high.Open(in.SampleRate(), oversample, error)) return false;
  plugin.SetIdleTicks(options.idleTicks);
  if (!plugin.Start(report, error)) return false;
  bool ok = true;
  bool inputEnded = false;
  for (;;) {
    size_t got = 0;
    if (!inputEnded) {
      ok = in.Read(Pointers(input).data(), chunk, got, error);
      if (!ok) break;
      inputEnded = got < chunk;
    }
    // The silence goes in the same chunk as the input's end, so only the last call holds a part
    // of a block.
    const size_t silence = inputEnded ? latency.TakeSilence(chunk - got) : 0;
    for (std::vector<float>& channel : input)
      std::fill_n(channel.begin() + static_cast<std::ptrdiff_t>(got), silence, 0.0f);
    const size_t frames = got + silence;
    if (frames == 0) break;
    totals.peakIn = Peak(input, 0, got, totals.peakIn);
    totals.frames += got;
    const std::vector<const float*> from = Pointers(std::as_const(input));
    meters.Add(totals.loudnessIn, from.data(), got);
    if (options.inGain != 1.0f)
      for (std::vector<float>& channel : input)
        for (size_t i = 0; i < got; ++i) channel[i] *= options.inGain;
    if (oversample > 1) {
      ok = high.Push(from.data(), frames, error);
    } else {
      ok = plugin.Process(from.data(), Pointers(output).data(), frames, error);
      const size_t drop = latency.TakeSkip(frames);
      std::vector<const float*> kept = Pointers(std::as_const(output));
      for (const float*& channel : kept) channel += drop;
      if (ok && frames > drop) {
        ok = out.Write(kept.data(), frames - drop, error);
        if (ok) {
          totals.peakOut = Peak(out.Written(), nc, frames - drop, totals.peakOut);
          meters.Add(totals.loudnessOut, out.Written(), frames - drop);
        }
      }
    }
    if (!ok) break;
    // A header may understate the length: the bar then stays at its end rather than pass it.
    if (progress && got > 0)
      progress(totals.frames, total > 0 ? std::max(total, totals.frames) : 0);
    if (inputEnded && latency.SilenceFed()) break;
  }
  if (ok && oversample > 1) ok = high.Finish(error);
  plugin.Finish();
  meters.Finish();
  return ok;
}

bool RenderPipeline::MeasureFile(const std::string& path, RenderTotals& totals,
                                 std::string& error) {
  AudioReader file;
  if (!file.Open(path, error)) return false;
  const auto nc = static_cast<size_t>(file.NChannels());
  totals.peakOut = 0.0f;
  totals.loudnessOut = LoudnessMeter();
  totals.loudnessOut.Open(file.NChannels(), file.SampleRate());
  const auto chunk = static_cast<size_t>(std::max(1.0, file.SampleRate() / 4.0));
  Channels samples(nc, std::vector<float>(chunk));
  for (;;) {
    size_t got = 0;
    if (!file.Read(Pointers(samples).data(), chunk, got, error)) return false;
    if (got == 0) break;
    totals.peakOut = Peak(samples, 0, got, totals.peakOut);
    totals.loudnessOut.Add(Pointers(std::as_const(samples)).data(), got);
    if (got < chunk) break;
  }
  return true;
}

}  // namespace tools
