// Artwork: canvas, blurred masks for shadows, TrueType text through FreeType.
#include "resources/Artwork.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace resources {

namespace {

// Three box passes each way come close to a Gaussian; the edges hold their value, so a mask that
// is opaque at its border (an inverted one) stays opaque there.
void BoxBlur(std::vector<float>& v, int w, int h, int radius) {
  if (radius < 1) return;
  std::vector<float> line(static_cast<size_t>(std::max(w, h)));
  const float norm = 1.0f / float(2 * radius + 1);
  auto pass = [&](int count, int length, auto at) {
    for (int i = 0; i < count; ++i) {
      for (int k = 0; k < length; ++k) line[size_t(k)] = at(i, k);
      float sum = 0.0f;
      for (int k = -radius; k <= radius; ++k) sum += line[size_t(std::clamp(k, 0, length - 1))];
      for (int k = 0; k < length; ++k) {
        at(i, k) = sum * norm;
        sum += line[size_t(std::min(k + radius + 1, length - 1))] -
               line[size_t(std::max(k - radius, 0))];
      }
    }
  };
  for (int p = 0; p < 3; ++p) {
    pass(h, w, [&](int y, int x) -> float& { return v[size_t(y) * size_t(w) + size_t(x)]; });
    pass(w, h, [&](int x, int y) -> float& { return v[size_t(y) * size_t(w) + size_t(x)]; });
  }
}

}  // namespace

Artwork::Artwork(int widthPx, int heightPx, double unitPx)
    : mWidthPx(widthPx),
      mHeightPx(heightPx),
      mUnit(unitPx),
      mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, widthPx, heightPx)),
      mCR(cairo_create(mSurface)) {
  cairo_scale(mCR, mUnit, mUnit);
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) mFreeType = library;
}

Artwork::~Artwork() {
  cairo_destroy(mCR);
  cairo_surface_destroy(mSurface);
  for (auto& [id, face] : mFonts) cairo_font_face_destroy(face);
  if (mFreeType) FT_Done_FreeType(static_cast<FT_Library>(mFreeType));
}

cairo_surface_t* Artwork::BlurredMask(const Shape& shape, double blurPx, bool inverted, int& x0,
                                      int& y0) {
  cairo_save(mCR);
  cairo_new_path(mCR);
  shape(mCR);
  double l = 0, t = 0, r = 0, b = 0;
  cairo_fill_extents(mCR, &l, &t, &r, &b);
  cairo_new_path(mCR);
  cairo_restore(mCR);
  const double pad = 2.0 * blurPx + 2.0;
  x0 = int(std::floor(l * mUnit - pad));
  y0 = int(std::floor(t * mUnit - pad));
  const int w = int(std::ceil(r * mUnit + pad)) - x0;
  const int h = int(std::ceil(b * mUnit + pad)) - y0;

  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t* cr = cairo_create(mask);
  if (inverted) {
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  }
  cairo_translate(cr, -x0, -y0);
  cairo_scale(cr, mUnit, mUnit);
  shape(cr);
  cairo_fill(cr);
  cairo_destroy(cr);

  cairo_surface_flush(mask);
  unsigned char* data = cairo_image_surface_get_data(mask);
  const int stride = cairo_image_surface_get_stride(mask);
  std::vector<float> v(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) v[size_t(y) * size_t(w) + size_t(x)] = data[y * stride + x];
  BoxBlur(v, w, h, int(std::lround(blurPx * 0.5)));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      data[y * stride + x] =
          static_cast<unsigned char>(std::clamp(v[size_t(y) * size_t(w) + size_t(x)], 0.f, 255.f));
  cairo_surface_mark_dirty(mask);
  return mask;
}

