// AudioFile.cpp: whole files through the streaming reader and writer.
#include "tools/audiofile/AudioFile.h"

#include "tools/audiofile/AudioReader.h"

namespace tools {

bool AudioFile::Read(const std::string& path, AudioFile& out, std::string& error) {
  AudioReader reader;
  if (!reader.Open(path, error)) return false;
  AudioFile result;
  result.sampleRate = reader.SampleRate();
  const auto nc = static_cast<size_t>(reader.NChannels());
  result.channels.assign(nc, {});
  // The header's length is a hint only (a damaged file may claim anything): grow as read.
  constexpr size_t kChunk = 65536;
  std::vector<float*> at(nc);
  for (size_t got = kChunk; got == kChunk;) {
    const size_t frames = result.Frames();
    for (size_t c = 0; c < nc; ++c) {
      result.channels[c].resize(frames + kChunk);
      at[c] = result.channels[c].data() + frames;
    }
    if (!reader.Read(at.data(), kChunk, got, error)) return false;
    for (std::vector<float>& channel : result.channels) channel.resize(frames + got);
  }
  out = std::move(result);
  return true;
}

bool AudioFile::Write(const std::string& path, ESampleFormat format, std::string& error) const {
  int code = 0;
  if (!AudioWriter::ChooseFormat(path, "", format, 0, code, error)) return false;
  AudioWriter writer;
  if (!writer.Open(path, code, sampleRate, NChannels(), false, error)) return false;
  std::vector<const float*> data;
  for (const std::vector<float>& channel : channels) data.push_back(channel.data());
  return writer.Write(data.data(), Frames(), error) && writer.Finish(error);
}

}  // namespace tools
