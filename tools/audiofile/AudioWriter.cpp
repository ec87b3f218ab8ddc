// AudioWriter.cpp: container choice, quantisation with TPDF dither, atomic or direct output.
#include "tools/audiofile/AudioWriter.h"

#include "tools/audiofile/LibraryText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tools {
namespace {

namespace fs = std::filesystem;

// Frames per libsndfile call: bounds the interleaving scratch, not the file.
constexpr size_t kChunkFrames = 8192;

// About how much of a file is written before its writing to the disk is started.
constexpr uint64_t kWritebackBytes = 8u << 20;

struct Container {
  const char* extension;
  int format;  // major format; for a compressed container with its codec
  bool lossy;  // the codec takes floats and has no sample format to choose
  const char* name;
};

constexpr Container kContainers[] = {
    {"wav", SF_FORMAT_WAV, false, "WAV"},
    {"wave", SF_FORMAT_WAV, false, "WAV"},
    {"flac", SF_FORMAT_FLAC, false, "FLAC"},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true, "Ogg Vorbis"},
    {"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true, "Ogg Vorbis"},
    {"aiff", SF_FORMAT_AIFF, false, "AIFF"},
    {"aif", SF_FORMAT_AIFF, false, "AIFF"},
    {"aifc", SF_FORMAT_AIFF, false, "AIFF"},
    {"caf", SF_FORMAT_CAF, false, "CAF"},
    {"w64", SF_FORMAT_W64, false, "Wave64"},
    {"rf64", SF_FORMAT_RF64, false, "RF64"},
    {"au", SF_FORMAT_AU, false, "Sun AU"},
};
constexpr const char* kContainerList = ".wav, .flac, .ogg, .aiff, .caf, .w64, .rf64 or .au";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int SubFormat(ESampleFormat samples) {
  switch (samples) {
    case ESampleFormat::kInt24:
      return SF_FORMAT_PCM_24;
    case ESampleFormat::kInt16:
      return SF_FORMAT_PCM_16;
    case ESampleFormat::kFloat32:
      break;
  }
  return SF_FORMAT_FLOAT;
}

const char* SampleName(ESampleFormat samples) {
  switch (samples) {
    case ESampleFormat::kInt24:
      return "s24";
    case ESampleFormat::kInt16:
      return "s16";
    case ESampleFormat::kFloat32:
      break;
  }
  return "f32";
}

ESampleFormat LikeInput(int inputFormat) {
  switch (inputFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
      return ESampleFormat::kInt16;
    case SF_FORMAT_PCM_24:
      return ESampleFormat::kInt24;
    default:
      return ESampleFormat::kFloat32;
  }
}

// The container's code for these samples.
int Combine(const Container& container, ESampleFormat samples) {
  return container.lossy ? container.format : container.format | SubFormat(samples);
}

bool Writable(int format) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = format;
  return sf_format_check(&info) == SF_TRUE;
}

const Container* ContainerOf(int format) {
  for (const Container& c : kContainers)
    if (c.format == (format & (c.lossy ? ~0 : SF_FORMAT_TYPEMASK))) return &c;
  return nullptr;
}

int SampleBytes(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16:
      return 2;
    case SF_FORMAT_PCM_24:
      return 3;
    default:
      return 4;
  }
}

// Bytes a header may take beside the samples, for the size decision: more than any writer here
// puts there.
constexpr uint64_t kHeaderAllowance = 4096;

// Whether the user may write the file by its mode bits. As root access() answers yes to anything,
// so a file made read-only on purpose (chmod a-w) is taken at its word, as sox does.
bool WriteProtected(const struct stat& st) {
  const uid_t user = ::geteuid();
  if (user == 0) return (st.st_mode & 0222) == 0;
  if (st.st_uid == user) return (st.st_mode & S_IWUSR) == 0;
  if (st.st_gid == ::getegid()) return (st.st_mode & S_IWGRP) == 0;
  return (st.st_mode & S_IWOTH) == 0;
}

std::string Gigabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
  return text;
}

// The file a chain of symbolic links ends at (path itself when it is none), so that replacing OUT
// replaces that file and keeps the link. False for a loop.
bool ResolveLinks(const std::string& path, fs::path& resolved) {
  resolved = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(resolved, ec))) return true;
    const fs::path target = fs::read_symlink(resolved, ec);
    if (ec) return false;
    resolved = target.is_absolute() ? target : resolved.parent_path() / target;
  }
  return false;
}

