// Environment: scoped environment variables, and the private home and preset folders that keep
// every test off the real user's presets.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace testsupport {

/** Sets (or, with nullopt, unsets) a variable for the scope, restoring the old state after. */
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : mName(name) {
    if (const char* old = ::getenv(name)) mOld = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (mOld)
      ::setenv(mName.c_str(), mOld->c_str(), 1);
    else
      ::unsetenv(mName.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string mName;
  std::optional<std::string> mOld;
};

/** A home folder of its own while the object lives: HOME points at it and XDG_DATA_HOME is unset,
 *  so the preset folder is HOME/.local/share/TovraSat/Presets and the hosts' copy of the user
 *  presets HOME/.lv2, both inside it. */
class PrivateHome {
 public:
  const std::filesystem::path& Path() const { return mDir.Path(); }
  std::filesystem::path PresetDir() const {
    return mDir.Path() / ".local" / "share" / "TovraSat" / "Presets";
  }

 private:
  TempDir mDir;
  ScopedEnv mHome{"HOME", mDir.Path().string()};
  ScopedEnv mXdg{"XDG_DATA_HOME", std::nullopt};
};

/** A PrivateHome for a whole test program, for programs whose every test makes plug-in instances
 *  (each brings the hosts' copy of the user presets up to date with the preset folder).
 *  Register once per program with ::testing::AddGlobalTestEnvironment. */
class PrivateHomeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { mHome = std::make_unique<PrivateHome>(); }
  void TearDown() override { mHome.reset(); }

 private:
  std::unique_ptr<PrivateHome> mHome;
};

/** A preset folder of its own while the object lives: XDG_DATA_HOME points at a fresh folder, so
 *  the preset folder is Path()/TovraSat/Presets; HOME stays as it is. */
class PrivateDataHome {
 public:
  const std::filesystem::path& Path() const { return mDir.Path(); }
  std::filesystem::path PresetDir() const { return mDir.Path() / "TovraSat" / "Presets"; }

 private:
  TempDir mDir;
  ScopedEnv mXdg{"XDG_DATA_HOME", mDir.Path().string()};
};

}  // namespace testsupport
