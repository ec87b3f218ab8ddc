// Lv2UserPresetsTest: the bundle of user presets for LV2 hosts follows the preset folder: what
// each preset file says, safe file names for any name, rewrites only of what changed, stale
// files removed, bad places survived; and every instance of the plug-in keeps it in step.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/TovraSatLv2Presets.h"
#include "plug/lv2/Lv2Turtle.h"
#include "state/TovraPresets.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/support/Environment.h"

namespace {

namespace fs = std::filesystem;

const auto* const kHome =
    ::testing::AddGlobalTestEnvironment(new testsupport::PrivateHomeEnvironment);

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The .ttl files of a bundle, by name.
std::set<std::string> TtlFiles(const fs::path& bundle) {
  std::set<std::string> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(bundle, ec)) {
    if (entry.path().extension() == ".ttl" && entry.is_regular_file()) {
      files.insert(entry.path().filename().string());
    }
  }
  return files;
}

// Each test starts with an empty preset folder and no bundle.
class Lv2UserPresets : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(tovrapresets::Dir(), ec);
    fs::remove_all(tovrasat::Lv2UserPresetBundle(), ec);
    ASSERT_FALSE(tovrasat::Lv2UserPresetBundle().empty());
    fs::create_directories(tovrapresets::Dir());
  }
  static void HandMade(const std::string& name, const std::string& text) {
    std::ofstream(tovrapresets::PathFor(name), std::ios::binary) << text;
  }
  const fs::path bundle = tovrasat::Lv2UserPresetBundle();
};

TEST_F(Lv2UserPresets, ChunkIsWhatThePluginSavesAfterApplyingThePreset) {
  struct Case {
    std::string name;
    tovrapresets::Values values;
  };
  const Case cases[] = {{"Warm Tape", {60.0, -1.5, false}},
                        {"x", {0.0, -24.0, true}},
                        {std::string(40, 'L'), {100.0, 12.0, false}},
                        {"Odd \"\\ \xc3\xbc\xff", {33.33, 0.25, true}}};
  for (const Case& c : cases) {
    lv2test::Instance instance;
    ASSERT_TRUE(instance.Ok());
    instance.Plug().GetParam(TovraSat::kBypass)->Set(0.0);
    instance.Plug().ApplyPreset(c.name, c.values);
    plug::IByteChunk chunk;
    instance.Plug().SerializeState(chunk);
    const std::vector<unsigned char> expected(chunk.GetData(), chunk.GetData() + chunk.Size());
    EXPECT_EQ(tovrasat::Lv2PresetChunk(c.name, c.values), expected) << c.name;
  }
}

TEST_F(Lv2UserPresets, PortSymbolsAreThoseOfThePlugin) {
  lv2test::Instance instance;
  ASSERT_TRUE(instance.Ok());
  ASSERT_TRUE(tovrapresets::Save("P", {}));
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets());
  const std::string text = Read(bundle / tovrasat::Lv2UserPresetFile("P"));
  for (int i = 0; i < TovraSat::kNumParams; ++i) {
    const std::string symbol =
        plug::Lv2Turtle::Symbol(instance.Plug().GetParam(i)->GetName());
    EXPECT_NE(text.find("lv2:symbol \"" + symbol + "\""), std::string::npos) << symbol;
  }
}

TEST_F(Lv2UserPresets, BundleFollowsTheFolderWithSafeFileNames) {
  ASSERT_TRUE(tovrapresets::Save("Warm Tape", {60.0, -1.5, false}));
  ASSERT_TRUE(tovrapresets::Save("Vox", {35.0, 0.0, true}));
  const std::vector<std::string> handMade = {"Odd \"one\" two\t#3 > \xc3\xbc",
                                             "latin1 \xe9\xff",
                                             ".hidden",
                                             "a_2F",
                                             std::string(240, 'x'),
                                             std::string(240, 'x') + "y"};
  for (const std::string& name : handMade) HandMade(name, "gain=12.5\ntrim=-6\nphat=0\n");
  // Left out: the factory preset hides a file of its name, a name the preset files refuse (it
  // could name another folder) and a folder.
  HandMade("Default", "gain=99\n");
  HandMade("back\\slash", "gain=99\n");
  fs::create_directory(tovrapresets::Dir() / "folder.tovrapreset");

  ASSERT_TRUE(tovrasat::SyncLv2UserPresets(bundle));
  std::vector<std::string> names = {"Warm Tape", "Vox"};
  names.insert(names.end(), handMade.begin(), handMade.end());
  std::set<std::string> expected = {"manifest.ttl"};
  const std::string manifest = Read(bundle / "manifest.ttl");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string file = tovrasat::Lv2UserPresetFile(name);
    expected.insert(file);
    EXPECT_LE(file.size(), 200u);
    EXPECT_EQ(file.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                     "0123456789_-"),
              file.size() - 4)
        << file << ": only the extension's dot";
    const std::string text = Read(bundle / file);
    EXPECT_NE(text.find("rdfs:label " + plug::Lv2Turtle::Quoted(name)), std::string::npos);
    EXPECT_NE(text.find("<" + tovrasat::Lv2UserPresetUri(name) + ">"), std::string::npos);
    EXPECT_NE(manifest.find("<" + tovrasat::Lv2UserPresetUri(name) + ">"), std::string::npos);
    EXPECT_NE(manifest.find("rdfs:seeAlso <" + file + ">"), std::string::npos);
  }
  EXPECT_EQ(TtlFiles(bundle), expected) << "one file per preset, all apart";
  EXPECT_EQ(manifest.find("Default"), std::string::npos);
  EXPECT_EQ(manifest.find("back"), std::string::npos);

  // A second sync with nothing changed rewrites nothing.
  std::vector<fs::file_time_type> times;
  for (const std::string& file : expected) times.push_back(fs::last_write_time(bundle / file));
  fs::create_directory(bundle / "kept.ttl");  // not a file: left alone
  std::ofstream(bundle / "notes.txt") << "mine";
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets(bundle));
  std::size_t i = 0;
  for (const std::string& file : expected) {
    EXPECT_EQ(fs::last_write_time(bundle / file), times[i++]) << file;
  }

  // Overwritten and deleted presets are reflected; what is not a preset file stays.
  ASSERT_TRUE(tovrapresets::Save("Warm Tape", {30.0, 0.0, true}));
  ASSERT_TRUE(tovrapresets::Remove("Vox"));
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets(bundle));
  EXPECT_NE(Read(bundle / tovrasat::Lv2UserPresetFile("Warm Tape")).find("pset:value 30.0"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(bundle / tovrasat::Lv2UserPresetFile("Vox")));
  EXPECT_EQ(Read(bundle / "manifest.ttl").find(tovrasat::Lv2UserPresetUri("Vox")),
            std::string::npos);
  EXPECT_TRUE(fs::is_directory(bundle / "kept.ttl"));
  EXPECT_EQ(Read(bundle / "notes.txt"), "mine");

  // With the last preset gone the bundle lists none.
  for (const std::string& name : tovrapresets::List()) tovrapresets::Remove(name);
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets(bundle));
  EXPECT_EQ(TtlFiles(bundle), std::set<std::string>{"manifest.ttl"});
  EXPECT_EQ(Read(bundle / "manifest.ttl").find("pset:Preset"), std::string::npos);
}

