// Preset.h: a preset as a host lists and selects it (AUPreset with an owned name).
#pragma once

#include <MacTypes.h>

#include <string>

namespace host {

struct Preset {
  SInt32 number = 0;  // >= 0 factory preset index, < 0 user preset
  std::string name;
};

}  // namespace host
