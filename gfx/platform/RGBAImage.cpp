// RGBAImage: pixel access, conversion to and from the rasteriser's format, PNG files.
#include "gfx/platform/RGBAImage.h"

#include <cairo.h>
#include <stb_image.h>

#include <cstring>

namespace plug::gfx {

RGBAImage::RGBAImage(int width, int height) {
  if (width <= 0 || height <= 0) return;
  mWidth = width;
  mHeight = height;
  mData.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u, 0u);
}

IColor RGBAImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return COLOR_TRANSPARENT;
  const std::uint8_t* p = &mData[(static_cast<std::size_t>(y) * mWidth + x) * 4u];
  return IColor(p[3], p[0], p[1], p[2]);
}

void RGBAImage::SetPixel(int x, int y, const IColor& color) {
  if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return;
  const IColor c = color.Clamped();
  std::uint8_t* p = &mData[(static_cast<std::size_t>(y) * mWidth + x) * 4u];
  p[0] = static_cast<std::uint8_t>(c.R);
  p[1] = static_cast<std::uint8_t>(c.G);
  p[2] = static_cast<std::uint8_t>(c.B);
  p[3] = static_cast<std::uint8_t>(c.A);
}

RGBAImage RGBAImage::FromPremultipliedARGB32(const unsigned char* data, int width, int height,
                                             int stride) {
  RGBAImage img(width, height);
  if (!data || img.Empty()) return img;
  for (int y = 0; y < height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t px = row[x];
      const unsigned a = px >> 24, r = (px >> 16) & 0xffu, g = (px >> 8) & 0xffu, b = px & 0xffu;
      auto unpremul = [a](unsigned v) { return a == 0 ? 0u : (v * 255u + a / 2u) / a; };
      img.SetPixel(x, y, IColor(int(a), int(unpremul(r)), int(unpremul(g)), int(unpremul(b))));
    }
  }
  return img;
}

void RGBAImage::ToPremultipliedARGB32(unsigned char* data, int stride) const {
  if (!data) return;
  for (int y = 0; y < mHeight; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < mWidth; ++x) {
      const std::uint8_t* p = &mData[(static_cast<std::size_t>(y) * mWidth + x) * 4u];
      const unsigned a = p[3];
      auto premul = [a](unsigned v) { return (v * a + 127u) / 255u; };
      row[x] = (a << 24) | (premul(p[0]) << 16) | (premul(p[1]) << 8) | premul(p[2]);
    }
  }
}

bool RGBAImage::WritePNG(const std::string& path) const {
  if (Empty() || path.empty()) return false;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, mWidth, mHeight);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_surface_flush(surface);
  ToPremultipliedARGB32(cairo_image_surface_get_data(surface),
                        cairo_image_surface_get_stride(surface));
  cairo_surface_mark_dirty(surface);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

RGBAImage RGBAImage::ReadPNG(const std::string& path) {
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!pixels) return {};
  RGBAImage img(w, h);
  if (!img.Empty()) std::memcpy(img.mData.data(), pixels, img.mData.size());
  stbi_image_free(pixels);
  return img;
}

}  // namespace plug::gfx
