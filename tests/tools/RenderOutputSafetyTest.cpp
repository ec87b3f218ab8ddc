// RenderOutputSafetyTest.cpp: tovrasat render never reports a bad or lost file as a success:
// empty inputs, batch name clashes, replaced files' permissions, truncated inputs, outputs past
// the 32-bit size limits, pipes, long names; and the habits of the tools beside it (--, /dev/stdout).
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/audiofile/AudioWriter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

namespace fs = std::filesystem;
using tools::AudioFile;
using tools::AudioWriter;
using tools::ESampleFormat;
using toolstest::ExpectRefused;
using toolstest::HiddenFiles;
using toolstest::ReadText;
using toolstest::Refusal;
using toolstest::RunResult;
using toolstest::RunShell;
using toolstest::Sine;
using toolstest::WriteText;

using RenderOutputSafety = toolstest::RenderFixture;

// The frames libsndfile reads from path to the end; -1 when it cannot open it.
long long FramesRead(const std::string& path, int* format = nullptr) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return -1;
  if (format != nullptr) *format = info.format;
  std::vector<float> buffer(4096 * static_cast<size_t>(info.channels));
  long long total = 0;
  for (sf_count_t n = 0; (n = sf_readf_float(file, buffer.data(), 4096)) > 0;) total += n;
  const bool ok = sf_error(file) == SF_ERR_NO_ERROR;
  sf_close(file);
  return ok ? total : -1;
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A 0-frame input must not give a 0-byte file reported as rendered (for FLAC, the easy case to get
// wrong), replacing a good OUT: every type gets a file its reader takes, with no frames.
TEST_F(RenderOutputSafety, AnEmptyInputGivesAnEmptyButValidFileOfEveryType) {
  const std::string empty = scratch / "empty.wav";
  Write(Sine(48000.0, 0, 220.0, 0.5), empty, ESampleFormat::kInt16);
  const bool flacTool = HaveProgram("flac");
  for (const char* type : {"wav", "flac", "ogg", "aiff", "caf", "w64", "rf64", "au"}) {
    const std::string out = scratch / (std::string("e.") + type);
    // A good file of the type stands where the empty one goes: it must be replaced by a valid one.
    ASSERT_EQ(Run({"render", in, out, "-q"}).exitCode, 0) << type;
    const RunResult r = Run({"render", empty, out, "-q"});
    ASSERT_EQ(r.exitCode, 0) << type << ": " << r.err;
    EXPECT_EQ(FramesRead(out), 0) << type << ": libsndfile cannot read it";
    // The command's own reader takes it back.
    const RunResult back = Run({"render", out, scratch / "back.wav", "-q"});
    EXPECT_EQ(back.exitCode, 0) << type << ": " << back.err;
    if (std::string(type) == "flac" && flacTool) {
      const RunResult test = RunShell("flac -t -s '" + out + "'", scratch);
      EXPECT_EQ(test.exitCode, 0) << test.err;
    }
  }
  EXPECT_TRUE(HiddenFiles(scratch.Path()).empty());
}

// Two inputs of one name would go to one output, the second overwriting the first while the
// summary says "2 files: 2 rendered". Such a batch is refused before anything is rendered.
TEST_F(RenderOutputSafety, ABatchWhoseInputsWouldShareAnOutputIsRefusedBeforeRendering) {
  for (const char* dir : {"a", "b", "c"}) fs::create_directories(scratch.Path() / dir);
  const std::string ax = scratch / "a/x.wav", bx = scratch / "b/x.wav", cx = scratch / "c/x.wav";
  const std::string bxFlac = scratch / "b/x.flac", ay = scratch / "a/y.wav";
  for (const std::string& f : {ax, bx, cx, bxFlac, ay}) Write(Sine(48000.0, 4800, 200, 0.5), f,
                                                              ESampleFormat::kInt16);
  const std::string o = scratch / "o";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {"one name in two folders", {ax, bx}, ax + " and " + bx + " would both be written to " + o + "/x.wav"},
      {"three of them", {ax, bx, cx}, ax + ", " + bx + " and " + cx + " would all be written to"},
      {"the suffix on both", {ax, bx, "--suffix", "-sat"}, "would both be written to " + o + "/x-sat.wav"},
      {"extensions made equal by --type", {ax, bxFlac, "--type", "wav"}, ax + " and " + bxFlac},
      {"one file given twice", {ay, ay}, ay + " and " + ay},
      {"a folder and a file in it", {scratch / "a", ax}, ax + " and " + ax},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"render"};
    args.insert(args.end(), k.args.begin(), k.args.end());
    args.insert(args.end(), {"--out-dir", o});
    ExpectRefused(Run(args), Refusal{k.what, {}, 2, k.message});
    EXPECT_FALSE(fs::exists(o) && !fs::is_empty(o)) << k.what << ": something was rendered";
  }
  // Two names that differ only in their extension stay apart.
  const RunResult apart = Run({"render", bx, bxFlac, "--out-dir", o, "-q"});
  EXPECT_EQ(apart.exitCode, 0) << apart.err;
  EXPECT_EQ(FramesRead(o + "/x.wav"), 4800);
  EXPECT_EQ(FramesRead(o + "/x.flac"), 4800);
}

