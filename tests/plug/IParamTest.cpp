// IParam: ranges, defaults, display formatting, parsing, shapes, initialisers and JSON.
#include "plug/IParam.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using plug::IParam;

std::string Display(const IParam& p, double value, bool normalized = false,
                    bool withDisplayText = true) {
  std::string s;
  p.GetDisplay(value, normalized, s, withDisplayText);
  return s;
}

// ------------------------------------------------------------------------ range and default

struct RangeCase {
  double min, max, step;
  double expectedMax;
};

TEST(IParamRange, MaxBelowMinPlusStepBecomesMinPlusStep) {
  const RangeCase cases[] = {
      {0.0, 100.0, 1.0, 100.0},                        // an ordinary range is kept
      {0.0, 0.5, 1.0, 1.0},                            // narrower than one step
      {5.0, 2.0, 1.0, 6.0},                            // max below min
      {-24.0, 12.0, 0.1, 12.0}, {3.0, 3.0, 0.0, 3.0},  // step 0: a single value
  };
  for (const RangeCase& c : cases) {
    IParam p;
    p.InitDouble("x", c.min, c.min, c.max, c.step);
    EXPECT_EQ(p.GetMin(), c.min);
    EXPECT_EQ(p.GetMax(), c.expectedMax) << c.min << ".." << c.max << " step " << c.step;
  }
}

TEST(IParamRange, DefaultOutsideRangeIsKeptButValueStartsClamped) {
  IParam p;
  p.InitDouble("x", 150.0, 0.0, 100.0, 1.0);
  EXPECT_EQ(p.GetDefault(), 150.0);
  EXPECT_EQ(p.Value(), 100.0);
  p.Set(10.0);
  p.SetToDefault();  // stores the default as given
  EXPECT_EQ(p.Value(), 150.0);
}

