// OffscreenTarget: renders a Cairo graphics context into an RGBA image and writes it as PNG.
#pragma once

#include <string>

#include "gfx/platform/RGBAImage.h"

namespace plug::gfx {

class IGfx;
class IGfxCairo;

/** The view of a context that has no window: what the frame timer would show on
 *  screen is drawn into the context's backing image and can be read back. A
 *  context that is not a Cairo one renders nothing here. Threads: main.
 *
 *  A host gets this view from a plug-in module's view entry. Its operations are
 *  virtual so that a call from the host runs the module's own drawing code, with
 *  the module's caches, not the host's copy of the toolkit. */
class OffscreenTarget {
 public:
  explicit OffscreenTarget(IGfx& graphics);
  virtual ~OffscreenTarget() = default;
  OffscreenTarget(const OffscreenTarget&) = delete;
  OffscreenTarget& operator=(const OffscreenTarget&) = delete;

  /** One frame: the controls' idle calls, then the dirty area is drawn. True when something was
   * drawn. */
  virtual bool Render();
  /** Marks every control dirty and draws them all. */
  virtual void RenderAll();
  /** The backing image (window pixel size); empty for a context that is not a Cairo one. */
  virtual RGBAImage Capture() const;
  /** Render, then write the image as PNG; false when nothing could be written. */
  virtual bool WritePNG(const std::string& path);

 private:
  IGfx& mGraphics;
  IGfxCairo* mCairo;
};

}  // namespace plug::gfx
