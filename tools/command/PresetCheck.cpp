// PresetCheck.cpp: the preset grammar's lines, checked field by field.
#include "tools/command/PresetCheck.h"

#include "state/TovraPresets.h"
#include "tools/command/Printable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tools {
namespace {

constexpr size_t kMaxBytes = 1 << 20;  // a preset is 31 bytes; more is not worth reading

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A plain decimal number: sign, digits, one '.' or ',' with more digits, an exponent. No "inf",
// "nan" or hexadecimal, which the grammar reads as something else than a reader expects.
bool IsPlainNumber(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == n;
}

std::string Fixed2(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

double Clamp(double value, double lo, double hi) {
  const double atLeast = value > lo ? value : lo;  // a NaN becomes lo, as the plug-in reads it
  return atLeast < hi ? atLeast : hi;
}

}  // namespace

bool PresetCheck::IsRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> PresetCheck::Warnings(const std::filesystem::path& file) {
  std::vector<std::string> warnings;
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return warnings;
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buffer[4096];
    for (ssize_t n = 0; text.size() < kMaxBytes && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);

  const std::string where = Printable(file.string()) + ": ";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string raw = line.substr(equals + 1);
    const std::string value = Trim(raw);
    const std::string field = Printable(key + "=" + raw);
    if (key == "gain" || key == "trim") {
      const bool gain = key == "gain";
      const double lo = gain ? 0.0 : -24.0;
      const double hi = gain ? 100.0 : 12.0;
      const char* unit = gain ? " %" : " dB";
      const double parsed = tovrapresets::ParseNumber(raw);
      const double read = Clamp(parsed, lo, hi);
      if (!IsPlainNumber(value))
        warnings.push_back(where + field + " is not a number; read as " + Fixed2(read) + unit);
      else if (parsed != read)
        warnings.push_back(where + field + " is out of range (" + Fixed2(lo) + " to " + Fixed2(hi) +
                           "); read as " + Fixed2(read) + unit);
    } else if (key == "phat") {
      if (value != "0" && value != "1") {
        const bool on = std::strtol(raw.c_str(), nullptr, 10) != 0;
        warnings.push_back(where + field + " is neither 0 nor 1; 48V read as " +
                           (on ? "on" : "off"));
      }
    }
  }
  return warnings;
}

}  // namespace tools
