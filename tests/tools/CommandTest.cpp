// CommandTest.cpp: the tovrasat binary end to end: renders equal to the plug-in driven directly,
// every bad input, info, presets, demo.
#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"
#include "state/TovraPresets.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/audiofile/AudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>
#include <algorithm>
#include <cmath>

namespace {

namespace fs = std::filesystem;
using tools::AudioFile;
using toolstest::Component;
using toolstest::ExpectRefused;
using toolstest::PrivateHome;
using toolstest::ReadText;
using toolstest::RealBundleBuilt;
using toolstest::Refusal;
using toolstest::RunResult;
using toolstest::RunTool;
using toolstest::ScopedEnv;
using toolstest::TempDir;
using toolstest::WriteText;

// A signal with peaks past full scale, so the saturation and the limiter both work.
AudioFile TestSignal(int channels, double rate, size_t frames) {
  AudioFile f;
  f.sampleRate = rate;
  f.channels.assign(static_cast<size_t>(channels), std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double burst = (i / 2000) % 2 == 0 ? 1.2 : 0.3;
    for (int c = 0; c < channels; ++c)
      f.channels[static_cast<size_t>(c)][i] =
          static_cast<float>(burst * std::sin(2.0 * M_PI * (110.0 + 55.0 * c) * t) +
                             0.05 * std::sin(2.0 * M_PI * 3000.0 * t));
  }
  return f;
}

class TovrasatCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(TestSignal(2, 44100.0, 9000).Write(in, tools::ESampleFormat::kFloat32, error))
        << error;
  }

  RunResult Run(std::vector<std::string> args) { return RunTool(args, scratch); }

  TempDir scratch;
  PrivateHome home;
  ScopedEnv componentEnv{"TOVRASAT_COMPONENT", std::nullopt};
  std::string in = scratch / "in.wav";
};

// The settings a render is checked at, as options and as parameter values. The gain unit of the
// host tests has only a linear gain (0 to 4) and an invert switch.
struct Settings {
  std::vector<std::string> options;
  std::vector<std::pair<AudioUnitParameterID, float>> parameters;
};
Settings TestSettings() {
  if (RealBundleBuilt())
    return {{"--gain", "60", "--trim", "-3", "--48v", "off"}, {{0, 60.0f}, {1, -3.0f}, {2, 0.0f}}};
  return {{"--gain", "2"}, {{0, 2.0f}}};
}

// What a host gets from the unit driven directly: settings before the reset, then blocks of 256.
AudioFile RenderDirectly(const AudioFile& input, const Settings& settings) {
  std::string error;
  auto bundle = host::ComponentBundle::Load(Component(), error);
  EXPECT_TRUE(bundle) << error;
  if (!bundle) return {};
  AudioComponentDescription wanted{0x61756678, 0, 0, 0, 0};
  if (RealBundleBuilt()) wanted = {0x61756678, 0x54536174, 0x4D72766B, 0, 0};
  auto unit = host::HostedUnit::Open(bundle, wanted, error);
  EXPECT_TRUE(unit) << error;
  if (!unit) return {};
  const auto nc = static_cast<UInt32>(input.NChannels());
  EXPECT_EQ(unit->Configure({input.sampleRate, 256, nc, nc}), noErr);
  EXPECT_EQ(unit->Initialize(), noErr);
  for (const auto& [id, value] : settings.parameters)
    EXPECT_EQ(unit->SetParameter(id, value), noErr);
  EXPECT_EQ(unit->Reset(), noErr);
  AudioFile out;
  out.sampleRate = input.sampleRate;
  out.channels.assign(nc, std::vector<float>(input.Frames()));
  std::vector<const float*> ins;
  std::vector<float*> outs;
  for (UInt32 c = 0; c < nc; ++c) {
    ins.push_back(input.channels[c].data());
    outs.push_back(out.channels[c].data());
  }
  EXPECT_EQ(unit->Process(ins.data(), outs.data(), static_cast<UInt32>(input.Frames())), noErr);
  return out;
}