// A replaced private file stays private (the new file takes the old one's mode), and a
// write-protected one is not replaced behind the user's back.
TEST_F(RenderOutputSafety, AReplacedFileKeepsItsModeAndAWriteProtectedOneIsLeftAlone) {
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* what;
    mode_t mode;
    bool refused;
  };
  const Case cases[] = {
      {"private", 0600, false},
      {"group may read", 0640, false},
      {"group may write", 0664, false},
      {"read-only for all", 0444, true},
      {"read-only, owner only", 0400, true},
  };
  for (const Case& k : cases) {
    const std::string out = scratch / "kept.wav";
    fs::remove(out);
    WriteText(out, "OLD");
    ASSERT_EQ(::chmod(out.c_str(), k.mode), 0);
    // As root the owner and group carry over too: the file belongs to someone else.
    if (root) {
      ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0);
    }
    const RunResult r = Run({"render", in, out, "-q"});
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, k.mode) << k.what;
    if (k.refused) {
      ExpectRefused(r, Refusal{k.what, {}, 1, out + ": cannot write: it is write-protected"});
      EXPECT_EQ(ReadText(out), "OLD") << k.what;
    } else {
      EXPECT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
      EXPECT_EQ(FramesRead(out), 9000) << k.what;
    }
    if (root) {
      EXPECT_EQ(st.st_uid, 65534u) << k.what;
      EXPECT_EQ(st.st_gid, 65534u) << k.what;
    }
  }
  // Through a link the file it points to is the one kept as it was.
  const std::string target = scratch / "target.wav", link = scratch / "link.wav";
  WriteText(target, "OLD");
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  fs::create_symlink("target.wav", link);
  ASSERT_EQ(Run({"render", in, link, "-q"}).exitCode, 0);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(HiddenFiles(scratch.Path()).empty());
}

// A file of 10 s cut after 3.47 s: the render says so, writes the 3.47 s and succeeds.
TEST_F(RenderOutputSafety, ATruncatedInputIsRenderedWithAWarning) {
  const AudioFile tenSeconds = Sine(8000.0, 80000, 300.0, 0.5, 1);
  for (const char* type : {"wav", "aiff", "w64", "rf64", "au"}) {
    const std::string whole = scratch / (std::string("whole.") + type);
    const std::string cut = scratch / (std::string("cut.") + type);
    Write(tenSeconds, whole, ESampleFormat::kInt16);
    const std::string bytes = ReadText(whole);
    WriteText(cut, bytes.substr(0, bytes.size() * 347 / 1000));
    const long long there = FramesRead(cut);
    ASSERT_GT(there, 0) << type;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", static_cast<double>(there) / 8000.0);
    const std::string out = scratch / "out.wav";
    const RunResult r = Run({"render", cut, out, "-q"});
    EXPECT_EQ(r.exitCode, 0) << type << ": " << r.err;
    EXPECT_EQ(r.err, "tovrasat: warning: " + cut + " ends after " + seconds +
                         " s of the 10.00 s its header gives\n")
        << type;
    EXPECT_EQ(FramesRead(out), there) << type;
    // The whole file has nothing to warn about.
    const RunResult full = Run({"render", whole, out, "-q"});
    EXPECT_EQ(full.exitCode, 0) << type;
    EXPECT_TRUE(full.err.empty()) << type << ": " << full.err;
  }
  // A WAV that came through a pipe says "until the end" in its header: not a truncation.
  const RunResult piped = RunShell("\"$T\" --component '" + toolstest::Component() + "' render '" +
                                       in + "' - -q | cat > '" + (scratch / "piped.wav") + "'",
                                   scratch);
  ASSERT_EQ(piped.exitCode, 0) << piped.err;
  const RunResult fromPipe = Run({"render", scratch / "piped.wav", scratch / "out.wav", "-q"});
  EXPECT_EQ(fromPipe.exitCode, 0);
  EXPECT_TRUE(fromPipe.err.empty()) << fromPipe.err;
}

