// PresetCheck.h: what a hand-edited preset file says that the plug-in would read otherwise.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tools {

// The plug-in's reading rules stay as they are (a value that is not a number reads as 0, one out
// of range is clamped, a 48V value reads as on when its integer prefix is not 0); the command
// only tells the user where a file's text and what the plug-in takes from it part ways.
class PresetCheck {
 public:
  // One line per questionable field, each naming the file and the field, e.g.
  // "/p/Warm.tovrapreset: gain=abc is not a number; read as 0.00 %". Empty for a clean file or
  // one that cannot be read (Load reports that).
  static std::vector<std::string> Warnings(const std::filesystem::path& file);

  // Whether path names a regular file (after links). Preset files are opened only then: a FIFO
  // would block the command forever, a device could be anything.
  static bool IsRegularFile(const std::filesystem::path& path);
};

}  // namespace tools
