// PluginHostTest.cpp: the command's host side: idle ticks at the pace of the audio, block
// boundaries, the meter's absence.
#include "plug/Timer.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/pluginhost/PluginHost.h"

#include <TovraSdk/RunLoopClock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

using tools::AudioFile;
using tools::PluginHost;
using toolstest::Component;
using toolstest::RealBundleBuilt;

AudioFile Ramp(double rate, size_t frames) {
  AudioFile f;
  f.sampleRate = rate;
  f.channels.assign(2, std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i)
    f.channels[0][i] = f.channels[1][i] = static_cast<float>(i % 100) / 200.0f;
  return f;
}

// The main run loop advances with the rendered audio: a 20 ms timer on it ticks once per 20 ms of
// audio, whatever the block size and however fast the machine renders.
TEST(TovrasatPluginHost, IdleTicksFollowTheAudioClock) {
  struct Case {
    double rate;
    size_t frames;
    UInt32 block;
    int ticks;
  };
  const Case cases[] = {
      {44100.0, 44100, 512, 50},   // one second
      {48000.0, 48000, 4096, 50},  // several ticks fall inside one block
      {48000.0, 959, 64, 0},       // 19.98 ms: not yet a tick
      {48000.0, 960, 960, 1},      // exactly 20 ms
      {96000.0, 9600, 100, 5},
  };
  std::string error;
  auto bundle = PluginHost::LoadBundle(Component(), error);
  ASSERT_TRUE(bundle) << error;
  for (const Case& c : cases) {
    auto plugin = PluginHost::Open(bundle, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_TRUE(plugin->Prepare(c.rate, 2, c.block, error)) << error;
    ASSERT_TRUE(TovraSdkRunLoopIsManualClock());
    int timerTicks = 0;
    auto timer = plug::Timer::Create([&](plug::Timer&) { ++timerTicks; }, 20);
    TovraSdkRunLoopAdvanceBy(0.0);  // its first tick, due at creation
    timerTicks = 0;
    AudioFile out;
    tools::RenderReport report;
    size_t progressCalls = 0, lastDone = 0;
    ASSERT_TRUE(plugin->Render(
        Ramp(c.rate, c.frames), out,
        [&](size_t done, size_t total) {
          ++progressCalls;
          EXPECT_EQ(total, c.frames);
          EXPECT_GT(done, lastDone);
          lastDone = done;
        },
        report, error))
        << error;
    EXPECT_EQ(report.idleTicks, c.ticks) << c.frames << " frames at " << c.rate;
    EXPECT_EQ(timerTicks, c.ticks) << c.frames << " frames at " << c.rate;
    EXPECT_EQ(lastDone, c.frames);
    EXPECT_GE(progressCalls, 1u);
    EXPECT_EQ(out.Frames(), c.frames);
  }
}

AudioFile Sine(double amplitude, double rate, size_t frames) {
  AudioFile f;
  f.sampleRate = rate;
  f.channels.assign(2, std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i)
    f.channels[0][i] = f.channels[1][i] = static_cast<float>(
        amplitude * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(i) / rate));
  return f;
}

