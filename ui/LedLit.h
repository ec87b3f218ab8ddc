// LedLit: the lamp painter shared by the output meter and the two toggles.
#pragma once

#include "gfx/IColor.h"
#include "gfx/IRECT.h"

namespace plug::gfx {
class IGfx;
}

namespace TovraUI {

// One lamp centred at (x, y) in plate units, at brightness level (0 off and not drawn at all,
// 1 fully lit): two translucent halos of radius 46 and 31 units and a body of radius 16 filled
// with a radial gradient whose white hot spot sits up and to the right of the centre. Alphas are
// computed in floating point and truncated; a level outside 0...1 is held inside it.
void LedLit(plug::gfx::IGfx& g, float scale, float x, float y, const plug::gfx::IColor& colour,
            float level);

// The area a lamp at (x, y) can light, its outer halo included, in logical pixels. A control that
// draws lamps near its edge draws over this area too, so the halo is never cut off square.
plug::gfx::IRECT LedBounds(float scale, float x, float y);

}  // namespace TovraUI
