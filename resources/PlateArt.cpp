// PlateArt: brushed anodised face, screws, recesses, sockets, switches and the printing, placed
// where the editor's controls draw over them.
#include "resources/PlateArt.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace resources {

namespace {

using Shape = Artwork::Shape;
using EAlign = Artwork::EAlign;

constexpr double kDeg = std::numbers::pi / 180.0;

// Places the controls use (plate units).
constexpr double kMeterX = 139.0;
constexpr double kMeterLampY[3] = {231.0, 292.0, 353.0};  // overload, near full scale, signal
constexpr double kLampRadius = 16.0;
constexpr double kToggleLampX = 140.0;
constexpr double kDisplayL = 222.0, kDisplayT = 218.0, kDisplayR = 446.0, kDisplayB = 362.0;
constexpr double kSwitchL = 219.0, kSwitchR = 455.0, kSwitchHalfHeight = 63.0;
constexpr double kGainX = 332.0, kGainY = 1366.0, kGainCapRadius = 130.0;
constexpr double kTrimX = 329.0, kTrimY = 1680.0, kTrimCapRadius = 59.0;
constexpr double kPresetL = 143.0, kPresetT = 1808.0, kPresetR = 523.0, kPresetB = 1864.0;
constexpr double kSizeL = 455.0, kSizeT = 100.0, kSizeR = 605.0, kSizeB = 146.0;

struct Toggle {
  double switchY;
  double lampY;
  const char* label;
};
constexpr Toggle kToggles[] = {{575.0, 570.0, "48V"}, {768.0, 766.0, "BYPASS"}};

Shape Circle(double cx, double cy, double r) {
  return [=](cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * std::numbers::pi);
    cairo_close_path(cr);
  };
}

Shape RoundRect(double l, double t, double r, double b, double radius) {
  return [=](cairo_t* cr) {
    const double rad = std::min({radius, (r - l) / 2, (b - t) / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, r - rad, t + rad, rad, -90 * kDeg, 0);
    cairo_arc(cr, r - rad, b - rad, rad, 0, 90 * kDeg);
    cairo_arc(cr, l + rad, b - rad, rad, 90 * kDeg, 180 * kDeg);
    cairo_arc(cr, l + rad, t + rad, rad, 180 * kDeg, 270 * kDeg);
    cairo_close_path(cr);
  };
}

void FillVertical(cairo_t* cr, const Shape& shape, double top, double bottom, double r0, double g0,
                  double b0, double r1, double g1, double b1, double a = 1.0) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, bottom);
  cairo_pattern_add_color_stop_rgba(p, 0, r0, g0, b0, a);
  cairo_pattern_add_color_stop_rgba(p, 1, r1, g1, b1, a);
  cairo_new_path(cr);
  shape(cr);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A rim lit from the top left: bright where it faces the light, dark where it turns away. For a
// hole the lit wall is the far one, so the gradient runs the other way.
void Rim(cairo_t* cr, const Shape& shape, double l, double t, double r, double b, double width,
         bool hole, double strength = 1.0) {
  cairo_pattern_t* p = cairo_pattern_create_linear(l, t, r, b);
  const double lit = 0.30 * strength, dark = 0.45 * strength;
  cairo_pattern_add_color_stop_rgba(p, 0, hole ? 0 : 1, hole ? 0 : 1, hole ? 0 : 1,
                                    hole ? dark : lit);
  cairo_pattern_add_color_stop_rgba(p, 0.5, 1, 1, 1, 0);
  cairo_pattern_add_color_stop_rgba(p, 1, hole ? 1 : 0, hole ? 1 : 0, hole ? 1 : 0,
                                    hole ? lit : dark);
  cairo_new_path(cr);
  shape(cr);
  cairo_set_line_width(cr, width);
  cairo_set_source(cr, p);
  cairo_stroke(cr);
  cairo_pattern_destroy(p);
}

// A hole milled into the face: dark floor, the rim's shadow falling in from the top left.
void Recess(Artwork& art, const Shape& shape, double l, double t, double r, double b, double depth,
            double floor) {
  cairo_t* cr = art.Cr();
  FillVertical(cr, shape, t, b, floor * 0.8, floor * 0.82, floor * 0.9, floor, floor * 1.02,
               floor * 1.1);
  art.InnerShadow(shape, kShadowX * depth, kShadowY * depth, depth * 1.6, 0.85);
  Rim(cr, shape, l, t, r, b, 1.6, true);
}

