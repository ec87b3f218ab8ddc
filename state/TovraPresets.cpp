// TovraPresets.cpp: preset folder, names, atomic save, locale-independent load, listing.
#include "state/TovraPresets.h"

#include "state/FileCalls.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __APPLE__
#include <xlocale.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace tovrapresets {
namespace {

namespace fs = std::filesystem;

// The "C" locale as an object, so that parsing never depends on the process's (or the host
// application's) current numeric locale. Created once and kept for the life of the process.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// The white space that strtod skips in the "C" locale.
bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The larger of value and lo, then the smaller of that and hi; a NaN wins no comparison and so
// becomes lo (std::max would hand the NaN back).
double Clamp(double value, double lo, double hi) {
  const double atLeast = value > lo ? value : lo;
  return atLeast < hi ? atLeast : hi;
}

long ParseInteger(const std::string& text) {
  return strtol_l(text.c_str(), nullptr, 10, CLocale());
}

std::string Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

void AppendFixed2(std::string& out, double value) {
  char buffer[400];  // enough for any double in fixed notation with two decimals
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  out.append(buffer, result.ptr);
}

bool WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = FileCalls::Active().write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// A fresh, exclusively created file beside the target; its name starts with a dot and ends with a
// number, so no listing ever shows it.
int CreateTemporary(const fs::path& target, fs::path& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = counter.fetch_add(1, std::memory_order_relaxed);
    tempPath = target.parent_path() / ("." + target.filename().string() + ".tmp" +
                                       std::to_string(::getpid()) + "." + std::to_string(n));
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// A descriptor of path for reading, only when it is a regular file (through a symbolic link too);
// -1 otherwise. It is opened without blocking, so a FIFO or a device that someone named like a
// preset is refused at once instead of waiting for a writer that never comes.
int OpenRegularFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

FileCalls& FileCalls::Active() {
  static FileCalls calls{::write, ::fsync, ::close, ::rename};
  return calls;
}

fs::path Dir() {
  return DirFor(Getenv("HOME"), Getenv("XDG_DATA_HOME"));
}

fs::path DirFor(const std::string& home, [[maybe_unused]] const std::string& xdgDataHome) {
  const fs::path base = home.empty() ? fs::path(".") : fs::path(home);
#ifdef __APPLE__
  return base / "Library" / "Application Support" / "TovraSat" / "Presets";
#else
  // The XDG base-directory rules ignore a relative XDG_DATA_HOME.
  if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
    return fs::path(xdgDataHome) / "TovraSat" / "Presets";
  }
  return base / ".local" / "share" / "TovraSat" / "Presets";
#endif
}

fs::path PathFor(const std::string& name) {
  return Dir() / (name + kExtension);
}

bool IsSafeName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string Sanitize(const std::string& raw) {
  std::string kept;
  for (const char c : raw) {
    const auto u = static_cast<unsigned char>(c);
    if (IsAsciiAlnum(u) || c == ' ' || c == '+' || c == '-' || c == '.' || c == '_')
      kept.push_back(c);
  }
  const size_t first = kept.find_first_not_of(" .");
  if (first == std::string::npos) return {};
  const size_t last = kept.find_last_not_of(" .");
  kept = kept.substr(first, last - first + 1);
  if (kept.size() > kMaxNameBytes) kept.resize(kMaxNameBytes);
  return kept;
}

double ParseNumber(const std::string& text) {
  // Find where the digits before a decimal separator end; a comma there becomes a full stop.
  std::string copy = text;
  size_t p = 0;
  while (p < copy.size() && IsCSpace(copy[p])) ++p;
  if (p < copy.size() && (copy[p] == '+' || copy[p] == '-')) ++p;
  const bool hex =
      p + 1 < copy.size() && copy[p] == '0' && (copy[p + 1] == 'x' || copy[p + 1] == 'X');
  if (hex) p += 2;
  while (p < copy.size() && (hex ? IsHexDigit(copy[p]) : IsDigit(copy[p]))) ++p;
  if (p < copy.size() && copy[p] == ',') copy[p] = '.';
  return strtod_l(copy.c_str(), nullptr, CLocale());
}

bool WriteFileSafely(const fs::path& path, const std::string& text) {
  fs::path temp;
  const int fd = CreateTemporary(path, temp);
  if (fd < 0) return false;
  const FileCalls& calls = FileCalls::Active();
  bool ok = WriteAll(fd, text);
  ok = ok && calls.fsync(fd) == 0;  // the content is on the disk before the name points at it
  ok = calls.close(fd) == 0 && ok;
  ok = ok && calls.rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {  // makes the rename itself durable; the file is complete either way
    calls.fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool Save(const std::string& name, const Values& values) {
  if (!IsSafeName(name)) return false;
  std::error_code ec;
  fs::create_directories(Dir(), ec);  // an existing folder is no error; a real failure shows below

  std::string text = "gain=";
  AppendFixed2(text, values.gain);
  text += "\ntrim=";
  AppendFixed2(text, values.trim);
  text += values.phat ? "\nphat=1\n" : "\nphat=0\n";
  return WriteFileSafely(PathFor(name), text);
}

bool Load(const std::string& name, Values& values) {
  if (!IsSafeName(name)) return false;
  const int fd = OpenRegularFile(PathFor(name));
  if (fd < 0) return false;
  double gain = 24.0;
  double trim = 0.0;
  bool phat = true;
  const auto takeLine = [&](const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return;
    const std::string_view key(line.data(), eq);
    const std::string value = line.substr(eq + 1);
    if (key == "gain") {
      gain = ParseNumber(value);
    } else if (key == "trim") {
      trim = ParseNumber(value);
    } else if (key == "phat") {
      phat = ParseInteger(value) != 0;
    }
  };
  // Read in blocks and split at line feeds; the last line may lack one.
  std::string line;
  char buffer[4096];
  bool ok = true;
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;  // a read error: nothing trustworthy was read, the caller's values stay
      break;
    }
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != '\n') {
        line.push_back(buffer[i]);
        continue;
      }
      takeLine(line);
      line.clear();
    }
  }
  ::close(fd);
  if (!ok) return false;
  if (!line.empty()) takeLine(line);
  values.gain = Clamp(gain, 0.0, 100.0);
  values.trim = Clamp(trim, -24.0, 12.0);
  values.phat = phat;
  return true;
}

