// BundleLoadingTest.cpp: a component is found only through its bundle's Info.plist and exported
// factory; every fault has a clear text.
#include "host/ComponentBundle.h"
#include "host/HostedUnit.h"
#include "tests/host/TempBundle.h"

#include <gtest/gtest.h>

namespace {

using hosttest::ComponentPlist;
using hosttest::kGoodComponent;
using hosttest::TempBundle;

constexpr OSType Code(const char (&s)[5]) {
  return (static_cast<OSType>(s[0]) << 24) | (static_cast<OSType>(s[1]) << 16) |
         (static_cast<OSType>(s[2]) << 8) | static_cast<OSType>(s[3]);
}

TEST(BundleLoading, TheFixtureIsDescribedByItsInfoPlist) {
  std::string error;
  auto bundle = host::ComponentBundle::Load(GAIN_FIXTURE_BUNDLE, error);
  ASSERT_TRUE(bundle) << error;
  EXPECT_EQ(bundle->Info().executable, "GainFixture");
  EXPECT_EQ(bundle->Info().identifier, "com.tovrasat.test.gainfixture");
  ASSERT_EQ(bundle->Info().components.size(), 1u);
  const host::ComponentEntry& c = bundle->Info().components[0];
  EXPECT_EQ(c.description.componentType, Code("aufx"));
  EXPECT_EQ(c.description.componentSubType, Code("GnFx"));
  EXPECT_EQ(c.description.componentManufacturer, Code("Tovr"));
  EXPECT_EQ(c.name, "Tovr: GainFixture");
  EXPECT_EQ(c.version, 65536u);
  EXPECT_EQ(c.factoryFunction, "GainFixture_Factory");
  EXPECT_EQ(host::FourCCText(c.description.componentSubType), "GnFx");
  EXPECT_EQ(host::FourCCText(1), "0x00000001");

  EXPECT_EQ(bundle->Find({Code("aufx"), 0, 0, 0, 0}), &c);  // zero codes match anything
  EXPECT_EQ(bundle->Find({Code("aufx"), Code("GnFx"), Code("Tovr"), 0, 0}), &c);
  EXPECT_EQ(bundle->Find({Code("aumu"), 0, 0, 0, 0}), nullptr);
  EXPECT_NE(bundle->Factory(c, error), nullptr);
}

TEST(BundleLoading, EveryFaultOfTheBundleIsReported) {
  struct Case {
    const char* what;
    std::string plist;  // empty: no Info.plist at all
    int binary;         // 0 none, 1 the fixture's, 2 a file that is not a loadable object
    const char* message;
  };
  const Case cases[] = {
      {"no plist", "", 1, "missing Info.plist"},
      {"bad xml", "<plist><dict><key>x</key>", 1, "bad XML"},
      {"not a dictionary", "<plist><array/></plist>", 1, "not a dictionary"},
      {"no executable", "<plist><dict><key>AudioComponents</key><array/></dict></plist>", 1,
       "CFBundleExecutable"},
      {"no components",
       "<plist><dict><key>CFBundleExecutable</key><string>G</string></dict></plist>", 1,
       "no AudioComponents"},
      {"short code",
       ComponentPlist("G",
                      "<key>type</key><string>afx</string><key>subtype</key><string>GnFx</string>"
                      "<key>manufacturer</key><string>Tovr</string>"
                      "<key>factoryFunction</key><string>F</string>"),
       1, "four-character codes"},
      {"no factory",
       ComponentPlist("G",
                      "<key>type</key><string>aufx</string><key>subtype</key><string>GnFx</string>"
                      "<key>manufacturer</key><string>Tovr</string>"),
       1, "no factoryFunction"},
      {"missing binary", ComponentPlist("G", kGoodComponent), 0, "missing binary"},
      {"unloadable binary", ComponentPlist("G", kGoodComponent), 2, "cannot load"},
  };
  for (const Case& c : cases) {
    TempBundle bundle("fault");
    if (!c.plist.empty()) bundle.WritePlist(c.plist);
    if (c.binary == 1) bundle.CopyBinary(GAIN_FIXTURE_BINARY, "G");
    if (c.binary == 2) bundle.WriteBinary("G", "not an ELF object");
    std::string error;
    EXPECT_FALSE(host::ComponentBundle::Load(bundle.Path(), error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
}

TEST(BundleLoading, CodesMayBeIntegersAndTheFactoryIsFoundByName) {
  TempBundle bundle("integer_codes");
  bundle.WritePlist(ComponentPlist(
      "G",
      "<key>type</key><integer>1635083896</integer>"
      "<key>subtype</key><string>GnFx</string><key>manufacturer</key><string>Tovr</string>"
      "<key>factoryFunction</key><string>GainFixture_Factory</string>"));
  bundle.CopyBinary(GAIN_FIXTURE_BINARY, "G");
  std::string error;
  auto loaded = host::ComponentBundle::Load(bundle.Path(), error);
  ASSERT_TRUE(loaded) << error;
  auto unit = host::HostedUnit::Open(loaded, {kAudioUnitType_Effect, 0, 0, 0, 0}, error);
  ASSERT_TRUE(unit) << error;
  EXPECT_EQ(unit->Entry().description.componentSubType, Code("GnFx"));
}

TEST(BundleLoading, OpeningFailsCleanlyForAnUnknownComponentOrAMissingSymbol) {
  std::string error;
  auto fixture = host::ComponentBundle::Load(GAIN_FIXTURE_BUNDLE, error);
  ASSERT_TRUE(fixture) << error;
  EXPECT_FALSE(host::HostedUnit::Open(fixture, {Code("aufx"), Code("Nope"), 0, 0, 0}, error));
  EXPECT_NE(error.find("no component matches 'aufx' 'Nope' *"), std::string::npos) << error;
  EXPECT_FALSE(host::HostedUnit::Open(nullptr, {}, error));

  TempBundle bundle("missing_symbol");
  bundle.WritePlist(
      ComponentPlist("G",
                     "<key>type</key><string>aufx</string><key>subtype</key><string>GnFx</string>"
                     "<key>manufacturer</key><string>Tovr</string>"
                     "<key>factoryFunction</key><string>NoSuchFactory</string>"));
  bundle.CopyBinary(GAIN_FIXTURE_BINARY, "G");
  auto loaded = host::ComponentBundle::Load(bundle.Path(), error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_FALSE(host::HostedUnit::Open(loaded, {}, error));
  EXPECT_NE(error.find("missing symbol NoSuchFactory"), std::string::npos) << error;
}

}  // namespace