// Left and right joined into stereo frames, four at a time where the processor can.
void JoinStereo(const float* left, const float* right, size_t count, float* frames) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= count; i += 4) {
    const __m128 l = _mm_loadu_ps(left + i);
    const __m128 r = _mm_loadu_ps(right + i);
    _mm_storeu_ps(frames + 2 * i, _mm_unpacklo_ps(l, r));
    _mm_storeu_ps(frames + 2 * i + 4, _mm_unpackhi_ps(l, r));
  }
#endif
  for (; i < count; ++i) {
    frames[2 * i] = left[i];
    frames[2 * i + 1] = right[i];
  }
}

}  // namespace

bool AudioWriter::ChooseFormat(const std::string& path, const std::string& type,
                               std::optional<ESampleFormat> samples, int inputFormat, int& format,
                               std::string& error) {
  std::string extension = type;
  if (extension.empty()) {
    if (path == "-") {
      extension = "wav";
    } else {
      extension = fs::path(path).extension().string();
      if (extension.empty()) {
        error = path + ": has no extension to choose the format by (name it " + kContainerList +
                ", or give --type)";
        return false;
      }
      extension.erase(0, 1);
    }
  }
  extension = Lower(extension);
  const Container* container = nullptr;
  for (const Container& c : kContainers)
    if (extension == c.extension) container = &c;
  if (container == nullptr || (!Writable(Combine(*container, ESampleFormat::kFloat32)) &&
                               !Writable(Combine(*container, ESampleFormat::kInt16)))) {
    error = path + ": cannot write ." + extension + " files (choose " + kContainerList + ")";
    return false;
  }
  if (container->lossy) {
    if (samples) {
      error = path + ": " + container->name + " is compressed: --format does not apply";
      return false;
    }
    format = container->format;
    return true;
  }
  if (samples) {
    format = Combine(*container, *samples);
    if (!Writable(format)) {
      error = path + ": " + container->name + " cannot hold " + SampleName(*samples) +
              " samples (choose another --format)";
      return false;
    }
    return true;
  }
  const ESampleFormat wanted = LikeInput(inputFormat);
  for (const ESampleFormat s :
       {wanted, ESampleFormat::kFloat32, ESampleFormat::kInt24, ESampleFormat::kInt16}) {
    format = Combine(*container, s);
    if (Writable(format)) return true;
  }
  error = path + ": " + container->name + " cannot hold the rendered samples";
  return false;
}

bool AudioWriter::FitLength(const std::string& path, long long frames, int channels, bool toPipe,
                            uint64_t limitBytes, int& format, std::string& error) {
  const int major = format & SF_FORMAT_TYPEMASK;
  if (frames < 0 || (major != SF_FORMAT_WAV && major != SF_FORMAT_AIFF && major != SF_FORMAT_AU))
    return true;
  const uint64_t bytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(channels) *
                         static_cast<uint64_t>(SampleBytes(format));
  if (bytes + kHeaderAllowance <= limitBytes) return true;
  if (major == SF_FORMAT_WAV && !toPipe) {
    format = SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
    return true;
  }
  const Container* container = ContainerOf(format);
  error = (path == "-" ? std::string("standard output") : path) + ": " +
          (container != nullptr ? container->name : "the format") + " cannot hold the " +
          Gigabytes(bytes) + " of this render (at most " + Gigabytes(limitBytes) + "); " +
          (toPipe ? "write a file, which then becomes RF64" : "write .w64, .rf64, .caf or .flac");
  return false;
}

bool AudioWriter::IsPipe(const std::string& path) {
  if (path == "-") return ::lseek(STDOUT_FILENO, 0, SEEK_CUR) < 0;
  fs::path target;
  if (!ResolveLinks(path, target)) return false;
  struct stat st {};
  return ::stat(target.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

bool AudioWriter::CheckStreamable(const std::string& path, int format, std::string& error) {
  const int major = format & SF_FORMAT_TYPEMASK;
  if (major == SF_FORMAT_WAV || major == SF_FORMAT_AU || major == SF_FORMAT_OGG || !IsPipe(path))
    return true;
  // These containers seek back to finish their header; libsndfile would leave a part of one on
  // the pipe (and FLAC's stream header after the audio).
  const Container* container = ContainerOf(format);
  error = (path == "-" ? std::string("standard output") : path) + ": " +
          (container != nullptr ? container->name : "this format") +
          " cannot be streamed to a pipe; write a file, or use --type wav, au or ogg";
  return false;
}

std::vector<std::string> AudioWriter::ReadableExtensions() {
  std::vector<std::string> extensions{"wave", "aif", "aifc", "oga", "opus"};
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 &&
        info.extension != nullptr)
      extensions.push_back(Lower(info.extension));
  }
  std::sort(extensions.begin(), extensions.end());
  extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
  return extensions;
}