// The figures of the summary come from the plug-in's own idle ticks: its meter follows the output
// peak after the trim, its lamp the engine's ceiling before the trim.
TEST(TovrasatPluginHost, MeterAndLampFollowThePlugInsIdleTicks) {
  if (!RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component";
  struct Case {
    const char* what;
    double amplitude;
    tools::RenderSettings settings;
    bool lampEveryTick;
  };
  const Case cases[] = {
      {"quiet and dry", 0.1, {0.0, 0.0, true, false, 512}, false},
      {"hot at full gain", 1.5, {100.0, 0.0, true, false, 512}, true},
      {"hot at full gain, trimmed", 1.5, {100.0, -6.0, true, false, 512}, true},
  };
  std::string error;
  auto bundle = PluginHost::LoadBundle(Component(), error);
  ASSERT_TRUE(bundle) << error;
  for (const Case& c : cases) {
    auto plugin = PluginHost::Open(bundle, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_TRUE(plugin->IsTovraSat());
    ASSERT_TRUE(plugin->Prepare(48000.0, 2, 512, error) && plugin->Apply(c.settings, error))
        << error;
    AudioFile out;
    tools::RenderReport report;
    ASSERT_TRUE(plugin->Render(Sine(c.amplitude, 48000.0, 48000), out, nullptr, report, error))
        << error;
    double peak = 0.0;
    for (const float x : out.channels[0]) peak = std::max(peak, static_cast<double>(std::fabs(x)));
    EXPECT_TRUE(report.meterAvailable) << c.what;
    EXPECT_EQ(report.idleTicks, 50) << c.what;
    EXPECT_NEAR(report.maxMeterDb, 20.0 * std::log10(peak), 0.01) << c.what;
    EXPECT_EQ(report.lampTicks, c.lampEveryTick ? 50 : 0) << c.what;
  }
}

TEST(TovrasatPluginHost, TheMeterIsUnknownForAUnitThatIsNotTovraSat) {
  std::string error;
  auto plugin = PluginHost::Open(PluginHost::LoadBundle(GAIN_FIXTURE_BUNDLE, error), error);
  ASSERT_TRUE(plugin) << error;
  EXPECT_FALSE(plugin->IsTovraSat());
  // The gain unit answers property 64000 with something else entirely: it must not be read as a
  // meter.
  EXPECT_FALSE(plugin->ReadMeter().has_value());
  ASSERT_TRUE(plugin->Prepare(48000.0, 2, 512, error)) << error;
  AudioFile out;
  tools::RenderReport report;
  ASSERT_TRUE(plugin->Render(Ramp(48000.0, 4800), out, nullptr, report, error)) << error;
  EXPECT_FALSE(report.meterAvailable);
  EXPECT_EQ(report.idleTicks, 5);
}

TEST(TovrasatPluginHost, PrepareRefusesWhatTheCommandCannotRender) {
  std::string error;
  auto plugin = PluginHost::Open(PluginHost::LoadBundle(Component(), error), error);
  ASSERT_TRUE(plugin) << error;
  EXPECT_FALSE(plugin->Prepare(48000.0, 3, 512, error));
  EXPECT_NE(error.find("mono and stereo"), std::string::npos) << error;
  EXPECT_FALSE(plugin->Prepare(48000.0, 0, 512, error));
}

TEST(TovrasatPluginHost, LocateBundlePrefersTheOptionThenTheEnvironment) {
  const char* old = std::getenv("TOVRASAT_COMPONENT");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TOVRASAT_COMPONENT", "/env/T.component", 1);
  EXPECT_EQ(PluginHost::LocateBundle("/opt/T.component"), "/opt/T.component");
  EXPECT_EQ(PluginHost::LocateBundle(""), "/env/T.component");
  ::setenv("TOVRASAT_COMPONENT", "", 1);
  // Neither given: the search beside the running program (the test program's real path).
  EXPECT_EQ(PluginHost::LocateBundle(""),
            PluginHost::BundleFor(std::filesystem::read_symlink("/proc/self/exe")));
  if (old != nullptr)
    ::setenv("TOVRASAT_COMPONENT", saved.c_str(), 1);
  else
    ::unsetenv("TOVRASAT_COMPONENT");
}

// The command finds its bundle with no option or variable both where the build puts the two and
// where an install does, wherever either tree is moved; with none there, the message names the
// installed place, never a build-tree path compiled in.
TEST(TovrasatPluginHost, BundleForFindsTheBuiltOrInstalledBundle) {
  namespace fs = std::filesystem;
  struct Case {
    std::string exe;       // the program, relative to a scratch folder
    std::string bundle;    // the bundle made there, empty for none
    std::string expected;  // BundleFor's answer, relative to the scratch folder
  };
  const auto installedFrom = [](const std::string& dir) {
    return (fs::path(dir) / PluginHost::InstalledBundle()).lexically_normal().string();
  };
  const std::string installed = installedFrom("bin");
  const Case cases[] = {
      {"tools/tovrasat", "TovraSat.component", "TovraSat.component"},  // the build tree
      {"bin/tovrasat", installed, installed},                          // installed
      {"bin/tovrasat", "", installed},                                 // missing: named still
      // A bundle in the program's own folder is neither layout.
      {"tools/tovrasat", "tools/TovraSat.component", installedFrom("tools")},
  };
  for (const Case& c : cases) {
    const testsupport::TempDir scratch;
    ASSERT_FALSE(scratch.Path().empty());
    if (!c.bundle.empty()) {
      fs::create_directories(scratch.Path() / c.bundle / "Contents");
      std::ofstream(scratch.Path() / c.bundle / "Contents" / "Info.plist") << "<plist/>";
    }
    EXPECT_EQ(PluginHost::BundleFor(scratch.Path() / c.exe), (scratch.Path() / c.expected).string())
        << c.exe << " with '" << c.bundle << "'";
  }
}

}  // namespace
