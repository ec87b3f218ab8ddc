// RenderCommandTest.cpp: tovrasat render on real files: formats and sample formats, standard
// output, outputs that are not plain files, signals, batches, dither, clipping, oversampling and
// memory that does not grow with the file.
#include "tests/support/FolderNames.h"
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/audiofile/AudioFile.h"
#include "tools/command/DemoSignal.h"
#include "tools/meters/SignalStats.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testsupport::FolderNames;
using toolstest::HiddenFiles;
using toolstest::ReadOrFail;
using toolstest::Sine;
using tools::AudioFile;
using tools::ESampleFormat;
using toolstest::Component;
using toolstest::PrivateHome;
using toolstest::ReadText;
using toolstest::RealBundleBuilt;
using toolstest::RunResult;
using toolstest::RunShell;
using toolstest::RunTool;
using toolstest::ScopedEnv;
using toolstest::TempDir;
using toolstest::WriteText;

// The file's samples as integers of its own width (16 or 24 bits) and its format code.
std::vector<int> ReadInts(const std::string& path, int bits, int* format = nullptr) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) return {};
  if (format != nullptr) *format = info.format;
  std::vector<int> samples(static_cast<size_t>(info.frames * info.channels));
  sf_readf_int(file, samples.data(), info.frames);
  sf_close(file);
  for (int& s : samples) s >>= 32 - bits;
  return samples;
}

// Interleaved, as the integer files read.
std::vector<float> Interleaved(const AudioFile& f) {
  std::vector<float> out;
  for (size_t i = 0; i < f.Frames(); ++i)
    for (const std::vector<float>& channel : f.channels) out.push_back(channel[i]);
  return out;
}

// Amplitude (fraction of full scale) of the component at hz, over frames from start, Hann
// windowed so that the loud fundamental does not leak into a quiet bin.
double Amplitude(const std::vector<float>& x, double rate, double hz, size_t start, size_t frames) {
  double re = 0.0, im = 0.0, weights = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double w =
        0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(frames));
    const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / rate;
    re += w * x[start + i] * std::cos(phase);
    im -= w * x[start + i] * std::sin(phase);
    weights += w;
  }
  return 2.0 * std::hypot(re, im) / weights;
}

using RenderCommand = toolstest::RenderFixture;

