// RenderHqLatencyTest.cpp: a render through TovraSat HQ, whose filters delay its output, lines up
// with its input and keeps its length, with and without oversampling around the plug-in, from a
// file and in memory.
#include "tests/tools/RenderFixture.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/pluginhost/PluginHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using tools::AudioFile;
using tools::ESampleFormat;
using toolstest::RunResult;

using RenderHqLatency = toolstest::RenderFixture;

// The frame of the largest |x| within radius of around.
size_t PeakNear(const std::vector<float>& x, size_t around, size_t radius) {
  size_t best = around - radius;
  for (size_t i = around - radius; i <= around + radius && i < x.size(); ++i)
    if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
  return best;
}

// Clicks at Gain 0 % (the dry path through the filters) come out at the frames they went in, the
// last one a few frames before the end, so the delayed tail must be brought out too; the length
// is not a whole number of chunks or blocks.
TEST_F(RenderHqLatency, ClicksComeOutWhereTheyWentInAndTheLengthIsKept) {
  if (!toolstest::RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's HQ plug-in";
  struct Case {
    double rate;
    const char* oversample;
  };
  for (const Case& c : {Case{44100.0, "1"}, Case{96000.0, "1"}, Case{44100.0, "2"}}) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, oversample " + c.oversample);
    const size_t frames = 30011;
    const std::vector<size_t> clicks = {300, 12345, frames - 12};
    AudioFile click;
    click.sampleRate = c.rate;
    click.channels.assign(2, std::vector<float>(frames, 0.0f));
    for (const size_t at : clicks) {
      click.channels[0][at] = 0.5f;
      click.channels[1][at] = -0.5f;
    }
    const std::string source = scratch / "clicks.wav";
    const std::string rendered = scratch / "clicks-hq.wav";
    Write(click, source, ESampleFormat::kFloat32);
    const RunResult r = Run(
        {"--hq", "render", source, rendered, "--gain", "0", "--oversample", c.oversample, "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioFile out = toolstest::ReadOrFail(rendered);
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_EQ(out.Frames(), frames);
    for (const size_t at : clicks) {
      EXPECT_EQ(PeakNear(out.channels[0], at, 8), at) << "click at " << at;
      // The filters spread a click over a few frames: its peak keeps about two thirds of it.
      EXPECT_GT(out.channels[0][at], 0.3f) << "click at " << at;
      EXPECT_LT(out.channels[1][at], -0.3f) << "click at " << at;
    }
    // Nothing ahead of the first click but the resamplers' faint pre-ring: no frames of the
    // filters' start-up are left in front.
    for (size_t i = 0; i < clicks[0] - 60; ++i)
      ASSERT_LT(std::fabs(out.channels[0][i]), 1e-3f) << i;
  }
}

// The in-memory render (the demo's) takes the latency back as the file render does: an impulse
// in the first frame peaks there and one in the last frame comes out in it, at any block size,
// and the samples are those of `tovrasat render --hq` for the same input.
TEST_F(RenderHqLatency, TheInMemoryRenderLinesUpAsTheFileRenderDoes) {
  if (!toolstest::RealBundleBuilt()) GTEST_SKIP() << "needs TovraSat.component's HQ plug-in";
  struct Case {
    double rate;
    UInt32 block;
  };
  std::string error;
  auto bundle = tools::PluginHost::LoadBundle(toolstest::Component(), error);
  ASSERT_TRUE(bundle) << error;
  for (const Case& c : {Case{48000.0, 512}, Case{44100.0, 1}, Case{96000.0, 100}}) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, blocks of " + std::to_string(c.block));
    const size_t frames = 4801;
    AudioFile impulses;
    impulses.sampleRate = c.rate;
    impulses.channels.assign(2, std::vector<float>(frames, 0.0f));
    impulses.channels[0][0] = impulses.channels[1][0] = 0.5f;
    impulses.channels[0][frames - 1] = impulses.channels[1][frames - 1] = -0.5f;

    auto plugin = tools::PluginHost::Open(bundle, error, true);
    ASSERT_TRUE(plugin) << error;
    tools::RenderSettings settings;
    settings.gain = 10.0;
    ASSERT_TRUE(plugin->Prepare(c.rate, 2, c.block, error) && plugin->Apply(settings, error))
        << error;
    AudioFile out;
    tools::RenderReport report;
    ASSERT_TRUE(plugin->Render(impulses, out, nullptr, report, error)) << error;
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_EQ(out.Frames(), frames);
    for (const std::vector<float>& channel : out.channels) {
      const auto peak = std::max_element(channel.begin(), channel.end());
      EXPECT_EQ(peak - channel.begin(), 0);
      EXPECT_GT(*peak, 0.3f);
      EXPECT_LT(channel[frames - 1], -0.3f);
    }

    const std::string source = scratch / "impulses.wav";
    const std::string rendered = scratch / "impulses-hq.wav";
    Write(impulses, source, ESampleFormat::kFloat32);
    const RunResult r = Run({"--hq", "render", source, rendered, "--gain", "10", "--block",
                             std::to_string(c.block), "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioFile file = toolstest::ReadOrFail(rendered);
    ASSERT_EQ(file.channels.size(), 2u);
    ASSERT_EQ(file.Frames(), frames);
    size_t differing = 0;
    for (size_t ch = 0; ch < 2; ++ch)
      for (size_t i = 0; i < frames; ++i)
        differing += file.channels[ch][i] != out.channels[ch][i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << "samples unlike the file render's";
  }
}

}  // namespace
