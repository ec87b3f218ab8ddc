// TovraSatLv2: TovraSat as an LV2 plug-in: its URIs, the bundle's names and the descriptors.
#pragma once

#include "lv2/core/lv2.h"
#include "lv2/ui/ui.h"
#include "plug/lv2/Lv2Turtle.h"

namespace tovrasat {

inline constexpr const char* kLv2PluginUri = "http://morvika.com/plugins/tovrasat";
inline constexpr const char* kLv2UiUri = "http://morvika.com/plugins/tovrasat#ui";
// In lib/, so that the editor finds its Resources beside it (<module dir>/../Resources).
inline constexpr const char* kLv2Binary = "lib/TovraSat.so";

// What the bundle's Turtle is made from. Threads: any.
plug::Lv2Turtle::Names Lv2Names();
// The plug-in and its editor; the same objects on every call. Threads: any.
const LV2_Descriptor* Lv2Descriptor();
const LV2UI_Descriptor* Lv2UiDescriptor();

}  // namespace tovrasat
