// InfoPlist.cpp: Info.plist keys of a component bundle, checked one by one.
#include "host/InfoPlist.h"

#include "host/Plist.h"

#include <cstdio>
#include <filesystem>

namespace host {
namespace {

const void* Value(CFDictionaryRef dict, const char* key) {
  CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
  return CFDictionaryGetValue(dict, k.Get());
}

bool Text(const void* value, std::string& out) {
  if (CFGetTypeID(value) != CFStringGetTypeID()) return false;
  const char* p = CFStringGetCStringPtr(static_cast<CFStringRef>(value), kCFStringEncodingUTF8);
  out = p != nullptr ? p : "";
  return true;
}

bool Integer(const void* value, SInt64& out) {
  return CFGetTypeID(value) == CFNumberGetTypeID() &&
         CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &out);
}

// Component codes are written as four-character strings or as 32-bit integers.
bool Code(const void* value, OSType& out) {
  std::string text;
  if (Text(value, text)) {
    if (text.size() != 4) return false;
    out = (static_cast<OSType>(static_cast<unsigned char>(text[0])) << 24) |
          (static_cast<OSType>(static_cast<unsigned char>(text[1])) << 16) |
          (static_cast<OSType>(static_cast<unsigned char>(text[2])) << 8) |
          static_cast<unsigned char>(text[3]);
    return true;
  }
  SInt64 n = 0;
  if (!Integer(value, n) || n < 0 || n > 0xFFFFFFFFLL) return false;
  out = static_cast<OSType>(n);
  return true;
}

}  // namespace

std::string FourCCText(UInt32 code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<char>((code >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", code);
      return hex;
    }
    text.push_back(c);
  }
  return text;
}

bool InfoPlist::Read(const std::string& bundlePath, InfoPlist& out, std::string& error) {
  const std::string path = bundlePath + "/Contents/Info.plist";
  if (!std::filesystem::is_regular_file(path)) {
    error = "missing Info.plist: " + path;
    return false;
  }
  std::string why;
  CFRef<CFPropertyListRef> plist = Plist::ReadFile(path, why);
  if (!plist) {
    error = "malformed Info.plist " + path + ": " + why;
    return false;
  }
  if (CFGetTypeID(plist.Get()) != CFDictionaryGetTypeID()) {
    error = "malformed Info.plist " + path + ": the top level is not a dictionary";
    return false;
  }
  auto dict = static_cast<CFDictionaryRef>(plist.Get());
  InfoPlist info;
  if (!Text(Value(dict, "CFBundleExecutable"), info.executable) || info.executable.empty() ||
      info.executable.find('/') != std::string::npos) {
    error = "Info.plist " + path + " has no valid CFBundleExecutable";
    return false;
  }
  Text(Value(dict, "CFBundleIdentifier"), info.identifier);
  Text(Value(dict, "CFBundleVersion"), info.version);

  const void* components = Value(dict, "AudioComponents");
  if (CFGetTypeID(components) != CFArrayGetTypeID()) {
    error = "Info.plist " + path + " has no AudioComponents array";
    return false;
  }
  auto array = static_cast<CFArrayRef>(components);
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
    const void* item = CFArrayGetValueAtIndex(array, i);
    const std::string where = "Info.plist " + path + ": AudioComponents entry " + std::to_string(i);
    if (CFGetTypeID(item) != CFDictionaryGetTypeID()) {
      error = where + " is not a dictionary";
      return false;
    }
    auto entry = static_cast<CFDictionaryRef>(item);
    ComponentEntry c;
    if (!Code(Value(entry, "type"), c.description.componentType) ||
        !Code(Value(entry, "subtype"), c.description.componentSubType) ||
        !Code(Value(entry, "manufacturer"), c.description.componentManufacturer)) {
      error = where + " needs type, subtype and manufacturer as four-character codes";
      return false;
    }
    if (!Text(Value(entry, "factoryFunction"), c.factoryFunction) || c.factoryFunction.empty()) {
      error = where + " has no factoryFunction";
      return false;
    }
    Text(Value(entry, "name"), c.name);
    SInt64 version = 0;
    if (Integer(Value(entry, "version"), version)) c.version = static_cast<UInt32>(version);
    info.components.push_back(std::move(c));
  }
  out = std::move(info);
  return true;
}

}  // namespace host
