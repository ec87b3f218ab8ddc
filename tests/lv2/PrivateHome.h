// PrivateHome: HOME and XDG_DATA_HOME point at a throw-away folder for a whole test program.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace lv2test {

/** Every instance of the plug-in brings the hosts' copy of the user presets (HOME/.lv2) up to
 *  date with the preset folder (XDG_DATA_HOME or HOME/.local/share): a test program that makes
 *  instances must not read or write the real user's. Register once per program with
 *  ::testing::AddGlobalTestEnvironment. */
class PrivateHome : public ::testing::Environment {
 public:
  void SetUp() override {
    mDir = std::make_unique<testsupport::TempDir>();
    Swap("HOME", mDir->Path().string(), mOldHome);
    Swap("XDG_DATA_HOME", (mDir->Path() / ".local" / "share").string(), mOldXdg);
  }
  void TearDown() override {
    Restore("HOME", mOldHome);
    Restore("XDG_DATA_HOME", mOldXdg);
    mDir.reset();
  }

 private:
  static void Swap(const char* name, const std::string& value, std::optional<std::string>& old) {
    const char* before = getenv(name);
    old = before != nullptr ? std::optional<std::string>(before) : std::nullopt;
    setenv(name, value.c_str(), 1);
  }
  static void Restore(const char* name, const std::optional<std::string>& old) {
    if (old) {
      setenv(name, old->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  std::unique_ptr<testsupport::TempDir> mDir;
  std::optional<std::string> mOldHome;
  std::optional<std::string> mOldXdg;
};

}  // namespace lv2test
