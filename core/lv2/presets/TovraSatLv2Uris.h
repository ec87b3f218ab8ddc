// TovraSatLv2Uris: the names TovraSat goes by in LV2 files: its bundle's and its user presets'.
#pragma once

namespace tovrasat {

inline constexpr const char* kLv2PluginUri = "http://morvika.com/plugins/tovrasat";
inline constexpr const char* kLv2HqPluginUri = "http://morvika.com/plugins/tovrasat-hq";
inline constexpr const char* kLv2UiUri = "http://morvika.com/plugins/tovrasat#ui";
// In lib/, so that the editor finds its Resources beside it (<module dir>/../Resources).
inline constexpr const char* kLv2Binary = "lib/TovraSat.so";

}  // namespace tovrasat
