// InfoPlist.h: what a host reads from a component bundle's Contents/Info.plist.
#pragma once

#include "host/ComponentEntry.h"

#include <string>
#include <vector>

namespace host {

class InfoPlist {
 public:
  // Reads <bundlePath>/Contents/Info.plist. False, with a text that names the file and the fault,
  // when it is missing, is not a property list, lacks CFBundleExecutable or AudioComponents, or
  // has an entry without a valid type, subtype, manufacturer or factoryFunction.
  static bool Read(const std::string& bundlePath, InfoPlist& out, std::string& error);

  std::string identifier;  // CFBundleIdentifier, may be empty
  std::string version;     // CFBundleVersion, may be empty
  std::string executable;  // CFBundleExecutable
  std::vector<ComponentEntry> components;
};

}  // namespace host