TEST_F(Lv2UserPresets, NothingIsMadeWithoutPresetsAndABadPlaceFailsCleanly) {
  ASSERT_TRUE(tovrasat::SyncLv2UserPresets(bundle));
  EXPECT_FALSE(fs::exists(bundle)) << "no user presets, no bundle";

  ASSERT_TRUE(tovrapresets::Save("Kept", {50.0, 1.0, false}));
  fs::create_directories(bundle.parent_path());
  std::ofstream(bundle) << "a file where the bundle should be";
  EXPECT_FALSE(tovrasat::SyncLv2UserPresets(bundle));
  EXPECT_EQ(Read(bundle), "a file where the bundle should be");
  EXPECT_EQ(Read(tovrapresets::PathFor("Kept")), "gain=50.00\ntrim=1.00\nphat=0\n");
}

// A user preset carries a flag beside its chunk: loading it leaves the editor at its size, where
// a saved session (the chunk alone) restores the size it was saved with.
TEST_F(Lv2UserPresets, LoadingAUserPresetKeepsTheEditorSize) {
  lv2test::UridMap& urids = lv2test::Instance::Urids();
  for (const bool flagged : {true, false}) {
    SCOPED_TRACE(flagged ? "user preset" : "session");
    lv2test::Instance instance;
    ASSERT_TRUE(instance.Ok());
    instance.Plug().mEditorScale = 1.5f;
    const tovrapresets::Values values{60.0, -1.5, false};
    lv2test::StateStore store;
    store.properties.push_back({urids.Map(instance.Wrapper().StateKeyUri()),
                                tovrasat::Lv2PresetChunk("Warm Tape", values),
                                urids.Map(LV2_ATOM__Chunk), LV2_STATE_IS_POD});
    if (flagged) {
      const int32_t yes = 1;
      const auto* bytes = reinterpret_cast<const unsigned char*>(&yes);
      store.properties.push_back({urids.Map(tovrasat::Lv2KeepEditorSizeUri().c_str()),
                                  {bytes, bytes + sizeof yes},
                                  urids.Map(LV2_ATOM__Bool),
                                  LV2_STATE_IS_POD});
    }
    ASSERT_EQ(instance.Restore(store), LV2_STATE_SUCCESS);
    EXPECT_EQ(instance.Plug().mEditorScale, flagged ? 1.5f : 1.0f);
    EXPECT_EQ(instance.Plug().mPresetName, "Warm Tape");
    EXPECT_EQ(instance.Plug().GetParam(TovraSat::kGain)->Value(), 60.0);
    EXPECT_EQ(instance.Plug().GetParam(TovraSat::kOutputTrim)->Value(), -1.5);
  }
}

TEST_F(Lv2UserPresets, AnInstanceAndItsPresetBarKeepTheBundleInStep) {
  ASSERT_TRUE(tovrapresets::Save("A", {10.0, 0.0, true}));
  lv2test::Instance instance;
  ASSERT_TRUE(instance.Ok());
  EXPECT_TRUE(fs::exists(bundle / tovrasat::Lv2UserPresetFile("A"))) << "synced on instantiation";

  ASSERT_TRUE(tovrapresets::Save("B", {20.0, 0.0, true}));
  ASSERT_TRUE(tovrapresets::Remove("A"));
  instance.Plug().UserPresetsChanged();  // what the preset bar calls
  EXPECT_EQ(TtlFiles(bundle), (std::set<std::string>{"manifest.ttl",
                                                     tovrasat::Lv2UserPresetFile("B")}));
}

}  // namespace
