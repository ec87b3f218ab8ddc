// AudioFile.h: a whole audio file in memory, one float array per channel (the demo's signals and
// the tests'; renders stream through AudioReader and AudioWriter instead).
#pragma once

#include "tools/audiofile/AudioWriter.h"

#include <string>
#include <vector>

namespace tools {

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

  // The container chosen by path's extension (AudioWriter::ChooseFormat), the samples as given,
  // without dither; written as AudioWriter writes, so a failed write leaves an existing file
  // untouched. False, with a one-line text, on any failure.
  bool Write(const std::string& path, ESampleFormat format, std::string& error) const;
};

}  // namespace tools
