// AUValues: the wrapper's conversions between the host's values (CFString, raw property bytes) and
// ours.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace plug::auvalues {

// UTF-8 text of a CFString; empty for null or text that does not convert.
inline std::string ToUtf8(CFStringRef text) {
  if (text == nullptr) return {};
  const CFIndex size =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8) + 1;
  std::string out(static_cast<std::size_t>(std::max<CFIndex>(size, 1)), '\0');
  if (!CFStringGetCString(text, out.data(), size, kCFStringEncodingUTF8)) return {};
  out.resize(std::strlen(out.c_str()));
  return out;
}

// A new CFString the caller releases; null text gives the empty string.
inline CFStringRef MakeCFString(const char* text) {
  return CFStringCreateWithCString(nullptr, text != nullptr ? text : "", kCFStringEncodingUTF8);
}

// Property data is the host's untyped memory: copied, never cast, so alignment does not matter.
template <typename T>
T Read(const void* data) {
  T value;
  std::memcpy(&value, data, sizeof(T));
  return value;
}

template <typename T>
void Write(void* data, const T& value) {
  std::memcpy(data, &value, sizeof(T));
}

}  // namespace plug::auvalues
