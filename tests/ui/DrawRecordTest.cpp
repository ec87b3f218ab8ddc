// DrawRecordTest.cpp: what each control draws, read from the recorded paint operations: angles,
// alphas, geometry and order.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/GainDisplay.h"
#include "ui/Plate.h"
#include "ui/PresetBar.h"
#include "ui/Toggle.h"
#include "ui/TrimReadout.h"

namespace {

using namespace uitest;

constexpr double kPi = 3.14159265358979323846;
const float s = RecordedEditor::S();

// Where a plate point at radius r and angle deg from (cx, cy) lands, in logical pixels.
std::pair<float, float> Dial(float cx, float cy, float r, double deg) {
  const double rad = deg * kPi / 180.0;
  return {float((cx + r * std::sin(rad)) * s), float((cy - r * std::cos(rad)) * s)};
}

// The centre of a radial gradient: where its transform gives the origin.
std::pair<double, double> RadialCentre(const IPattern& p) {
  return {-p.mTransform.mTX / p.mTransform.mXX, -p.mTransform.mTY / p.mTransform.mYY};
}

TEST(KnobDraw, CapTurnsAboutItsCentreByValueAndOffset) {
  RecordedEditor ed;
  struct Case {
    int control;
    double value;
    double rotation;
    float cx, cy, size;
  };
  const Case cases[] = {
      {kGainKnob, 0.0, -135.0, 332, 1366, 260}, {kGainKnob, 1.0, 135.0, 332, 1366, 260},
      {kGainKnob, 0.5, 0.0, 332, 1366, 260},    {kTrimKnob, 0.0, -180.0, 329, 1680, 118},
      {kTrimKnob, 1.0, 90.0, 329, 1680, 118},   {kTrimKnob, 2.0 / 3.0, 0.0, 329, 1680, 118},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "control " << c.control << " value " << c.value);
    ed.Control(c.control).SetValue(c.value);
    const std::vector<Op> ops = ed.Record(c.control);
    ASSERT_EQ(ops.size(), 1u);
    ASSERT_EQ(ops[0].kind, Op::Kind::Bitmap);
    EXPECT_EQ(ops[0].text, c.control == kGainKnob ? "cap_big.png" : "cap_small.png");
    const double rot = ops[0].RotationDegrees();
    // atan2 answers in (-180, 180]: -180 and 180 are the same turn.
    EXPECT_NEAR(std::remainder(rot - c.rotation, 360.0), 0.0, 1e-3);
    // The bitmap's centre lands on the knob's centre, its side spans the cap size.
    double x = 50, y = 50;
    ops[0].transform.TransformPoint(x, y);
    EXPECT_NEAR(x, c.cx * s, 1e-3);
    EXPECT_NEAR(y, c.cy * s, 1e-3);
    const IMatrix& m = ops[0].transform;
    EXPECT_NEAR(std::hypot(m.mXX, m.mYX) * 100.0, c.size * s, 1e-3);
  }
}

TEST(KnobDraw, WithoutItsImageAKnobStillShowsItsValue) {
  auto plugin = MakePlugin();
  plugin->mMakeGraphicsFunc = [&plugin]() -> IGfx* {
    return new RecordingGfx(*plugin, 222, 666, 1.f);  // no image at all
  };
  plugin->OpenWindow(nullptr);
  auto& g = *static_cast<RecordingGfx*>(plugin->GetUI());
  ASSERT_EQ(g.NControls(), kNumControls);
  IControl& knob = *g.GetControl(kGainKnob);
  knob.SetValue(1.0);
  const std::vector<Op> ops = g.Record(knob);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_TRUE(ops[0].IsCircle());
  ASSERT_TRUE(ops[1].IsLine());
  // The pointer, turned with the cap to 135 degrees, points down and to the right.
  double x = ops[1].points[1].first, y = ops[1].points[1].second;
  ops[1].transform.TransformPoint(x, y);
  EXPECT_GT(x, 332 * s);
  EXPECT_GT(y, 1366 * s);

  // The plate falls back to a flat dark face over the whole editor.
  const std::vector<Op> plate = g.Record(*g.GetControl(kPlate));
  ASSERT_FALSE(plate.empty());
  EXPECT_EQ(plate[0].kind, Op::Kind::Fill);
  EXPECT_EQ(plate[0].Colour(), TovraUI::Plate::kFallbackFace);
  EXPECT_EQ(plate[0].points.front(), std::make_pair(0.f, 0.f));
  EXPECT_EQ(plate[0].points[2], std::make_pair(222.f, 666.f));
  for (const Op& op : plate) EXPECT_NE(op.kind, Op::Kind::Bitmap);
  plugin->CloseWindow();
}

