// RGBAImage: straight (not premultiplied) 8-bit RGBA pixels, as the offscreen target hands them
// out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/IColor.h"

namespace plug::gfx {

class RGBAImage {
 public:
  RGBAImage() = default;
  /** Transparent black; a negative size gives an empty image. */
  RGBAImage(int width, int height);

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  bool Empty() const { return mWidth == 0 || mHeight == 0; }
  /** Transparent for a point outside the image. */
  IColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, const IColor& color);
  const std::vector<std::uint8_t>& Data() const { return mData; }

  /** Writes a PNG file; false when the image is empty or the file cannot be written. */
  bool WritePNG(const std::string& path) const;
  /** Reads a PNG file; an empty image when it cannot. */
  static RGBAImage ReadPNG(const std::string& path);

  /** From premultiplied native-endian 32-bit ARGB rows (the rasteriser's own format). */
  static RGBAImage FromPremultipliedARGB32(const unsigned char* data, int width, int height,
                                           int stride);
  /** Into premultiplied native-endian 32-bit ARGB rows of at least Width() pixels. */
  void ToPremultipliedARGB32(unsigned char* data, int stride) const;

 private:
  int mWidth = 0;
  int mHeight = 0;
  std::vector<std::uint8_t> mData;  // row-major, 4 bytes per pixel: R, G, B, A
};

}  // namespace plug::gfx