TEST(IParamRange, ConstrainRoundsSteppedHalvesAwayFromZeroThenClamps) {
  IParam stepped;
  stepped.InitInt("i", 0, -10, 10);
  IParam free;
  free.InitDouble("d", 0.0, -10.0, 10.0, 0.5);
  const struct {
    const IParam* p;
    double in, out;
  } cases[] = {
      {&stepped, 2.5, 3.0},
      {&stepped, -2.5, -3.0},
      {&stepped, 2.4, 2.0},
      {&stepped, 11.0, 10.0},
      {&stepped, -99.0, -10.0},
      {&free, 2.25, 2.25},  // not stepped: not rounded, although the step is 0.5
      {&free, 10.5, 10.0},
      {&free, -std::numeric_limits<double>::infinity(), -10.0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.p->Constrain(c.in), c.out) << c.in;
}

TEST(IParamRange, NaNNeverReachesTheValue) {
  IParam p;
  p.InitDouble("Gain", 24.0, 0.0, 100.0, 1.0);
  p.Set(std::nan(""));
  EXPECT_EQ(p.Value(), 24.0);  // the default, as no range holds NaN
  p.SetNormalized(std::nan(""));
  EXPECT_EQ(p.Value(), 24.0);
  EXPECT_EQ(p.ToNormalized(std::nan("")), 0.24);
}

TEST(IParamRange, ToNormalizedOutsideRangeGivesZeroOrOne) {
  IParam p;
  p.InitDouble("x", 0.0, -24.0, 12.0, 0.1);
  const double cases[][2] = {{-100.0, 0.0}, {-24.0, 0.0}, {12.0, 1.0}, {1e9, 1.0}, {-6.0, 0.5}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(p.ToNormalized(c[0]), c[1]) << c[0];
  EXPECT_DOUBLE_EQ(p.FromNormalized(2.0), 12.0);
  EXPECT_DOUBLE_EQ(p.FromNormalized(-1.0), -24.0);
}

// --------------------------------------------------------------------------------- display

TEST(IParamDisplay, PrecisionFollowsStep) {
  const double cases[][2] = {{1.0, 0},  {2.0, 0},   {0.1, 1},  {2.5, 1},  {0.01, 2}, {0.25, 2},
                             {0.05, 2}, {0.001, 3}, {1e-4, 4}, {1e-5, 5}, {1e-7, 6}, {0.0, 0}};
  for (const auto& c : cases) {
    IParam p;
    p.InitDouble("x", 0.0, 0.0, 100.0, c[0]);
    EXPECT_EQ(p.GetDisplayPrecision(), static_cast<int>(c[1])) << "step " << c[0];
  }
}

struct DisplayCase {
  double step;
  int flags;
  double value;
  const char* expected;
};

TEST(IParamDisplay, NumbersFromPrecisionSignAndNegateFlags) {
  constexpr int kNeg = IParam::kFlagNegateDisplay;
  constexpr int kSign = IParam::kFlagSignDisplay;
  const DisplayCase cases[] = {
      {1.0, 0, 24.0, "24"},
      {1.0, 0, 2.5, "3"},  // "%d" of a value rounded halves away from zero
      {1.0, 0, -2.5, "-3"},
      {1.0, 0, 2.4999, "2"},
      {1.0, 0, -0.4, "0"},              // rounds to zero: no "-0"
      {1.0, 0, 150.0, "150"},           // a real value is shown unclamped
      {1.0, 0, 1e12, "1000000000000"},  // beyond int: no overflow
      {0.1, 0, -3.5, "-3.5"},
      {0.1, 0, 0.0, "0.0"},
      {0.1, kNeg, 3.5, "-3.5"},
      {0.1, kNeg, 0.0, "0.0"},  // zero never shows a minus sign
      {0.1, kNeg, -0.0, "0.0"},
      {1.0, kNeg, 0.0, "0"},
      {0.1, kSign, 3.5, "+3.5"},
      {0.1, kSign, 0.0, "0.0"},  // no sign on zero
      {0.1, kSign, -3.5, "-3.5"},
      {0.01, kSign, 1.234, "+1.23"},
      {0.1, kSign | kNeg, -2.0, "+2.0"},
      {1.0, kSign, 7.0, "7"},  // the sign flag needs decimals
  };
  for (const DisplayCase& c : cases) {
    IParam p;
    p.InitDouble("x", 0.0, -100.0, 100.0, c.step, "", c.flags);
    EXPECT_EQ(Display(p, c.value), c.expected)
        << "step " << c.step << " flags " << c.flags << " value " << c.value;
  }
}

TEST(IParamDisplay, NormalizedInputIsConvertedAndConstrained) {
  IParam p;
  p.InitDouble("Output Trim", 0.0, -24.0, 12.0, 0.1, "dB");
  EXPECT_EQ(Display(p, 0.5, true), "-6.0");
  EXPECT_EQ(Display(p, 1.5, true), "12.0");  // constrained after the shape
}

TEST(IParamDisplay, DisplayTextsFirstEntryWinsAndCanBeBypassed) {
  IParam p;
  p.InitBool("48V", true);
  p.SetDisplayText(0.0, "Off");
  p.SetDisplayText(1.0, "On");
  EXPECT_EQ(p.NDisplayTexts(), 4);
  EXPECT_EQ(Display(p, 0.0), "off");
  EXPECT_STREQ(p.GetDisplayText(1.0), "on");
  EXPECT_STREQ(p.GetDisplayText(0.5), "");
  EXPECT_EQ(Display(p, 1.0, false, false), "1");

  double v = -1.0;
  EXPECT_TRUE(p.MapDisplayText("On", &v));
  EXPECT_EQ(v, 1.0);
  v = -1.0;
  EXPECT_FALSE(p.MapDisplayText("ON", &v));
  EXPECT_EQ(v, -1.0);  // untouched

  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &v), "On");
  EXPECT_EQ(v, 1.0);
  v = -1.0;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(4, &v), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &v), "");
  EXPECT_EQ(v, -1.0);
}

TEST(IParamDisplay, DisplayFunctionReplacesEveryOtherRule) {
  IParam p;
  p.InitDouble("x", 0.0, 0.0, 10.0, 1.0, "", 0, "", IParam::ShapeLinear{}, IParam::kUnitCustom,
               [](double value, std::string& out) { out = "v=" + std::to_string(int(value)); });
  p.SetDisplayText(3.0, "three");
  EXPECT_EQ(Display(p, 3.0), "v=3");
  EXPECT_TRUE(p.HasDisplayFunc());
}

