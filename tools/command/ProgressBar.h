// ProgressBar.h: a one-line render progress display on stderr (percent, elapsed time, speed).
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace tools {

// Draws only when enabled (the command enables it when stderr is a terminal and --quiet is not
// given), at most ten times a second, and clears its line when finished.
class ProgressBar {
 public:
  ProgressBar(bool enabled, double audioSeconds)
      : mEnabled(enabled), mAudioSeconds(audioSeconds), mStart(std::chrono::steady_clock::now()) {}

  void Update(size_t done, size_t total) {
    if (!mEnabled || total == 0) return;
    const double elapsed = Elapsed();
    if (done < total && elapsed - mLastDraw < 0.1) return;
    mLastDraw = elapsed;
    const double fraction = static_cast<double>(done) / static_cast<double>(total);
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, '.');
    const double speed = elapsed > 0 ? fraction * mAudioSeconds / elapsed : 0.0;
    std::fprintf(stderr, "\r[%s] %3d%%  %.1f s  x%.1f real time ", bar.c_str(),
                 static_cast<int>(fraction * 100.0), elapsed, speed);
    std::fflush(stderr);
    mDrawn = true;
  }

  void Finish() {
    if (!mDrawn) return;
    std::fprintf(stderr, "\r%*s\r", 72, "");
    std::fflush(stderr);
    mDrawn = false;
  }

  double Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
  }

 private:
  bool mEnabled;
  double mAudioSeconds;
  std::chrono::steady_clock::time_point mStart;
  double mLastDraw = -1.0;
  bool mDrawn = false;
};

}  // namespace tools