// One lamp: outer halo, inner halo, body with a radial gradient.
void ExpectLamp(const std::vector<Op>& ops, std::size_t at, float x, float y, IColor colour,
                float level) {
  ASSERT_GE(ops.size(), at + 3);
  const auto a = [](float f) { return int(std::clamp(f, 0.f, 1.f) * 255.f); };
  const Op& outer = ops[at];
  const Op& inner = ops[at + 1];
  const Op& body = ops[at + 2];
  ASSERT_TRUE(outer.IsCircle());
  ASSERT_TRUE(inner.IsCircle());
  ASSERT_TRUE(body.IsCircle());
  EXPECT_EQ(outer.Colour(), IColor(a(0.16f * level), colour.R, colour.G, colour.B));
  EXPECT_EQ(inner.Colour(), IColor(a(0.28f * level), colour.R, colour.G, colour.B));
  EXPECT_FLOAT_EQ(outer.arcs[0].r, 46 * s);
  EXPECT_FLOAT_EQ(inner.arcs[0].r, 31 * s);
  EXPECT_FLOAT_EQ(body.arcs[0].r, 16 * s);
  EXPECT_FLOAT_EQ(body.arcs[0].cx, x * s);
  EXPECT_FLOAT_EQ(body.arcs[0].cy, y * s);
  ASSERT_EQ(body.pattern.mType, EPatternType::Radial);
  const auto [gx, gy] = RadialCentre(body.pattern);
  EXPECT_NEAR(gx, (x + 3) * s, 1e-4) << "hot spot right of the centre";
  EXPECT_NEAR(gy, (y - 4) * s, 1e-4) << "and above it";
  EXPECT_NEAR(1.0 / body.pattern.mTransform.mXX, 20 * s, 1e-4);
  ASSERT_EQ(body.pattern.NStops(), 3);
  EXPECT_EQ(body.pattern.GetStop(0).mColor, IColor(a(level), 255, 255, 255));
  EXPECT_EQ(body.pattern.GetStop(1).mColor, IColor(a(level), colour.R, colour.G, colour.B));
  EXPECT_EQ(body.pattern.GetStop(2).mColor, IColor(a(0.7f * level), colour.R, colour.G, colour.B));
  EXPECT_EQ(body.pattern.GetStop(1).mOffset, 0.5f);
}

TEST(HeadroomDraw, LampsFollowTheMeterReadings) {
  RecordedEditor ed;
  const IColor red(255, 255, 40, 25), amber(255, 255, 150, 20), green(255, 40, 220, 60);
  // At start nothing is drawn: only the plate shows.
  EXPECT_TRUE(ed.Record(kHeadroom).empty());

  ed.plugin->mClipLed = 1.f;
  std::vector<Op> ops = ed.Record(kHeadroom);
  ASSERT_EQ(ops.size(), 3u);
  ExpectLamp(ops, 0, 139, 231, red, 1.f);
  // Full level: opaque white at the hot spot, opaque colour half-way, alpha 178 at the rim.
  EXPECT_EQ(ops[2].pattern.GetStop(0).mColor.A, 255);
  EXPECT_EQ(ops[2].pattern.GetStop(2).mColor.A, 178);

  ed.plugin->mClipLed = 0.f;
  ed.plugin->mMeterDb = -24.f;  // green at half, amber dark
  ops = ed.Record(kHeadroom);
  ASSERT_EQ(ops.size(), 3u);
  ExpectLamp(ops, 0, 139, 353, green, 0.5f);

  ed.plugin->mMeterDb = -4.5f;  // green full, amber at half; amber is drawn first
  ops = ed.Record(kHeadroom);
  ASSERT_EQ(ops.size(), 6u);
  ExpectLamp(ops, 0, 139, 292, amber, 0.5f);
  ExpectLamp(ops, 3, 139, 353, green, 1.f);
}

