// RenderPipeline.cpp: the chunk loop, with a FIFO of whole blocks at the oversampled rate.
#include "tools/pluginhost/RenderPipeline.h"

#include "tools/audiofile/Resampler.h"
#include "tools/meters/MeterThread.h"

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
  Oversampled(PluginHost& plugin, AudioWriter& out, size_t channels, RenderTotals& totals,
              MeterThread& meters)
      : mPlugin(plugin),
        mOut(out),
        mTotals(totals),
        mMeters(meters),
        mHigh(channels),
        mRendered(channels),
        mLow(channels) {}

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

  // Writes what came down, never past the input's length.
  bool Emit(std::string& error) {
    const size_t n = std::min(mLow[0].size(), mTotals.frames - mWritten);
    if (n > 0) {
      mTotals.peakOut = Peak(mLow, 0, n, mTotals.peakOut);
      const std::vector<const float*> low = Pointers(std::as_const(mLow));
      mMeters.Add(mTotals.loudnessOut, low.data(), n);
      if (!mOut.Write(low.data(), n, error)) return false;
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
  Channels input(nc, std::vector<float>(chunk));
  Channels output(oversample > 1 ? 0 : nc, std::vector<float>(chunk));
  MeterThread meters({&totals.loudnessIn, &totals.loudnessOut});
  Oversampled high(plugin, out, nc, totals, meters);
  if (oversample > 1 && !high.Open(in.SampleRate(), oversample, error)) return false;
  if (!plugin.Start(report, error)) return false;
  bool ok = true;
  for (;;) {
    size_t got = 0;
    ok = in.Read(Pointers(input).data(), chunk, got, error);
    if (!ok || got == 0) break;
    totals.peakIn = Peak(input, 0, got, totals.peakIn);
    totals.frames += got;
    const std::vector<const float*> from = Pointers(std::as_const(input));
    meters.Add(totals.loudnessIn, from.data(), got);
    if (options.inGain != 1.0f)
      for (std::vector<float>& channel : input)
        for (size_t i = 0; i < got; ++i) channel[i] *= options.inGain;
    if (oversample > 1) {
      ok = high.Push(from.data(), got, error);
    } else {
      ok = plugin.Process(from.data(), Pointers(output).data(), got, error);
      if (ok) {
        totals.peakOut = Peak(output, 0, got, totals.peakOut);
        const std::vector<const float*> rendered = Pointers(std::as_const(output));
        meters.Add(totals.loudnessOut, rendered.data(), got);
        ok = out.Write(rendered.data(), got, error);
      }
    }
    if (!ok) break;
    // A header may understate the length: the bar then stays at its end rather than pass it.
    if (progress) progress(totals.frames, total > 0 ? std::max(total, totals.frames) : 0);
    if (got < chunk) break;
  }
  if (ok && oversample > 1) ok = high.Finish(error);
  plugin.Finish();
  meters.Finish();
  return ok;
}

}  // namespace tools
