// CGBitmap: a decoded image held as a Core Graphics image of premultiplied RGBA pixels.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <memory>
#include <string>

#include "gfx/APIBitmap.h"

namespace plug::gfx {

/** Decoded with the same decoder as on Linux, so both platforms start from the same pixels. */
class CGBitmap final : public APIBitmap {
 public:
  /** Null when the file cannot be decoded. */
  static std::shared_ptr<const CGBitmap> Decode(const std::string& path, int scale);

  CGBitmap(CGImageRef image, int width, int height, int scale);
  ~CGBitmap() override;

  CGImageRef Image() const { return mImage; }

 private:
  CGImageRef mImage;
};

}  // namespace plug::gfx