// The size decision, with the limit lowered so that small lengths pass it: only the WAV, AIFF and
// AU sizes are 32-bit, a WAV file becomes RF64 and the others are refused with the reason.
TEST(OutputSizeLimit, IsDecidedFromTheLengthBeforeAFrameIsWritten) {
  constexpr uint64_t kLimit = 100000;  // 20 000 stereo float frames fill 160 000 bytes
  struct Case {
    const char* what;
    int format;
    long long frames;
    bool toPipe;
    int expected;  // the format used; 0: refused
    std::string message;
  };
  const int wavF = SF_FORMAT_WAV | SF_FORMAT_FLOAT, wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  const Case cases[] = {
      {"WAV within the limit", wavF, 10000, false, wavF, ""},
      {"WAV past it becomes RF64", wavF, 20000, false, SF_FORMAT_RF64 | SF_FORMAT_FLOAT, ""},
      {"16-bit WAV past it keeps its samples", wav16, 30000, false,
       SF_FORMAT_RF64 | SF_FORMAT_PCM_16, ""},
      {"16-bit WAV that fits stays WAV", wav16, 20000, false, wav16, ""},
      {"WAV on a pipe cannot turn", wavF, 20000, true, 0,
       "out.wav: WAV cannot hold the 0.00 GB of this render"},
      {"AIFF past it", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 20000, false, 0,
       "out.wav: AIFF cannot hold"},
      {"AU past it", SF_FORMAT_AU | SF_FORMAT_PCM_16, 40000, false, 0, "out.wav: Sun AU cannot hold"},
      {"Wave64 has 64-bit sizes", SF_FORMAT_W64 | SF_FORMAT_FLOAT, 20000, false,
       SF_FORMAT_W64 | SF_FORMAT_FLOAT, ""},
      {"CAF too", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 20000, false, SF_FORMAT_CAF | SF_FORMAT_FLOAT,
       ""},
      {"FLAC counts frames", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 20000, false,
       SF_FORMAT_FLAC | SF_FORMAT_PCM_24, ""},
      {"an unknown length is left to the writer", wavF, -1, false, wavF, ""},
  };
  for (const Case& k : cases) {
    int format = k.format;
    std::string error;
    const bool fits = AudioWriter::FitLength("out.wav", k.frames, 2, k.toPipe, kLimit, format,
                                             error);
    EXPECT_EQ(fits, k.expected != 0) << k.what << ": " << error;
    if (k.expected != 0) {
      EXPECT_EQ(format, k.expected) << k.what;
    }
    if (!k.message.empty()) {
      EXPECT_EQ(error.rfind(k.message, 0), 0u) << k.what << ": " << error;
    }
  }
}

