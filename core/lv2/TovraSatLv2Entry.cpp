// TovraSatLv2Entry: the two C entry points of TovraSat.lv2/TovraSat.so (everything else hidden).
#include "core/lv2/TovraSatLv2.h"

extern "C" {

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  if (index > 1) return nullptr;
  return tovrasat::Lv2Descriptor(index == 1);
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? tovrasat::Lv2UiDescriptor() : nullptr;
}

}  // extern "C"
