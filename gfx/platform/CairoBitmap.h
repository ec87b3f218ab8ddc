// CairoBitmap: a decoded image held as a premultiplied 32-bit ARGB rasteriser surface.
#pragma once

#include <memory>
#include <string>

#include "gfx/APIBitmap.h"

struct _cairo_surface;

namespace plug::gfx {

class CairoBitmap final : public APIBitmap {
 public:
  /** Decodes a PNG (or any format the image decoder knows); null when it cannot. */
  static std::shared_ptr<const CairoBitmap> Decode(const std::string& path, int scale);

  CairoBitmap(_cairo_surface* surface, int width, int height, int scale);
  ~CairoBitmap() override;

  _cairo_surface* Surface() const { return mSurface; }

 private:
  _cairo_surface* mSurface;
};

}  // namespace plug::gfx
