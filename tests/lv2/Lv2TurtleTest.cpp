// Lv2TurtleTest: the Turtle written from the parameters: symbols, numbers, units, the preset.
#include <gtest/gtest.h>

#include <string>

#include "core/TovraSat.h"
#include "core/lv2/TovraSatLv2.h"
#include "plug/lv2/Lv2Turtle.h"

namespace {

using plug::Lv2Turtle;

// The text of the port block whose symbol is given, up to the block's end.
std::string PortBlock(const std::string& ttl, const std::string& symbol) {
  const std::size_t at = ttl.find("lv2:symbol \"" + symbol + "\"");
  if (at == std::string::npos) return {};
  const std::size_t start = ttl.rfind('[', at);
  const std::size_t end = ttl.find(']', at);
  return ttl.substr(start, end - start);
}

class FreshTovraSat : public ::testing::Test {
 protected:
  FreshTovraSat() : plug(Info()) { plug.PruneUninitializedPresets(); }
  static plug::InstanceInfo Info() {
    plug::InstanceInfo info;
    info.mCocoaViewFactoryClassName = TovraSat::ViewFactoryClassName();
    return info;
  }
  TovraSat plug;
};

TEST(Lv2TurtleText, SymbolsNumbersStringsAndBase64) {
  const struct {
    const char* name;
    const char* symbol;
  } symbols[] = {{"Gain", "gain"},   {"Output Trim", "output_trim"}, {"48V", "_48v"}, {"", "_"},
                 {"a-b.c", "a_b_c"}, {"\xc3\xa9t\xc3\xa9", "__t__"}};
  for (const auto& s : symbols) EXPECT_EQ(Lv2Turtle::Symbol(s.name), s.symbol) << s.name;

  const struct {
    double value;
    const char* text;
  } decimals[] = {{24.0, "24.0"}, {-24.0, "-24.0"},      {0.1, "0.1"},
                  {-0.0, "0.0"},  {1e-7, "0.000000100"}, {12.5, "12.5"}};
  for (const auto& d : decimals) EXPECT_EQ(Lv2Turtle::Decimal(d.value), d.text) << d.value;

  // Names come from file names too: any byte must give Turtle a parser accepts. Valid UTF-8
  // stays, every other byte becomes U+FFFD; other control characters are escaped.
  const struct {
    std::string text;
    const char* quoted;
  } strings[] = {
      {"a \"b\" \\ c\nd", "\"a \\\"b\\\" \\\\ c\\nd\""},
      {"\t\r\x01\x7f", "\"\\t\\r\\u0001\\u007F\""},
      {"\xc3\xbc \xe2\x82\xac \xf0\x9f\x8e\xb8", "\"\xc3\xbc \xe2\x82\xac \xf0\x9f\x8e\xb8\""},
      {"\xff\xc3", "\"\\uFFFD\\uFFFD\""},  // a stray byte, a cut sequence
      {"\xc0\xaf\xed\xa0\x80", "\"\\uFFFD\\uFFFD\\uFFFD\\uFFFD\\uFFFD\""},  // overlong, surrogate
  };
  for (const auto& q : strings) EXPECT_EQ(Lv2Turtle::Quoted(q.text), q.quoted) << q.text;

  const unsigned char bytes[] = {'M', 'a', 'n'};
  EXPECT_EQ(Lv2Turtle::Base64(bytes, 3), "TWFu");
  EXPECT_EQ(Lv2Turtle::Base64(bytes, 2), "TWE=");
  EXPECT_EQ(Lv2Turtle::Base64(bytes, 1), "TQ==");
  EXPECT_EQ(Lv2Turtle::Base64(bytes, 0), "");
}

TEST_F(FreshTovraSat, PortsCarryTheParametersRangesDefaultsAndUnits) {
  const std::string ttl = Lv2Turtle::Plugin(tovrasat::Lv2Names(), plug);
  const std::string gain = PortBlock(ttl, "gain");
  EXPECT_NE(gain.find("lv2:index 0 ;"), std::string::npos) << gain;
  EXPECT_NE(gain.find("lv2:default 24.0 ;"), std::string::npos) << gain;
  EXPECT_NE(gain.find("lv2:maximum 100.0 ;"), std::string::npos) << gain;
  EXPECT_NE(gain.find("units:unit units:pc"), std::string::npos) << gain;

  const std::string trim = PortBlock(ttl, "output_trim");
  EXPECT_NE(trim.find("lv2:minimum -24.0 ;"), std::string::npos) << trim;
  EXPECT_NE(trim.find("lv2:maximum 12.0 ;"), std::string::npos) << trim;
  EXPECT_NE(trim.find("units:unit units:db"), std::string::npos) << trim;

  for (const char* toggle : {"_48v", "bypass"}) {
    const std::string block = PortBlock(ttl, toggle);
    EXPECT_NE(block.find("lv2:portProperty lv2:toggled"), std::string::npos) << block;
    EXPECT_EQ(block.find("units:unit"), std::string::npos) << block;
  }
  EXPECT_NE(PortBlock(ttl, "_48v").find("lv2:default 1.0 ;"), std::string::npos);

  EXPECT_NE(PortBlock(ttl, "latency").find("lv2:reportsLatency"), std::string::npos);
  // The meter's readout in whole decibels, which fits a host's narrow field at every reading.
  const std::string meterUnit = "<" + std::string(tovrasat::kLv2PluginUri) + "#wholeDecibels>";
  EXPECT_NE(PortBlock(ttl, "meter").find("units:unit " + meterUnit), std::string::npos);
  EXPECT_NE(ttl.find(meterUnit + "\n    a units:Unit ;\n    rdfs:label \"decibels, whole\" ;\n"
                                 "    units:render \"%.0f dB\" ;"),
            std::string::npos);
  EXPECT_NE(PortBlock(ttl, "overload").find("lv2:index 10 ;"), std::string::npos);
  EXPECT_NE(PortBlock(ttl, "in_r").find("lv2:AudioPort"), std::string::npos);
  EXPECT_NE(PortBlock(ttl, "out_l").find("lv2:OutputPort"), std::string::npos);
}

TEST_F(FreshTovraSat, PortsExplainThemselvesAndUnitsCarryTheirRendering) {
  const std::string ttl = Lv2Turtle::Plugin(tovrasat::Lv2Names(), plug);
  for (const char* symbol :
       {"gain", "output_trim", "_48v", "bypass", "latency", "meter", "overload", "notify"}) {
    EXPECT_NE(PortBlock(ttl, symbol).find("rdfs:comment \""), std::string::npos) << symbol;
  }
  EXPECT_NE(PortBlock(ttl, "_48v").find("limiter"), std::string::npos);
  EXPECT_NE(PortBlock(ttl, "bypass").find("cross-fades"), std::string::npos);

  // Each unit in use is rendered once, after the ports; units nobody uses are not.
  const struct {
    const char* unit;
    const char* rendering;
  } units[] = {{"units:pc", "units:render \"%f%%\" ;\n    units:symbol \"%\" ."},
               {"units:db", "units:render \"%f dB\" ;\n    units:symbol \"dB\" ."},
               {"units:frame", "units:render \"%f frames\" ;\n    units:symbol \"frames\" ."}};
  for (const auto& u : units) {
    const std::string head = std::string("\n") + u.unit + "\n    a units:Unit ;";
    const std::size_t at = ttl.find(head);
    ASSERT_NE(at, std::string::npos) << u.unit;
    EXPECT_EQ(ttl.find(head, at + 1), std::string::npos) << u.unit << " stated twice";
    EXPECT_NE(ttl.find(u.rendering, at), std::string::npos) << u.unit;
  }
  EXPECT_EQ(ttl.find("units:hz"), std::string::npos);

  // The notification port: last, optional, a sequence that may carry state:StateChanged.
  const std::string notify = PortBlock(ttl, "notify");
  EXPECT_NE(notify.find("lv2:index 11 ;"), std::string::npos) << notify;
  EXPECT_NE(notify.find("atom:bufferType atom:Sequence"), std::string::npos) << notify;
  EXPECT_NE(notify.find("atom:supports state:StateChanged"), std::string::npos) << notify;
  EXPECT_NE(notify.find("lv2:connectionOptional"), std::string::npos) << notify;
}

TEST_F(FreshTovraSat, DefaultPresetHoldsThePortValuesAndTheDefaultStateChunk) {
  const std::string ttl = Lv2Turtle::Presets(tovrasat::Lv2Names(), plug);
  EXPECT_NE(ttl.find("rdfs:label \"Default\""), std::string::npos);
  EXPECT_NE(ttl.find("lv2:symbol \"gain\" ;\n        pset:value 24.0"), std::string::npos);
  EXPECT_NE(ttl.find("lv2:symbol \"_48v\" ;\n        pset:value 1.0"), std::string::npos);
  // The 47-byte chunk of a fresh plug-in: 24.0, 0.0, 1.0, 0.0, the float 1.0, 7, "Default".
  plug::IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeState(chunk));
  ASSERT_EQ(chunk.Size(), 47);
  EXPECT_NE(ttl.find("\"" + Lv2Turtle::Base64(chunk.GetData(), 47) + "\"^^xsd:base64Binary"),
            std::string::npos);
  EXPECT_NE(ttl.find(Lv2Turtle::StateKeyUri(tovrasat::kLv2PluginUri)), std::string::npos);
}

TEST(Lv2TurtleManifest, NamesTheBinaryTheUiAndThePreset) {
  const std::string ttl = Lv2Turtle::Manifest(tovrasat::Lv2Names());
  EXPECT_NE(ttl.find("lv2:binary <lib/TovraSat.so>"), std::string::npos) << ttl;
  EXPECT_NE(ttl.find("rdfs:seeAlso <TovraSat.ttl>"), std::string::npos) << ttl;
  EXPECT_NE(ttl.find("a ui:X11UI"), std::string::npos) << ttl;
  EXPECT_NE(ttl.find("<http://morvika.com/plugins/tovrasat#preset-default>"), std::string::npos)
      << ttl;
}

}  // namespace
