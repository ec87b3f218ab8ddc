// ComponentEntry.h: one entry of a bundle's AudioComponents list.
#pragma once

#include <AudioToolbox/AudioComponent.h>

#include <string>

namespace host {

struct ComponentEntry {
  AudioComponentDescription description{};  // type, subtype and manufacturer; flags 0
  std::string name;
  UInt32 version = 0;
  std::string factoryFunction;  // name of the exported AudioComponentFactoryFunction
};

// "aufx" for 0x61756678: the four characters of a code, or its hex value when they are not
// printable.
std::string FourCCText(UInt32 code);

}  // namespace host
