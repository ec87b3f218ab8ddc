// HostEnvironment: the environment a Debian LV2 host is started with by the tests.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "state/TovraPresets.h"
#include "tests/lv2/HostProcess.h"

namespace lv2test {

/** Hosts see the built bundle, and the LV2 schemas for its classes, and nothing else of this
 *  machine: LV2_PATH names a folder of their own holding a link to the bundle, then the user's
 *  LV2 folder (HOME/.lv2, where user presets go), then the system's folder; HOME is a folder of
 *  their own, and so the user presets' folder below it. A sanitised build of the module needs its
 *  runtime first in the (uninstrumented) host, so it is preloaded. Needs TOVRASAT_LV2_BUNDLE and
 *  TOVRASAT_HOST_PRELOAD. */
class HostEnvironment {
 public:
  HostEnvironment() {
    if (mLv2Dir.Path().empty() || mHome.Path().empty()) return;
    std::error_code error;
    std::filesystem::create_directory_symlink(TOVRASAT_LV2_BUNDLE, mLv2Dir.Path() / "TovraSat.lv2",
                                              error);
    if (error) return;
    mVariables["LV2_PATH"] =
        mLv2Dir.Path().string() + ":" + UserLv2Dir().string() + ":/usr/lib/lv2";
    mVariables["HOME"] = mHome.Path().string();
    mVariables["XDG_DATA_HOME"] = (mHome.Path() / ".local" / "share").string();
    if (std::string(TOVRASAT_HOST_PRELOAD) != "") {
      mVariables["LD_PRELOAD"] = TOVRASAT_HOST_PRELOAD;
      mVariables["ASAN_OPTIONS"] = "detect_leaks=0";
    }
  }

  /** The hosts' HOME/.lv2 and the plug-in's user preset folder. */
  std::filesystem::path UserLv2Dir() const { return mHome.Path() / ".lv2"; }
  std::filesystem::path PresetDir() const {
    return tovrapresets::DirFor(mHome.Path().string(),
                                (mHome.Path() / ".local" / "share").string());
  }

  /** False when the folders or the link could not be made. */
  bool Ready() const { return !mVariables.empty(); }
  /** The variables to set over the test's own environment (see HostProcess). */
  const std::map<std::string, std::string>& Variables() const { return mVariables; }

 private:
  TempDir mLv2Dir;
  TempDir mHome;
  std::map<std::string, std::string> mVariables;
};

}  // namespace lv2test