TEST(IParamDisplay, WithLabelOnlyWhenNoDisplayTextShows) {
  IParam trim;
  trim.InitDouble("Output Trim", -3.5, -24.0, 12.0, 0.1, "dB");
  std::string s;
  trim.GetDisplayWithLabel(s);
  EXPECT_EQ(s, "-3.5 dB");

  IParam sw;
  sw.InitBool("Switch", true, "dB");
  sw.GetDisplayWithLabel(s);
  EXPECT_EQ(s, "on");
  EXPECT_STREQ(sw.GetLabel(), "");

  IParam list;
  list.InitEnum("Mode", 2, 3, "units", 0, "", "a", "");  // entry 1 text empty, entry 2 missing
  EXPECT_STREQ(list.GetLabel(), "units");
  list.Set(0.0);
  EXPECT_STREQ(list.GetLabel(), "");
}

TEST(IParamDisplay, LongTextsAreCutAt31Characters) {
  const std::string longText(40, 'n');
  IParam p;
  p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 1.0, longText.c_str(), 0, longText.c_str());
  p.SetDisplayText(0.0, longText.c_str());
  EXPECT_EQ(std::string(p.GetName()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetGroup()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetDisplayText(0.0)), longText.substr(0, 31));
  IParam wide;
  wide.InitDouble("x", 0.0, -1e300, 1e300, 0.5);
  EXPECT_EQ(Display(wide, 1e40).size(), 31u);
}

// --------------------------------------------------------------------------------- parsing

TEST(IParamParse, StringToValueByParameterKind) {
  IParam gain;
  gain.InitDouble("Gain", 24.0, 0.0, 100.0, 1.0, "%");
  IParam trim;
  trim.InitDouble("Trim", 0.0, -10.0, 10.0, 0.1, "dB", IParam::kFlagNegateDisplay);
  IParam count;
  count.InitInt("Count", 0, 0, 10);
  IParam bypass;
  bypass.InitBool("Bypass", false);
  IParam phantom;
  phantom.InitBool("48V", true);
  phantom.SetDisplayText(0.0, "Off");
  phantom.SetDisplayText(1.0, "On");
  IParam mode;
  mode.InitEnum("Mode", 0, {"a", "b", "c"});

  const struct {
    const IParam* p;
    const char* text;
    double expected;
  } cases[] = {
      {&gain, "abc", 0.0},  // no leading number
      {&gain, "42.5", 42.5},
      {&gain, " 7 %", 7.0},
      {&gain, "150", 100.0},
      {&gain, "-5", 0.0},
      {&gain, "", 0.0},
      {&trim, "3", -3.0},  // negated back
      {&trim, "-20", 10.0},
      {&count, "2.5", 3.0},  // stepped: rounded, halves away from zero
      {&bypass, "on", 1.0},
      {&bypass, "off", 0.0},
      {&bypass, "On", 0.0},  // no text matches and a bool does not parse numbers
      {&bypass, "1", 0.0},
      {&phantom, "On", 1.0},  // matches the appended text
      {&phantom, "on", 1.0},
      {&mode, "c", 2.0},
      {&mode, "z", 0.0},
      // Only a decimal number is read: hexadecimal reads its leading 0, words are no number.
      {&gain, "0x10", 0.0},
      {&gain, "inf", 0.0},
      {&gain, "nan", 0.0},
      {&gain, "1e1", 10.0},
      {&gain, "+.5e2x", 50.0},
      {&gain, "3e+", 3.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(c.p->StringToValue(c.text), c.expected) << c.p->GetName() << " " << c.text;
  }
  EXPECT_EQ(gain.StringToValue(nullptr), 0.0);
}

// Typed text is not the process's business: under a locale with a decimal comma, strtod would read
// "2.5" as 2 (stopping at the full stop). Both separators read the same under every locale, while
// displays keep following the locale.
TEST(IParamParse, TypedTextReadsTheSameUnderEveryLocale) {
  IParam trim;
  trim.InitDouble("Trim", 0.0, -24.0, 12.0, 0.1, "dB");
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  std::vector<const char*> locales = {"C"};
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) locales.push_back("de_DE.UTF-8");
  const struct {
    const char* text;
    double expected;
  } cases[] = {{"2.5", 2.5}, {"2,5", 2.5},   {"-1,25e1", -12.5}, {",5", 0.5},
               {"3.", 3.0},  {"1,2,3", 1.2}, {"1.2,3", 1.2}};
  for (const char* locale : locales) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, locale), nullptr) << locale;
    for (const auto& c : cases)
      EXPECT_DOUBLE_EQ(trim.StringToValue(c.text), c.expected) << locale << " " << c.text;
  }
  if (locales.size() > 1) {
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    std::string display;
    trim.GetDisplay(2.5, false, display);
    EXPECT_EQ(display, "2,5");  // displays still follow the locale
  }
  std::setlocale(LC_NUMERIC, before.c_str());
  if (locales.size() == 1) GTEST_SKIP() << "no de_DE.UTF-8 locale here (./run.sh setup makes it)";
}