TEST_F(TovrasatCommand, RenderEqualsThePlugInDrivenDirectly) {
  for (const int channels : {2, 1}) {
    const AudioFile input = TestSignal(channels, 44100.0, 9000);
    std::string error;
    ASSERT_TRUE(input.Write(in, tools::ESampleFormat::kFloat32, error)) << error;
    const Settings settings = TestSettings();
    std::vector<std::string> args{"--component",       Component(), "render", in,
                                  scratch / "out.wav", "--block",   "256"};
    args.insert(args.end(), settings.options.begin(), settings.options.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("peak in"), std::string::npos) << r.err;
    AudioFile rendered;
    ASSERT_TRUE(AudioFile::Read(scratch / "out.wav", rendered, error)) << error;
    const AudioFile expected = RenderDirectly(input, settings);
    ASSERT_EQ(rendered.NChannels(), channels);
    ASSERT_EQ(rendered.Frames(), input.Frames());
    EXPECT_EQ(rendered.sampleRate, 44100.0);
    for (int c = 0; c < channels; ++c)
      for (size_t i = 0; i < input.Frames(); ++i)
        ASSERT_EQ(rendered.channels[c][i], expected.channels[c][i])
            << "channel " << c << " frame " << i;
    // The rendering changed the sound: the comparison is not of two copies of the input.
    EXPECT_NE(rendered.channels[0][100], input.channels[0][100]);
  }
}

