// TovraSatLv2: TovraSat as an LV2 plug-in: its URIs, the bundle's names and the descriptors.
#pragma once

#include "core/lv2/presets/TovraSatLv2Uris.h"
#include "lv2/core/lv2.h"
#include "lv2/ui/ui.h"
#include "plug/lv2/Lv2Turtle.h"

namespace tovrasat {

// What the bundle's Turtle is made from. Threads: any.
plug::Lv2Turtle::Names Lv2Names();
// The plug-in and its editor; the same objects on every call. Threads: any.
const LV2_Descriptor* Lv2Descriptor();
const LV2UI_Descriptor* Lv2UiDescriptor();

}  // namespace tovrasat