// ----------------------------------------------------------------------------------- shapes

TEST(IParamShape, ExpWithMinZeroAnchorsAt1eMinus8) {
  IParam p;
  p.InitDouble("f", 1.0, 0.0, 100.0, 0.1, "", 0, "", IParam::ShapeExp{});
  // exp(ln(x)) is x to a few ulps.
  EXPECT_NEAR(p.FromNormalized(0.0), 1e-8, 1e-20);
  EXPECT_NEAR(p.FromNormalized(1.0), 100.0, 1e-12);
  EXPECT_NEAR(p.FromNormalized(0.5), std::sqrt(1e-8 * 100.0), 1e-12);
  EXPECT_EQ(p.ToNormalized(0.0), 0.0);  // ln(0) is -inf: clamped to the bottom
}

TEST(IParamShape, FrequencyIsLogarithmicAndRoundTrips) {
  IParam p;
  p.InitFrequency("Freq", 1000.0, 20.0, 20000.0, 0.1);
  EXPECT_EQ(p.GetShapeID(), IParam::kShapeExponential);
  EXPECT_EQ(p.GetDisplayType(), IParam::kDisplayLog);
  EXPECT_NEAR(p.FromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);
  for (double v : {20.0, 100.0, 1000.0, 19999.0}) {
    EXPECT_NEAR(p.FromNormalized(p.ToNormalized(v)), v, 1e-9 * v) << v;
  }
}

TEST(IParamShape, PowCurveMapsAndReportsDisplayType) {
  IParam p;
  p.InitDouble("x", 0.0, 0.0, 10.0, 0.01, "", 0, "", IParam::ShapePowCurve{2.0});
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5), 2.5);
  EXPECT_DOUBLE_EQ(p.ToNormalized(2.5), 0.5);
  EXPECT_EQ(p.GetShapeID(), IParam::kShapePowCurve);
  EXPECT_EQ(p.GetShapeValue(), 2.0);

  const struct {
    double s;
    IParam::EDisplayType type;
  } cases[] = {
      {3.0, IParam::kDisplayCubeRoot},   {2.5, IParam::kDisplaySquareRoot},
      {2.0, IParam::kDisplaySquareRoot}, {1.5, IParam::kDisplayLinear},
      {1.0, IParam::kDisplayLinear},     {2.0 / 3.0, IParam::kDisplayLinear},
      {0.5, IParam::kDisplaySquared},    {0.4, IParam::kDisplaySquared},
      {0.3, IParam::kDisplayCubed},
  };
  for (const auto& c : cases) EXPECT_EQ(IParam::ShapePowCurve{c.s}.GetDisplayType(), c.type) << c.s;
}

// ----------------------------------------------------------------------------- initialisers

