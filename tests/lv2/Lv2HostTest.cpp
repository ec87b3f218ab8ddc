// Lv2HostTest: the built TovraSat.lv2 in real LV2 hosts from Debian: lv2info, sord_validate,
// lv2apply against `tovrasat render`, and jalv on a JACK dummy server of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>

#include "tests/lv2/ArdourScript.h"
#include "tests/lv2/DebuggedHost.h"
#include "tests/lv2/HostFixture.h"
#include "tests/lv2/HostProcess.h"
#include "tests/lv2/ThreadStacks.h"
#include "tools/audiofile/AudioFile.h"

namespace {

namespace fs = std::filesystem;
using lv2test::DebuggedHost;
using lv2test::HostKind;
using lv2test::HostProcess;
using lv2test::ThreadStacks;
using lv2test::WhyHostCannotRun;
using namespace std::chrono_literals;

constexpr const char* kUri = "http://morvika.com/plugins/tovrasat";
constexpr const char* kHqUri = "http://morvika.com/plugins/tovrasat-hq";
// The frames TovraSat HQ delays its output by, at every rate (its filters and its limiter).
constexpr std::size_t kHqLatencyFrames = 44;

class Lv2Host : public lv2test::HostTest {
 protected:
  /** Exports snapshot of the saved session with ardour7-export to a float WAV, whose path goes to
   *  exported. Ardour 7.3 itself may crash or deadlock in its export code, with or without a
   *  plug-in (see ThreadStacks). Each export runs under gdb on a fresh copy of the saved session,
   *  and only a failure whose stacks show none of our code taking part is tried again. */
  void ExportWithArdour(const fs::path& session, const std::string& snapshot,
                        std::string& exported) {
    constexpr int kExportAttempts = 4;
    const auto started = std::chrono::steady_clock::now();
    for (int attempt = 1;; ++attempt) {
      const fs::path copy =
          session.parent_path() / ("export-" + snapshot + "-" + std::to_string(attempt));
      fs::create_directories(copy);
      fs::copy(session, copy / "session", fs::copy_options::recursive);
      const std::string wav = (copy / "export.wav").string();
      DebuggedHost ardour(
          {"ardour7-export", "-b", "float", "-o", wav, (copy / "session").string(), snapshot}, env,
          THREAD_STACKS_SCRIPT);
      ASSERT_TRUE(ardour.Started()) << "gdb did not start";
      // Loading the session (and gdb reading Ardour's symbols) is slow on a busy machine; the
      // export of a short take that follows is not.
      ardour.WaitFor("* Writing ", 90s);
      const DebuggedHost::End end = ardour.Finish(30s);
      if (end == DebuggedHost::End::kExited) {
        ASSERT_EQ(ardour.Status(), 0) << ardour.Output();
        exported = wav;
        return;
      }
      ASSERT_NE(end, DebuggedHost::End::kLost) << "gdb gave no account of ardour7-export\n"
                                               << ardour.Output();
      const bool crashed = end == DebuggedHost::End::kCrashed;
      const ThreadStacks stacks = ThreadStacks::Parse(ardour.Output());
      const ThreadStacks::Verdict verdict = crashed ? stacks.TriageCrash() : stacks.TriageStall();
      const std::string failure = std::string("ardour7-export ") +
                                  (crashed ? "crashed" : "stalled") + " (attempt " +
                                  std::to_string(attempt) + "): " + verdict.reason;
      ASSERT_TRUE(verdict.hostFault) << failure << "\n" << ardour.Output();
      ASSERT_LT(attempt, kExportAttempts) << failure << "; no attempt left\n" << ardour.Output();
      ASSERT_LT(std::chrono::steady_clock::now() - started, 150s)
          << failure << "; no time left for another attempt\n"
          << ardour.Output();
      // The stacks the retry was judged by (a verdict of the host's needs them), for whoever
      // reads a passing test's output.
      const std::size_t judged = ardour.Output().rfind("thread stacks:");
      std::cout << "[ RETRY    ] " << failure << "\n"
                << ardour.Output().substr(judged == std::string::npos ? 0 : judged) << std::endl;
      RecordProperty("ardour_export_retries", attempt);
    }
  }
};

TEST_F(Lv2Host, Lv2infoListsThePluginItsPortsRangesAndPreset) {
  std::string out;
  ASSERT_EQ(Run({"lv2info", kUri}, out), 0) << out;
  for (const char* expected : {"Name:              TovraSat",
                               "Class:             Distortion",
                               "Author:            Morvika",
                               "Has latency:       yes, reported by port 8",
                               "http://morvika.com/plugins/tovrasat#ui",
                               "http://lv2plug.in/ns/extensions/ui#X11UI",
                               "http://lv2plug.in/ns/ext/state#interface",
                               "Default",
                               "Symbol:      gain",
                               "Maximum:     100.000000",
                               "Default:     24.000000",
                               "Symbol:      output_trim",
                               "Minimum:     -24.000000",
                               "Maximum:     12.000000",
                               "Symbol:      _48v",
                               "Symbol:      bypass",
                               "http://lv2plug.in/ns/lv2core#toggled",
                               "Symbol:      in_l",
                               "Symbol:      out_r",
                               "Symbol:      latency",
                               "Symbol:      meter",
                               "Symbol:      overload"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

// TovraSat HQ beside it: its own name, the latency port hosts compensate, the same UI and a
// factory preset of its own.
TEST_F(Lv2Host, Lv2infoListsTovraSatHqWithItsLatencyPortAndTheSameUi) {
  std::string out;
  ASSERT_EQ(Run({"lv2info", kHqUri}, out), 0) << out;
  for (const char* expected :
       {"Name:              TovraSat HQ", "Has latency:       yes, reported by port 8",
        "http://morvika.com/plugins/tovrasat#ui", "Default", "Symbol:      gain",
        "Symbol:      latency"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

// Only the LV2 schema bundles that lv2-dev installs are the schemas: other
// plug-ins installed on the machine bring their own extension properties, which the schemas do
// not define, and their errors would fail a check of our files.
TEST_F(Lv2Host, TurtleValidatesAgainstTheLv2Schemas) {
  std::string files;
  ASSERT_EQ(Run({"dpkg", "-L", "lv2-dev"}, files), 0) << files;
  std::vector<std::string> args{"sord_validate"};
  std::istringstream lines(files);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("/usr/lib/lv2/") && line.ends_with(".ttl")) args.push_back(line);
  }
  ASSERT_NE(std::find(args.begin(), args.end(), "/usr/lib/lv2/core.lv2/lv2core.ttl"), args.end())
      << "lv2-dev installs no LV2 core schema\n"
      << files;
  for (const char* file :
       {"manifest.ttl", "TovraSat.ttl", "presets.ttl", "TovraSatHQ.ttl", "presets-hq.ttl"}) {
    args.push_back((fs::path(TOVRASAT_LV2_BUNDLE) / file).string());
  }
  std::string out;
  EXPECT_EQ(Run(args, out), 0) << out;
  EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
}

// --------------------------------------------------------------------------------- lv2apply

// The hosts' files as interleaved samples, read and written by the command's own file code
// (float WAV written as given: the comparisons below are bit for bit).
bool WriteStereo(const std::string& path, const std::vector<float>& interleaved, int rate) {
  tools::AudioFile file;
  file.sampleRate = rate;
  file.channels.assign(2, std::vector<float>(interleaved.size() / 2));
  for (std::size_t i = 0; i < interleaved.size() / 2; ++i) {
    file.channels[0][i] = interleaved[2 * i];
    file.channels[1][i] = interleaved[2 * i + 1];
  }
  std::string error;
  return file.Write(path, tools::ESampleFormat::kFloat32, error);
}

std::vector<float> ReadAll(const std::string& path, int& channels) {
  tools::AudioFile file;
  std::string error;
  if (!tools::AudioFile::Read(path, file, error)) return {};
  channels = file.NChannels();
  std::vector<float> samples;
  samples.reserve(file.Frames() * file.channels.size());
  for (std::size_t i = 0; i < file.Frames(); ++i) {
    for (const std::vector<float>& channel : file.channels) samples.push_back(channel[i]);
  }
  return samples;
}

TEST_F(Lv2Host, Lv2applyGivesTheSamplesOfTovrasatRender) {
  if (const auto why = WhyHostCannotRun(HostKind::kLoadsModule)) GTEST_SKIP() << *why;
  // Bursts past full scale and quiet passages, so the knee, the clipper, the limiter and the
  // meter all work.
  std::vector<float> signal;
  for (int i = 0; i < 24000; ++i) {
    const double burst = (i / 3000) % 2 == 0 ? 1.3 : 0.2;
    signal.push_back(static_cast<float>(burst * std::sin(0.0144 * i)));
    signal.push_back(static_cast<float>(burst * std::sin(0.0215 * i + 1.0)));
  }
  const std::string in = scratch / "in.wav";
  ASSERT_TRUE(WriteStereo(in, signal, 48000));

  // lv2apply runs the plug-in one frame at a time, so the render runs blocks of 1 too.
  struct Setting {
    const char* name;
    std::vector<std::string> controls;  // lv2apply -c pairs
    std::vector<std::string> options;   // the same for tovrasat render
  };
  const Setting settings[] = {
      {"defaults", {}, {}},
      {"gain 60, trim -3, 48V off",
       {"gain", "60", "output_trim", "-3", "_48v", "0"},
       {"--gain", "60", "--trim", "-3", "--48v", "off"}},
      {"gain 100, trim +6.5",
       {"gain", "100", "output_trim", "6.5"},
       {"--gain", "100", "--trim", "6.5"}},
      {"gain 100, bypass", {"gain", "100", "bypass", "1"}, {"--gain", "100", "--bypass", "on"}},
  };
  int n = 0;
  // Both plug-ins of the bundle: TovraSat, and TovraSat HQ against `render --hq`.
  for (const bool hq : {false, true}) {
    for (const Setting& s : settings) {
      SCOPED_TRACE(hq ? "TovraSat HQ" : "TovraSat");
      const std::string lv2Out = scratch / ("lv2-" + std::to_string(n) + ".wav");
      const std::string auOut = scratch / ("au-" + std::to_string(n++) + ".wav");
      std::vector<std::string> lv2apply{"lv2apply", "-i", in, "-o", lv2Out};
      for (std::size_t i = 0; i + 1 < s.controls.size(); i += 2) {
        lv2apply.insert(lv2apply.end(), {"-c", s.controls[i], s.controls[i + 1]});
      }
      lv2apply.push_back(hq ? kHqUri : kUri);
      std::string out;
      ASSERT_EQ(Run(lv2apply, out), 0) << s.name << "\n" << out;

      std::vector<std::string> render{TOVRASAT_BINARY,   "render", in,   auOut,
                                      "--block",         "1",      "-q", "--component",
                                      TOVRASAT_COMPONENT};
      render.insert(render.end(), s.options.begin(), s.options.end());
      if (hq) render.push_back("--hq");
      ASSERT_EQ(Run(render, out), 0) << s.name << "\n" << out;

      int lv2Channels = 0;
      int auChannels = 0;
      const std::vector<float> lv2 = ReadAll(lv2Out, lv2Channels);
      const std::vector<float> au = ReadAll(auOut, auChannels);
      ASSERT_EQ(lv2Channels, 2) << s.name;
      ASSERT_EQ(auChannels, 2) << s.name;
      ASSERT_EQ(lv2.size(), signal.size()) << s.name;
      ASSERT_EQ(au.size(), signal.size()) << s.name;
      // lv2apply leaves HQ's latency in its output; the render takes it back out, so the two
      // agree once lv2apply's output is moved earlier by it (two samples a frame).
      const std::size_t lag = hq ? 2 * kHqLatencyFrames : 0;
      std::size_t differing = 0;
      for (std::size_t i = 0; i + lag < au.size(); ++i) differing += lv2[i + lag] != au[i] ? 1 : 0;
      EXPECT_EQ(differing, 0u) << s.name;
      if (std::string(s.name) != "gain 100, bypass") {
        EXPECT_NE(lv2, signal) << s.name << ": the plug-in must have processed";
      }
    }
  }
}

// -------------------------------------------------------------------------------------- jalv

TEST_F(Lv2Host, JalvSetsAControlAndRestoresSavedStateInASecondRun) {
  if (const auto why = WhyHostCannotRun(HostKind::kLoadsModule)) GTEST_SKIP() << *why;
  ASSERT_TRUE(StartJack());

  {
    HostProcess jalv({"stdbuf", "-oL", "jalv", "-x", "-n", "tovrasat-a", kUri}, env);
    ASSERT_TRUE(jalv.Started());
    ASSERT_TRUE(jalv.WaitFor("bypass = 0.000000", 60s)) << jalv.Output();
    jalv.Send("set gain 60\n");
    ASSERT_TRUE(jalv.WaitFor("gain = 60.000000", 20s)) << jalv.Output();
    jalv.Send("monitors\n");
    ASSERT_TRUE(jalv.WaitFor("latency = 0.000000", 20s)) << jalv.Output();
    ASSERT_TRUE(jalv.WaitFor("meter = -120.000000", 20s)) << jalv.Output();
    jalv.Send("presets\n");
    ASSERT_TRUE(jalv.WaitFor("Default", 20s)) << jalv.Output();
    jalv.CloseInput();  // jalv quits at the end of its input
    EXPECT_EQ(jalv.Finish(30s), 0) << jalv.Output();
  }

  // The state is saved with lilv, as jalv saves it, with a preset name and editor scale that
  // only the state chunk carries.
  const std::string saved = scratch / "session";
  std::string out;
  ASSERT_EQ(Run({LV2_STATE_TOOL, "save", saved, kUri, "name=Warm Tape", "scale=1.5", "gain=60",
                 "output_trim=-3.5", "_48v=0"},
                out),
            0)
      << out;
  ASSERT_TRUE(fs::exists(fs::path(saved) / "state.ttl"));

  {
    HostProcess jalv({"stdbuf", "-oL", "jalv", "-x", "-n", "tovrasat-b", "-l", saved, kUri}, env);
    ASSERT_TRUE(jalv.Started());
    jalv.Send("controls\n");
    ASSERT_TRUE(jalv.WaitFor("gain = 60.000000", 60s)) << jalv.Output();
    ASSERT_TRUE(jalv.WaitFor("output_trim = -3.500000", 20s)) << jalv.Output();
    ASSERT_TRUE(jalv.WaitFor("_48v = 0.000000", 20s)) << jalv.Output();
    jalv.CloseInput();  // jalv quits at the end of its input
    EXPECT_EQ(jalv.Finish(30s), 0) << jalv.Output();
  }
  // What the session file holds comes back whole, the name and scale included.
  ASSERT_EQ(Run({LV2_STATE_TOOL, "show", saved, kUri}, out), 0) << out;
  EXPECT_NE(out.find("gain=60 trim=-3.5 48v=0 bypass=0 scale=1.5 name=Warm Tape"),
            std::string::npos)
      << out;
}

// ------------------------------------------------------------------------------ user presets

// The presets `tovrasat presets` saves, overwrites and deletes are what lilv lists for the
// plug-in (under their names), and loading one gives the plug-in the preset's values and name;
// a preset file made by hand, with a name Turtle and file names must be careful with, shows up
// once an instance of the plug-in has been made; jalv lists and loads them too.
TEST_F(Lv2Host, UserPresetsAreListedAndLoadedByLilvAndJalv) {
  if (const auto why = WhyHostCannotRun(HostKind::kLoadsModule)) GTEST_SKIP() << *why;
  const std::string uri = kUri;
  auto tovrasat = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {TOVRASAT_BINARY, "--component", TOVRASAT_COMPONENT});
    std::string out;
    EXPECT_EQ(Run(args, out), 0) << out;
  };
  // PRESET-URI <tab> label, for every preset lilv finds.
  auto listed = [&] {
    std::string out;
    EXPECT_EQ(Run({LV2_STATE_TOOL, "presets", uri}, out), 0) << out;
    std::map<std::string, std::string> byLabel;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t tab = line.find('\t');
      if (tab != std::string::npos) byLabel[line.substr(tab + 1)] = line.substr(0, tab);
    }
    return byLabel;
  };
  // Loaded into an instance whose editor is at 150 %, which a preset leaves alone.
  auto loaded = [&](const std::string& presetUri) {
    std::string out;
    EXPECT_EQ(Run({LV2_STATE_TOOL, "preset", uri, presetUri, "scale=1.5"}, out), 0) << out;
    return out;
  };

  tovrasat({"presets", "save", "Warm Tape", "--gain", "60", "--trim", "-1.5", "--48v", "off"});
  tovrasat({"presets", "save", "Vox", "--gain", "35"});
  auto presets = listed();
  ASSERT_EQ(presets.count("Warm Tape"), 1u) << "listed under its name";
  ASSERT_EQ(presets.count("Vox"), 1u);
  EXPECT_EQ(presets.count("Default"), 1u) << "the factory preset stays";
  std::string out = loaded(presets["Warm Tape"]);
  EXPECT_NE(out.find("ports gain=60 output_trim=-1.5 _48v=0 bypass=0"), std::string::npos) << out;
  EXPECT_NE(out.find("gain=60 trim=-1.5 48v=0 bypass=0 scale=1.5 name=Warm Tape"),
            std::string::npos)
      << out;

  tovrasat({"presets", "save", "Warm Tape", "--gain", "30"});  // overwritten
  presets = listed();
  out = loaded(presets["Warm Tape"]);
  EXPECT_NE(out.find("gain=30 trim=0 48v=1 bypass=0 scale=1.5 name=Warm Tape"), std::string::npos)
      << out;
  tovrasat({"presets", "delete", "Vox"});
  presets = listed();
  EXPECT_EQ(presets.count("Vox"), 0u) << "a deleted preset is no longer listed";
  EXPECT_EQ(presets.count("Warm Tape"), 1u);

  // Made by hand: quotes, a tab, '#', '>' and UTF-8 in the name.
  const std::string odd = "Odd \"one\" two\t#3 > \xc3\xbc";
  {
    std::ofstream file(hostEnv.PresetDir() / (odd + ".tovrapreset"));
    file << "gain=12.5\ntrim=-6\nphat=0\n";
  }
  listed();  // an instance brings the bundle up to date
  presets = listed();
  ASSERT_EQ(presets.count(odd), 1u) << "the name comes back byte for byte";
  out = loaded(presets[odd]);
  EXPECT_NE(out.find("ports gain=12.5 output_trim=-6 _48v=0 bypass=0"), std::string::npos) << out;
  EXPECT_NE(out.find("name=" + odd + "\n"), std::string::npos) << out;

  ASSERT_TRUE(StartJack());
  HostProcess jalv({"stdbuf", "-oL", "jalv", "-x", "-n", "tovrasat-p", kUri}, env);
  ASSERT_TRUE(jalv.Started());
  ASSERT_TRUE(jalv.WaitFor("bypass = 0.000000", 60s)) << jalv.Output();
  jalv.Send("presets\n");
  ASSERT_TRUE(jalv.WaitFor(presets["Warm Tape"], 20s)) << jalv.Output();
  jalv.Send("preset " + presets["Warm Tape"] + "\ncontrols\n");
  ASSERT_TRUE(jalv.WaitFor("gain = 30.000000", 20s)) << jalv.Output();
  jalv.CloseInput();  // jalv quits at the end of its input
  EXPECT_EQ(jalv.Finish(30s), 0) << jalv.Output();
}

// ------------------------------------------------------------------------------------ Ardour

// What Ardour's generic view shows for each control: the value in the format Ardour made from
// the port's unit (Ardour prints a value with it as printf does; Lua's string.format is the same
// printf), and the port's comment as its tooltip. The units vocabulary is not on LV2_PATH, as on
// a machine without the LV2 development files: the bundle's own unit renderings must do.
TEST_F(Lv2Host, ArdourShowsEachControlWithItsUnitAndComment) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  const std::string lv2Path = env["LV2_PATH"];
  env["LV2_PATH"] = lv2Path.substr(0, lv2Path.find(':'));  // the bundle alone
  const std::string lua = lv2test::ArdourSessionScript(scratch / "session", kUri, R"lua(
-- Values to show, by port: Gain, Output Trim and the meter.
local shownAt = {[0] = 10, [1] = -3.5, [9] = -12.25}
for i = 0, plug:parameter_count() - 1 do
  local _, t = plug:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  local fmt = t[2].print_fmt
  print(string.format("port %d|%s|%s|%s", i, plug:parameter_label(i), fmt,
                      plug:get_parameter_docs(i)))
  if shownAt[i] then print(string.format("shown %d|%s", i, string.format(fmt, shownAt[i]))) end
end
close_session()
print("listed")
)lua");
  const std::string script = scratch / "show-controls.lua";
  std::ofstream(script) << lua;
  std::string out;
  ASSERT_EQ(Run({"ardour7-lua", script}, out), 0) << out;
  ASSERT_NE(out.find("listed"), std::string::npos) << out;

  // As the script prints them.
  const char* const expected[] = {
      "port 0|Gain|%.2f%%|How much of the saturated signal is mixed",
      "shown 0|10.00%",
      "port 1|Output Trim|%.3f dB|Output level after the saturation",
      "shown 1|-3.500 dB",
      "port 2|48V||How the final limiter reacts. On: it grabs every peak",
      "port 3|Bypass||On: the output cross-fades to the unprocessed input",
      "port 8|Latency|%.0f frames|The delay the plug-in adds",
      "port 9|Output Meter|%.0f dB|The output peak after the trim",
      "shown 9|-12 dB",
      "port 10|Overload Lamp||1 when the saturation reached its ceiling",
  };
  for (const char* line : expected) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
}

// A preset saved by `tovrasat presets` is one of Ardour's presets for the plug-in: Ardour finds
// it by its name and loading it sets the preset's values (Bypass off) and shows its name.
TEST_F(Lv2Host, ArdourLoadsAUserPresetByItsName) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  std::string out;
  ASSERT_EQ(Run({TOVRASAT_BINARY, "--component", TOVRASAT_COMPONENT, "presets", "save", "Warm Tape",
                 "--gain", "60", "--trim", "-1.5", "--48v", "off"},
                out),
            0)
      << out;
  const std::string lua = lv2test::ArdourSessionScript(scratch / "session", kUri, R"lua(
local preset = plug:preset_by_label("Warm Tape")
assert(preset, "Ardour lists no preset Warm Tape")
assert(plug:load_preset(preset), "Warm Tape not loaded")
for i = 0, 3 do
  print(string.format("value|%s|%g", plug:parameter_label(i),
                      ARDOUR.LuaAPI.get_processor_param(proc, i, true)))
end
print("shown|" .. plug:last_preset().label)
close_session()
)lua");
  const std::string script = scratch / "load-preset.lua";
  std::ofstream(script) << lua;
  ASSERT_EQ(Run({"ardour7-lua", script}, out), 0) << out;
  for (const char* line : {"value|Gain|60\n", "value|Output Trim|-1.5\n", "value|48V|0\n",
                           "value|Bypass|0\n", "shown|Warm Tape\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  }
}

// A stereo take of Ardour's own, joined from the mono files Ardour records one per channel.
std::vector<float> ReadTake(const fs::path& audioFiles) {
  fs::path left;
  fs::path right;
  for (const auto& entry : fs::directory_iterator(audioFiles)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with("%L.wav")) left = entry.path();
    if (name.ends_with("%R.wav")) right = entry.path();
  }
  if (left.empty() || right.empty()) return {};
  int channels = 0;
  const std::vector<float> l = ReadAll(left, channels);
  if (channels != 1) return {};
  const std::vector<float> r = ReadAll(right, channels);
  if (channels != 1 || r.size() != l.size()) return {};
  std::vector<float> stereo;
  for (std::size_t i = 0; i < l.size(); ++i) stereo.insert(stereo.end(), {l[i], r[i]});
  return stereo;
}

// Ardour has no headless import (it is an action of its editor window), so the session records
// a take from its dummy audio engine's noise generator instead, puts TovraSat on the track,
// saves, and a second Ardour process reopens the session (the plug-in's state included) and
// exports it.
TEST_F(Lv2Host, ArdourExportsTheSamplesOfLv2apply) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  const fs::path session = scratch / "session";
  // A take of the dummy engine's noise on the track, then TovraSat on it.
  const std::string lua = lv2test::ArdourSessionStart(session, "Uniform White Noise") +
                          lv2test::ArdourRecordTake(72000) + lv2test::ArdourAddPlugin(kUri) +
                          R"lua(
assert(ARDOUR.LuaAPI.set_processor_param(proc, 0, 90))   -- gain
assert(ARDOUR.LuaAPI.set_processor_param(proc, 1, 7.5))  -- output trim
assert(ARDOUR.LuaAPI.set_processor_param(proc, 2, 0))    -- 48V
s:save_state("", false, false, false, false, false)
close_session()
print("session saved")
)lua";
  const std::string script = scratch / "make-session.lua";
  std::ofstream(script) << lua;
  std::string out;
  ASSERT_EQ(Run({"ardour7-lua", script}, out), 0) << out;
  ASSERT_NE(out.find("session saved"), std::string::npos) << out;

  // The plug-in's state went into the session through the state extension.
  bool stateSaved = false;
  for (const auto& entry : fs::recursive_directory_iterator(session / "plugins")) {
    std::stringstream text;
    text << std::ifstream(entry.path()).rdbuf();
    if (entry.path().filename() == "state.ttl" &&
        text.str().find(std::string(kUri) + "#state") != std::string::npos) {
      stateSaved = true;
    }
  }
  EXPECT_TRUE(stateSaved);

  std::string exported;
  ASSERT_NO_FATAL_FAILURE(ExportWithArdour(session, "session", exported));

  const std::vector<float> take = ReadTake(session / "interchange" / "session" / "audiofiles");
  ASSERT_GE(take.size(), 2u * 24000) << "Ardour recorded no take";
  const std::string in = scratch / "take.wav";
  ASSERT_TRUE(WriteStereo(in, take, 48000));
  const std::string applied = scratch / "lv2apply.wav";
  ASSERT_EQ(Run({"lv2apply", "-i", in, "-o", applied, "-c", "gain", "90", "-c", "output_trim",
                 "7.5", "-c", "_48v", "0", kUri},
                out),
            0)
      << out;

  int channels = 0;
  const std::vector<float> ardour = ReadAll(exported, channels);
  ASSERT_EQ(channels, 2);
  const std::vector<float> lv2 = ReadAll(applied, channels);
  ASSERT_EQ(channels, 2);
  ASSERT_EQ(ardour.size(), take.size());
  ASSERT_EQ(lv2.size(), take.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < lv2.size(); ++i) differing += ardour[i] != lv2[i] ? 1 : 0;
  EXPECT_EQ(differing, 0u);
  EXPECT_NE(ardour, take) << "the plug-in must have processed the take";
}