// Brushed aluminium, anodised dark: long horizontal streaks over a fine grain of rows, lit a
// little more at the top left.
void BrushedFace(Artwork& art) {
  const int w = art.WidthPx(), h = art.HeightPx();
  const double u = art.UnitPixels();
  std::mt19937 random(20260);
  std::normal_distribution<float> gauss(0.0f, 1.0f);

  std::vector<float> rows(static_cast<size_t>(h));
  for (float& v : rows) v = gauss(random);
  {  // the grain: rows vary a little, a row and its neighbour alike
    std::vector<float> smooth(rows.size());
    for (int y = 0; y < h; ++y) {
      float sum = 0;
      const int r = std::max(1, int(std::lround(0.35 * u)));
      for (int k = -r; k <= r; ++k) sum += rows[size_t(std::clamp(y + k, 0, h - 1))];
      smooth[size_t(y)] = sum / std::sqrt(float(2 * r + 1));
    }
    rows = smooth;
  }

  cairo_surface_t* s = art.Surface();
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  const int streak = std::max(2, int(std::lround(30 * u)));
  std::vector<float> noise(size_t(w) + 2 * size_t(streak));
  for (int y = 0; y < h; ++y) {
    for (float& v : noise) v = gauss(random);
    // A running mean turns the noise into streaks a few tens of units long.
    std::vector<float> line(static_cast<size_t>(w));
    float sum = 0;
    for (int k = 0; k < 2 * streak; ++k) sum += noise[size_t(k)];
    for (int x = 0; x < w; ++x) {
      sum += noise[size_t(x + 2 * streak)] - noise[size_t(x)];
      line[size_t(x)] = sum / std::sqrt(float(2 * streak));
    }
    const double fy = double(y) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = double(x) / w;
      const double light = 9.0 * (1.0 - (0.45 * fx + 0.55 * fy)) +
                           4.0 * std::exp(-std::pow((fx - 0.32) / 0.22, 2.0));
      const double grain = 2.6 * line[size_t(x)] + 1.7 * rows[size_t(y)];
      const double base = 37.0 + light + grain;
      auto* px = reinterpret_cast<uint32_t*>(data + y * stride) + x;
      const auto c = [](double v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
      *px = 0xFF000000u | (c(base) << 16) | (c(base + 2.0) << 8) | c(base + 6.5);
    }
  }
  cairo_surface_mark_dirty(s);
}

// The plate's cut edge: a bright chamfer facing the light, a dark one turned away.
void PlateEdge(cairo_t* cr) {
  const double e = 2.0;
  const auto line = [&](double x1, double y1, double x2, double y2, double r, double g, double b,
                        double a) {
    cairo_new_path(cr);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_set_line_width(cr, e);
    cairo_stroke(cr);
  };
  line(0, e / 2, kPlateWidth, e / 2, 1, 1, 1, 0.22);
  line(e / 2, 0, e / 2, kPlateHeight, 1, 1, 1, 0.16);
  line(0, kPlateHeight - e / 2, kPlateWidth, kPlateHeight - e / 2, 0, 0, 0, 0.6);
  line(kPlateWidth - e / 2, 0, kPlateWidth - e / 2, kPlateHeight, 0, 0, 0, 0.5);
}

void Screw(Artwork& art, double cx, double cy, double slotAngle) {
  cairo_t* cr = art.Cr();
  const double r = 13.0;
  Recess(art, Circle(cx, cy, r + 3.0), cx - r, cy - r, cx + r, cy + r, 2.0, 0.07);
  art.DropShadow(Circle(cx, cy, r), kShadowX * 2.0, kShadowY * 2.0, 2.5, 0.7);
  cairo_pattern_t* head = cairo_pattern_create_radial(cx - 4, cy - 5, 1, cx, cy, r);
  cairo_pattern_add_color_stop_rgb(head, 0, 0.80, 0.81, 0.83);
  cairo_pattern_add_color_stop_rgb(head, 0.6, 0.52, 0.53, 0.56);
  cairo_pattern_add_color_stop_rgb(head, 1, 0.30, 0.31, 0.33);
  cairo_new_path(cr);
  Circle(cx, cy, r)(cr);
  cairo_set_source(cr, head);
  cairo_fill(cr);
  cairo_pattern_destroy(head);
  Rim(cr, Circle(cx, cy, r - 0.6), cx - r, cy - r, cx + r, cy + r, 1.2, false);
  // A cross recess: dark walls, the lower right edge of each slot catching the light.
  for (int k = 0; k < 2; ++k) {
    const double a = (slotAngle + 90.0 * k) * kDeg;
    const double dx = std::cos(a) * 8.0, dy = std::sin(a) * 8.0;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - dx + 0.6, cy - dy + 0.8);
    cairo_line_to(cr, cx + dx + 0.6, cy + dy + 0.8);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_set_line_width(cr, 3.2);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - dx, cy - dy);
    cairo_line_to(cr, cx + dx, cy + dy);
    cairo_set_source_rgba(cr, 0.08, 0.08, 0.09, 0.95);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// An unlit lamp behind its glass, in a black bezel; the lit lamp is drawn over it by the editor.