TEST(IParamInit, EachInitialiserSetsTypeUnitLabelStepAndShape) {
  struct Case {
    const char* what;
    void (*init)(IParam&);
    IParam::EParamType type;
    IParam::EParamUnit unit;
    const char* label;
    double step;
    bool stepped;
    IParam::EShapeID shape;
  };
  const Case cases[] = {
      {"double", [](IParam& p) { p.InitDouble("x", 0, 0, 1, 0.1); }, IParam::kTypeDouble,
       IParam::kUnitCustom, "", 0.1, false, IParam::kShapeLinear},
      {"int", [](IParam& p) { p.InitInt("x", 0, 0, 9, "n"); }, IParam::kTypeInt,
       IParam::kUnitCustom, "n", 1.0, true, IParam::kShapeLinear},
      {"enum", [](IParam& p) { p.InitEnum("x", 0, 3); }, IParam::kTypeEnum, IParam::kUnitCustom, "",
       1.0, true, IParam::kShapeLinear},
      {"bool", [](IParam& p) { p.InitBool("x", true); }, IParam::kTypeBool, IParam::kUnitCustom, "",
       1.0, true, IParam::kShapeLinear},
      {"gain", [](IParam& p) { p.InitGain("x", 0, -70, 12, 0.5); }, IParam::kTypeDouble,
       IParam::kUnitDB, "dB", 0.5, false, IParam::kShapeLinear},
      {"seconds", [](IParam& p) { p.InitSeconds("x", 1, 0, 10, 0.1); }, IParam::kTypeDouble,
       IParam::kUnitSeconds, "Seconds", 0.1, false, IParam::kShapeLinear},
      {"frequency", [](IParam& p) { p.InitFrequency("x", 1000, 20, 20000, 1); },
       IParam::kTypeDouble, IParam::kUnitFrequency, "Hz", 1.0, false, IParam::kShapeExponential},
      {"milliseconds", [](IParam& p) { p.InitMilliseconds("x", 10, 0, 100); }, IParam::kTypeDouble,
       IParam::kUnitMilliseconds, "ms", 1.0, false, IParam::kShapeLinear},
      {"percentage", [](IParam& p) { p.InitPercentage("x", 10, 0, 100); }, IParam::kTypeDouble,
       IParam::kUnitPercentage, "%", 1.0, false, IParam::kShapeLinear},
      {"degrees", [](IParam& p) { p.InitAngleDegrees("x", 0, 0, 360); }, IParam::kTypeDouble,
       IParam::kUnitDegrees, "degrees", 1.0, false, IParam::kShapeLinear},
      {"pitch", [](IParam& p) { p.InitPitch("x", 60, 48, 72); }, IParam::kTypeEnum,
       IParam::kUnitCustom, "", 1.0, true, IParam::kShapeLinear},
  };
  for (const Case& c : cases) {
    IParam p;
    c.init(p);
    EXPECT_EQ(p.Type(), c.type) << c.what;
    EXPECT_EQ(p.Unit(), c.unit) << c.what;
    EXPECT_STREQ(p.GetLabel(), c.label) << c.what;
    EXPECT_EQ(p.GetStep(), c.step) << c.what;
    EXPECT_EQ(p.GetStepped(), c.stepped) << c.what;
    EXPECT_EQ(p.GetShapeID(), c.shape) << c.what;
  }
}

TEST(IParamInit, BoolAndEnumRangesAndTexts) {
  IParam b;
  b.InitBool("Bypass", true, "", IParam::kFlagMeta, "", "no", "yes");
  EXPECT_EQ(b.GetMin(), 0.0);
  EXPECT_EQ(b.GetMax(), 1.0);
  EXPECT_EQ(b.Value(), 1.0);
  EXPECT_EQ(b.GetFlags(), IParam::kFlagMeta | IParam::kFlagStepped);
  EXPECT_STREQ(b.GetDisplayText(0.0), "no");
  EXPECT_STREQ(b.GetDisplayText(1.0), "yes");

  IParam e;
  e.InitEnum("Mode", 1, 4, "", 0, "", "a", "b");  // fewer texts than entries: no over-read
  EXPECT_EQ(e.GetMax(), 3.0);
  EXPECT_EQ(e.NDisplayTexts(), 2);
  IParam tooMany;
  tooMany.InitEnum("Mode", 0, 2, "", 0, "", "a", "b", "c");
  EXPECT_EQ(tooMany.NDisplayTexts(), 2);

  IParam list;
  list.InitEnum("Shape", 2, {"sine", "saw", "square"});
  EXPECT_EQ(list.GetMax(), 2.0);
  EXPECT_EQ(list.Value(), 2.0);
  EXPECT_EQ(Display(list, 1.0), "saw");
}

