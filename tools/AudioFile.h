// AudioFile.h: a whole audio file in memory, one float array per channel, read and written with
// libsndfile.
#pragma once

#include <string>
#include <vector>

namespace tools {

// How samples are stored in a written WAV file.
enum class ESampleFormat { kFloat32, kInt24, kInt16 };

class AudioFile {
 public:
  double sampleRate = 48000.0;
  std::vector<std::vector<float>> channels;  // all of the same length

  size_t Frames() const { return channels.empty() ? 0 : channels.front().size(); }
  int NChannels() const { return static_cast<int>(channels.size()); }
  double Seconds() const {
    return sampleRate > 0 ? static_cast<double>(Frames()) / sampleRate : 0.0;
  }

  // Any format libsndfile reads. False, with a one-line text, when the file cannot be opened, is
  // not audio, or cannot be read to its end.
  static bool Read(const std::string& path, AudioFile& out, std::string& error);

  // A WAV file. The samples go to a new file in the destination's folder that is renamed over path
  // only once complete, so a failed write leaves an existing file untouched. Integer formats clip
  // at full scale instead of wrapping. False, with a one-line text, on any failure.
  bool Write(const std::string& path, ESampleFormat format, std::string& error) const;
};

}  // namespace tools