TEST(ToggleDraw, LampWhileOnAndDarkenedSwitchWhilePressed) {
  RecordedEditor ed;
  const IColor red(255, 255, 40, 25);
  // 48V is on by default, Bypass off.
  std::vector<Op> ops = ed.Record(kToggle48V);
  ASSERT_EQ(ops.size(), 3u);
  ExpectLamp(ops, 0, 140, 570, red, 1.f);
  EXPECT_TRUE(ed.Record(kToggleBypass).empty());

  auto& bypass = ed.Control<TovraUI::Toggle>(kToggleBypass);
  const IRECT sw = bypass.GetSwitchZone();
  ed.G().OnMouseDown(sw.MW(), sw.MH(), IMouseMod(true));
  ops = ed.Record(kToggleBypass);
  ASSERT_EQ(ops.size(), 4u);
  ExpectLamp(ops, 0, 140, 766, red, 1.f);
  EXPECT_EQ(ops[3].kind, Op::Kind::Fill);
  EXPECT_EQ(ops[3].Colour(), IColor(70, 0, 0, 0));
  EXPECT_EQ(ops[3].arcs.size(), 4u) << "a rounded rectangle";
  EXPECT_FLOAT_EQ(ops[3].arcs[0].r, 62 * s);
  ed.G().OnMouseUp(sw.MW(), sw.MH(), IMouseMod(true));
  EXPECT_EQ(ed.Record(kToggleBypass).size(), 3u);
}

// The trim glow: which ticks are drawn, and the alpha of the bright line (255 k) of each.
TEST(TrimTicksDraw, NearestTickLitAndTheGlowFadesIntoANeighbour) {
  RecordedEditor ed;
  struct Case {
    double trim;
    std::vector<std::pair<int, int>> ticks;  // (tick, alpha of its 255-line), in drawing order
  };
  const Case cases[] = {
      {-24.0, {{0, 255}}},          // tick 1 skipped: d = 0
      {0.0, {{8, 255}}},            // p = 8 exactly
      {1.5, {{8, 31}, {9, 255}}},   // p = 8.5, n = 9; k = 0.125 for tick 8, tick 10 skipped
      {12.0, {{12, 255}}},          //
      {-1.0, {{7, 14}, {8, 255}}},  // p = 7.667: tick 7 at d = 0.333, k = 0.056
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "trim " << c.trim);
    ed.SetParam(TovraSat::kOutputTrim, c.trim);
    const std::vector<Op> ops = ed.Record(kTrimTicks);
    ASSERT_EQ(ops.size(), 5 * c.ticks.size());
    for (std::size_t t = 0; t < c.ticks.size(); ++t) {
      const auto [tick, alpha] = c.ticks[t];
      const Op* o = &ops[5 * t];
      EXPECT_TRUE(o[0].IsCircle() && o[1].IsCircle());
      EXPECT_FLOAT_EQ(o[0].arcs[0].r, 26 * s);
      EXPECT_FLOAT_EQ(o[1].arcs[0].r, 15 * s);
      ASSERT_TRUE(o[2].IsLine() && o[3].IsLine() && o[4].IsLine());
      EXPECT_EQ(o[3].Colour(), IColor(alpha, 255, 205, 80));
      const double k = alpha == 255 ? 1.0 : double(alpha) / 255.0;
      EXPECT_NEAR(o[0].Colour().A, 60 * k, 1.0);
      // Geometry: from radius 78 to 98 (even) or 93 (odd) at -135 + 22.5 i degrees.
      const double deg = -135.0 + 22.5 * tick;
      const auto in = Dial(329, 1680, 78, deg);
      const auto out = Dial(329, 1680, tick % 2 == 0 ? 98.f : 93.f, deg);
      EXPECT_NEAR(o[3].points[0].first, in.first, 1e-3);
      EXPECT_NEAR(o[3].points[0].second, in.second, 1e-3);
      EXPECT_NEAR(o[3].points[1].first, out.first, 1e-3);
      EXPECT_NEAR(o[3].points[1].second, out.second, 1e-3);
      const float w = (tick % 2 == 0 ? 4.2f : 3.2f) * s;
      EXPECT_FLOAT_EQ(o[2].thickness, 2.6f * w);
      EXPECT_FLOAT_EQ(o[3].thickness, 1.2f * w);
      EXPECT_FLOAT_EQ(o[4].thickness, 0.45f * w);
      EXPECT_FLOAT_EQ(o[0].arcs[0].cx, 0.5f * (in.first + out.first));
    }
  }
}

