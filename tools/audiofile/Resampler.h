// Resampler.h: a streaming sample-rate converter for whole-number ratios, on libsoxr.
#pragma once

#include <soxr.h>

#include <string>
#include <vector>

namespace tools {

// libsoxr's high quality (a 20-bit, linear-phase filter that passes 91 % of the lower rate's
// band). Its delay is compensated: output frame k is at the time of input frame k / ratio, and
// after Flush the output holds exactly ratio times the input's frames.
// Threads: one caller at a time.
class Resampler {
 public:
  Resampler() = default;
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  bool Open(double inRate, double outRate, int channels, std::string& error);

  // Converts frames of channels and appends what comes out to out (one vector per channel).
  bool Process(const float* const* channels, size_t frames, std::vector<std::vector<float>>& out,
               std::string& error);
  // Appends the output still held back by the filter, after the last input.
  bool Flush(std::vector<std::vector<float>>& out, std::string& error);

 private:
  bool Run(const float* const* channels, size_t frames, std::vector<std::vector<float>>& out,
           std::string& error);

  soxr_t mSoxr = nullptr;
  double mRatio = 1.0;
  std::vector<const float*> mIn;
  std::vector<float*> mOut;
};

}  // namespace tools