TEST(IParamInit, PitchNamesNotesAndOctaves) {
  const struct {
    int minNote, maxNote;
    bool middleCIsC4;
    int index;
    const char* text;
  } cases[] = {
      {60, 72, true, 0, "C 4"},  {60, 72, false, 0, "C 3"}, {60, 72, true, 1, "C#4"},
      {60, 72, true, 11, "B 4"}, {60, 72, true, 12, "C 5"}, {0, 12, true, 0, "C -1"},
      {0, 12, false, 0, "C -2"}, {-1, 1, true, 0, "B -2"},
  };
  for (const auto& c : cases) {
    IParam p;
    p.InitPitch("Note", 0, c.minNote, c.maxNote, 0, "", c.middleCIsC4);
    EXPECT_EQ(p.NDisplayTexts(), c.maxNote - c.minNote + 1);
    EXPECT_STREQ(p.GetDisplayTextAtIdx(c.index), c.text) << c.minNote << " +" << c.index;
  }
}

TEST(IParamInit, InitFromOtherRenamesAndCopiesEverything) {
  IParam other;
  other.InitFrequency("Cutoff L", 1000.0, 20.0, 20000.0, 1.0, IParam::kFlagMeta, "Filter L");
  other.SetDisplayText(1000.0, "centre");
  other.Set(500.0);

  const struct {
    const char* search;
    const char* replace;
    const char* group;
    const char* name;
    const char* expectedGroup;
  } cases[] = {
      {"L", "R", "Filter R", "Cutoff R", "Filter R"},
      {" L", "", "", "Cutoff", "Filter L"},        // removed, nothing inserted
      {"", "R", nullptr, "Cutoff L", "Filter L"},  // no search text: name kept
      {"X", "R", "", "Cutoff L", "Filter L"},      // not found: name kept
  };
  for (const auto& c : cases) {
    IParam p;
    p.Init(other, c.search, c.replace, c.group);
    EXPECT_STREQ(p.GetName(), c.name);
    EXPECT_STREQ(p.GetGroup(), c.expectedGroup);
    EXPECT_EQ(p.Type(), IParam::kTypeDouble);
    EXPECT_EQ(p.Unit(), IParam::kUnitFrequency);
    EXPECT_EQ(p.GetFlags(), IParam::kFlagMeta);
    EXPECT_EQ(p.GetShapeID(), IParam::kShapeExponential);
    EXPECT_EQ(p.Value(), 1000.0);  // the default, not other's current value
    EXPECT_STREQ(p.GetDisplayText(1000.0), "centre");
    // The shape was re-initialised for this parameter's range.
    EXPECT_NEAR(p.FromNormalized(0.5), other.FromNormalized(0.5), 1e-9);
  }
}

TEST(IParamInit, OuterInitialiserDecidesTheType) {
  IParam p;
  p.InitBool("b", false);
  p.InitDouble("d", 0.0, 0.0, 1.0, 0.1);  // a later initialiser does not change the type
  EXPECT_EQ(p.Type(), IParam::kTypeBool);
}

// ------------------------------------------------------------------------------------- JSON

TEST(IParamJSON, DescribesTheParameterOnOneLine) {
  IParam gain;
  gain.InitDouble("Gain", 24.0, 0.0, 100.0, 1.0, "%");
  IParam none;
  std::string json = "[";
  gain.GetJSON(json, 0);
  none.GetJSON(json, 7);
  EXPECT_EQ(json,
            "[{\"id\":0, \"name\":\"Gain\", \"type\":\"float\", \"min\":0.000000, "
            "\"max\":100.000000, \"default\":24.000000, \"display_type\":0, "
            "\"rate\":\"control\"}"
            "{\"id\":7, \"name\":\"\", \"min\":0.000000, \"max\":1.000000, "
            "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}");
}

}  // namespace