AudioWriter::~AudioWriter() {
  mFile.reset();
  if (mDirectFd >= 0) ::close(mDirectFd);
  // mTemp's destructor removes an unfinished temporary file.
}

bool AudioWriter::Fail(const std::string& text, std::string& error) {
  error = mPath + ": cannot write: " + text;
  mFile.reset();
  mWav.reset();
  mTemp.Discard();
  if (mDirectFd >= 0) {
    ::close(mDirectFd);
    mDirectFd = -1;
  }
  return false;
}

bool AudioWriter::Open(const std::string& path, int format, double sampleRate, int channels,
                       bool dither, std::string& error) {
  mPath = path == "-" ? std::string("standard output") : path;
  if (channels <= 0 || !(sampleRate >= 1.0 && sampleRate <= 1e9))
    return Fail("nothing to write", error);
  mChannels = channels;
  mRereadable = false;
  mDither = dither && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
  mClipped = 0;
  mFrames = 0;
  mUnflushedFrames = 0;
  if (!CheckStreamable(path, format, error)) return false;
  int fd = STDOUT_FILENO;
  if (path != "-") {
    fs::path target;
    if (!ResolveLinks(path, target)) return Fail("too many levels of symbolic links", error);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      if (S_ISDIR(st.st_mode)) return Fail("is a folder", error);
      // A device or a FIFO is written in place: renaming a file over it would replace it.
      mDirectFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
      if (mDirectFd < 0) return Fail(SystemText(errno), error);
      fd = mDirectFd;
    } else {
      if (S_ISREG(st.st_mode) && WriteProtected(st)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
        return Fail(std::string("it is write-protected (mode ") + mode +
                        "); make it writable or choose another output",
                    error);
      }
      std::string text;
      if (!mTemp.Create(target.string(), text)) return Fail(text, error);
      fd = mTemp.Fd();
      mRereadable = true;
    }
  }
  mFormat = format;
  const int sub = format & SF_FORMAT_SUBMASK;
  const int rate = static_cast<int>(std::lround(sampleRate));
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) {
    // WAV is written here, not by libsndfile, which cannot write it to a pipe (see WavEncoder).
    mWav = std::make_unique<WavEncoder>();
    const int bits = sub == SF_FORMAT_PCM_16 ? 16 : sub == SF_FORMAT_PCM_24 ? 24 : 32;
    std::string text;
    if (!mWav->Open(fd, rate, channels, bits, sub == SF_FORMAT_FLOAT, text))
      return Fail(text, error);
  } else {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) return Fail(LibraryText(nullptr), error);
    mFile.reset(file);
  }
  const auto scratch = kChunkFrames * static_cast<size_t>(channels);
  mBlock.assign(static_cast<size_t>(channels), nullptr);
  mWrittenChannels.assign(static_cast<size_t>(channels), nullptr);
  mWrittenSamples.assign((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ||
                                 (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24
                             ? static_cast<size_t>(channels)
                             : 0,
                         {});
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ||
      (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24)
    mInts.assign(scratch, 0);
  else
    mFloats.assign(scratch, 0.0f);
  return true;
}

template <typename Quantize>
void AudioWriter::Interleave(const float* const* channels, size_t frames, Quantize quantize) {
  const auto nc = static_cast<size_t>(mChannels);
  for (size_t i = 0; i < frames; ++i)
    for (size_t c = 0; c < nc; ++c) quantize(channels[c][i], i * nc + c, i, c);
}

bool AudioWriter::Write(const float* const* channels, size_t frames, std::string& error) {
  if (!mFile && !mWav) return Fail("not open", error);
  const int sub = mFormat & SF_FORMAT_SUBMASK;
  const bool integer = !mInts.empty();
  // Integers go to libsndfile left-aligned in 32 bits; a sample is scale times the float, rounded
  // to the nearest step, so that reading the file back (libsndfile divides by the same scale)
  // gives the float within half a step.
  const int bits = sub == SF_FORMAT_PCM_16 ? 16 : 24;
  const double scale = std::ldexp(1.0, bits - 1);
  const double hi = scale - 1.0;
  const double lo = -scale;
  const int shift = 32 - bits;
  const double step = 1.0 / scale;
  if (integer) {
    for (size_t c = 0; c < mWrittenSamples.size(); ++c) {
      if (mWrittenSamples[c].size() < frames) mWrittenSamples[c].resize(frames);
      mWrittenChannels[c] = mWrittenSamples[c].data();
    }
  } else {
    for (size_t c = 0; c < mWrittenChannels.size(); ++c) mWrittenChannels[c] = channels[c];
  }
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min(kChunkFrames, frames - done);
    for (size_t c = 0; c < mBlock.size(); ++c) mBlock[c] = channels[c] + done;
    const float* const* block = mBlock.data();
    sf_count_t written = 0;
    errno = 0;  // what the system says of a failed write is the failure's reason
    if (integer) {
      Interleave(block, n, [&](float x, size_t index, size_t frame, size_t channel) {
        double v = static_cast<double>(x) * scale;
        // A sample already on the output's grid (bypassed or untouched audio of the same depth)
        // has no rounding error to decorrelate: it is written as it is, so such audio nulls.
        if (mDither && v != std::nearbyint(v)) {
          // TPDF: the sum of two uniform values of one step each, spread over -1 to +1 steps;
          // it makes the rounding error independent of the signal.
          const auto uniform = [this] {
            mNoise ^= mNoise << 13;
            mNoise ^= mNoise >> 7;
            mNoise ^= mNoise << 17;
            return static_cast<double>(mNoise >> 11) * 0x1.0p-53;
          };
          v += uniform() + uniform() - 1.0;
        }
        v = std::nearbyint(v);
        if (v > hi) {
          v = hi;
          ++mClipped;
        } else if (v < lo) {
          v = lo;
          ++mClipped;
        } else if (v != v) {
          v = 0.0;
        }
        mInts[index] = static_cast<int>(v) * (1 << shift);
        // A power-of-two scale: the file's value exactly, as a reader divides it back.
        mWrittenSamples[channel][done + frame] = static_cast<float>(v * step);
      });
      if (mWav) {
        std::string text;
        if (!mWav->WriteInt(mInts.data(), n, text)) return Fail(text, error);
        written = static_cast<sf_count_t>(n);
      } else {
        written = sf_writef_int(mFile.get(), mInts.data(), static_cast<sf_count_t>(n));
      }
    } else {
      if (mChannels == 2)
        JoinStereo(block[0], block[1], n, mFloats.data());
      else
        Interleave(block, n, [&](float x, size_t index, size_t, size_t) { mFloats[index] = x; });
      if (mWav) {
        std::string text;
        if (!mWav->WriteFloat(mFloats.data(), n, text)) return Fail(text, error);
        written = static_cast<sf_count_t>(n);
      } else {
        written = sf_writef_float(mFile.get(), mFloats.data(), static_cast<sf_count_t>(n));
      }
    }
    if (written != static_cast<sf_count_t>(n)) return Fail(LibraryText(mFile.get(), errno), error);
    done += n;
    mFrames += n;
  }
  // The disk writes the file while the render goes on, rather than all of it at the end.
  mUnflushedFrames += frames;
  if (mTemp.Fd() >= 0 &&
      mUnflushedFrames * static_cast<uint64_t>(mChannels) * 4 >= kWritebackBytes) {
    mTemp.StartWriteback();
    mUnflushedFrames = 0;
  }
  return true;
}