// The offset, in frames, at which b best lines up with a: the lag from -maxLag to maxLag at which
// the cross-correlation of the two stereo signals (interleaved) peaks; a positive lag means a is
// later than b.
long CrossCorrelationPeak(const std::vector<float>& a, const std::vector<float>& b, long maxLag) {
  const long frames = static_cast<long>(std::min(a.size(), b.size()) / 2);
  long best = 0;
  double bestSum = std::numeric_limits<double>::lowest();
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double sum = 0.0;
    for (long i = std::max(0L, -lag); i < std::min(frames, frames - lag); ++i) {
      for (long c = 0; c < 2; ++c) sum += static_cast<double>(a[2 * (i + lag) + c]) * b[2 * i + c];
    }
    if (sum > bestSum) {
      bestSum = sum;
      best = lag;
    }
  }
  return best;
}

// TovraSat HQ delays its output by 44 frames and reports them; Ardour compensates what a plug-in
// reports. Two tracks play the same take (the dry one a copy of the HQ one's region): each is
// exported alone (the other muted in a snapshot of its own), and the two line up to the sample
// at both rates, while lv2apply, which compensates nothing, shows the delay there is to take
// back. HQ's export holds exactly the samples of `tovrasat render --hq`, which takes the latency
// back itself. The noise takes peak near -16 dBFS, and Gain is low: the saturation is mild and
// the correlation's peak sharp. Both plug-ins are among the LV2 plug-ins Ardour lists.
TEST_F(Lv2Host, ArdourExportsTovraSatHqInLineWithADryTrack) {
  if (const auto why = WhyHostCannotRun(HostKind::kGtkOrArdour)) GTEST_SKIP() << *why;
  for (const int rate : {44100, 48000}) {
    SCOPED_TRACE("at " + std::to_string(rate) + " Hz");
    const fs::path dir = scratch / std::to_string(rate);
    const fs::path session = dir / "session";
    const std::string lua = lv2test::ArdourSessionStart(session, "Uniform White Noise", rate) +
                            lv2test::ArdourRecordTake(rate) + R"lua(
local dry = s:new_audio_track(2, 2, nil, 1, "Dry", ARDOUR.PresentationInfo.max_order,
                              ARDOUR.TrackMode.Normal, true):front()
for region in track:playlist():region_list():iter() do
  local copy = ARDOUR.RegionFactory.clone_region(region, true, false)
  dry:playlist():add_region(copy, region:position(), 1, false)
end
dry:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorDisk,
                                   PBD.GroupControlDisposition.NoGroup)
waitFor("the dry track to play from disk", function()
  return dry:monitoring_control():get_value() == ARDOUR.MonitorChoice.MonitorDisk
end)
for info in ARDOUR.LuaAPI.list_plugins():iter() do
  if info.type == ARDOUR.PluginType.LV2 then print("listed|" .. info.unique_id .. "|" .. info.name) end
end
)lua" + lv2test::ArdourAddPlugin(kHqUri) +
                            R"lua(
