// FolderNames: what a folder holds, as a sorted list of names a test compares with its own.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A folder that cannot be read throws (a failed test), so an empty list always means an empty
// folder.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testsupport
