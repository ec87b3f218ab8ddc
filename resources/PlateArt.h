// PlateArt: the editor's front plate, 667 x 2000 units, with everything on it that does not move.
#pragma once

#include "resources/Artwork.h"

namespace resources {

inline constexpr double kPlateWidth = 667.0;
inline constexpr double kPlateHeight = 2000.0;

// Draws the plate on art, whose canvas is kPlateWidth x kPlateHeight units. Needs the fonts
// "Black", "Medium" and "Regular".
void DrawPlate(Artwork& art);

}  // namespace resources
