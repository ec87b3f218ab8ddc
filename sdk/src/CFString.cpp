// CFString.cpp: UTF-8 strings: creation, conversion, comparison and printf-style formatting.
#include "sdk/src/CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

using namespace tovrasdk;

namespace {

// Length of the valid UTF-8 sequence starting at p (at most n bytes), 0 when invalid.
size_t Utf8SequenceLength(const unsigned char* p, size_t n, uint32_t& codePoint) noexcept {
  const unsigned char c = p[0];
  size_t len = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if (c < 0x80) return codePoint = c, 1;
  if ((c & 0xE0) == 0xC0)
    len = 2, cp = c & 0x1Fu, min = 0x80;
  else if ((c & 0xF0) == 0xE0)
    len = 3, cp = c & 0x0Fu, min = 0x800;
  else if ((c & 0xF8) == 0xF0)
    len = 4, cp = c & 0x07u, min = 0x10000;
  else
    return 0;
  if (len > n) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  codePoint = cp;
  return len;
}

bool IsValidUtf8(std::string_view s) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t i = 0;
  uint32_t cp = 0;
  while (i < s.size()) {
    const size_t len = Utf8SequenceLength(p + i, s.size() - i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

bool IsAscii(std::string_view s) noexcept {
  for (const char c : s)
    if (static_cast<unsigned char>(c) > 127) return false;
  return true;
}

// Converts bytes in an encoding to UTF-8; false when the encoding is unsupported or the bytes
// are not valid in it.
bool ToUtf8(std::string_view bytes, CFStringEncoding encoding, std::string& out) {
  switch (encoding) {
    case kCFStringEncodingUTF8:
      if (!IsValidUtf8(bytes)) return false;
      out.assign(bytes);
      return true;
    case kCFStringEncodingASCII:
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingNonLossyASCII:
      if (!IsAscii(bytes)) return false;
      out.assign(bytes);
      return true;
    case kCFStringEncodingISOLatin1:
      out.clear();
      for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
          out.push_back(static_cast<char>(c));
        } else {
          out.push_back(static_cast<char>(0xC0 | (c >> 6)));
          out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
      }
      return true;
    default:
      return false;
  }
}

// Converts UTF-8 text to an encoding; false when a character cannot be expressed.
bool FromUtf8(std::string_view text, CFStringEncoding encoding, std::string& out) {
  switch (encoding) {
    case kCFStringEncodingUTF8:
      out.assign(text);
      return true;
    case kCFStringEncodingASCII:
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingNonLossyASCII:
      if (!IsAscii(text)) return false;
      out.assign(text);
      return true;
    case kCFStringEncodingISOLatin1: {
      out.clear();
      const auto* p = reinterpret_cast<const unsigned char*>(text.data());
      size_t i = 0;
      uint32_t cp = 0;
      while (i < text.size()) {
        const size_t len = Utf8SequenceLength(p + i, text.size() - i, cp);
        if (len == 0 || cp > 0xFF) return false;
        out.push_back(static_cast<char>(cp));
        i += len;
      }
      return true;
    }
    default:
      return false;
  }
}

struct InternTable {
  std::mutex mutex;
  std::unordered_map<std::string, __CFString*> strings;
};

InternTable& Interned() {
  static InternTable* table = new InternTable;  // lives as long as the process, like the strings
  return *table;
}

}  // namespace

namespace tovrasdk {

CFStringRef MakeString(std::string_view text) {
  auto* bytes = new (std::nothrow) char[text.size() + 1];
  if (bytes == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
  bytes[text.size()] = '\0';
  auto* s = new (std::nothrow)
      __CFString{MortalBase(kTypeString), bytes, static_cast<CFIndex>(text.size())};
  if (s == nullptr) delete[] bytes;
  return s;
}

std::string_view StringView(CFStringRef s) noexcept {
  if (!IsType(s, kTypeString)) return {};
  return std::string_view(s->_bytes, static_cast<size_t>(s->_byteLength));
}

void DestroyString(__CFString* s) noexcept {
  delete[] s->_bytes;
  delete s;
}

}  // namespace tovrasdk

extern "C" {

CFTypeID CFStringGetTypeID(void) {
  return kTypeString;
}

CFStringRef __CFStringMakeConstantString(const char* cStr) {
  if (cStr == nullptr) return nullptr;
  InternTable& table = Interned();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.strings.find(cStr);
  if (it != table.strings.end()) return it->second;
  auto* s = const_cast<__CFString*>(MakeString(cStr));
  if (s == nullptr) return nullptr;
  s->_base._retainCount = kImmortal;
  table.strings.emplace(cStr, s);
  return s;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
  if (cStr == nullptr) return nullptr;
  std::string text;
  if (!ToUtf8(cStr, encoding, text)) return nullptr;
  return MakeString(text);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean) {
  if (numBytes < 0 || (bytes == nullptr && numBytes > 0)) return nullptr;
  std::string text;
  const std::string_view in(reinterpret_cast<const char*>(bytes), static_cast<size_t>(numBytes));
  if (!ToUtf8(in, encoding, text)) return nullptr;
  return MakeString(text);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
  if (!IsType(theString, kTypeString)) return nullptr;
  return MakeString(StringView(theString));
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                     CFStringRef format, ...) {
  va_list arguments;
  va_start(arguments, format);
  CFStringRef result =
      CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, arguments);
  va_end(arguments);
  return result;
}

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef,
                                                 CFStringRef format, va_list arguments) {
  if (!IsType(format, kTypeString)) return nullptr;
  const std::string_view f = StringView(format);
  std::string out;
  va_list args;
  va_copy(args, arguments);
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i++];
    if (c != '%') {
      out.push_back(c);
      continue;
    }
    // %[flags][width][.precision][length]conversion; '*' widths are read here and written into
    // the single-conversion format handed to snprintf.
    std::string one = "%";
    while (i < f.size() && std::strchr("-+ #0'", f[i]) != nullptr) one.push_back(f[i++]);
    if (i < f.size() && f[i] == '*') {
      one += std::to_string(va_arg(args, int));
      ++i;
    } else {
      while (i < f.size() && f[i] >= '0' && f[i] <= '9') one.push_back(f[i++]);
    }
    if (i < f.size() && f[i] == '.') {
      one.push_back(f[i++]);
      if (i < f.size() && f[i] == '*') {
        one += std::to_string(va_arg(args, int));
        ++i;
      } else {
        while (i < f.size() && f[i] >= '0' && f[i] <= '9') one.push_back(f[i++]);
      }
    }
    std::string length;
    while (i < f.size() && std::strchr("hlqLzjt", f[i]) != nullptr) length.push_back(f[i++]);
    if (i >= f.size()) break;
    const char conv = f[i++];
    if (length == "q") length = "ll";
    char buffer[512];
    int n = 0;
    switch (conv) {
      case '%':
        out.push_back('%');
        continue;
      case '@':
        out += Describe(va_arg(args, CFTypeRef));
        continue;
      case 'd':
      case 'i':
      case 'u':
      case 'o':
      case 'x':
      case 'X':
      case 'c': {
        one += length;
        one.push_back(conv);
        if (length == "l")
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, long));
        else if (length == "ll")
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, long long));
        else if (length == "z")
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, size_t));
        else if (length == "j")
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, intmax_t));
        else if (length == "t")
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, ptrdiff_t));
        else
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, int));
        break;
      }
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        one.push_back(conv);
        if (length == "L") {
          one.insert(one.size() - 1, "L");
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, long double));
        } else {
          n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, double));
        }
        break;
      case 's': {
        one.push_back('s');
        const char* text = va_arg(args, const char*);
        const int needed =
            std::snprintf(nullptr, 0, one.c_str(), text != nullptr ? text : "(null)");
        if (needed > 0) {
          std::string piece(static_cast<size_t>(needed) + 1, '\0');
          std::snprintf(piece.data(), piece.size(), one.c_str(), text != nullptr ? text : "(null)");
          piece.pop_back();
          out += piece;
        }
        continue;
      }
      case 'p':
        one.push_back('p');
        n = std::snprintf(buffer, sizeof buffer, one.c_str(), va_arg(args, void*));
        break;
      default:
        // Unknown conversions are copied as written.
        out += one + length;
        out.push_back(conv);
        continue;
    }
    if (n > 0) out.append(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
  }
  va_end(args);
  if (!IsValidUtf8(out)) return nullptr;
  return MakeString(out);
}

