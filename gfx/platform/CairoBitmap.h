// CairoBitmap: a decoded image held as a premultiplied 32-bit ARGB rasteriser surface.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

  /** The image resampled once, with a box filter, to width x height pixels, or null when that
   *  fails. Shrinking a large image with a good filter costs the rasteriser a convolution over
   *  every source pixel on every paint; drawing a copy already at the size it appears on screen
   *  costs a plain copy. The last few sizes asked for are kept with the bitmap (the editor draws
   *  each image at one size per window size). Threads: any (guarded). */
  _cairo_surface* Resampled(int width, int height) const;

 private:
  struct Copy {
    int width;
    int height;
    _cairo_surface* surface;
  };
  static constexpr std::size_t kMaxCopies = 4;

  _cairo_surface* mSurface;
  mutable std::mutex mCopiesMutex;
  mutable std::vector<Copy> mCopies;  // most recently used last
};

}  // namespace plug::gfx
