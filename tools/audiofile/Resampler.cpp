// Resampler.cpp: libsoxr with split channels, output appended to per-channel vectors.
#include "tools/audiofile/Resampler.h"

#include <cmath>

namespace tools {

Resampler::~Resampler() {
  if (mSoxr != nullptr) soxr_delete(mSoxr);
}

bool Resampler::Open(double inRate, double outRate, int channels, std::string& error) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t status = nullptr;
  mSoxr = soxr_create(inRate, outRate, static_cast<unsigned>(channels), &status, &io, &quality,
                      nullptr);
  if (mSoxr == nullptr || status != nullptr) {
    error = std::string("cannot resample: ") + (status != nullptr ? status : "libsoxr failed");
    return false;
  }
  mRatio = outRate / inRate;
  mIn.assign(static_cast<size_t>(channels), nullptr);
  mOut.assign(static_cast<size_t>(channels), nullptr);
  return true;
}

bool Resampler::Process(const float* const* channels, size_t frames,
                        std::vector<std::vector<float>>& out, std::string& error) {
  return Run(channels, frames, out, error);
}

bool Resampler::Flush(std::vector<std::vector<float>>& out, std::string& error) {
  return Run(nullptr, 0, out, error);
}

// channels null: drain the filter (libsoxr's end of input), until it gives nothing more.
bool Resampler::Run(const float* const* channels, size_t frames,
                    std::vector<std::vector<float>>& out, std::string& error) {
  if (mSoxr == nullptr) {
    error = "cannot resample: not open";
    return false;
  }
  const size_t nc = mOut.size();
  size_t consumed = 0;
  for (;;) {
    const size_t room =
        static_cast<size_t>(std::ceil(static_cast<double>(frames - consumed) * mRatio)) + 4096;
    const size_t base = out[0].size();
    for (size_t c = 0; c < nc; ++c) {
      out[c].resize(base + room);
      mOut[c] = out[c].data() + base;
    }
    size_t taken = 0;
    size_t made = 0;
    soxr_error_t status = nullptr;
    if (channels != nullptr) {
      for (size_t c = 0; c < nc; ++c) mIn[c] = channels[c] + consumed;
      status = soxr_process(mSoxr, mIn.data(), frames - consumed, &taken, mOut.data(), room, &made);
    } else {
      status = soxr_process(mSoxr, nullptr, 0, nullptr, mOut.data(), room, &made);
    }
    for (size_t c = 0; c < nc; ++c) out[c].resize(base + made);
    if (status != nullptr) {
      error = std::string("cannot resample: ") + status;
      return false;
    }
    consumed += taken;
    if (channels != nullptr ? consumed >= frames || (taken == 0 && made == 0) : made == 0)
      return true;
  }
}

}  // namespace tools
