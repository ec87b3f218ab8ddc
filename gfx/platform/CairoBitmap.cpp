// CairoBitmap: image decoding into premultiplied surfaces.
#include "gfx/platform/CairoBitmap.h"

#include <cairo.h>
#include <stb_image.h>

#include <algorithm>
#include <cstdint>

namespace plug::gfx {

CairoBitmap::CairoBitmap(_cairo_surface* surface, int width, int height, int scale)
    : APIBitmap(width, height, scale), mSurface(surface) {}

CairoBitmap::~CairoBitmap() {
  for (const Copy& copy : mCopies) cairo_surface_destroy(copy.surface);
  cairo_surface_destroy(mSurface);
}

_cairo_surface* CairoBitmap::Resampled(int width, int height) const {
  std::lock_guard<std::mutex> lock(mCopiesMutex);
  for (auto it = mCopies.begin(); it != mCopies.end(); ++it) {
    if (it->width == width && it->height == height) {
      std::rotate(it, it + 1, mCopies.end());
      return mCopies.back().surface;
    }
  }
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(copy);
    return nullptr;
  }
  cairo_t* cr = cairo_create(copy);
  cairo_scale(cr, double(width) / Width(), double(height) / Height());
  cairo_set_source_surface(cr, mSurface, 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(copy);
  if (mCopies.size() == kMaxCopies) {
    cairo_surface_destroy(mCopies.front().surface);
    mCopies.erase(mCopies.begin());
  }
  mCopies.push_back({width, height, copy});
  return copy;
}

std::shared_ptr<const CairoBitmap> CairoBitmap::Decode(const std::string& path, int scale) {
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!pixels) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    stbi_image_free(pixels);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const unsigned char* src = pixels + static_cast<std::ptrdiff_t>(y) * w * 4;
    for (int x = 0; x < w; ++x, src += 4) {
      const unsigned a = src[3];
      auto premul = [a](unsigned v) { return (v * a + 127u) / 255u; };
      row[x] = (a << 24) | (premul(src[0]) << 16) | (premul(src[1]) << 8) | premul(src[2]);
    }
  }
  cairo_surface_mark_dirty(surface);
  stbi_image_free(pixels);
  return std::make_shared<const CairoBitmap>(surface, w, h, scale < 1 ? 1 : scale);
}

}  // namespace plug::gfx