// Reads the seven-segment digits back from the fills: each lit segment is one fill in the
// segment colour; its centre, taken back through the slant, names its cell and its letter.
std::string ReadDigits(const std::vector<Op>& ops, float x0, float width, float pitch, int count) {
  const float h = 112.f, top = 232.f, t = 0.2f * width;
  std::vector<std::string> cells(std::size_t(count), "");
  for (const Op& op : ops) {
    if (op.kind != Op::Kind::Fill || op.Colour() != IColor(255, 38, 120, 255)) continue;
    EXPECT_EQ(op.points.size(), 6u);
    float cx = 0, cy = 0;
    for (auto [px, py] : op.points) cx += px / s / 6.f, cy += py / s / 6.f;
    const float y = cy - top;
    const float xAbs = cx - 0.04f * (h - y);
    const int cell = int(std::floor((xAbs - x0) / pitch));
    if (cell < 0 || cell >= count) {
      ADD_FAILURE() << "segment outside every cell at x " << xAbs;
      continue;
    }
    const float x = xAbs - (x0 + float(cell) * pitch);
    EXPECT_LT(x, width) << "segment in the gap between cells";
    const char* column = x < width / 3 ? "fe" : (x > 2 * width / 3 ? "bc" : nullptr);
    char letter;
    if (y < t) {
      letter = 'a';
    } else if (y < h / 2 - t) {
      letter = column ? column[0] : '?';
    } else if (y < h / 2 + t) {
      letter = 'g';
    } else if (y < h - t) {
      letter = column ? column[1] : '?';
    } else {
      letter = 'd';
    }
    cells[std::size_t(cell)] += letter;
  }
  std::string digits;
  for (std::string& lit : cells) {
    std::sort(lit.begin(), lit.end());
    char found = '?';
    for (int d = 0; d < 10; ++d) {
      std::string want = TovraUI::GainDisplay::kDigitSegments[d];
      std::sort(want.begin(), want.end());
      if (want == lit) found = char('0' + d);
    }
    digits += found;
  }
  return digits;
}

