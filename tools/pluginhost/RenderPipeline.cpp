// RenderPipeline.cpp: the chunk loop, with a FIFO of whole blocks at the oversampled rate.
#include "tools/pluginhost/RenderPipeline.h"

#include "tools/audiofile/AudioReader.h"
#include "tools/audiofile/Resampler.h"
#include "tools/pluginhost/LatencyCompensation.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
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

// A thread started with every signal blocked: they stay the main thread's to handle.
template <typename Body>
std::thread Quiet(Body body) {
  sigset_t all, old;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old);
  std::thread thread(std::move(body));
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return thread;
}

// A fixed set of buffers going round between two threads: the producer takes a free one, fills
// it and passes it on; the consumer takes the filled ones in order and gives them back. Both
// wait when there is nothing to take, so memory stays at the set's size.
// Waking a thread costs system calls and a task switch on each side, so a side is only woken when
// it waits, and then only once kBatch buffers are there for it (or the last one, or the close):
// the faster side runs ahead in bursts while the slower one never waits. With at least
// 2 kBatch - 1 buffers, one side always has enough to go on.
template <typename Buffer>
class Ring {
 public:
  static constexpr size_t kBatch = 2;

  explicit Ring(std::vector<Buffer> buffers) : mBuffers(std::move(buffers)) {
    for (Buffer& b : mBuffers) mFree.queue.push_back(&b);
  }
  // Null once Close was called.
  Buffer* TakeFree() { return Take(mFree); }
  Buffer* TakeFilled() { return Take(mFilled); }
  void PutFree(Buffer* b) { Put(mFree, b, false); }
  // last: no more will follow, so a waiting consumer is woken for this one.
  void PutFilled(Buffer* b, bool last = false) { Put(mFilled, b, last); }
  // Wakes both sides; the filled buffers are still taken before TakeFilled gives null.
  void Close() {
    {
      const std::lock_guard<std::mutex> lock(mMutex);
      mClosed = true;
    }
    mFree.changed.notify_all();
    mFilled.changed.notify_all();
  }

 private:
  struct Side {
    std::deque<Buffer*> queue;
    std::condition_variable changed;
    bool waiting = false;
    bool last = false;  // the last buffer is in the queue
  };

  Buffer* Take(Side& side) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (side.queue.empty() && !mClosed) {
      side.waiting = true;
      side.changed.wait(lock, [&] { return side.queue.size() >= kBatch || side.last || mClosed; });
      side.waiting = false;
    }
    if (side.queue.empty() || (mClosed && &side == &mFree)) return nullptr;
    Buffer* b = side.queue.front();
    side.queue.pop_front();
    return b;
  }
  void Put(Side& side, Buffer* b, bool last) {
    bool wake = false;
    {
      const std::lock_guard<std::mutex> lock(mMutex);
      side.queue.push_back(b);
      side.last = side.last || last;
      wake = side.waiting && (side.queue.size() >= kBatch || side.last);
    }
    // The woken thread finds the lock free.
    if (wake) side.changed.notify_one();
  }

  std::vector<Buffer> mBuffers;
  std::mutex mMutex;
  Side mFree, mFilled;
  bool mClosed = false;
};

// count buffers, each with its samples sized.
template <typename Buffer>
std::vector<Buffer> Buffers(size_t count, size_t channels, size_t frames) {
  std::vector<Buffer> buffers(count);
  for (Buffer& b : buffers) b.samples.assign(channels, std::vector<float>(frames));
  return buffers;
}

// The file read a few chunks ahead on a thread of its own, so that the kernel's copies, the
// de-interleaving and the input's measurement overlap the plug-in's work. The reader and the
// input's meter are touched by that thread alone until Stop.
class ReadAhead {
 public:
  struct Chunk {
    Channels samples;
    size_t got = 0;
    bool ok = true;
    std::string error;
  };

  // Each chunk is measured as read (before any gain), while its samples are still in the cache;
  // a closed meter measures nothing.
  ReadAhead(AudioReader& in, size_t channels, size_t frames, LoudnessMeter& measured)
      : mRing(Buffers<Chunk>(kChunks, channels, frames)) {
    mThread = Quiet([this, &in, frames, &measured] {
      for (;;) {
        Chunk* c = mRing.TakeFree();
        if (c == nullptr) return;
        c->got = 0;
        c->ok = in.Read(Pointers(c->samples).data(), frames, c->got, c->error);
        if (c->ok) measured.Add(Pointers(std::as_const(c->samples)).data(), c->got);
        const bool last = !c->ok || c->got < frames;
        mRing.PutFilled(c, last);
        if (last) return;
      }
    });
  }
  ~ReadAhead() { Stop(); }
  // No more reading, nor measuring: the thread is gone when this returns.
  void Stop() {
    if (!mThread.joinable()) return;
    mRing.Close();
    mThread.join();
  }
  // The next chunk, to be given back once used; the last one has got < frames or !ok.
  Chunk* Next() { return mRing.TakeFilled(); }
  void Done(Chunk* c) { mRing.PutFree(c); }