assert(ARDOUR.LuaAPI.set_processor_param(proc, 0, 10))  -- gain
print(string.format("latency|%d", proc:signal_latency()))
local function only(heard, muted)
  heard:mute_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  muted:mute_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  waitFor("the other track to be muted", function()
    return heard:mute_control():get_value() == 0 and muted:mute_control():get_value() == 1
  end)
end
only(track, dry)
s:save_state("hq", false, false, false, false, false)
only(dry, track)
s:save_state("dry", false, false, false, false, false)
close_session()
print("session saved")
)lua";
    fs::create_directories(dir);
    const std::string script = dir / "make-session.lua";
    std::ofstream(script) << lua;
    std::string out;
    ASSERT_EQ(Run({"ardour7-lua", script}, out), 0) << out;
    ASSERT_NE(out.find("session saved"), std::string::npos) << out;
    for (const std::string& listed : {std::string("listed|") + kUri + "|TovraSat\n",
                                      std::string("listed|") + kHqUri + "|TovraSat HQ\n"}) {
      EXPECT_NE(out.find(listed), std::string::npos) << listed << out;
    }
    EXPECT_NE(out.find("latency|" + std::to_string(kHqLatencyFrames) + "\n"), std::string::npos)
        << out;

    std::string hqExport;
    std::string dryExport;
    ASSERT_NO_FATAL_FAILURE(ExportWithArdour(session, "hq", hqExport));
    ASSERT_NO_FATAL_FAILURE(ExportWithArdour(session, "dry", dryExport));
    const std::vector<float> take = ReadTake(session / "interchange" / "session" / "audiofiles");
    ASSERT_GE(take.size(), 2u * static_cast<std::size_t>(rate)) << "Ardour recorded no take";
    int channels = 0;
    const std::vector<float> hq = ReadAll(hqExport, channels);
    ASSERT_EQ(channels, 2);
    const std::vector<float> dry = ReadAll(dryExport, channels);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(hq.size(), take.size());
    ASSERT_TRUE(dry == take) << "the dry track exports the take itself";

    const std::string in = dir / "take.wav";
    ASSERT_TRUE(WriteStereo(in, take, rate));
    const std::string raw = dir / "lv2apply.wav";
    ASSERT_EQ(Run({"lv2apply", "-i", in, "-o", raw, "-c", "gain", "10", kHqUri}, out), 0) << out;
    const std::string rendered = dir / "render.wav";
    ASSERT_EQ(Run({TOVRASAT_BINARY, "render", in, rendered, "--hq", "--gain", "10", "-q",
                   "--component", TOVRASAT_COMPONENT},
                  out),
              0)
        << out;

    const long offset = CrossCorrelationPeak(hq, dry, 128);
    std::cout << "[ MEASURED ] at " << rate << " Hz, HQ's export peaks against the dry one's at "
              << offset << " frames" << std::endl;
    RecordProperty("ardour_hq_offset_" + std::to_string(rate), std::to_string(offset));
    EXPECT_EQ(offset, 0);
    const std::vector<float> uncompensated = ReadAll(raw, channels);
    ASSERT_EQ(uncompensated.size(), take.size());
    EXPECT_EQ(CrossCorrelationPeak(uncompensated, dry, 128), static_cast<long>(kHqLatencyFrames));
    const std::vector<float> render = ReadAll(rendered, channels);
    ASSERT_EQ(render.size(), take.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < render.size(); ++i) differing += hq[i] != render[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << "HQ's export against tovrasat render --hq";
    EXPECT_NE(hq, take) << "the plug-in must have processed the take";
  }
}

}  // namespace
