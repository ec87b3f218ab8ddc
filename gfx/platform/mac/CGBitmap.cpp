// CGBitmap: stb_image pixels premultiplied into a Core Graphics image.
#include "gfx/platform/mac/CGBitmap.h"

#include <stb_image.h>

#include <cstdint>
#include <vector>

namespace plug::gfx {

CGBitmap::CGBitmap(CGImageRef image, int width, int height, int scale)
    : APIBitmap(width, height, scale), mImage(image) {}

CGBitmap::~CGBitmap() {
  CGImageRelease(mImage);
}

std::shared_ptr<const CGBitmap> CGBitmap::Decode(const std::string& path, int scale) {
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (!pixels) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4u;
  for (std::size_t i = 0; i < bytes; i += 4) {
    const unsigned a = pixels[i + 3];
    for (std::size_t c = 0; c < 3; ++c)
      pixels[i + c] = static_cast<unsigned char>((pixels[i + c] * a + 127u) / 255u);
  }
  // The image keeps its own copy of the pixels, so the decoder's buffer goes at once.
  CFDataRef data = CFDataCreate(nullptr, pixels, static_cast<CFIndex>(bytes));
  stbi_image_free(pixels);
  if (!data) return nullptr;
  CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
  CFRelease(data);
  CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
  CGImageRef image = provider && space
                         ? CGImageCreate(static_cast<size_t>(w), static_cast<size_t>(h), 8, 32,
                                         static_cast<size_t>(w) * 4u, space,
                                         static_cast<CGBitmapInfo>(kCGImageAlphaPremultipliedLast),
                                         provider, nullptr, false, kCGRenderingIntentDefault)
                         : nullptr;
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
  if (!image) return nullptr;
  return std::make_shared<const CGBitmap>(image, w, h, scale < 1 ? 1 : scale);
}

}  // namespace plug::gfx
