// AudioFile.cpp: libsndfile reading and atomic WAV writing.
#include "tools/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

namespace tools {
namespace {

namespace fs = std::filesystem;

// Frames moved per libsndfile call: bounds the interleaving scratch, not the file.
constexpr sf_count_t kChunkFrames = 8192;

int SubFormat(ESampleFormat format) {
  switch (format) {
    case ESampleFormat::kInt24:
      return SF_FORMAT_PCM_24;
    case ESampleFormat::kInt16:
      return SF_FORMAT_PCM_16;
    case ESampleFormat::kFloat32:
      break;
  }
  return SF_FORMAT_FLOAT;
}

}  // namespace

bool AudioFile::Read(const std::string& path, AudioFile& out, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = path + ": is a folder, not an audio file";
    return false;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    error = path + ": cannot read audio: " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0) {
    sf_close(file);
    error = path + ": not a usable audio file";
    return false;
  }
  AudioFile result;
  result.sampleRate = info.samplerate;
  result.channels.assign(static_cast<size_t>(info.channels), {});
  // The header's length is a hint only (a damaged file may claim anything): reserve within reason.
  if (info.frames > 0 && info.frames <= (sf_count_t{1} << 28))
    for (std::vector<float>& channel : result.channels)
      channel.reserve(static_cast<size_t>(info.frames));
  std::vector<float> interleaved(static_cast<size_t>(kChunkFrames) *
                                 static_cast<size_t>(info.channels));
  for (;;) {
    const sf_count_t got = sf_readf_float(file, interleaved.data(), kChunkFrames);
    if (got <= 0) break;
    for (int c = 0; c < info.channels; ++c) {
      std::vector<float>& channel = result.channels[static_cast<size_t>(c)];
      for (sf_count_t i = 0; i < got; ++i)
        channel.push_back(interleaved[static_cast<size_t>(i * info.channels + c)]);
    }
  }
  const int status = sf_error(file);
  const std::string text = status != SF_ERR_NO_ERROR ? sf_strerror(file) : "";
  sf_close(file);
  if (status != SF_ERR_NO_ERROR) {
    error = path + ": cannot read audio: " + text;
    return false;
  }
  out = std::move(result);
  return true;
}

bool AudioFile::Write(const std::string& path, ESampleFormat format, std::string& error) const {
  if (channels.empty() || sampleRate <= 0 || sampleRate > std::numeric_limits<int>::max()) {
    error = path + ": nothing to write";
    return false;
  }
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tempName =
      ".";  // appended, not prefixed: g++ 12 -O3 misreads "x" + std::string as overlapping
  tempName += target.filename().string();
  tempName += ".XXXXXX";
  std::string temp = (dir / tempName).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the permissions a new file normally gets (the tool is
  // single-threaded, so reading the mask by setting it is safe).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = NChannels();
  info.format = SF_FORMAT_WAV | SubFormat(format);
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (file == nullptr) {
    error = path + ": cannot write: " + sf_strerror(nullptr);
    ::unlink(temp.c_str());
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const size_t n = Frames();
  const size_t nc = channels.size();
  std::vector<float> interleaved(static_cast<size_t>(kChunkFrames) * nc);
  bool ok = true;
  for (size_t done = 0; done < n && ok;) {
    const size_t count = std::min(static_cast<size_t>(kChunkFrames), n - done);
    for (size_t i = 0; i < count; ++i)
      for (size_t c = 0; c < nc; ++c) interleaved[i * nc + c] = channels[c][done + i];
    ok = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(count)) ==
         static_cast<sf_count_t>(count);
    done += count;
  }
  if (ok) sf_write_sync(file);
  const std::string text = ok ? "" : sf_strerror(file);
  ok = sf_close(file) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  if (!ok) {
    error = path + ": cannot write: " + (text.empty() ? std::string("error while closing") : text);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace tools
