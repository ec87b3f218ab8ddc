// Build: the editor's layout function: loads the resources and attaches every control.
#pragma once

namespace plug::gfx {
class IGfx;
}
class TovraSat;

namespace TovraUI {

// Loads the font "Plain" and the three images, then attaches the twelve controls in drawing
// order (the output meter with the tag TovraSat::kMeterCtrlTag,
// the preset bar with TovraSat::kPresetBarCtrlTag). A missing or undecodable
// resource leaves the editor without it: the plate falls back to a flat dark face, a knob to a
// plain cap, texts to nothing. Threads: main.
void Build(plug::gfx::IGfx* g, TovraSat* plugin);

}  // namespace TovraUI