CFIndex CFStringGetLength(CFStringRef theString) {
  const std::string_view s = StringView(theString);
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  CFIndex units = 0;
  size_t i = 0;
  uint32_t cp = 0;
  while (i < s.size()) {
    const size_t len = Utf8SequenceLength(p + i, s.size() - i, cp);
    if (len == 0) break;
    units += cp >= 0x10000 ? 2 : 1;
    i += len;
  }
  return units;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
  if (buffer == nullptr || bufferSize <= 0) return false;
  buffer[0] = '\0';
  if (!IsType(theString, kTypeString)) return false;
  std::string converted;
  if (!FromUtf8(StringView(theString), encoding, converted)) return false;
  if (static_cast<CFIndex>(converted.size()) + 1 > bufferSize) return false;
  std::memcpy(buffer, converted.c_str(), converted.size() + 1);
  return true;
}

const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding) {
  if (!IsType(theString, kTypeString)) return nullptr;
  if (encoding == kCFStringEncodingUTF8) return theString->_bytes;
  if ((encoding == kCFStringEncodingASCII || encoding == kCFStringEncodingMacRoman) &&
      IsAscii(StringView(theString)))
    return theString->_bytes;
  return nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  if (length < 0) return kCFNotFound;
  switch (encoding) {
    case kCFStringEncodingUTF8:
      return length * 3;
    case kCFStringEncodingUTF16:
      return length * 2;
    default:
      return length;
  }
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions) {
  std::string a(StringView(theString1));
  std::string b(StringView(theString2));
  if ((compareOptions & kCFCompareCaseInsensitive) != 0) {
    for (char& ch : a)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    for (char& ch : b)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  const int r = a.compare(b);
  return r < 0 ? kCFCompareLessThan : (r > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
  return StringView(theString).starts_with(StringView(prefix));
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
  return StringView(theString).ends_with(StringView(suffix));
}

SInt32 CFStringGetIntValue(CFStringRef str) {
  const std::string text(StringView(str));
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<SInt32>(v);
}

double CFStringGetDoubleValue(CFStringRef str) {
  const std::string text(StringView(str));
  return std::strtod(text.c_str(), nullptr);
}

}  // extern "C"
