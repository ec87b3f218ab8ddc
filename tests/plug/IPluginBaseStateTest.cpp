// IPluginBase state: the parameter block, factory presets and their restore path.
#include "plug/api/IPluginBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/plug/TestPlugin.h"

namespace {

using plug::IByteChunk;
using plugtest::Event;
using plugtest::TestPlugin;

IByteChunk Doubles(const std::vector<double>& values, int extraBytes = 0) {
  IByteChunk chunk;
  for (double v : values) chunk.Put(v);
  for (int i = 0; i < extraBytes; ++i) chunk.Put(std::uint8_t{0});
  return chunk;
}

std::vector<double> Values(const TestPlugin& p) {
  std::vector<double> v;
  for (int i = 0; i < p.NParams(); ++i) v.push_back(p.GetParam(i)->Value());
  return v;
}

class PluginState : public ::testing::Test {
 protected:
  void SetUp() override { p.InitTovraParams(); }
  TestPlugin p;
};

TEST_F(PluginState, SerializeParamsWritesOneDoublePerParameter) {
  IByteChunk chunk;
  chunk.Put(std::uint8_t{7});  // appends to what is there
  EXPECT_TRUE(p.SerializeParams(chunk));
  ASSERT_EQ(chunk.Size(), 33);
  const double expected[4] = {24.0, 0.0, 1.0, 0.0};
  EXPECT_EQ(std::memcmp(chunk.GetData() + 1, expected, sizeof expected), 0);

  plug::Config none = plugtest::TovraConfig();
  none.nParams = 0;
  TestPlugin empty(none);
  IByteChunk nothing;
  EXPECT_TRUE(empty.SerializeParams(nothing));
  EXPECT_EQ(nothing.Size(), 0);
}

TEST_F(PluginState, UnserializeParamsRestoresWhatFitsConstrainedAndAlwaysResets) {
  const struct {
    const char* what;
    IByteChunk chunk;
    int start;
    int expected;
    std::vector<double> values;
  } cases[] = {
      {"all four", Doubles({50.0, -6.5, 0.0, 1.0}), 0, 32, {50.0, -6.5, 0.0, 1.0}},
      {"trailing bytes stay unread",
       Doubles({50.0, -6.5, 0.0, 1.0}, 15),
       0,
       32,
       {50.0, -6.5, 0.0, 1.0}},
      {"from an offset", Doubles({99.0, 50.0, -6.5, 0.0, 1.0}), 8, 40, {50.0, -6.5, 0.0, 1.0}},
      {"out of range is clamped",
       Doubles({150.0, -99.0, 7.0, -1.0}),
       0,
       32,
       {100.0, -24.0, 1.0, 0.0}},
      {"switches round to a whole step",
       Doubles({24.0, 0.0, 0.4, 0.5}),
       0,
       32,
       {24.0, 0.0, 0.0, 1.0}},
      {"20 bytes: the first two only", Doubles({10.0, 3.0}, 4), 0, -1, {10.0, 3.0, 1.0, 0.0}},
      {"negative start: nothing read",
       Doubles({50.0, -6.5, 0.0, 1.0}),
       -3,
       -3,
       {24.0, 0.0, 1.0, 0.0}},
      {"start past the end", Doubles({50.0}), 100, -1, {24.0, 0.0, 1.0, 0.0}},
  };
  for (const auto& c : cases) {
    TestPlugin fresh;
    fresh.InitTovraParams();
    EXPECT_EQ(fresh.UnserializeParams(c.chunk, c.start), c.expected) << c.what;
    EXPECT_EQ(Values(fresh), c.values) << c.what;
    // OnParamReset with the preset-recall source, in every case.
    const std::vector<Event> events = fresh.TakeEvents();
    ASSERT_EQ(events.size(), 8u) << c.what;
    EXPECT_EQ(events[1], Event(Event::kParamChangeUI, 0, 0.0, plug::kPresetRecall)) << c.what;
  }
}

TEST_F(PluginState, DefaultPresetCapturesTheCurrentState) {
  EXPECT_EQ(p.NPresets(), 1);
  EXPECT_STREQ(p.GetPresetName(0), "empty");
  EXPECT_FALSE(p.GetPreset(0)->mInitialized);
  p.MakeDefaultPreset("Default", 1);
  EXPECT_STREQ(p.GetPresetName(0), "Default");
  IByteChunk expected;
  p.SerializeState(expected);
  EXPECT_TRUE(p.GetPreset(0)->mChunk.IsEqual(expected));
  EXPECT_EQ(p.GetPreset(0)->mChunk.Size(), 32);

  p.MakeDefaultPreset("Again", 1);  // none uninitialised is left
  EXPECT_STREQ(p.GetPresetName(0), "Default");
  EXPECT_STREQ(p.GetPresetName(1), "");
  EXPECT_STREQ(p.GetPresetName(-1), "");
}

TEST(PluginPresets, MakeDefaultPresetFillsUninitialisedPresetsInOrder) {
  const struct {
    int nPresets;
    const char* name;
    int count;
    std::vector<const char*> names;
  } cases[] = {
      {3, "A", 2, {"A", "A", "empty"}},
      {2, nullptr, 1, {"Empty", "empty"}},
      {2, "B", 5, {"B", "B"}},
      {2, "C", 0, {"empty", "empty"}},
      {0, "D", 1, {}},
  };
  for (const auto& c : cases) {
    plug::Config config = plugtest::TovraConfig();
    config.nPresets = c.nPresets;
    TestPlugin p(config);
    p.MakeDefaultPreset(c.name, c.count);
    ASSERT_EQ(p.NPresets(), static_cast<int>(c.names.size()));
    for (int i = 0; i < p.NPresets(); ++i) EXPECT_STREQ(p.GetPresetName(i), c.names[i]) << i;
  }
}

TEST(PluginPresets, PruneRemovesUninitialisedPresetsKeepingOrder) {
  plug::Config config = plugtest::TovraConfig();
  config.nPresets = 4;
  TestPlugin p(config);
  p.MakeDefaultPreset("first", 1);
  p.MakeDefaultPreset("second", 1);
  p.PruneUninitializedPresets();
  ASSERT_EQ(p.NPresets(), 2);
  EXPECT_STREQ(p.GetPresetName(0), "first");
  EXPECT_STREQ(p.GetPresetName(1), "second");
}

TEST_F(PluginState, RestorePresetReturnsToTheCapturedValues) {
  p.MakeDefaultPreset("Default", 1);
  p.GetParam(0)->Set(80.0);
  p.GetParam(2)->Set(0.0);
  p.TakeEvents();

  EXPECT_TRUE(p.RestorePreset(0));
  EXPECT_EQ(Values(p), (std::vector<double>{24.0, 0.0, 1.0, 0.0}));
  EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
  // OnParamReset, then every normalised value pushed to the editor.
  const std::vector<Event> events = p.TakeEvents();
  ASSERT_EQ(events.size(), 16u);
  EXPECT_EQ(events[8], Event(Event::kFromDelegate, 0, 0.24, 1));
  EXPECT_EQ(events[14], Event(Event::kFromDelegate, 3, 0.0, 1));

  p.GetParam(0)->Set(80.0);
  EXPECT_TRUE(p.RestorePreset("Default"));
  EXPECT_EQ(p.GetParam(0)->Value(), 24.0);

  const struct {
    int idx;
    const char* name;
  } failing[] = {{1, "Nope"}, {-1, ""}};
  for (const auto& f : failing) {
    p.GetParam(0)->Set(80.0);
    EXPECT_FALSE(p.RestorePreset(f.idx));
    EXPECT_FALSE(p.RestorePreset(f.name));
    EXPECT_EQ(p.GetParam(0)->Value(), 80.0);
  }
  EXPECT_FALSE(p.RestorePreset(nullptr));
}

TEST(PluginPresets, RestoreOfAnUninitialisedPresetFails) {
  TestPlugin p;
  p.InitTovraParams();
  // An empty chunk: the restore reads nothing and must not count as a success.
  EXPECT_FALSE(p.RestorePreset(0));
  EXPECT_EQ(p.GetParam(0)->Value(), 24.0);
}

}  // namespace