TEST_F(TovrasatCommand, IntegerFormatsClipInsteadOfWrapping) {
  const RunResult r = Run(
      {"--component", Component(), "render", in, scratch / "out16.wav", "--format", "s16", "-q"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;  // --quiet
  SF_INFO info{};
  SNDFILE* file = sf_open((scratch / "out16.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  std::vector<short> samples(static_cast<size_t>(info.frames * info.channels));
  sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);
  // Every output sample that reached full scale sits at the rails; a wrapped one would flip sign.
  const AudioFile input = TestSignal(2, 44100.0, 9000);
  for (size_t i = 0; i < 9000; ++i) {
    const float x = input.channels[0][i];
    if (x > 1.0f) {
      ASSERT_GT(samples[2 * i], 0) << i;
    }
    if (x < -1.0f) {
      ASSERT_LT(samples[2 * i], 0) << i;
    }
  }
}

TEST_F(TovrasatCommand, BadInputGetsOneLineAndTheRightCodeAndLosesNothing) {
  const std::string out = scratch / "existing.wav";
  const std::string three = scratch / "three.wav";
  const std::string text = scratch / "notes.txt";
  const std::string folderOut = scratch / "outfolder";
  std::string error;
  ASSERT_TRUE(TestSignal(3, 44100.0, 100).Write(three, tools::ESampleFormat::kFloat32, error))
      << error;
  WriteText(text, "this is not audio\n");
  fs::create_directories(fs::path(folderOut) / "inside");
  const std::string inBytes = ReadText(in);
  const std::string c = Component();

  const Refusal cases[] = {
      {"no command", {}, 2, "subcommand"},
      {"unknown command", {"mix"}, 2, "unknown command 'mix'"},
      {"unknown option", {"--component", c, "render", in, out, "--bogus"}, 2, "--bogus"},
      {"missing OUT", {"--component", c, "render", in}, 2, "OUT"},
      {"gain above range",
       {"--component", c, "render", in, out, "--gain", "101"},
       2,
       "between 0 and 100"},
      {"gain not a number",
       {"--component", c, "render", in, out, "--gain", "loud"},
       2,
       "between 0 and 100"},
      {"gain NaN", {"--component", c, "render", in, out, "--gain", "nan"}, 2, "between 0 and 100"},
      {"trim below range",
       {"--component", c, "render", in, out, "--trim", "-24.5"},
       2,
       "between -24 and 12"},
      {"input gain above range",
       {"--component", c, "render", in, out, "--in-gain", "24.5"},
       2,
       "between -24 and 24 dB"},
      {"input gain below range",
       {"--component", c, "render", in, out, "--in-gain", "-25"},
       2,
       "between -24 and 24 dB"},
      {"48V neither on nor off",
       {"--component", c, "render", in, out, "--48v", "yes"},
       2,
       "on or off"},
      {"bypass neither on nor off",
       {"--component", c, "render", in, out, "--bypass", "1"},
       2,
       "on or off"},
      {"block of zero",
       {"--component", c, "render", in, out, "--block", "0"},
       2,
       "between 1 and 8192"},
      {"unknown format", {"--component", c, "render", in, out, "--format", "mp3"}, 2, "mp3"},
      {"OUT is IN", {"--component", c, "render", in, in}, 2, "same file"},
      {"OUT is IN, spelt otherwise",
       {"--component", c, "render", in, scratch / "./in.wav"},
       2,
       "same file"},
      {"missing IN", {"--component", c, "render", scratch / "none.wav", out}, 1, "none.wav"},
      {"IN not audio", {"--component", c, "render", text, out}, 1, "notes.txt"},
      {"IN is a folder", {"--component", c, "render", scratch.Path().string(), out}, 1, "folder"},
      {"three channels", {"--component", c, "render", three, out}, 1, "3 channels"},
      {"OUT in a missing folder",
       {"--component", c, "render", in, scratch / "no/such/x.wav"},
       1,
       "cannot write"},
      {"OUT is a folder", {"--component", c, "render", in, folderOut}, 1, "cannot write"},
      {"unknown preset",
       {"--component", c, "render", in, out, "--preset", "nope"},
       1,
       "no preset named 'nope'"},
      {"preset name leaving the folder",
       {"--component", c, "render", in, out, "--preset", "../x"},
       1,
       "../x"},
      {"no bundle",
       {"--component", scratch / "none.component", "render", in, out},
       1,
       "none.component"},
      {"bundle without a plist", {"--component", scratch.Path().string(), "info"}, 1, "Info.plist"},
      {"show an unknown preset", {"presets", "show", "nope"}, 1, "no preset named 'nope'"},
      {"delete an unknown preset", {"presets", "delete", "nope"}, 1, "no preset named 'nope'"},
      {"delete the built-in preset", {"presets", "delete", "Default"}, 2, "built-in"},
      {"save a name without usable characters", {"presets", "save", "///"}, 2, "no character"},
      {"save the built-in name", {"presets", "save", "Default"}, 2, "built-in"},
      {"save out of range", {"presets", "save", "x", "--trim", "13"}, 2, "between -24 and 12"},
      {"presets without a command", {"presets"}, 2, "subcommand"},
      {"unknown presets command",
       {"presets", "rename", "x"},
       2,
       "unknown presets command 'rename'"},
      {"an extra argument",
       {"--component", c, "render", in, out, "x.wav"},
       2,
       "several inputs with --out-dir DIR (see tovrasat render --help)"},
      {"an option given twice",
       {"--component", c, "render", in, out, "--gain", "1", "--gain", "2"},
       2,
       "--gain takes one value and was given more than one (see tovrasat render --help)"},
      {"an argument holding a newline",
       {"--component", c, "render", in + "\nrm -rf x", out},
       1,
       "in.wav\\nrm -rf x: cannot read audio"},
      {"an option holding a carriage return and an escape",
       {"--component", c, "render", in, out, "--gain", "5\r\x1b[2K"},
       2,
       "'5\\r\\x1B[2K' is not a number"},
      {"an extension no writer has", {"--component", c, "render", in, out + ".mp3"}, 2, ".mp3"},
      {"no extension", {"--component", c, "render", in, scratch / "noext"}, 2, "--type"},
      {"float samples in FLAC",
       {"--component", c, "render", in, scratch / "x.flac", "--format", "f32"},
       2,
       "FLAC cannot hold f32 samples"},
      {"a sample format for Vorbis",
       {"--component", c, "render", in, scratch / "x.ogg", "--format", "s16"},
       2,
       "--format does not apply"},
      {"an unknown --type", {"--component", c, "render", in, out, "--type", "mp4"}, 2, "mp4"},
      {"an oversampling factor of 3",
       {"--component", c, "render", in, out, "--oversample", "3"},
       2,
       "--oversample"},
      {"--suffix without --out-dir",
       {"--component", c, "render", in, out, "--suffix", "-x"},
       2,
       "--out-dir"},
      {"standard input in a batch",
       {"--component", c, "render", "-", "--out-dir", scratch / "batch"},
       2,
       "standard input"},
  };
  for (const Refusal& k : cases) {
    WriteText(out, "KEEP");
    ExpectRefused(Run(k.args), k);
    EXPECT_EQ(ReadText(out), "KEEP") << k.what;
    EXPECT_EQ(ReadText(in), inBytes) << k.what;
  }
  EXPECT_TRUE(fs::is_directory(fs::path(folderOut) / "inside"));
  // Nothing half-written is left next to the outputs.
  for (const auto& e : fs::directory_iterator(scratch.Path()))
    EXPECT_NE(e.path().filename().string().rfind(".", 0), 0u) << e.path();
}

TEST_F(TovrasatCommand, RenderReplacesAnExistingOut) {
  const std::string out = scratch / "existing.wav";
  WriteText(out, "OLD");
  const RunResult r = Run({"--component", Component(), "render", in, out, "--quiet"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AudioFile rendered;
  std::string error;
  EXPECT_TRUE(AudioFile::Read(out, rendered, error)) << error;
  EXPECT_EQ(rendered.Frames(), 9000u);
}

TEST_F(TovrasatCommand, InfoShowsWhatAHostSees) {
  const RunResult r = Run({"--component", Component(), "info"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  if (!RealBundleBuilt()) {
    EXPECT_NE(r.out.find("parameters   2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Invert\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("saved state  8 bytes"), std::string::npos) << r.out;
    GTEST_SKIP()
        << "TovraSat.component is not built: checked against the host tests' gain unit only";
  }
  EXPECT_NE(r.out.find("codes        aufx TSat Mrvk"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("parameters   4"), std::string::npos) << r.out;
  for (const char* name : {"\"Gain\"", "\"Output Trim\"", "\"48V\"", "\"Bypass\""})
    EXPECT_NE(r.out.find(name), std::string::npos) << name << "\n" << r.out;
  EXPECT_NE(r.out.find("channels     1-1 2-2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("saved state  47 bytes"), std::string::npos) << r.out;
  // 48V has four display texts for two values: the host's list holds two empty entries, which
  // are no texts the switch shows.
  EXPECT_NE(r.out.find("value strings 0 \"off\", 1 \"on\"\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\"\""), std::string::npos) << r.out;
}

TEST_F(TovrasatCommand, VersionNamesTheCommandAndThePlugIn) {
  const RunResult r = Run({"--component", Component(), "--version"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("tovrasat 1.0.0 (", 0), 0u) << r.out;
  if (RealBundleBuilt()) {
    EXPECT_NE(r.out.find("TovraSat 1.0.0 from " + Component()), std::string::npos) << r.out;
  }
  const RunResult missing = Run({"--component", scratch / "none.component", "--version"});
  EXPECT_EQ(missing.exitCode, 0) << missing.err;
  EXPECT_NE(missing.out.find("plug-in: n/a (no component bundle"), std::string::npos)
      << missing.out;
}

// The plug-in reads a hand-edited file by its own rules; the command says where the text and
// the reading part ways, naming the file and the field, and stays quiet for a clean file.
TEST_F(TovrasatCommand, PresetFieldsReadAsSomethingElseAreWarnedAbout) {
  const fs::path dir = tovrapresets::Dir();
  fs::create_directories(dir);
  const std::string file = (dir / "Odd.tovrapreset").string();
  WriteText(file, "gain=abc\ntrim=99\nphat=on\n");
  const RunResult shown = Run({"presets", "show", "Odd"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out, "Odd: gain 0.00 %, trim 12.00 dB, 48V off\n");
  EXPECT_EQ(shown.err,
            "tovrasat: warning: " + file + ": gain=abc is not a number; read as 0.00 %\n" +
                "tovrasat: warning: " + file +
                ": trim=99 is out of range (-24.00 to 12.00); read as 12.00 dB\n" +
                "tovrasat: warning: " + file + ": phat=on is neither 0 nor 1; 48V read as off\n");
  const RunResult rendered =
      Run({"--component", Component(), "render", in, scratch / "o.wav", "--preset", "Odd", "-q"});
  ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
  EXPECT_EQ(rendered.err, shown.err);

  // What the plug-in writes, and the forms its reader takes as meant, are clean.
  WriteText(file, "gain=33.5\r\ntrim= -1,5\nphat=1\nnote=anything\n");
  const RunResult clean = Run({"presets", "show", "Odd"});
  EXPECT_EQ(clean.exitCode, 0) << clean.err;
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(clean.out, "Odd: gain 33.50 %, trim -1.50 dB, 48V on\n");
}

TEST_F(TovrasatCommand, PresetsAreFoundUnderTheNameSaveCleanedThemTo) {
  const RunResult saved = Run({"--component", Component(), "presets", "save", " My: Preset/2. "});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  const RunResult shown = Run({"presets", "show", " My: Preset/2. "});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out.rfind(" My: Preset/2. : gain", 0), 0u) << shown.out;
  const RunResult deleted = Run({"presets", "delete", " My: Preset/2. "});
  EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "deleted 'My Preset2'\n");
  EXPECT_TRUE(tovrapresets::List().empty());
}

// A FIFO where a preset file should be would block the command forever if opened.
TEST_F(TovrasatCommand, APresetThatIsNoRegularFileIsRefusedWithoutWaiting) {
  fs::create_directories(tovrapresets::Dir());
  ASSERT_EQ(::mkfifo(tovrapresets::PathFor("Pipe").c_str(), 0644), 0);
  const RunResult r = Run({"presets", "show", "Pipe"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Pipe.tovrapreset: is not a regular file"), std::string::npos) << r.err;
}

TEST_F(TovrasatCommand, PresetsListShowsTheFolderAndItsPresetsInOrder) {
  ASSERT_TRUE(tovrapresets::Save("beta", {50.0, -6.0, false}));
  ASSERT_TRUE(tovrapresets::Save("Alpha", {10.0, 0.0, true}));
  const RunResult r = Run({"presets", "list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find(tovrapresets::Dir().string()), std::string::npos) << r.out;
  const size_t def = r.out.find("Default");
  const size_t alpha = r.out.find("Alpha");
  const size_t beta = r.out.find("beta");
  ASSERT_NE(beta, std::string::npos) << r.out;
  EXPECT_LT(def, alpha);
  EXPECT_LT(alpha, beta);
  EXPECT_NE(r.out.find("gain 50.00 %, trim -6.00 dB, 48V off"), std::string::npos) << r.out;

  const RunResult shown = Run({"presets", "show", "beta"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out, "beta: gain 50.00 %, trim -6.00 dB, 48V off\n");
  const RunResult deleted = Run({"presets", "delete", "beta"});
  EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
  EXPECT_EQ(tovrapresets::List(), std::vector<std::string>{"Alpha"});
}

TEST_F(TovrasatCommand, SavedPresetRendersLikeItsOptions) {
  if (!RealBundleBuilt())
    GTEST_SKIP() << "needs TovraSat.component (the gain unit has no Output Trim or 48V)";
  const std::string c = Component();
  const RunResult saved = Run({"--component", c, "presets", "save", " My: Preset/2. ", "--gain",
                               "60", "--trim", "-3", "--48v", "off"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(ReadText(tovrapresets::PathFor("My Preset2")), "gain=60.00\ntrim=-3.00\nphat=0\n");
  const RunResult a =
      Run({"--component", c, "render", in, scratch / "a.wav", "--preset", "My Preset2", "-q"});
  const RunResult b = Run({"--component", c, "render", in, scratch / "b.wav", "--gain", "60",
                           "--trim", "-3", "--48v", "off", "-q"});
  ASSERT_EQ(a.exitCode, 0) << a.err;
  ASSERT_EQ(b.exitCode, 0) << b.err;
  EXPECT_EQ(ReadText(scratch / "a.wav"), ReadText(scratch / "b.wav"));
  // An option beside the preset wins over the preset's value.
  const RunResult d = Run({"--component", c, "render", in, scratch / "d.wav", "--preset",
                           "My Preset2", "--gain", "100", "-q"});
  ASSERT_EQ(d.exitCode, 0) << d.err;
  EXPECT_NE(ReadText(scratch / "d.wav"), ReadText(scratch / "a.wav"));
}

TEST_F(TovrasatCommand, DemoWritesItsSignalAndATableForEachSetting) {
  if (!RealBundleBuilt())
    GTEST_SKIP() << "needs TovraSat.component (the gain unit has no 48V or Bypass)";
  const RunResult r = Run({"--component", Component(), "demo", scratch / "demo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* file : {"demo-input.wav", "gain0.wav", "gain24.wav", "gain60.wav", "gain100.wav",
                           "gain100-48v-off.wav", "gain60-trim-6.wav", "gain100-bypass.wav"})
    EXPECT_TRUE(fs::exists(scratch.Path() / "demo" / file)) << file;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3 + 7) << r.out;
  // Loudness and true peak beside peak and RMS; bypassed, the output measures as the input.
  EXPECT_NE(r.out.find("LUFS     dBTP"), std::string::npos) << r.out;
  const size_t bypass = r.out.find("Gain 100 %, bypass");
  ASSERT_NE(bypass, std::string::npos);
  const std::string row = r.out.substr(bypass, r.out.find('\n', bypass) - bypass);
  const size_t bar = row.find('|', row.find('|') + 1);
  EXPECT_EQ(row.substr(row.find('|') + 1, bar - row.find('|') - 1),
            row.substr(bar + 1, row.find('|', bar + 1) - bar - 1))
      << row;
}

}  // namespace

namespace {

TEST_F(TovrasatCommand, EditorWithoutADisplaySaysSoInOneLine) {
  toolstest::ScopedEnv noDisplay{"DISPLAY", std::nullopt};
  const RunResult r = Run({"--component", Component(), "editor", in, "--no-audio"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(
      r.err,
      "tovrasat: no display to open the editor on (DISPLAY is not set or cannot be reached)\n");
}

}  // namespace
