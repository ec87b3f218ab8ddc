// MeterThread.h: the loudness of a render's input and output measured beside it, on a thread of
// its own.
#pragma once

#include "tools/LoudnessMeter.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tools {

// The meters cost about as much as the render itself; measured on a second thread they take
// almost nothing from its time where a second core is free. The audio is copied into a queue of a
// few blocks, so memory stays bounded: the render waits when the meters fall that far behind.
// The thread blocks every signal, so the command's handlers always run on the main thread.
// Threads: Add and Finish from one thread (the render's); the meters are read after Finish.
class MeterThread {
 public:
  // Either meter may be closed (not measured); with neither, no thread is started.
  MeterThread(LoudnessMeter& in, LoudnessMeter& out);
  ~MeterThread();  // Finish
  MeterThread(const MeterThread&) = delete;
  MeterThread& operator=(const MeterThread&) = delete;

  void AddIn(const float* const* channels, size_t frames) { Push(mIn, channels, frames); }
  void AddOut(const float* const* channels, size_t frames) { Push(mOut, channels, frames); }

  // Waits until everything added is measured.
  void Finish();

 private:
  struct Job {
    LoudnessMeter* meter = nullptr;
    size_t frames = 0;
    std::vector<std::vector<float>> channels;
  };

  void Push(LoudnessMeter& meter, const float* const* channels, size_t frames);
  void Measure();

  LoudnessMeter& mIn;
  LoudnessMeter& mOut;
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Job> mQueue;
  std::vector<Job> mSpare;  // measured jobs, their buffers kept for the next ones
  bool mClosing = false;
  std::thread mThread;
};

}  // namespace tools
