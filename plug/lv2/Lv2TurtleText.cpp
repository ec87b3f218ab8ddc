// Lv2Turtle: the text pieces of Turtle (symbols, numbers, strings, binary data) and presets,
// which need no plug-in object.
#include <cctype>
#include <cstdio>

#include "plug/lv2/Lv2Turtle.h"

namespace plug {
namespace {

// The length of the valid UTF-8 sequence of two to four bytes at text[i], or 0 when there is
// none there (a stray continuation byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF).
std::size_t Utf8Length(const std::string& text, std::size_t i) {
  const auto at = [&text](std::size_t k) {
    return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
  };
  const unsigned lead = at(i);
  std::size_t n = 0;
  unsigned lo = 0x80, hi = 0xbf;  // the range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    n = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    n = 3;
    if (lead == 0xe0) lo = 0xa0;
    if (lead == 0xed) hi = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    n = 4;
    if (lead == 0xf0) lo = 0x90;
    if (lead == 0xf4) hi = 0x8f;
  } else {
    return 0;
  }
  if (at(i + 1) < lo || at(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xbf) return 0;
  }
  return n;
}

}  // namespace

std::string Lv2Turtle::Symbol(const char* name) {
  std::string symbol;
  for (const char* c = name; *c != '\0'; ++c) {
    const auto u = static_cast<unsigned char>(*c);
    symbol += std::isalnum(u) != 0 && u < 0x80 ? static_cast<char>(std::tolower(u)) : '_';
  }
  if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])) != 0) {
    symbol.insert(symbol.begin(), '_');
  }
  return symbol;
}

std::string Lv2Turtle::Decimal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", value == 0.0 ? 0.0 : value);
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  if (s.find('e') != std::string::npos) {
    std::snprintf(text, sizeof text, "%.9f", value);  // Turtle decimals have no exponent
    s = text;
  }
  return s;
}

std::string Lv2Turtle::Quoted(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
          } else {
            out += static_cast<char>(c);
          }
          break;
      }
      ++i;
      continue;
    }
    const std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\\uFFFD";
      ++i;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out + "\"";
}

std::string Lv2Turtle::Base64(const unsigned char* data, int size) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (int i = 0; i < size; i += 3) {
    const int n = size - i < 3 ? size - i : 3;
    unsigned bits = static_cast<unsigned>(data[i]) << 16;
    if (n > 1) bits |= static_cast<unsigned>(data[i + 1]) << 8;
    if (n > 2) bits |= data[i + 2];
    out += kDigits[(bits >> 18) & 63];
    out += kDigits[(bits >> 12) & 63];
    out += n > 1 ? kDigits[(bits >> 6) & 63] : '=';
    out += n > 2 ? kDigits[bits & 63] : '=';
  }
  return out;
}

std::string Lv2Turtle::StateKeyUri(const std::string& pluginUri) {
  return pluginUri + "#state";
}

std::string Lv2Turtle::PresetPrefixes() {
  return "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
         "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";
}

std::string Lv2Turtle::PresetStatements(const Preset& preset) {
  std::string out = "<" + preset.uri + ">\n    a pset:Preset ;\n";
  out += "    lv2:appliesTo <" + preset.pluginUri + ">";
  for (const std::string& other : preset.alsoAppliesTo) out += ", <" + other + ">";
  out += " ;\n";
  out += "    rdfs:label " + Quoted(preset.label) + " ;\n";
  if (!preset.ports.empty()) {
    out += "    lv2:port";
    for (std::size_t i = 0; i < preset.ports.size(); ++i) {
      out += i == 0 ? " [\n" : " , [\n";
      out += "        lv2:symbol " + Quoted(preset.ports[i].first) + " ;\n";
      out += "        pset:value " + Decimal(preset.ports[i].second) + "\n    ]";
    }
    out += " ;\n";
  }
  out += "    state:state [\n        <" +
         StateKeyUri(preset.stateUri.empty() ? preset.pluginUri : preset.stateUri) + "> \"" +
         Base64(preset.chunk.data(), static_cast<int>(preset.chunk.size())) +
         "\"^^xsd:base64Binary";
  for (const std::string& property : preset.moreState) out += " ;\n        " + property;
  out += "\n    ] .\n";
  return out;
}

}  // namespace plug
