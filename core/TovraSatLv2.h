// TovraSatLv2: TovraSat as an LV2 plug-in: its URIs, the bundle's names and the descriptors.
#pragma once

#include "lv2/core/lv2.h"
#include "lv2/ui/ui.h"
#include "plug/lv2/Lv2Turtle.h"

namespace tovrasat {

inline constexpr const char* kLv2PluginUri = "http://morvika.com/plugins/tovrasat";
inline constexpr const char* kLv2HqPluginUri = "http://morvika.com/plugins/tovrasat-hq";
inline constexpr const char* kLv2UiUri = "http://morvika.com/plugins/tovrasat#ui";
// In lib/, so that the editor finds its Resources beside it (<module dir>/../Resources).
inline constexpr const char* kLv2Binary = "lib/TovraSat.so";

// What the bundle's Turtle is made from: TovraSat, or TovraSat HQ (the same binary and UI, its
// own URI and file, and the state key of TovraSat, so states and presets move between the two).
// Threads: any.
plug::Lv2Turtle::Names Lv2Names(bool hq = false);
// The plug-in (or HQ) and its editor; the same objects on every call. Threads: any.
const LV2_Descriptor* Lv2Descriptor(bool hq = false);
const LV2UI_Descriptor* Lv2UiDescriptor();

}  // namespace tovrasat
