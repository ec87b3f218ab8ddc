// HostApplication.h: how the host identifies itself to plug-ins (its main bundle's identifier and
// version).
#pragma once

#include <string>

namespace host {

class HostApplication {
 public:
  // What plug-ins read through CFBundleGetMainBundle: an empty identifier means none. Call before
  // initialising units, which read it on their first Initialize.
  static void Identify(const std::string& identifier, const std::string& version,
                       const std::string& bundlePath = "");
};

}  // namespace host
