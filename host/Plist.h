// Plist.h: XML property lists to and from CoreFoundation values (dictionary, array, string, number,
// data, boolean).
#pragma once

#include "host/CFRef.h"

#include <string>
#include <string_view>

namespace host {

class Plist {
 public:
  // The value inside <plist>; empty with error set when the XML is malformed or holds something a
  // property list cannot (an unknown element, a dictionary key without a value, a bad number or
  // base64 text). <date> values come back as strings.
  static CFRef<CFPropertyListRef> Parse(std::string_view xml, std::string& error);
  static CFRef<CFPropertyListRef> ReadFile(const std::string& path, std::string& error);

  // Apple's XML form; false with error set for values a property list cannot hold (dictionary keys
  // that are not strings, URLs, bundles...).
  static bool Write(CFPropertyListRef value, std::string& xml, std::string& error);
  static bool WriteFile(const std::string& path, CFPropertyListRef value, std::string& error);
};

}  // namespace host
