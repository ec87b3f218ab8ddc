// Plist.cpp: XML property-list reading and writing with pugixml.
#include "host/Plist.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace host {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool DecodeBase64(std::string_view text, std::vector<UInt8>& out) {
  out.clear();
  uint32_t accumulator = 0;
  int bits = 0;
  bool padding = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '=') {
      padding = true;
      continue;
    }
    const char* p = std::strchr(kBase64, c);
    if (p == nullptr || c == '\0' || padding) return false;
    accumulator = (accumulator << 6) | static_cast<uint32_t>(p - kBase64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<UInt8>((accumulator >> bits) & 0xFF));
    }
  }
  return true;
}

std::string EncodeBase64(const UInt8* bytes, size_t length) {
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  for (size_t i = 0; i < length; i += 3) {
    const uint32_t n = (static_cast<uint32_t>(bytes[i]) << 16) |
                       (i + 1 < length ? static_cast<uint32_t>(bytes[i + 1]) << 8 : 0) |
                       (i + 2 < length ? bytes[i + 2] : 0);
    out.push_back(kBase64[(n >> 18) & 63]);
    out.push_back(kBase64[(n >> 12) & 63]);
    out.push_back(i + 1 < length ? kBase64[(n >> 6) & 63] : '=');
    out.push_back(i + 2 < length ? kBase64[n & 63] : '=');
  }
  return out;
}

CFRef<CFPropertyListRef> Fail(std::string& error, std::string text) {
  error = std::move(text);
  return {};
}

CFRef<CFPropertyListRef> Convert(const pugi::xml_node& node, std::string& error, int depth) {
  if (depth > 64) return Fail(error, "property list nested too deeply");
  const std::string_view name = node.name();
  const char* text = node.child_value();
  if (name == "string" || name == "date") {
    CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    if (s == nullptr) return Fail(error, "string is not valid UTF-8");
    return CFRef<CFPropertyListRef>(s);
  }
  if (name == "integer") {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE)
      return Fail(error, "bad integer \"" + std::string(text) + "\"");
    const SInt64 value = v;
    return CFRef<CFPropertyListRef>(CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
  }
  if (name == "real") {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0') return Fail(error, "bad real \"" + std::string(text) + "\"");
    return CFRef<CFPropertyListRef>(CFNumberCreate(nullptr, kCFNumberFloat64Type, &v));
  }
  if (name == "true") return CFRef<CFPropertyListRef>(kCFBooleanTrue);
  if (name == "false") return CFRef<CFPropertyListRef>(kCFBooleanFalse);
  if (name == "data") {
    std::vector<UInt8> bytes;
    if (!DecodeBase64(text, bytes)) return Fail(error, "bad base64 in <data>");
    return CFRef<CFPropertyListRef>(
        CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size())));
  }
  if (name == "array") {
    CFRef<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (const pugi::xml_node& child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      CFRef<CFPropertyListRef> value = Convert(child, error, depth + 1);
      if (!value) return {};
      CFArrayAppendValue(array.Get(), value.Get());
    }
    return CFRef<CFPropertyListRef>(array.Release());
  }
  if (name == "dict") {
    CFRef<CFMutableDictionaryRef> dict(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    pugi::xml_node child = node.first_child();
    auto nextElement = [](pugi::xml_node n) {
      while (n && n.type() != pugi::node_element) n = n.next_sibling();
      return n;
    };
    for (child = nextElement(child); child; child = nextElement(child.next_sibling())) {
      if (std::string_view(child.name()) != "key") return Fail(error, "<dict> entry without <key>");
      CFRef<CFStringRef> key(
          CFStringCreateWithCString(nullptr, child.child_value(), kCFStringEncodingUTF8));
      if (!key) return Fail(error, "key is not valid UTF-8");
      const pugi::xml_node valueNode = nextElement(child.next_sibling());
      if (!valueNode)
        return Fail(error, "key \"" + std::string(child.child_value()) + "\" has no value");
      CFRef<CFPropertyListRef> value = Convert(valueNode, error, depth + 1);
      if (!value) return {};
      CFDictionarySetValue(dict.Get(), key.Get(), value.Get());
      child = valueNode;
    }
    return CFRef<CFPropertyListRef>(dict.Release());
  }
  return Fail(error, "unknown property-list element <" + std::string(name) + ">");
}