void LampSocket(Artwork& art, double cx, double cy, double r, double g, double b) {
  cairo_t* cr = art.Cr();
  const double bezel = kLampRadius + 6.0;
  art.DropShadow(Circle(cx, cy, bezel + 1.5), 0, 0, 3.0, 0.35);
  Recess(art, Circle(cx, cy, bezel), cx - bezel, cy - bezel, cx + bezel, cy + bezel, 3.0, 0.05);
  cairo_pattern_t* glass = cairo_pattern_create_radial(cx + 3, cy - 4, 1, cx, cy, kLampRadius);
  cairo_pattern_add_color_stop_rgb(glass, 0, r * 0.42, g * 0.42, b * 0.42);
  cairo_pattern_add_color_stop_rgb(glass, 0.7, r * 0.20, g * 0.20, b * 0.20);
  cairo_pattern_add_color_stop_rgb(glass, 1, r * 0.10, g * 0.10, b * 0.10);
  cairo_new_path(cr);
  Circle(cx, cy, kLampRadius)(cr);
  cairo_set_source(cr, glass);
  cairo_fill(cr);
  cairo_pattern_destroy(glass);
  art.InnerShadow(Circle(cx, cy, kLampRadius), 1.2, 1.6, 3.0, 0.6);
  // The glass dome's reflection of the light.
  cairo_pattern_t* spec = cairo_pattern_create_radial(cx - 5, cy - 6, 0, cx - 5, cy - 6, 6);
  cairo_pattern_add_color_stop_rgba(spec, 0, 1, 1, 1, 0.45);
  cairo_pattern_add_color_stop_rgba(spec, 1, 1, 1, 1, 0);
  cairo_new_path(cr);
  Circle(cx - 5, cy - 6, 6)(cr);
  cairo_set_source(cr, spec);
  cairo_fill(cr);
  cairo_pattern_destroy(spec);
}

// A push button in its slot, pill shaped, the face just filling the editor's switch zone.
void PushButton(Artwork& art, double y) {
  cairo_t* cr = art.Cr();
  const double h = kSwitchHalfHeight;
  const double slot = 6.0;
  const Shape slotShape =
      RoundRect(kSwitchL - slot, y - h - slot, kSwitchR + slot, y + h + slot, h + slot);
  Recess(art, slotShape, kSwitchL - slot, y - h - slot, kSwitchR + slot, y + h + slot, 4.0, 0.04);
  const Shape face = RoundRect(kSwitchL, y - h, kSwitchR, y + h, h);
  art.DropShadow(face, kShadowX * 3.0, kShadowY * 3.0, 5.0, 0.8);
  FillVertical(cr, face, y - h, y + h, 0.36, 0.37, 0.40, 0.17, 0.18, 0.20);
  // A shallow dish in the face: light gathers at its lower edge.
  const Shape dish = RoundRect(kSwitchL + 12, y - h + 12, kSwitchR - 12, y + h - 12, h - 12);
  FillVertical(cr, dish, y - h + 12, y + h - 12, 0.21, 0.22, 0.24, 0.30, 0.31, 0.34);
  Rim(cr, dish, kSwitchL, y - h, kSwitchR, y + h, 1.4, true, 0.8);
  Rim(cr, RoundRect(kSwitchL + 0.8, y - h + 0.8, kSwitchR - 0.8, y + h - 0.8, h - 0.8), kSwitchL,
      y - h, kSwitchR, y + h, 1.6, false, 1.3);
}

// A scale number or label position on a circle: angle in degrees, clockwise from straight up.
void AtAngle(double cx, double cy, double radius, double angle, double& x, double& y) {
  x = cx + radius * std::sin(angle * kDeg);
  y = cy - radius * std::cos(angle * kDeg);
}

// An engraved line across the face: a cut in shadow with a lit lower lip.
void Engraving(cairo_t* cr, double x1, double x2, double y) {
  cairo_new_path(cr);
  cairo_move_to(cr, x1, y + 1.2);
  cairo_line_to(cr, x2, y + 1.2);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, x1, y);
  cairo_line_to(cr, x2, y);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);
}

}  // namespace

