// StateChunkTest.cpp: the state chunk written and read by TovraSat, with its short and odd forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/core/CoreTestSupport.h"

namespace {

using plug::IByteChunk;

// The chunk of a freshly constructed plug-in, byte for byte (little-endian).
std::vector<std::uint8_t> GoldenDefaultChunk() {
  std::vector<std::uint8_t> bytes;
  const auto put = [&](const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  };
  for (double v : {24.0, 0.0, 1.0, 0.0}) put(&v, 8);
  const float scale = 1.0f;
  put(&scale, 4);
  const std::int32_t length = 7;
  put(&length, 4);
  put("Default", 7);
  return bytes;
}

TEST(TovraSatState, FreshPluginWritesTheGolden47Bytes) {
  auto plugin = coretest::MakePlugin();
  IByteChunk chunk;
  EXPECT_TRUE(plugin->SerializeState(chunk));
  ASSERT_EQ(chunk.Size(), 47);
  const std::vector<std::uint8_t> golden = GoldenDefaultChunk();
  EXPECT_EQ(std::vector<std::uint8_t>(chunk.GetData(), chunk.GetData() + chunk.Size()), golden);

  // Appends to what the chunk already holds.
  IByteChunk prefixed;
  prefixed.Put(std::int32_t{99});
  EXPECT_TRUE(plugin->SerializeState(prefixed));
  EXPECT_EQ(prefixed.Size(), 51);
  EXPECT_EQ(std::memcmp(prefixed.GetData() + 4, golden.data(), golden.size()), 0);

  // Restoring it returns 47 and changes nothing.
  EXPECT_EQ(plugin->UnserializeState(chunk, 0), 47);
  IByteChunk again;
  plugin->SerializeState(again);
  EXPECT_TRUE(again.IsEqual(chunk));
}

// What a restore starts from in every case below: nothing here is a default value, so a field
// that a restore touches by mistake shows.
struct Before {
  static constexpr double kGain = 50.0;
  static constexpr double kTrim = -6.0;
  static constexpr double k48V = 0.0;
  static constexpr double kBypass = 1.0;
  static constexpr float kScale = 1.5f;
  static constexpr const char* kName = "Before";
};

struct ChunkCase {
  const char* what;
  std::vector<std::uint8_t> bytes;
  int expectedPos;
  double gain, trim, v48, bypass;
  float scale;
  std::string name;
};

class ChunkBuilder {
 public:
  ChunkBuilder& Params(double gain, double trim, double v48, double bypass) {
    for (double v : {gain, trim, v48, bypass}) Put(v);
    return *this;
  }
  template <typename T>
  ChunkBuilder& Put(T value) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&value);
    mBytes.insert(mBytes.end(), b, b + sizeof(T));
    return *this;
  }
  ChunkBuilder& Bytes(const char* text, std::size_t n) {
    mBytes.insert(mBytes.end(), text, text + n);
    return *this;
  }
  ChunkBuilder& Truncate(std::size_t n) {
    mBytes.resize(n);
    return *this;
  }
  std::vector<std::uint8_t> Done() const { return mBytes; }

 private:
  std::vector<std::uint8_t> mBytes;
};

std::vector<ChunkCase> Cases() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto params = [] { return ChunkBuilder().Params(10.0, 3.0, 1.0, 0.0); };
  return {
      {"exactly the parameter block", params().Done(), 32, 10, 3, 1, 0, Before::kScale,
       Before::kName},
      {"zoom 2.0 with a valid name after it",
       params().Put(2.0f).Put(std::int32_t{3}).Bytes("abc", 3).Done(), 32, 10, 3, 1, 0,
       Before::kScale, Before::kName},
      {"zoom 1.1", params().Put(1.1f).Put(std::int32_t{0}).Done(), 32, 10, 3, 1, 0, Before::kScale,
       Before::kName},
      {"zoom NaN", params().Put(nan).Put(std::int32_t{0}).Done(), 32, 10, 3, 1, 0, Before::kScale,
       Before::kName},
      {"36 bytes, valid zoom", params().Put(1.25f).Done(), 36, 10, 3, 1, 0, 1.25f, Before::kName},
      {"39 bytes, valid zoom", params().Put(1.25f).Bytes("xyz", 3).Done(), 36, 10, 3, 1, 0, 1.25f,
       Before::kName},
      {"name length 0", params().Put(1.75f).Put(std::int32_t{0}).Done(), 40, 10, 3, 1, 0, 1.75f,
       ""},
      {"full name", params().Put(1.0f).Put(std::int32_t{6}).Bytes("Custom", 6).Done(), 46, 10, 3, 1,
       0, 1.0f, "Custom"},
      // A length that runs past the end cannot be read: the zoom applies, the name stays.
      {"name length 10 with 3 bytes",
       params().Put(1.25f).Put(std::int32_t{10}).Bytes("abc", 3).Done(), 36, 10, 3, 1, 0, 1.25f,
       Before::kName},
      {"name length -2 in 40 bytes", params().Put(1.25f).Put(std::int32_t{-2}).Done(), 36, 10, 3, 1,
       0, 1.25f, Before::kName},
      {"name length -4", params().Put(1.25f).Put(std::int32_t{-4}).Done(), 36, 10, 3, 1, 0, 1.25f,
       Before::kName},
      {"zero byte inside the name",
       params().Put(1.0f).Put(std::int32_t{5}).Bytes("ab\0cd", 5).Done(), 45, 10, 3, 1, 0, 1.0f,
       "ab"},
      {"values outside the ranges and between steps",
       ChunkBuilder().Params(150.0, -99.0, 0.4, 0.5).Done(), 32, 100, -24, 0, 1, Before::kScale,
       Before::kName},
      {"20 bytes: Gain and Output Trim only", params().Truncate(20).Done(), -1, 10, 3, Before::k48V,
       Before::kBypass, Before::kScale, Before::kName},
      {"empty chunk",
       {},
       -1,
       Before::kGain,
       Before::kTrim,
       Before::k48V,
       Before::kBypass,
       Before::kScale,
       Before::kName},
  };
}