 private:
  static constexpr size_t kChunks = 4;
  Ring<Chunk> mRing;
  std::thread mThread;
};

// The plug-in's output written, and measured, a few chunks behind on a thread of its own. One
// thread writes, in order, so the file's bytes (dither included) are those of writing in line.
// The output's meter is that thread's until Finish.
class WriteBehind {
 public:
  struct Piece {
    Channels samples;
    size_t from = 0;    // frames dropped from the front (the plug-in's latency)
    size_t frames = 0;  // frames to write after them
  };

  WriteBehind(AudioWriter& out, RenderTotals& totals, size_t channels, size_t frames)
      : mCapacity(frames), mRing(Buffers<Piece>(kPieces, channels, frames)) {
    mThread = Quiet([this, &out, &totals, channels] {
      for (;;) {
        Piece* p = mRing.TakeFilled();
        if (p == nullptr) return;
        if (!mFailed.load()) {
          std::vector<const float*> kept = Pointers(std::as_const(p->samples));
          for (const float*& channel : kept) channel += p->from;
          if (out.Write(kept.data(), p->frames, mError)) {
            // The samples as the file holds them: for a float file, the piece itself.
            if (!totals.loudnessOut.IsOpen())
              totals.peakOut = Peak(out.Written(), channels, p->frames, totals.peakOut);
            totals.loudnessOut.Add(out.Written(), p->frames);
          } else {
            mFailed.store(true);
          }
        }
        mRing.PutFree(p);
      }
    });
  }
  ~WriteBehind() { Finish(); }

  // A buffer for the plug-in's output; null after a failed write.
  Piece* Free() { return mFailed.load() ? nullptr : mRing.TakeFree(); }
  void Write(Piece* p) { mRing.PutFilled(p); }
  void Skip(Piece* p) { mRing.PutFree(p); }
  // The frames a piece holds.
  size_t Capacity() const { return mCapacity; }

  // Everything passed on written; false with the first failure's text.
  bool Finish(std::string& error) {
    Finish();
    if (mFailed.load()) error = mError;
    return !mFailed.load();
  }

 private:
  static constexpr size_t kPieces = 4;
  void Finish() {
    if (!mThread.joinable()) return;
    mRing.Close();
    mThread.join();
  }

  size_t mCapacity;
  Ring<Piece> mRing;
  std::thread mThread;
  std::atomic<bool> mFailed{false};
  std::string mError;  // the writing thread's until it is joined
};

// The oversampled stages: up, render in whole blocks, down, and on to be written.
class Oversampled {
 public:
  // latency: drops the frames at the file's rate that the plug-in's latency puts in front.
  Oversampled(PluginHost& plugin, WriteBehind& out, size_t channels, RenderTotals& totals,
              LatencyCompensation& latency)
      : mPlugin(plugin),
        mOut(out),
        mTotals(totals),
        mHigh(channels),
        mRendered(channels),
        mLow(channels),
        mLatency(latency) {}

  bool Open(double rate, int factor, std::string& error) {
    const int nc = static_cast<int>(mHigh.size());
    return mUp.Open(rate, rate * factor, nc, error) && mDown.Open(rate * factor, rate, nc, error);
  }

  // False with error empty when a write failed (the writer tells why).
  bool Push(const float* const* channels, size_t frames, std::string& error) {
    return mUp.Process(channels, frames, mHigh, error) && Render(false, error);
  }

  bool Finish(std::string& error) {
    if (!mUp.Flush(mHigh, error) || !Render(true, error) || !mDown.Flush(mLow, error) || !Emit())
      return false;
    // The converters give back as many frames as went in; should they fall short, silence
    // keeps the promise of an output as long as the input.
    if (mWritten < mTotals.frames) {
      for (std::vector<float>& channel : mLow) channel.assign(mTotals.frames - mWritten, 0.0f);
      return Emit();
    }
    return true;
  }

