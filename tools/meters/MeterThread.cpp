// MeterThread.cpp: a bounded queue of copied blocks and the thread that empties it.
#include "tools/meters/MeterThread.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <utility>

namespace tools {
namespace {

// Blocks waiting to be measured before the render waits: a couple of seconds of audio per stream.
constexpr size_t kMostQueued = 16;

}  // namespace

MeterThread::MeterThread(std::vector<LoudnessMeter*> meters) {
  if (std::none_of(meters.begin(), meters.end(), [](LoudnessMeter* m) { return m->IsOpen(); }))
    return;
  // The new thread starts with the signal mask of its creator: block everything around its start.
  sigset_t all, old;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old);
  mThread = std::thread([this] { Measure(); });
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

MeterThread::~MeterThread() {
  Finish();
}

void MeterThread::Add(LoudnessMeter& meter, const float* const* channels, size_t frames) {
  if (frames == 0 || !meter.IsOpen() || !mThread.joinable()) return;
  std::unique_lock<std::mutex> lock(mMutex);
  mChanged.wait(lock, [this] { return mQueue.size() < kMostQueued; });
  Job job;
  if (!mSpare.empty()) {
    job = std::move(mSpare.back());
    mSpare.pop_back();
  }
  lock.unlock();
  job.meter = &meter;
  job.frames = frames;
  job.channels.resize(static_cast<size_t>(meter.NChannels()));
  for (size_t c = 0; c < job.channels.size(); ++c)
    job.channels[c].assign(channels[c], channels[c] + frames);
  lock.lock();
  mQueue.push_back(std::move(job));
  mChanged.notify_all();
}

void MeterThread::Measure() {
  std::vector<const float*> pointers;
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    mChanged.wait(lock, [this] { return mClosing || !mQueue.empty(); });
    if (mQueue.empty()) return;  // closing, and everything measured
    Job job = std::move(mQueue.front());
    mQueue.pop_front();
    mChanged.notify_all();
    lock.unlock();
    pointers.clear();
    for (const std::vector<float>& channel : job.channels) pointers.push_back(channel.data());
    job.meter->Add(pointers.data(), job.frames);
    lock.lock();
    mSpare.push_back(std::move(job));
  }
}

void MeterThread::Finish() {
  if (!mThread.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mMutex);
    mClosing = true;
  }
  mChanged.notify_all();
  mThread.join();
}

}  // namespace tools