void Artwork::DropShadow(const Shape& shape, double dx, double dy, double blur, double alpha) {
  int x0 = 0, y0 = 0;
  cairo_surface_t* mask = BlurredMask(shape, blur * mUnit, false, x0, y0);
  cairo_save(mCR);
  cairo_identity_matrix(mCR);
  cairo_set_source_rgba(mCR, 0, 0, 0, alpha);
  cairo_mask_surface(mCR, mask, x0 + dx * mUnit, y0 + dy * mUnit);
  cairo_restore(mCR);
  cairo_surface_destroy(mask);
}

void Artwork::InnerShadow(const Shape& shape, double dx, double dy, double blur, double alpha) {
  int x0 = 0, y0 = 0;
  cairo_surface_t* mask = BlurredMask(shape, blur * mUnit, true, x0, y0);
  cairo_save(mCR);
  cairo_new_path(mCR);
  shape(mCR);
  cairo_clip(mCR);
  cairo_identity_matrix(mCR);
  cairo_set_source_rgba(mCR, 0, 0, 0, alpha);
  // The mask ends where the blur's margin ends; outside it everything counts as rim.
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, -(x0 + dx * mUnit), -(y0 + dy * mUnit));
  cairo_pattern_set_matrix(pattern, &m);
  cairo_mask(mCR, pattern);
  cairo_pattern_destroy(pattern);
  cairo_restore(mCR);
  cairo_surface_destroy(mask);
}

bool Artwork::LoadFont(const std::string& id, const std::string& path) {
  if (!mFreeType) return false;
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(mFreeType), path.c_str(), 0, &face) != 0) return false;
  cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
  // The FreeType face lives as long as Cairo's face does.
  static const cairo_user_data_key_t kFaceKey{};
  cairo_font_face_set_user_data(cairoFace, &kFaceKey, face,
                                [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); });
  if (auto old = mFonts.find(id); old != mFonts.end()) cairo_font_face_destroy(old->second);
  mFonts[id] = cairoFace;
  return true;
}

void Artwork::Text(const std::string& fontId, const std::string& text, double size, double x,
                   double y, EAlign align, double tracking, double r, double g, double b,
                   double a) {
  const auto font = mFonts.find(fontId);
  if (font == mFonts.end() || text.empty()) return;
  cairo_save(mCR);
  cairo_set_font_face(mCR, font->second);
  cairo_set_font_size(mCR, size);
  // Outlines exactly as designed: no hinting, so the plain image and the @2x one agree.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(mCR, options);
  cairo_font_options_destroy(options);

  std::vector<double> advances;
  double width = 0.0;
  double lastInk = 0.0;  // the last letter's ink ends here, not at its advance
  for (size_t i = 0; i < text.size(); ++i) {
    const char letter[2] = {text[i], 0};
    cairo_text_extents_t e;
    cairo_text_extents(mCR, letter, &e);
    advances.push_back(e.x_advance + tracking);
    lastInk = e.x_bearing + e.width;
    width += i + 1 < text.size() ? e.x_advance + tracking : lastInk;
  }
  double pen = align == EAlign::kLeft ? x : align == EAlign::kRight ? x - width : x - width / 2;
  cairo_new_path(mCR);
  for (size_t i = 0; i < text.size(); ++i) {
    const char letter[2] = {text[i], 0};
    cairo_move_to(mCR, pen, y);
    cairo_text_path(mCR, letter);
    pen += advances[i];
  }
  cairo_set_source_rgba(mCR, r, g, b, a);
  cairo_fill(mCR);
  cairo_restore(mCR);
}

void Artwork::PrintedText(const std::string& fontId, const std::string& text, double size, double x,
                          double y, EAlign align, double tracking, double alpha) {
  Text(fontId, text, size, x + 0.6, y + 0.9, align, tracking, 0, 0, 0, 0.55 * alpha);
  Text(fontId, text, size, x, y, align, tracking, 0.86, 0.87, 0.89, alpha);
}

bool Artwork::WritePNG(const std::string& path) const {
  cairo_surface_flush(mSurface);
  return cairo_surface_write_to_png(mSurface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace resources
