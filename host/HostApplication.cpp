// HostApplication.cpp: the main bundle as the SDK stand-in reports it.
#include "host/HostApplication.h"

#include <TovraSdk/HostBundle.h>

namespace host {

void HostApplication::Identify(const std::string& identifier, const std::string& version,
                               const std::string& bundlePath) {
  TovraSdkSetMainBundle(identifier.empty() ? nullptr : identifier.c_str(),
                        version.empty() ? nullptr : version.c_str(),
                        bundlePath.empty() ? nullptr : bundlePath.c_str());
}

}  // namespace host
