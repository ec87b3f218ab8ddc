// What the component entry tells a plug-in object about the platform it is instantiated for.
#pragma once

#include <string>

namespace plug {

struct InstanceInfo {
  // The name under which the platform's view factory class is registered (the Cocoa view class on
  // macOS; on Linux the same name, reported by kAudioUnitProperty_CocoaUI for completeness).
  std::string mCocoaViewFactoryClassName;
};

}  // namespace plug
