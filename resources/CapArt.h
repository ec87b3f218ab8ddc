// CapArt: a knob cap seen from above, its pointer mark at 12 o'clock.
#pragma once

#include "resources/Artwork.h"

namespace resources {

enum class ECap { kBig, kSmall };

// Draws the cap filling art's canvas, which is 100 x 100 units. Its shading is the same all round
// (the plate prints the shadow), so only the pointer and the grip show the rotation.
void DrawCap(Artwork& art, ECap cap);

}  // namespace resources