TEST(GainDisplayDraw, DigitsCellsAndLayout) {
  RecordedEditor ed;
  struct Case {
    double gain;
    const char* shown;
  };
  const Case cases[] = {{0.0, "00"},  {4.5, "05"},   {24.0, "24"},   {68.0, "68"},
                        {99.4, "99"}, {99.5, "100"}, {100.0, "100"}, {13.49, "13"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "gain " << c.gain);
    ed.plugin->GetParam(TovraSat::kGain)->Set(c.gain);
    const std::vector<Op> ops = ed.Record(kGainDisplay);
    const bool three = std::string(c.shown).size() == 3;
    const float width = three ? 48.f : 68.f, pitch = three ? 60.f : 88.f;
    const float x0 = three ? 333.f - (3 * 48 + 2 * 12) / 2.f : 333.f - (2 * 68 + 20) / 2.f;
    EXPECT_EQ(ReadDigits(ops, x0, width, pitch, three ? 3 : 2), c.shown);

    // The glow first, then four passes per lit segment.
    ASSERT_FALSE(ops.empty());
    EXPECT_TRUE(ops[0].IsCircle());
    EXPECT_EQ(ops[0].pattern.mType, EPatternType::Radial);
    EXPECT_EQ(ops[0].pattern.GetStop(0).mColor, IColor(46, 40, 110, 255));
    EXPECT_EQ(ops[0].pattern.GetStop(1).mColor, IColor(0, 40, 110, 255));
    const auto [gx, gy] = RadialCentre(ops[0].pattern);
    EXPECT_NEAR(gx, 333 * s, 1e-3);
    EXPECT_NEAR(gy, 288 * s, 1e-3);
    ASSERT_EQ((ops.size() - 1) % 4, 0u);
    const float t = 0.2f * width * s;
    for (std::size_t i = 1; i < ops.size(); i += 4) {
      EXPECT_EQ(ops[i].kind, Op::Kind::Stroke);
      EXPECT_EQ(ops[i].Colour(), IColor(46, 30, 100, 255));
      EXPECT_FLOAT_EQ(ops[i].thickness, 1.7f * t);
      EXPECT_EQ(ops[i + 1].Colour(), IColor(80, 30, 110, 255));
      EXPECT_FLOAT_EQ(ops[i + 1].thickness, 0.8f * t);
      EXPECT_EQ(ops[i + 2].kind, Op::Kind::Fill);
      EXPECT_EQ(ops[i + 3].Colour(), IColor(255, 120, 190, 255));
      EXPECT_FLOAT_EQ(ops[i + 3].thickness, 0.12f * t);
      for (std::size_t k = i; k < i + 4; ++k) {
        EXPECT_EQ(ops[k].points, ops[i].points) << "the same outline each pass";
        EXPECT_EQ(ops[k].closes, 1);
      }
    }
  }
}

TEST(GainDisplayDraw, SegmentsLeanRight) {
  RecordedEditor ed;
  ed.plugin->GetParam(TovraSat::kGain)->Set(11.0);  // "11": only the verticals b and c
  const std::vector<Op> ops = ed.Record(kGainDisplay);
  ASSERT_EQ(ops.size(), 1u + 4 * 4);
  // Segment b of the first digit: its top tip lies right of its bottom tip by 4 % of the height
  // between them.
  const Op& b = ops[3];
  const float dx = b.points[0].first - b.points[3].first;
  const float dy = b.points[3].second - b.points[0].second;
  EXPECT_NEAR(dx, 0.04f * dy, 1e-4);
  EXPECT_GT(dy, 0.f);
}

TEST(GainTicksDraw, TicksBelowTheValueLitTheCurrentOneGlowing) {
  RecordedEditor ed;
  struct Case {
    double gain;
    int current;
  };
  for (const Case& c : {Case{0.0, 0}, Case{4.5, 1}, Case{24.0, 5}, Case{100.0, 20}}) {
    SCOPED_TRACE(testing::Message() << "gain " << c.gain);
    ed.plugin->GetParam(TovraSat::kGain)->Set(c.gain);
    const std::vector<Op> ops = ed.Record(kGainTicks);
    std::size_t at = 0;
    for (int i = 0; i <= 20; ++i) {
      SCOPED_TRACE(testing::Message() << "tick " << i);
      const bool major = i % 5 == 0;
      const float w = (major ? 6.f : 4.2f) * s;
      const double deg = -135.0 + 13.5 * i;
      const auto in = Dial(332, 1366, 182, deg);
      const auto out = Dial(332, 1366, i == c.current ? 222.f : (major ? 208.f : 200.f), deg);
      ASSERT_LT(at + 1, ops.size());
      const Op& shadow = ops[at++];
      const Op& base = ops[at++];
      ASSERT_TRUE(shadow.IsLine() && base.IsLine());
      EXPECT_EQ(shadow.Colour(), IColor(150, 0, 0, 0));
      EXPECT_NEAR(shadow.points[0].first, in.first + 1.5f * s, 1e-3);
      EXPECT_NEAR(shadow.points[0].second, in.second + 2.f * s, 1e-3);
      EXPECT_EQ(base.Colour().A, major ? 230 : 160);
      EXPECT_FLOAT_EQ(base.thickness, w);
      EXPECT_NEAR(base.points[1].first, out.first, 1e-3);
      EXPECT_NEAR(base.points[1].second, out.second, 1e-3);
      if (i < c.current) {
        ASSERT_LT(at + 1, ops.size());
        EXPECT_EQ(ops[at].Colour(), IColor(70, 255, 150, 40));
        EXPECT_FLOAT_EQ(ops[at].thickness, 2.4f * w);
        EXPECT_EQ(ops[at + 1].Colour(), IColor(255, 245, 170, 70));
        at += 2;
      } else if (i == c.current) {
        ASSERT_LT(at + 5, ops.size());
        const float radii[] = {70, 42, 24};
        for (int k = 0; k < 3; ++k) {
          ASSERT_TRUE(ops[at + k].IsCircle());
          EXPECT_FLOAT_EQ(ops[at + k].arcs[0].r, radii[k] * s);
          EXPECT_NEAR(ops[at + k].arcs[0].cx, 0.5f * (in.first + out.first), 1e-3);
        }
        EXPECT_EQ(ops[at + 5].Colour(), IColor(255, 255, 250, 215));
        EXPECT_FLOAT_EQ(ops[at + 5].thickness, 0.6f * w);
        at += 6;
      }
    }
    EXPECT_EQ(at, ops.size());
  }
}