TEST(TovraSatState, ShortAndOddChunks) {
  for (const ChunkCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    auto plugin = coretest::MakePlugin();
    plugin->GetParam(TovraSat::kGain)->Set(Before::kGain);
    plugin->GetParam(TovraSat::kOutputTrim)->Set(Before::kTrim);
    plugin->GetParam(TovraSat::k48V)->Set(Before::k48V);
    plugin->GetParam(TovraSat::kBypass)->Set(Before::kBypass);
    plugin->mEditorScale = Before::kScale;
    plugin->mPresetName = Before::kName;

    IByteChunk chunk;
    if (!c.bytes.empty()) chunk.PutBytes(c.bytes.data(), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(plugin->UnserializeState(chunk, 0), c.expectedPos);
    EXPECT_EQ(plugin->GetParam(TovraSat::kGain)->Value(), c.gain);
    EXPECT_EQ(plugin->GetParam(TovraSat::kOutputTrim)->Value(), c.trim);
    EXPECT_EQ(plugin->GetParam(TovraSat::k48V)->Value(), c.v48);
    EXPECT_EQ(plugin->GetParam(TovraSat::kBypass)->Value(), c.bypass);
    EXPECT_EQ(plugin->mEditorScale, c.scale);
    EXPECT_EQ(plugin->mPresetName, c.name);
  }
}

TEST(TovraSatState, ReadsAtAStartPosition) {
  auto source = coretest::MakePlugin();
  source->GetParam(TovraSat::kGain)->Set(77.0);
  source->mEditorScale = 1.25f;
  source->mPresetName = "Warm";
  IByteChunk chunk;
  chunk.Put(std::int32_t{-1});
  source->SerializeState(chunk);

  auto target = coretest::MakePlugin();
  EXPECT_EQ(target->UnserializeState(chunk, 4), chunk.Size());
  EXPECT_EQ(target->GetParam(TovraSat::kGain)->Value(), 77.0);
  EXPECT_EQ(target->mEditorScale, 1.25f);
  EXPECT_EQ(target->mPresetName, "Warm");
  EXPECT_EQ(target->UnserializeState(chunk, -3), -3);  // a negative start fails at once
}

// The zoom factor of a restored state reaches the editor: at once when it is open, and at its next
// opening when it is closed, even after an earlier opening at another zoom was closed.
TEST(TovraSatState, RestoredZoomReachesTheEditorOpenOrClosed) {
  auto source = coretest::MakePlugin();
  IByteChunk zoom150;
  source->mEditorScale = 1.5f;
  source->SerializeState(zoom150);
  IByteChunk zoom125;
  source->mEditorScale = 1.25f;
  source->SerializeState(zoom125);

  auto plugin = coretest::MakePlugin();
  ASSERT_NE(plugin->OpenWindow(nullptr), nullptr);
  ASSERT_NE(plugin->GetUI(), nullptr);
  EXPECT_EQ(plugin->GetUI()->GetDrawScale(), 1.0f);
  EXPECT_EQ(plugin->UnserializeState(zoom150, 0), zoom150.Size());
  EXPECT_EQ(plugin->GetUI()->GetDrawScale(), 1.5f);  // open: resized at once
  EXPECT_EQ(plugin->GetUI()->Width(), TovraSat::kEditorWidth);
  EXPECT_EQ(plugin->GetUI()->Height(), TovraSat::kEditorHeight);

  plugin->CloseWindow();
  EXPECT_EQ(plugin->UnserializeState(zoom125, 0), zoom125.Size());
  EXPECT_EQ(plugin->mEditorScale, 1.25f);
  ASSERT_NE(plugin->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(plugin->GetUI()->GetDrawScale(), 1.25f);  // closed: the next opening uses it
  plugin->CloseWindow();

  // Without a restore in between, reopening keeps the zoom the editor was closed at.
  ASSERT_NE(plugin->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(plugin->GetUI()->GetDrawScale(), 1.25f);
  plugin->CloseWindow();
}

TEST(TovraSatState, FactoryPresetDefaultRestoresEverything) {
  auto plugin = coretest::MakePlugin();
  plugin->PruneUninitializedPresets();
  ASSERT_EQ(plugin->NPresets(), 1);
  EXPECT_STREQ(plugin->GetPresetName(0), "Default");

  plugin->mEditorScale = 1.5f;
  plugin->ApplyPreset("Loud", tovrapresets::Values{90.0, 6.0, false});
  plugin->GetParam(TovraSat::kBypass)->Set(1.0);
  EXPECT_TRUE(plugin->RestorePreset(0));
  EXPECT_EQ(plugin->GetParam(TovraSat::kGain)->Value(), 24.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kOutputTrim)->Value(), 0.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::k48V)->Value(), 1.0);
  EXPECT_EQ(plugin->GetParam(TovraSat::kBypass)->Value(), 0.0);
  EXPECT_EQ(plugin->mEditorScale, 1.0f);
  EXPECT_EQ(plugin->mPresetName, "Default");
  EXPECT_FALSE(plugin->RestorePreset(1));
  EXPECT_FALSE(plugin->RestorePreset(-1));
}

}  // namespace
