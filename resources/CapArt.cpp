// CapArt: black knurled skirt, spun aluminium top, a white pointer line.
#include "resources/CapArt.h"

#include <cmath>
#include <numbers>
#include <random>

namespace resources {

namespace {

constexpr double kCentre = 50.0;

void Disc(cairo_t* cr, double r) {
  cairo_new_path(cr);
  cairo_arc(cr, kCentre, kCentre, r, 0, 2 * std::numbers::pi);
  cairo_close_path(cr);
}

}  // namespace

double PointerAngle(ECap cap) {
  return cap == ECap::kBig ? 0.0 : 45.0;
}

void DrawCap(Artwork& art, ECap cap) {
  cairo_t* cr = art.Cr();
  // Half a pixel inside the canvas, so the anti-aliased edge is not cut off.
  const double outer = kCentre - 0.5 / art.UnitPixels() - 0.3;
  const double top = cap == ECap::kBig ? 37.0 : 33.0;
  const int ridges = cap == ECap::kBig ? 60 : 36;

  // Skirt: black, darker towards its edge.
  cairo_pattern_t* skirt =
      cairo_pattern_create_radial(kCentre, kCentre, top, kCentre, kCentre, outer);
  cairo_pattern_add_color_stop_rgb(skirt, 0, 0.15, 0.15, 0.16);
  cairo_pattern_add_color_stop_rgb(skirt, 0.7, 0.09, 0.09, 0.10);
  cairo_pattern_add_color_stop_rgb(skirt, 1, 0.04, 0.04, 0.05);
  Disc(cr, outer);
  cairo_set_source(cr, skirt);
  cairo_fill(cr);
  cairo_pattern_destroy(skirt);

  // Grip ridges around the skirt: they turn with the knob.
  cairo_save(cr);
  Disc(cr, outer);
  cairo_clip(cr);
  for (int i = 0; i < ridges; ++i) {
    const double a = 2 * std::numbers::pi * i / ridges;
    const double half = std::numbers::pi / ridges * 0.5;
    cairo_new_path(cr);
    cairo_move_to(cr, kCentre + top * std::cos(a - half), kCentre + top * std::sin(a - half));
    cairo_arc(cr, kCentre, kCentre, kCentre, a - half, a + half);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, kCentre + top * std::cos(a + half), kCentre + top * std::sin(a + half));
    cairo_arc(cr, kCentre, kCentre, kCentre, a + half, a + 3 * half);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
  }
  cairo_restore(cr);
  // The skirt's outer edge: a fine chamfer.
  Disc(cr, outer - 0.6);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
  cairo_set_line_width(cr, 0.9);
  cairo_stroke(cr);

  // Top: spun aluminium, fine concentric rings, a bevel where it meets the skirt.
  Disc(cr, top + 1.6);
  cairo_set_source_rgb(cr, 0.05, 0.05, 0.06);
  cairo_fill(cr);
  cairo_pattern_t* face = cairo_pattern_create_radial(kCentre, kCentre, 0, kCentre, kCentre, top);
  std::mt19937 random(cap == ECap::kBig ? 7 : 11);
  std::uniform_real_distribution<double> ring(-0.035, 0.035);
  const int rings = 90;
  for (int i = 0; i <= rings; ++i) {
    const double f = double(i) / rings;
    const double v = 0.70 - 0.16 * f * f + ring(random);
    cairo_pattern_add_color_stop_rgb(face, f, v, v + 0.008, v + 0.025);
  }
  Disc(cr, top);
  cairo_set_source(cr, face);
  cairo_fill(cr);
  cairo_pattern_destroy(face);
  Disc(cr, top - 0.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  Disc(cr, top + 0.8);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  // Pointer: an engraved groove filled white across the top, and its continuation on the skirt.
  // It stands where the knob's angle offset expects it, so the drawn cap points at the value.
  cairo_save(cr);
  cairo_translate(cr, kCentre, kCentre);
  cairo_rotate(cr, PointerAngle(cap) * std::numbers::pi / 180.0);
  cairo_translate(cr, -kCentre, -kCentre);
  const double width = cap == ECap::kBig ? 3.6 : 5.0;
  const double inner = cap == ECap::kBig ? 12.0 : 8.0;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_new_path(cr);
  cairo_move_to(cr, kCentre, kCentre - inner);
  cairo_line_to(cr, kCentre, kCentre - top + 3.0);
  cairo_set_source_rgba(cr, 0.05, 0.05, 0.06, 0.9);
  cairo_set_line_width(cr, width + 1.6);
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, kCentre, kCentre - inner);
  cairo_line_to(cr, kCentre, kCentre - top + 3.0);
  cairo_set_source_rgb(cr, 0.97, 0.96, 0.92);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, kCentre, kCentre - top - 3.5);
  cairo_line_to(cr, kCentre, kCentre - outer + 2.5);
  cairo_set_source_rgb(cr, 0.95, 0.94, 0.90);
  cairo_set_line_width(cr, width * 0.8);
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace resources