void DrawPlate(Artwork& art) {
  cairo_t* cr = art.Cr();
  BrushedFace(art);
  PlateEdge(cr);

  Screw(art, 34, 34, 17);
  Screw(art, kPlateWidth - 34, 34, 61);
  Screw(art, 34, kPlateHeight - 34, 38);
  Screw(art, kPlateWidth - 34, kPlateHeight - 34, 8);

  // Header: the product name, what it is, and a shallow field for the size button's text.
  art.PrintedText("Black", "TOVRASAT", 54, kPlateWidth / 2, 74, EAlign::kCentre, 9.0);
  art.PrintedText("Medium", "STEREO", 21, 136, 119, EAlign::kCentre, 5.0, 0.8);
  art.PrintedText("Medium", "SATURATOR", 21, 136, 145, EAlign::kCentre, 5.0, 0.8);
  {
    const Shape field = RoundRect(kSizeL - 4, kSizeT - 3, kSizeR + 4, kSizeB + 3, 14);
    Recess(art, field, kSizeL, kSizeT, kSizeR, kSizeB, 2.5, 0.10);
  }
  Engraving(cr, 24, kPlateWidth - 24, 176);

  // Output meter: three lamps in a column, their marks to the left.
  const double lampColour[3][3] = {{1.0, 0.16, 0.10}, {1.0, 0.59, 0.08}, {0.16, 0.86, 0.24}};
  const char* lampMark[3] = {"OL", "+", "0"};
  for (int i = 0; i < 3; ++i) {
    LampSocket(art, kMeterX, kMeterLampY[i], lampColour[i][0], lampColour[i][1], lampColour[i][2]);
    art.PrintedText("Medium", lampMark[i], 24, 68, kMeterLampY[i] + 8.5, EAlign::kCentre, 0.5, 0.9);
  }
  art.PrintedText("Medium", "LEVEL", 20, kMeterX - 34, 418, EAlign::kCentre, 3.5, 0.75);

  // The gain read-out's recess; the editor draws the display window inside it.
  {
    const double m = 16.0;
    const Shape bezel =
        RoundRect(kDisplayL - m, kDisplayT - m, kDisplayR + m, kDisplayB + m, 34 + m);
    Recess(art, bezel, kDisplayL - m, kDisplayT - m, kDisplayR + m, kDisplayB + m, 6.0, 0.06);
    art.PrintedText("Medium", "GAIN  %", 20, (kDisplayL + kDisplayR) / 2, 418, EAlign::kCentre, 3.5,
                    0.7);
  }
  art.PrintedText("Light", "TS-1", 40, 556, 300, EAlign::kCentre, 2.0, 0.55);

  Engraving(cr, 24, kPlateWidth - 24, 458);

  // The two switches: lamp, button, label.
  for (const Toggle& t : kToggles) {
    LampSocket(art, kToggleLampX, t.lampY, 1.0, 0.16, 0.10);
    PushButton(art, t.switchY);
    art.PrintedText("Bold", t.label, 30, 560, t.switchY + 11, EAlign::kCentre, 2.5);
  }

  Engraving(cr, 24, kPlateWidth - 24, 900);

  // Gain: the knob's well with the cap's shadow in it, and the scale's numbers.
  {
    const double well = kGainCapRadius + 14.0;
    Recess(art, Circle(kGainX, kGainY, well), kGainX - well, kGainY - well, kGainX + well,
           kGainY + well, 7.0, 0.06);
    art.DropShadow(Circle(kGainX, kGainY, kGainCapRadius), kShadowX * 7, kShadowY * 7, 9.0, 0.9);
    for (int value = 0; value <= 100; value += 25) {
      double x = 0, y = 0;
      AtAngle(kGainX, kGainY, 262.0, -135.0 + value * 2.7, x, y);
      art.PrintedText("Medium", std::to_string(value), 28, x, y + 10, EAlign::kCentre, 0.5);
    }
    art.PrintedText("Medium", "GAIN", 22, kGainX, 1018, EAlign::kCentre, 6.0, 0.8);
  }

  // Output trim: its well and label; the editor draws the scale around it.
  {
    const double well = kTrimCapRadius + 8.0;
    Recess(art, Circle(kTrimX, kTrimY, well), kTrimX - well, kTrimY - well, kTrimX + well,
           kTrimY + well, 4.0, 0.06);
    art.DropShadow(Circle(kTrimX, kTrimY, kTrimCapRadius), kShadowX * 4, kShadowY * 4, 5.0, 0.9);
    art.PrintedText("Medium", "OUTPUT", 22, 148, kTrimY + 8, EAlign::kCentre, 4.0, 0.8);
    // The scale's ends, below its first and last tick (-135 and +135 degrees).
    for (const auto& [text, angle] : {std::pair{"-24", -135.0}, std::pair{"+12", 135.0}}) {
      double x = 0, y = 0;
      AtAngle(kTrimX, kTrimY, 122.0, angle, x, y);
      art.PrintedText("Medium", text, 19, x, y + 7, EAlign::kCentre, 0.5, 0.7);
    }
  }

  // The preset bar's field.
  {
    const double m = 9.0;
    Recess(art, RoundRect(kPresetL - m, kPresetT - m, kPresetR + m, kPresetB + m, 14 + m),
           kPresetL - m, kPresetT - m, kPresetR + m, kPresetB + m, 4.0, 0.05);
  }

  art.PrintedText("Medium", "MORVIKA", 20, kPlateWidth / 2, 1950, EAlign::kCentre, 9.0, 0.6);
}

}  // namespace resources
