// TovraSatLv2: TovraSat as an LV2 plug-in: its URIs, the bundle's names and the descriptors.
#pragma once

#include "core/lv2/presets/TovraSatLv2Uris.h"
#include "lv2/core/lv2.h"
#include "lv2/ui/ui.h"
#include "plug/lv2/Lv2Turtle.h"

namespace tovrasat {

// What the bundle's Turtle is made from: TovraSat, or TovraSat HQ (the same binary and UI, its
// own URI and file, and the state key of TovraSat, so states and presets move between the two).
// Threads: any.
plug::Lv2Turtle::Names Lv2Names(bool hq = false);
// The plug-in (or HQ) and its editor; the same objects on every call. Threads: any.
const LV2_Descriptor* Lv2Descriptor(bool hq = false);
const LV2UI_Descriptor* Lv2UiDescriptor();

}  // namespace tovrasat