TEST(PlateDraw, ImageThenRecessTrimScaleAndWindow) {
  RecordedEditor ed;
  const std::vector<Op> ops = ed.Record(kPlate);
  ASSERT_EQ(ops.size(), 1u + 1 + 6 + 26 + 1);
  // An opaque face under everything, then the image stretched over the plate's 667 x 2000 units.
  EXPECT_EQ(ops[0].Colour(), TovraUI::Plate::kFallbackFace);
  ASSERT_EQ(ops[1].kind, Op::Kind::Bitmap);
  EXPECT_EQ(ops[1].text, "tovra_plate.png");
  double x0 = 0, y0 = 0, x1 = 100, y1 = 100;
  ops[1].transform.TransformPoint(x0, y0);
  ops[1].transform.TransformPoint(x1, y1);
  EXPECT_NEAR(x0, 0, 1e-3);
  EXPECT_NEAR(y0, 0, 1e-3);
  EXPECT_NEAR(x1, TovraUI::kPlateWidth * s, 1e-3);
  EXPECT_NEAR(y1, TovraUI::kPlateHeight * s, 1e-3);
  // The recess: six rings, widest and faintest first.
  for (int k = 0; k < 6; ++k) {
    const Op& ring = ops[std::size_t(2 + k)];
    EXPECT_EQ(ring.pattern.mType, EPatternType::Linear);
    EXPECT_EQ(ring.pattern.NStops(), 5);
    EXPECT_EQ(ring.pattern.GetStop(2).mColor, IColor(70 + 30 * k, 74, 74, 78));
    EXPECT_FLOAT_EQ(ring.points[0].second, (98.f - float(10 - 2 * k)) * s);
  }
  // Thirteen trim ticks, each a shadow then the tick.
  for (int i = 0; i < 13; ++i) {
    const Op& shadow = ops[std::size_t(8 + 2 * i)];
    const Op& tick = ops[std::size_t(9 + 2 * i)];
    EXPECT_EQ(shadow.Colour(), IColor(150, 0, 0, 0));
    EXPECT_EQ(tick.Colour().A, i % 2 == 0 ? 235 : 170);
    EXPECT_FLOAT_EQ(tick.thickness, (i % 2 == 0 ? 3.4f : 2.2f) * s);
    const auto out = Dial(329, 1680, i % 2 == 0 ? 94.f : 89.f, -135.0 + 22.5 * i);
    EXPECT_NEAR(tick.points[1].first, out.first, 1e-3);
    EXPECT_NEAR(shadow.points[1].second, out.second + 1.5f * s, 1e-3);
  }
  const Op& window = ops.back();
  EXPECT_EQ(window.pattern.GetStop(0).mColor, IColor(255, 2, 10, 30));
  EXPECT_EQ(window.pattern.GetStop(1).mColor, IColor(255, 1, 8, 24));
}