bool Remove(const std::string& name) {
  if (!IsSafeName(name)) return false;
  const fs::path path = PathFor(name);
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) return false;
  return ::unlink(path.c_str()) == 0;
}

bool NameLess(const std::string& a, const std::string& b) {
  // Each byte as a signed value, ASCII upper case folded to lower (what tolower does to it in the
  // "C" locale, without handing it negative values).
  auto fold = [](char c) {
    const int v = static_cast<signed char>(c);
    return v >= 'A' && v <= 'Z' ? v + ('a' - 'A') : v;
  };
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int x = fold(a[i]);
    const int y = fold(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

namespace {

// The preset files in folder, sorted as List sorts.
std::vector<std::string> ListIn(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return names;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code entryEc;
    if (!it->is_regular_file(entryEc)) continue;
    const fs::path file = it->path().filename();
    if (file.extension() != kExtension) continue;
    names.push_back(file.stem().string());
  }
  // Names that fold to the same text are put in byte order, so listings are repeatable.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    if (NameLess(a, b)) return true;
    if (NameLess(b, a)) return false;
    return a < b;
  });
  return names;
}

}  // namespace

std::vector<std::string> List() {
  return ListIn(Dir());
}

fs::path DeletedDir() {
  return Dir() / kDeletedFolder;
}

std::vector<std::string> ListDeleted() {
  return ListIn(DeletedDir());
}

bool MoveToDeleted(const std::string& name) {
  if (!IsSafeName(name)) return false;
  std::error_code ec;
  if (!fs::is_regular_file(PathFor(name), ec)) return false;
  fs::create_directories(DeletedDir(), ec);
  // An older deletion of the same name gives way to this one.
  fs::rename(PathFor(name), DeletedDir() / (name + kExtension), ec);
  return !ec;
}

bool Restore(const std::string& name) {
  if (!IsSafeName(name)) return false;
  const fs::path from = DeletedDir() / (name + kExtension);
  std::error_code ec;
  if (!fs::is_regular_file(from, ec) || fs::exists(fs::symlink_status(PathFor(name), ec))) {
    return false;
  }
  // A hard link fails where a preset of the name appeared meanwhile, instead of replacing it.
  fs::create_hard_link(from, PathFor(name), ec);
  if (ec) return false;
  fs::remove(from, ec);
  return true;
}

}  // namespace tovrapresets