// The same decision in the command, on a WAV whose 4 GiB of 16-bit samples are a sparse file (a
// header and a hole): AIFF is refused at once, and the WAV render starts as RF64.
TEST_F(RenderOutputSafety, AnOutputPastFourGigabytesIsDecidedBeforeRendering) {
  const std::string big = scratch / "big.wav";
  {
    tools::AudioWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(big, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000.0, 2, false, error));
    ASSERT_TRUE(writer.Finish(error)) << error;
  }
  // The data size says 0xFFFFFF00 bytes and the file is that long.
  const uint32_t dataBytes = 0xFFFFFF00u;
  const int fd = ::open(big.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const uint32_t riff = dataBytes + 36;
  ASSERT_EQ(::pwrite(fd, &riff, 4, 4), 4);  // little-endian, as the test machines are
  ASSERT_EQ(::pwrite(fd, &dataBytes, 4, 40), 4);
  ASSERT_EQ(::ftruncate(fd, 44 + static_cast<off_t>(dataBytes)), 0);
  ::close(fd);

  const auto start = std::chrono::steady_clock::now();
  const RunResult aiff = Run({"render", big, scratch / "big.aiff", "-q"});
  ExpectRefused(aiff, Refusal{"AIFF", {}, 2, "big.aiff: AIFF cannot hold the 4.29 GB"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(fs::exists(scratch / "big.aiff"));

  // The WAV render is stopped once its hidden file shows its first bytes.
  std::vector<std::string> args{TOVRASAT_BINARY, "--component", toolstest::Component(), "render",
                                big, scratch / "out.wav", "-q"};
  const std::vector<char*> argv = toolstest::ExecArgv(args);
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  std::string head;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       head.size() < 4 && std::chrono::steady_clock::now() < until;) {
    for (const fs::path& hidden : HiddenFiles(scratch.Path())) head = ReadText(hidden).substr(0, 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(head, "RF64");
}

// A container that seeks back to finish its header cannot stream to a pipe (AIFF would leave 54
// bytes there and libsndfile's own text): each gets one message before anything is written.
TEST_F(RenderOutputSafety, ContainersThatCannotStreamAreRefusedBeforeAByteReachesAPipe) {
  const std::string c = toolstest::Component();
  for (const char* type : {"aiff", "caf", "w64", "rf64", "flac"}) {
    const std::string bytes = scratch / "bytes";
    const RunResult r = RunShell("( \"$T\" --component '" + c + "' render '" + in +
                                     "' - --type " + type + "; echo $? > '" + (scratch / "rc") +
                                     "' ) | cat > '" + bytes + "'",
                                 scratch);
    EXPECT_EQ(ReadText(scratch / "rc"), "2\n") << type;
    EXPECT_EQ(ReadText(bytes), "") << type;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << type << ": " << r.err;
    EXPECT_NE(r.err.find("standard output: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" cannot be streamed to a pipe; write a file, or use --type wav, au or ogg"),
              std::string::npos)
        << type << ": " << r.err;
  }
  // Those that can stream do; /dev/stdout is standard output; -- ends the options, so an input
  // may start with a dash.
  fs::copy_file(in, scratch / "-take1.wav");
  struct Case {
    const char* what;
    std::string args;
    const char* file;  // where the bytes are kept, named for their type
  };
  const Case streams[] = {
      {"au", "render -q '" + in + "' - --type au", "s.au"},
      {"ogg", "render -q '" + in + "' - --type ogg", "s.ogg"},
      {"/dev/stdout", "render -q '" + in + "' /dev/stdout", "s.wav"},
      {"--", "render -q -- -take1.wav /dev/stdout", "dash.wav"},
  };
  for (const Case& k : streams) {
    const std::string file = scratch / k.file;
    const RunResult r = RunShell("cd '" + scratch.Path().string() + "' && \"$T\" --component '" +
                                     c + "' " + k.args + " | cat > '" + file + "'",
                                 scratch);
    EXPECT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    EXPECT_TRUE(r.err.empty()) << k.what << ": " << r.err;
    EXPECT_EQ(FramesRead(file), 9000) << k.what;
  }
}

// The output goes first to a hidden file beside it, whose name must stay within the file system's
// limit also for names of 248 to 255 bytes.
TEST_F(RenderOutputSafety, EveryNameTheFileSystemTakesCanBeWritten) {
  const std::string e = "\xC3\xA9";  // two bytes: the name is cut on a character boundary
  struct Case {
    const char* what;
    std::string name;
  };
  const Case cases[] = {
      {"248 bytes", std::string(244, 'n') + ".wav"},
      {"251 bytes", std::string(247, 'n') + ".wav"},
      {"255 bytes", std::string(251, 'n') + ".wav"},
      {"255 bytes of two-byte characters", "x" + [&] {
         std::string s;
         for (int i = 0; i < 125; ++i) s += e;
         return s;
       }() + ".wav"},
  };
  for (const Case& k : cases) {
    ASSERT_LE(k.name.size(), 255u);
    const std::string out = scratch / k.name;
    WriteText(out, "OLD");
    const RunResult r = Run({"render", in, out, "-q"});
    EXPECT_EQ(r.exitCode, 0) << k.what << ": " << r.err;
    EXPECT_EQ(FramesRead(out), 9000) << k.what;
    fs::remove(out);
  }
  EXPECT_TRUE(HiddenFiles(scratch.Path()).empty());
}

}  // namespace
