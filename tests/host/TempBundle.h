// TempBundle.h: a throw-away component bundle directory for the host tests' error paths.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace hosttest {

class TempBundle {
 public:
  explicit TempBundle(const std::string& name) {
    static int serial = 0;
    mPath = std::filesystem::temp_directory_path() /
            ("tovrasat_host_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + "_" +
             name + ".component");
    std::filesystem::remove_all(mPath);
    std::filesystem::create_directories(mPath / "Contents/MacOS");
  }
  ~TempBundle() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
  }
  TempBundle(const TempBundle&) = delete;
  TempBundle& operator=(const TempBundle&) = delete;

  void WritePlist(const std::string& text) const {
    std::ofstream(mPath / "Contents/Info.plist") << text;
  }
  void CopyBinary(const std::string& from, const std::string& as) const {
    std::filesystem::copy_file(from, mPath / "Contents/MacOS" / as);
  }
  void WriteBinary(const std::string& as, const std::string& bytes) const {
    std::ofstream(mPath / "Contents/MacOS" / as) << bytes;
  }
  std::string Path() const { return mPath.string(); }

 private:
  std::filesystem::path mPath;
};

// An Info.plist naming one component; the parts are spliced in verbatim.
inline std::string ComponentPlist(const std::string& executable, const std::string& componentBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleExecutable</key><string>" +
         executable +
         "</string>"
         "<key>CFBundleIdentifier</key><string>com.tovrasat.test.temp</string>"
         "<key>AudioComponents</key><array><dict>" +
         componentBody + "</dict></array></dict></plist>\n";
}

inline const std::string kGoodComponent =
    "<key>type</key><string>aufx</string><key>subtype</key><string>GnFx</string>"
    "<key>manufacturer</key><string>Tovr</string><key>name</key><string>Temp</string>"
    "<key>version</key><integer>1</integer><key>factoryFunction</key><string>GainFixture_Factory</"
    "string>";

}  // namespace hosttest
