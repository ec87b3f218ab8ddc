// MeterThread.h: a loudness meter fed beside a render, on a thread of its own.
#pragma once

#include "tools/LoudnessMeter.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tools {

// A meter costs about as much as the render itself; on a thread of its own (one for the input,
// one for the output) it takes almost nothing from the render's time where cores are free. The audio is copied into a queue of a
// few blocks, so memory stays bounded: the render waits when the meters fall that far behind.
// The thread blocks every signal, so the command's handlers always run on the main thread.
// Threads: Add and Finish from one thread (the render's); the meter is read after Finish.
class MeterThread {
 public:
  // A closed meter (not measured) starts no thread, and Add does nothing.
  explicit MeterThread(LoudnessMeter& meter);
  ~MeterThread();  // Finish
  MeterThread(const MeterThread&) = delete;
  MeterThread& operator=(const MeterThread&) = delete;

  // frames from channels[c][0..frames), copied.
  void Add(const float* const* channels, size_t frames);

  // Waits until everything added is measured.
  void Finish();

 private:
  struct Job {
    size_t frames = 0;
    std::vector<std::vector<float>> channels;
  };

  void Measure();

  LoudnessMeter& mMeter;
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Job> mQueue;
  std::vector<Job> mSpare;  // measured jobs, their buffers kept for the next ones
  bool mClosing = false;
  std::thread mThread;
};

}  // namespace tools