bool AudioWriter::IsLossy() const {
  const Container* container = ContainerOf(mFormat);
  return container != nullptr && container->lossy;
}

bool AudioWriter::Finish(std::string& error) {
  if (mWav) {
    std::string text;
    const bool done = mWav->Finish(text);
    mWav.reset();
    if (!done) return Fail(text, error);
  } else {
    if (!mFile) return Fail("not open", error);
    // libsndfile starts its FLAC encoder, which writes the stream header, at the first frame:
    // without one the file would be empty, which no reader takes for a FLAC file.
    if (mFrames == 0 && (mFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC)
      sf_command(mFile.get(), SFC_UPDATE_HEADER_NOW, nullptr, 0);
    if (sf_error(mFile.get()) != SF_ERR_NO_ERROR) return Fail(LibraryText(mFile.get()), error);
    errno = 0;
    if (sf_close(mFile.release()) != 0)
      return Fail(errno != 0 ? SystemText(errno) : std::string("error while closing"), error);
  }
  if (mDirectFd >= 0) {
    const int fd = mDirectFd;
    mDirectFd = -1;
    if (::close(fd) != 0) return Fail(SystemText(errno), error);
    return true;
  }
  if (mTemp.Fd() >= 0) {
    std::string text;
    if (!mTemp.Commit(text)) return Fail(text, error);
  }
  return true;
}

}  // namespace tools