TEST(PresetBarDraw, LabelIsCutAfter22Bytes) {
  RecordedEditor ed;
  struct Case {
    std::string name, shown;
  };
  const Case cases[] = {
      {"Default", "Default"},
      {"abcdefghijklmnopqrstuv", "abcdefghijklmnopqrstuv"},            // 22
      {"abcdefghijklmnopqrstuvw", "abcdefghijklmnopqrstu~"},           // 23
      {"abcdefghijklmnopqrstuvwxyz012345", "abcdefghijklmnopqrstu~"},  // 32
      {"", ""},
  };
  for (const Case& c : cases) {
    ed.plugin->mPresetName = c.name;
    const std::vector<Op> ops = ed.Record(kPresetBar);
    ASSERT_EQ(ops.size(), 5u);
    EXPECT_EQ(ops[4].kind, Op::Kind::Text);
    EXPECT_EQ(ops[4].text, c.shown);
    EXPECT_EQ(ops[4].text.size(), std::min<std::size_t>(c.name.size(), 22));
  }
  // Background, border, the two arrows, the name between them.
  const std::vector<Op> ops = ed.Record(kPresetBar);
  const IRECT bar = ed.Control(kPresetBar).GetRECT();
  EXPECT_EQ(ops[0].kind, Op::Kind::Fill);
  EXPECT_EQ(ops[0].pattern.GetStop(0).mColor, IColor(215, 8, 10, 16));
  EXPECT_EQ(ops[1].kind, Op::Kind::Stroke);
  EXPECT_FLOAT_EQ(ops[1].thickness, 1.3f * s);
  const float zone = 0.17f * bar.W();
  for (int k : {2, 3}) {
    ASSERT_EQ(ops[std::size_t(k)].points.size(), 3u);
    for (auto [x, y] : ops[std::size_t(k)].points) {
      (void)y;
      if (k == 2) {
        EXPECT_LT(x, bar.L + zone) << "left arrow inside the left click zone";
      } else {
        EXPECT_GT(x, bar.R - zone) << "right arrow inside the right click zone";
      }
    }
  }
  EXPECT_FLOAT_EQ(ops[4].bounds.L, bar.L + 46 * s);
  EXPECT_FLOAT_EQ(ops[4].style.mSize, 27 * s);
  EXPECT_EQ(ops[4].style.mFGColor, IColor(255, 236, 236, 238));
}

TEST(TextDraw, SizeButtonAndTrimReadoutDrawShadowThenInk) {
  RecordedEditor ed(1.25f);
  std::vector<Op> ops = ed.Record(kSizeButton);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].text, "SIZE 125%");
  EXPECT_EQ(ops[0].style.mFGColor, IColor(150, 0, 0, 0));
  EXPECT_EQ(ops[1].style.mFGColor, IColor(255, 236, 236, 238));
  EXPECT_NEAR(ops[0].bounds.L - ops[1].bounds.L, 2 * s, 1e-4);
  EXPECT_NEAR(ops[0].bounds.T - ops[1].bounds.T, 3 * s, 1e-4);
  EXPECT_FLOAT_EQ(ops[1].style.mSize, 31 * s);

  ed.SetParam(TovraSat::kOutputTrim, 1.5);
  ops = ed.Record(kTrimReadout);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[1].text, "+1.5 dB");
  EXPECT_EQ(ops[0].style.mFGColor, IColor(170, 0, 0, 0));
  EXPECT_EQ(ops[1].style.mFGColor, IColor(255, 120, 190, 255));
  EXPECT_NEAR(ops[0].bounds.T - ops[1].bounds.T, 2 * s, 1e-4);
}

TEST(TrimReadoutText, NeverASignedZero) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0 dB"},    {-0.04, "0.0 dB"},   {0.049, "0.0 dB"}, {-0.05, "-0.1 dB"},
      {12.0, "+12.0 dB"}, {-24.0, "-24.0 dB"}, {1.5, "+1.5 dB"},  {-0.0, "0.0 dB"},
  };
  for (const auto& [trim, text] : cases) {
    EXPECT_EQ(TovraUI::TrimReadout::Format(trim), text) << trim;
  }
}

}  // namespace