std::string Utf8(CFStringRef s) {
  const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8);
  return p != nullptr ? p : "";
}

// Text as element content. A reader turns a raw carriage return (alone or before a line feed)
// into a line feed, so it goes out as a character reference, as do the other control characters;
// tab and line feed stay as they are. The document is saved without pugixml's own escaping.
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\t':
      case '\n':
        out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
        } else {
          out += c;
        }
    }
  }
  return out;
}

bool Emit(CFPropertyListRef value, pugi::xml_node parent, std::string& error) {
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFStringGetTypeID()) {
    parent.append_child("string").text().set(
        Escaped(Utf8(static_cast<CFStringRef>(value))).c_str());
  } else if (type == CFNumberGetTypeID()) {
    auto number = static_cast<CFNumberRef>(value);
    char buffer[64];
    if (CFNumberIsFloatType(number)) {
      double d = 0;
      CFNumberGetValue(number, kCFNumberFloat64Type, &d);
      std::snprintf(buffer, sizeof buffer, "%.17g", d);
      parent.append_child("real").text().set(buffer);
    } else {
      SInt64 i = 0;
      CFNumberGetValue(number, kCFNumberSInt64Type, &i);
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(i));
      parent.append_child("integer").text().set(buffer);
    }
  } else if (type == CFBooleanGetTypeID()) {
    parent.append_child(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "true" : "false");
  } else if (type == CFDataGetTypeID()) {
    auto data = static_cast<CFDataRef>(value);
    parent.append_child("data").text().set(
        EncodeBase64(CFDataGetBytePtr(data), static_cast<size_t>(CFDataGetLength(data))).c_str());
  } else if (type == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(value);
    pugi::xml_node node = parent.append_child("array");
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
      if (!Emit(CFArrayGetValueAtIndex(array, i), node, error)) return false;
  } else if (type == CFDictionaryGetTypeID()) {
    auto dict = static_cast<CFDictionaryRef>(value);
    const auto n = static_cast<size_t>(CFDictionaryGetCount(dict));
    std::vector<const void*> keys(n), values(n);
    CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
    pugi::xml_node node = parent.append_child("dict");
    for (size_t i = 0; i < n; ++i) {
      if (CFGetTypeID(keys[i]) != CFStringGetTypeID()) {
        error = "dictionary key is not a string";
        return false;
      }
      node.append_child("key").text().set(Escaped(Utf8(static_cast<CFStringRef>(keys[i]))).c_str());
      if (!Emit(values[i], node, error)) return false;
    }
  } else {
    error = "value of a type a property list cannot hold";
    return false;
  }
  return true;
}

}  // namespace

CFRef<CFPropertyListRef> Plist::Parse(std::string_view xml, std::string& error) {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (!parsed)
    return Fail(error, std::string("bad XML: ") + parsed.description() + " at offset " +
                           std::to_string(parsed.offset));
  const pugi::xml_node root = doc.child("plist");
  if (!root) return Fail(error, "not a property list: no <plist> element");
  pugi::xml_node value = root.first_child();
  while (value && value.type() != pugi::node_element) value = value.next_sibling();
  if (!value) return Fail(error, "empty property list");
  return Convert(value, error, 0);
}

CFRef<CFPropertyListRef> Plist::ReadFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str(), error);
}

bool Plist::Write(CFPropertyListRef value, std::string& xml, std::string& error) {
  if (value == nullptr) {
    error = "no value";
    return false;
  }
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  doc.append_child(pugi::node_doctype)
      .set_value(
          "plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"");
  pugi::xml_node plist = doc.append_child("plist");
  plist.append_attribute("version") = "1.0";
  if (!Emit(value, plist, error)) return false;
  std::ostringstream out;
  doc.save(out, "\t", pugi::format_default | pugi::format_no_escapes, pugi::encoding_utf8);
  xml = out.str();
  return true;
}

bool Plist::WriteFile(const std::string& path, CFPropertyListRef value, std::string& error) {
  std::string xml;
  if (!Write(value, xml, error)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !(out << xml) || !out.flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace host
