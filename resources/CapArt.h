// CapArt: a knob cap seen from above, with its pointer mark.
#pragma once

#include "resources/Artwork.h"

namespace resources {

enum class ECap { kBig, kSmall };

// Where the pointer mark stands in the image, in degrees clockwise from 12 o'clock: the angle
// offset the editor turns that knob's cap by (0 for Gain; 45 for Output Trim, whose cap is drawn
// turned by -180 degrees at its minimum), so that the mark points at the knob's value.
double PointerAngle(ECap cap);

// Draws the cap filling art's canvas, which is 100 x 100 units. Its shading is the same all round
// (the plate prints the shadow), so only the pointer and the grip show the rotation.
void DrawCap(Artwork& art, ECap cap);

}  // namespace resources
