// MacViewGeometry: sizes and rectangles between the context's logical pixels, the view's points
// and the backing store's pixels.
#pragma once

#include <vector>

#include "gfx/IRECT.h"

namespace plug::gfx {

class IGfx;

/** The view is the window size in points (logical size times draw scale, as IGfx says); its
 *  backing store has the screen's backing scale factor more pixels in each direction, so a
 *  Retina screen (scale 2) gets twice the pixels and the @2x images. Threads: main. */
class MacViewGeometry {
 public:
  struct Size {
    int width = 0;
    int height = 0;
  };
  struct TooltipRect {
    IRECT points;      // in the view
    int controlIndex;  // the control whose tooltip it shows
  };

  /** The backing store's pixel size for a window of windowW x windowH points; at least 1 x 1. */
  static Size BackingPixels(int windowW, int windowH, float screenScale);
  /** A logical rectangle in view points. */
  static IRECT ToPoints(const IRECT& logical, float drawScale);
  /** The area of the view to show again after the context drew rects: their union in points,
   *  grown outwards to whole backing pixels so no half-covered pixel keeps an old value. */
  static IRECT InvalidArea(const std::vector<IRECT>& rects, float drawScale, float screenScale);
  /** One rectangle per control that can show a tooltip: visible, taking the mouse, not the
   *  background (which never gets mouse-over) and with a tooltip; empty while tooltips are off. */
  static std::vector<TooltipRect> TooltipRects(const IGfx& graphics);
};

}  // namespace plug::gfx
