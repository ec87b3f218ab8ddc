// TempDir: a throw-away folder for a test, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace testsupport {

/** A fresh folder under the system's temporary folder; Path() is empty when none could be made. */
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tovrasat-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) mPath = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return mPath; }
  /** The path of name inside the folder. */
  std::string operator/(const std::string& name) const { return (mPath / name).string(); }

 private:
  std::filesystem::path mPath;
};

}  // namespace testsupport
