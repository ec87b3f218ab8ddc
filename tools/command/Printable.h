// Printable.h: text made safe for a one-line message: control characters shown escaped.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tools {

// Line feeds, carriage returns, tabs and every other control byte (and DEL) as C-style escapes, so
// an argument or a file name holding one cannot break a one-line message in two or move the
// cursor. Bytes of 128 and above pass: they are the parts of UTF-8 characters.
inline std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", byte);
        out += hex;
      }
    }
  }
  return out;
}

}  // namespace tools