 private:
  // Renders the whole blocks gathered (at the end, everything) and passes them down.
  bool Render(bool last, std::string& error) {
    const size_t block = mPlugin.Block();
    const size_t have = mHigh[0].size();
    const size_t n = last ? have : have / block * block;
    if (n == 0) return Emit();
    for (std::vector<float>& channel : mRendered) channel.resize(n);
    if (!mPlugin.Process(Pointers(std::as_const(mHigh)).data(), Pointers(mRendered).data(), n,
                         error))
      return false;
    for (std::vector<float>& channel : mHigh)
      channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(n));
    return mDown.Process(Pointers(std::as_const(mRendered)).data(), n, mLow, error) && Emit();
  }

  // Passes on what came down, after the frames to skip, never past the input's length, in
  // pieces of the writer's size. False when a write failed.
  bool Emit() {
    const size_t drop = mLatency.TakeSkip(mLow[0].size());
    const size_t n = std::min(mLow[0].size() - drop, mTotals.frames - mWritten);
    for (size_t done = 0; done < n;) {
      WriteBehind::Piece* piece = mOut.Free();
      if (piece == nullptr) return false;
      const size_t m = std::min(n - done, mOut.Capacity());
      for (size_t c = 0; c < mLow.size(); ++c)
        std::copy_n(mLow[c].begin() + static_cast<std::ptrdiff_t>(drop + done), m,
                    piece->samples[c].begin());
      piece->from = 0;
      piece->frames = m;
      mOut.Write(piece);
      done += m;
    }
    mWritten += n;
    for (std::vector<float>& channel : mLow) channel.clear();
    return true;
  }

  PluginHost& mPlugin;
  WriteBehind& mOut;
  RenderTotals& mTotals;
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
  plugin.SetIdleTicks(options.idleTicks);
  // Made before the plug-in starts: the writer's thread is stopped again on every way out.
  WriteBehind behind(out, totals, nc, chunk);
  Oversampled high(plugin, behind, nc, totals, latency);
  if (oversample > 1 && !high.Open(in.SampleRate(), oversample, error)) return false;
  if (!plugin.Start(report, error)) return false;
  // The plug-in keeps this thread; reading and writing, each with its measuring, have their own.
  ReadAhead ahead(in, nc, chunk, totals.loudnessIn);
  ReadAhead::Chunk* current = nullptr;
  bool ok = true;
  bool inputEnded = false;
  for (;;) {
    size_t got = 0;
    if (!inputEnded) {
      if (current != nullptr) ahead.Done(current);
      current = ahead.Next();
      if (!current->ok) {
        error = current->error;
        ok = false;
        break;
      }
      got = current->got;
      inputEnded = got < chunk;
    }
    Channels& input = current->samples;
    // The silence goes in the same chunk as the input's end, so only the last call holds a part
    // of a block.
    const size_t silence = inputEnded ? latency.TakeSilence(chunk - got) : 0;
    for (std::vector<float>& channel : input)
      std::fill_n(channel.begin() + static_cast<std::ptrdiff_t>(got), silence, 0.0f);
    const size_t frames = got + silence;
    if (frames == 0) break;
    // A stream the meters measure has its sample peak found there, off this thread.
    if (!totals.loudnessIn.IsOpen()) totals.peakIn = Peak(input, 0, got, totals.peakIn);
    totals.frames += got;
    const std::vector<const float*> from = Pointers(std::as_const(input));
    if (options.inGain != 1.0f)
      for (std::vector<float>& channel : input)
        for (size_t i = 0; i < got; ++i) channel[i] *= options.inGain;
    if (oversample > 1) {
      ok = high.Push(from.data(), frames, error);
    } else {
      WriteBehind::Piece* piece = behind.Free();
      if (piece == nullptr) break;  // a write failed: behind.Finish says why
      ok = plugin.Process(from.data(), Pointers(piece->samples).data(), frames, error);
      const size_t drop = latency.TakeSkip(frames);
      piece->from = drop;
      piece->frames = frames - drop;
      if (ok && frames > drop)
        behind.Write(piece);
      else
        behind.Skip(piece);
    }
    if (!ok) break;
    // A header may understate the length: the bar then stays at its end rather than pass it.
    if (progress && got > 0)
      progress(totals.frames, total > 0 ? std::max(total, totals.frames) : 0);
    if (inputEnded && latency.SilenceFed()) break;
  }
  ahead.Stop();
  if (ok && oversample > 1) ok = high.Finish(error);
  // A failed write is the render's failure unless another came first (a failed write met on the
  // way leaves ok false with no text).
  std::string writeError;
  if (!behind.Finish(writeError) && (ok || error.empty())) {
    error = writeError;
    ok = false;
  }
  plugin.Finish();
  if (totals.loudnessIn.IsOpen()) totals.peakIn = totals.loudnessIn.SamplePeak();
  if (totals.loudnessOut.IsOpen()) totals.peakOut = totals.loudnessOut.SamplePeak();
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
