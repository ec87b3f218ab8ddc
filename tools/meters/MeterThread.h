// MeterThread.h: loudness meters fed beside a render, on a thread of their own.
#pragma once

#include "tools/meters/LoudnessMeter.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tools {

// The input's and the output's meters together cost about a quarter of the render; on one thread
// beside it they take nothing from the render's time where a second core is free (on one core,
// measuring inline would cost the same). The audio is copied into a queue of a few blocks, so
// memory stays bounded: the render waits when the meters fall that far behind.
// The thread blocks every signal, so the command's handlers always run on the main thread.
// Threads: Add from any thread, each meter's audio from one thread in its order (the render's
// reader feeds the input's meter, its writer the output's); Finish once every Add has returned;
// the meters are read after Finish.
class MeterThread {
 public:
  // With every meter closed (nothing measured) no thread starts, and Add does nothing.
  explicit MeterThread(std::vector<LoudnessMeter*> meters);
  ~MeterThread();  // Finish
  MeterThread(const MeterThread&) = delete;
  MeterThread& operator=(const MeterThread&) = delete;

  // frames from channels[c][0..frames), copied, for meter (one of those given; closed: ignored).
  void Add(LoudnessMeter& meter, const float* const* channels, size_t frames);

  // Waits until everything added is measured.
  void Finish();

 private:
  struct Job {
    LoudnessMeter* meter = nullptr;
    size_t frames = 0;
    std::vector<std::vector<float>> channels;
  };

  void Measure();

  std::mutex mMutex;
  std::condition_variable mChanged;
  std::deque<Job> mQueue;
  std::vector<Job> mSpare;  // measured jobs, their buffers kept for the next ones
  bool mClosing = false;
  std::thread mThread;
};

}  // namespace tools