TEST_F(RenderCommand, TheContainerFollowsOutsExtensionAndTheSamplesFollowTheInput) {
  const AudioFile source = Sine(44100.0, 5001, 330.0, 0.7);
  Write(source, scratch / "in24.flac", ESampleFormat::kInt24);
  Write(source, scratch / "in16.wav", ESampleFormat::kInt16);
  struct Case {
    std::string in, out;
    std::vector<std::string> options;
    int format;
  };
  const Case cases[] = {
      {scratch / "in24.flac", scratch / "o1.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {scratch / "in24.flac", scratch / "o2.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
      {scratch / "in16.wav", scratch / "o3.aiff", {}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {in, scratch / "o4.wav", {}, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {in, scratch / "o5.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},  // FLAC has no float
      {in, scratch / "o6.caf", {"--format", "s16"}, SF_FORMAT_CAF | SF_FORMAT_PCM_16},
      {in, scratch / "o7.w64", {}, SF_FORMAT_W64 | SF_FORMAT_FLOAT},
      {in, scratch / "o8.rf64", {}, SF_FORMAT_RF64 | SF_FORMAT_FLOAT},
      {in, scratch / "o9.ogg", {}, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {in, scratch / "o10.raw", {"--type", "flac"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"render", k.in, k.out, "-q"};
    args.insert(args.end(), k.options.begin(), k.options.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << k.out << ": " << r.err;
    SF_INFO info{};
    SNDFILE* file = sf_open(k.out.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << k.out;
    sf_close(file);
    EXPECT_EQ(info.format, k.format) << k.out;
    EXPECT_EQ(info.frames, k.in == in ? 9000 : 5001) << k.out;
  }
  // 24 bits in and out hold the float render rounded to the nearest step: no truncation, no
  // dither at 24 bits.
  ASSERT_EQ(
      Run({"render", scratch / "in24.flac", scratch / "ref.wav", "-q", "--format", "f32"}).exitCode,
      0);
  const std::vector<float> reference = Interleaved(ReadOrFail(scratch / "ref.wav"));
  const std::vector<int> flac = ReadInts(scratch / "o1.flac", 24);
  ASSERT_EQ(flac.size(), reference.size());
  for (size_t i = 0; i < flac.size(); ++i)
    ASSERT_EQ(flac[i], std::nearbyint(reference[i] * 8388608.0)) << i;
}

TEST_F(RenderCommand, StandardOutputCarriesTheSameAudioAsAFileAndTheSummaryGoesToStderr) {
  const RunResult file = Run({"render", in, scratch / "file.wav"});
  ASSERT_EQ(file.exitCode, 0) << file.err;
  EXPECT_TRUE(file.out.empty()) << file.out;
  EXPECT_NE(file.err.find("file.wav: 0.19 s, stereo, 48000 Hz"), std::string::npos) << file.err;

  const std::string c = Component();
  // Through real pipes (no seeking back to finish the header): into a file, and into the
  // command's own reader.
  const RunResult piped = RunShell("\"$T\" --component '" + c + "' render '" + in +
                                       "' - -q | cat > '" + (scratch / "piped.wav") + "'",
                                   scratch);
  ASSERT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_TRUE(piped.err.empty()) << piped.err;  // --quiet
  const RunResult chained =
      RunShell("\"$T\" --component '" + c + "' render '" + in + "' - -q --type au | \"$T\" " +
                   "--component '" + c + "' render - '" + (scratch / "chained.flac") + "' -q",
               scratch);
  ASSERT_EQ(chained.exitCode, 0) << chained.err;
  const AudioFile expected = ReadOrFail(scratch / "file.wav");
  EXPECT_EQ(ReadOrFail(scratch / "piped.wav").channels, expected.channels);
  EXPECT_EQ(ReadOrFail(scratch / "chained.flac").Frames(), expected.Frames());
  // libsndfile would append FLAC's stream header to the end of a pipe: refused, not damaged.
  const RunResult flac =
      RunShell("\"$T\" --component '" + c + "' render '" + in + "' - --type flac | cat", scratch);
  EXPECT_NE(flac.err.find("FLAC cannot be streamed to a pipe"), std::string::npos) << flac.err;
  // sox reads the piped WAV's header without a warning about it.
  const RunResult sox = RunShell("sox -V2 '" + (scratch / "piped.wav") + "' -n", scratch);
  if (sox.exitCode == 0) {
    EXPECT_TRUE(sox.err.empty()) << sox.err;
  }
}

// OUT naming a device or FIFO is written in place, never replaced by a regular file (as root, that
// would replace /dev/null), and a symbolic link keeps pointing at the file it names, which is
// replaced instead of the link.
TEST_F(RenderCommand, AFifoIsWrittenInPlaceAndALinkKeepsPointingAtTheRenderedFile) {
  const std::string fifo = scratch / "pipe.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // The read end is opened first, and a write end of the test's own keeps it from seeing an end of
  // file before the command opens the FIFO; should the command replace the FIFO instead, the
  // reader gets nothing rather than waiting forever.
  const int readFd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readFd, 0);
  const int holdFd = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(holdFd, 0);
  ::fcntl(readFd, F_SETFL, 0);
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    for (ssize_t n = 0; (n = ::read(readFd, buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<size_t>(n));
  });
  const RunResult r = Run({"render", in, fifo, "-q"});
  ::close(holdFd);
  reader.join();
  ::close(readFd);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(received.size(), 58u + 9000u * 8u);  // float WAV header and the samples
  EXPECT_EQ(received.rfind("RIFF", 0), 0u);

  fs::create_directories(scratch.Path() / "links");
  WriteText(scratch / "real.wav", "OLD");
  fs::create_symlink("../real.wav", scratch.Path() / "links" / "link.wav");
  fs::create_symlink("missing.wav", scratch.Path() / "dangling.wav");
  for (const std::string& link : {scratch / "links/link.wav", scratch / "dangling.wav"}) {
    const RunResult l = Run({"render", in, link, "-q"});
    ASSERT_EQ(l.exitCode, 0) << link << ": " << l.err;
    EXPECT_TRUE(fs::is_symlink(link)) << link;
  }
  EXPECT_EQ(fs::read_symlink(scratch / "links/link.wav"), "../real.wav");
  EXPECT_EQ(ReadOrFail(scratch / "real.wav").Frames(), 9000u);
  EXPECT_EQ(ReadOrFail(scratch / "missing.wav").Frames(), 9000u);
  EXPECT_TRUE(HiddenFiles(scratch.Path()).empty());
}

// SIGINT and SIGTERM at start-up, early in the render, and near its end: the process dies of the
// signal, OUT keeps its old content and no temporary file is left.
TEST_F(RenderCommand, SignalsAtEveryPhaseLeaveNoTemporaryFile) {
  const std::string big = scratch / "big.wav";
  Write(Sine(48000.0, 48000 * 30, 440.0, 0.5), big, ESampleFormat::kFloat32);
  const std::string out = scratch / "out.wav";
  const auto expectedBytes = static_cast<uintmax_t>(48000 * 30 * 8);
  // How far the hidden file must have grown before the signal goes: none, a little, most.
  const double phases[] = {-1.0, 0.02, 0.8};
  for (const int signal : {SIGINT, SIGTERM}) {
    for (const double phase : phases) {
      WriteText(out, "KEEP");
      std::vector<std::string> args{TOVRASAT_BINARY,
                                    "--component",
                                    Component(),
                                    "render",
                                    big,
                                    out,
                                    "-q",
                                    "--oversample",
                                    "4"};
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      pid_t pid = 0;
      ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
      bool exited = false;
      int status = 0;
      for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
           phase >= 0.0 && std::chrono::steady_clock::now() < until;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
          exited = true;
          break;
        }
        const std::vector<fs::path> hidden = HiddenFiles(scratch.Path());
        std::error_code ec;
        if (!hidden.empty() && static_cast<double>(fs::file_size(hidden.front(), ec)) >=
                                   phase * static_cast<double>(expectedBytes))
          break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (!exited) {
        ::kill(pid, signal);
        ::waitpid(pid, &status, 0);
      }
      const std::string what =
          "signal " + std::to_string(signal) + " phase " + std::to_string(phase);
      ASSERT_TRUE(WIFSIGNALED(status)) << what << ": the render ended before the signal";
      EXPECT_EQ(WTERMSIG(status), signal) << what;
      EXPECT_EQ(ReadText(out), "KEEP") << what;
      EXPECT_TRUE(HiddenFiles(scratch.Path()).empty()) << what;
    }
  }
}

TEST_F(RenderCommand, ABatchRendersEveryGoodFileAndReportsTheBadOne) {
  const fs::path src = scratch.Path() / "src";
  fs::create_directories(src);
  Write(Sine(44100.0, 4000, 200.0, 0.5), (src / "A.wav").string(), ESampleFormat::kFloat32);
  WriteText(src / "B.wav", "not audio");
  Write(Sine(48000.0, 3000, 300.0, 0.5, 1), (src / "C.flac").string(), ESampleFormat::kInt16);
  WriteText(src / "notes.txt", "a folder's other files are left alone");

  const std::string outDir = scratch / "out";
  const RunResult r = Run({"render", (src / "A.wav").string(), (src / "B.wav").string(),
                           (src / "C.flac").string(), "--out-dir", outDir, "--suffix", "-sat"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(ReadOrFail(scratch / "out/A-sat.wav").Frames(), 4000u);
  const AudioFile c = ReadOrFail(scratch / "out/C-sat.flac");
  EXPECT_EQ(c.Frames(), 3000u);
  EXPECT_EQ(c.NChannels(), 1);
  EXPECT_FALSE(fs::exists(scratch / "out/B-sat.wav"));
  EXPECT_NE(r.err.find("tovrasat: " + (src / "B.wav").string() + ": cannot read audio"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("A-sat.wav: 0.09 s; out peak "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 files: 2 rendered"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 failed: " + (src / "B.wav").string()), std::string::npos) << r.err;

  // A folder stands for its audio files; with all of them good the exit status is 0.
  fs::remove(src / "B.wav");
  const RunResult folder = Run({"render", src.string(), "--out-dir", scratch / "out2", "-q"});
  EXPECT_EQ(folder.exitCode, 0) << folder.err;
  EXPECT_EQ(FolderNames(scratch.Path() / "out2"), (std::vector<std::string>{"A.wav", "C.flac"}));
}

// 16-bit output carries TPDF dither: the error against the float render is spread over +-1.5
// steps with an RMS of half a step (rounding alone: within half a step, RMS 0.29) and no bias
// (truncation: a mean of -0.5). With --no-dither each sample is the float rounded.
TEST_F(RenderCommand, SixteenBitOutputIsDitheredUnlessAskedNotTo) {
  Write(Sine(48000.0, 48000, 997.0, 0.25, 1), in, ESampleFormat::kFloat32);
  ASSERT_EQ(Run({"render", in, scratch / "ref.wav", "-q"}).exitCode, 0);
  ASSERT_EQ(Run({"render", in, scratch / "d.wav", "-q", "--format", "s16"}).exitCode, 0);
  ASSERT_EQ(
      Run({"render", in, scratch / "nd.wav", "-q", "--format", "s16", "--no-dither"}).exitCode, 0);
  const std::vector<float> reference = ReadOrFail(scratch / "ref.wav").channels[0];
  const std::vector<int> dithered = ReadInts(scratch / "d.wav", 16);
  const std::vector<int> plain = ReadInts(scratch / "nd.wav", 16);
  ASSERT_EQ(dithered.size(), reference.size());
  ASSERT_EQ(plain.size(), reference.size());
  double sum = 0.0, squares = 0.0, largest = 0.0;
  size_t beyondHalf = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const double exact = reference[i] * 32768.0;
    ASSERT_EQ(plain[i], std::nearbyint(exact)) << i;
    const double e = dithered[i] - exact;
    sum += e;
    squares += e * e;
    largest = std::max(largest, std::fabs(e));
    if (std::fabs(e) > 0.5) ++beyondHalf;
  }
  const double n = static_cast<double>(reference.size());
  EXPECT_NEAR(std::sqrt(squares / n), 0.5, 0.02);
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_LE(largest, 1.5);
  EXPECT_GT(beyondHalf, reference.size() / 5);
}

TEST_F(RenderCommand, ClippedIntegerSamplesAreCountedInAWarning) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's Output Trim";
  const std::vector<std::string> loud{"--gain", "100", "--trim", "12", "-q"};
  auto run = [&](const std::string& name, std::vector<std::string> more) {
    std::vector<std::string> args{"render", in, scratch / name};
    args.insert(args.end(), loud.begin(), loud.end());
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  };
  const RunResult asFloat = run("f.wav", {});
  const RunResult clipped = run("c.wav", {"--format", "s16", "--no-dither"});
  ASSERT_EQ(asFloat.exitCode, 0) << asFloat.err;
  ASSERT_EQ(clipped.exitCode, 0) << clipped.err;
  EXPECT_TRUE(asFloat.err.empty()) << asFloat.err;  // float holds it all
  size_t expected = 0;
  for (const std::vector<float>& channel : ReadOrFail(scratch / "f.wav").channels)
    for (const float x : channel)
      if (std::nearbyint(x * 32768.0) > 32767.0 || std::nearbyint(x * 32768.0) < -32768.0)
        ++expected;
  ASSERT_GT(expected, 0u);
  // The samples past full scale put the true peak past 0 dBTP too: one warning says both.
  const std::string head = "tovrasat: warning: " + (scratch / "c.wav") + ": true peak +";
  const std::string tail = " dBTP passes full scale, " + std::to_string(expected) +
                           " samples clipped at full scale (lower --trim, or write --format f32)\n";
  EXPECT_EQ(clipped.err.rfind(head, 0), 0u) << clipped.err;
  ASSERT_GT(clipped.err.size(), head.size() + tail.size()) << clipped.err;
  EXPECT_EQ(clipped.err.substr(clipped.err.size() - tail.size()), tail);
  EXPECT_EQ(std::count(clipped.err.begin(), clipped.err.end(), '\n'), 1) << clipped.err;
}

// A 5 kHz tone at -1 dBFS and the default Gain at 44.1 kHz: its 9th harmonic (45 kHz) folds to
// 900 Hz. Rendered at four times the rate it falls by at least 40 dB, while music keeps its level
// and crest factor.
TEST_F(RenderCommand, OversamplingRemovesTheAliasAndKeepsTheSound) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's saturation";
  const double rate = 44100.0;
  Write(Sine(rate, 88200, 5000.0, std::pow(10.0, -1.0 / 20.0), 1), in, ESampleFormat::kFloat32);
  ASSERT_EQ(Run({"render", in, scratch / "plain.wav", "-q"}).exitCode, 0);
  const RunResult over = Run({"render", in, scratch / "x4.wav", "-q", "--oversample", "4"});
  ASSERT_EQ(over.exitCode, 0) << over.err;
  const AudioFile plain = ReadOrFail(scratch / "plain.wav");
  const AudioFile x4 = ReadOrFail(scratch / "x4.wav");
  ASSERT_EQ(x4.Frames(), plain.Frames());
  // One second from the middle: every component sits on a whole number of hertz.
  const auto db = [&](const AudioFile& f, double hz) {
    return 20.0 * std::log10(Amplitude(f.channels[0], rate, hz, 22050, 44100));
  };
  const double plainAlias = db(plain, 900.0);
  const double x4Alias = db(x4, 900.0);
  EXPECT_GT(plainAlias, -60.0);  // the fault is there to be removed
  EXPECT_LE(x4Alias, plainAlias - 40.0) << "plain " << plainAlias << " dBFS, x4 " << x4Alias;
  EXPECT_NEAR(db(x4, 5000.0), db(plain, 5000.0), 0.2);
  // The block size still changes nothing, though it also sets how the resamplers are fed.
  ASSERT_EQ(Run({"render", in, scratch / "x4b.wav", "-q", "--oversample", "4", "--block", "100"})
                .exitCode,
            0);
  EXPECT_EQ(ReadText(scratch / "x4b.wav"), ReadText(scratch / "x4.wav"));

  Write(tools::DemoSignal::Make(rate), scratch / "music.wav", ESampleFormat::kFloat32);
  ASSERT_EQ(Run({"render", scratch / "music.wav", scratch / "m1.wav", "-q"}).exitCode, 0);
  ASSERT_EQ(Run({"render", scratch / "music.wav", scratch / "m4.wav", "-q", "--oversample", "4"})
                .exitCode,
            0);
  const tools::SignalStats m1 = tools::SignalStats::Measure(ReadOrFail(scratch / "m1.wav"));
  const tools::SignalStats m4 = tools::SignalStats::Measure(ReadOrFail(scratch / "m4.wav"));
  EXPECT_NEAR(m4.RmsDb(), m1.RmsDb(), 0.2);
  EXPECT_NEAR(m4.CrestDb(), m1.CrestDb(), 0.2);
}

// Five minutes of 48 kHz stereo float (115 MB of samples; in and out held at once would take
// 230 MB) render in an address space of 100 MB.
TEST_F(RenderCommand, ALongFileRendersInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  const std::string big = scratch / "long.wav";
  {
    tools::AudioWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(big, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000.0, 2, false, error))
        << error;
    const AudioFile second = Sine(48000.0, 48000, 110.0, 0.9);
    const float* data[] = {second.channels[0].data(), second.channels[1].data()};
    for (int s = 0; s < 300; ++s) ASSERT_TRUE(writer.Write(data, 48000, error)) << error;
    ASSERT_TRUE(writer.Finish(error)) << error;
  }
  const std::string out = scratch / "long-out.wav";
  std::vector<std::string> args{
      TOVRASAT_BINARY, "--component", Component(), "render", big, out, "-q"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const rlimit limit{100u << 20, 100u << 20};
    ::setrlimit(RLIMIT_AS, &limit);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(fs::file_size(out), fs::file_size(big));
}

}  // namespace
