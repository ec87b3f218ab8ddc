// PresetFileFailureTest.cpp: a preset save that fails at any step (a full disk, a broken device,
// a folder that cannot take the new name) reports it and loses nothing; preset files that are no
// regular files are refused at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "state/FileCalls.h"
#include "state/TovraPresets.h"
#include "tests/support/Environment.h"
#include "tests/support/FolderNames.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FolderNames;
using tovrapresets::FileCalls;
using tovrapresets::Values;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

constexpr const char* kOldText = "gain=55.00\ntrim=-1.50\nphat=0\n";

// Replaces the save calls for its lifetime.
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(const FileCalls& calls) : mSaved(FileCalls::Active()) {
    FileCalls::Active() = calls;
  }
  ~ScopedFileCalls() { FileCalls::Active() = mSaved; }
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCalls mSaved;
};

class PresetSaveFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(home.Path().empty());
    fs::create_directories(Folder());
    WriteText(Folder() / "p.tovrapreset", kOldText);
  }
  fs::path Folder() const { return home.PresetDir(); }
  // The old preset is whole and nothing else (no temporary file) is left in the folder.
  void ExpectNothingLost(const char* what) const {
    EXPECT_EQ(ReadText(Folder() / "p.tovrapreset"), kOldText) << what;
    EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{"p.tovrapreset"}) << what;
    Values v;
    EXPECT_TRUE(tovrapresets::Load("p", v)) << what;
    EXPECT_EQ(v.gain, 55.0) << what;
  }

  // A fresh preset folder for each test, through XDG_DATA_HOME.
  testsupport::PrivateDataHome home;
};

// Stand-ins that fail the way the kernel does when the disk is full or the device breaks.
ssize_t WriteNothingNoSpace(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}
// Writes the first few bytes for real, then the disk is full.
ssize_t WriteSomeThenNoSpace(int fd, const void* data, std::size_t size) {
  static bool wroteSome = false;
  if (!wroteSome) {
    wroteSome = true;
    return ::write(fd, data, std::min<std::size_t>(size, 5));
  }
  wroteSome = false;
  errno = ENOSPC;
  return -1;
}
int FsyncIoError(int) {
  errno = EIO;
  return -1;
}
// close still releases the descriptor when it reports a delayed write error.
int CloseIoError(int fd) {
  ::close(fd);
  errno = EIO;
  return -1;
}
int RenameNoSpace(const char*, const char*) {
  errno = ENOSPC;
  return -1;
}

TEST_F(PresetSaveFailure, EveryFailingStepKeepsThePreviousFileAndReportsFailure) {
  const FileCalls system = FileCalls::Active();
  struct Case {
    const char* what;
    FileCalls calls;
  };
  const Case cases[] = {
      {"write fails", {WriteNothingNoSpace, system.fsync, system.close, system.rename}},
      {"write stops half-way", {WriteSomeThenNoSpace, system.fsync, system.close, system.rename}},
      {"flush fails", {system.write, FsyncIoError, system.close, system.rename}},
      {"close fails", {system.write, system.fsync, CloseIoError, system.rename}},
      {"rename fails", {system.write, system.fsync, system.close, RenameNoSpace}},
  };
  for (const Case& c : cases) {
    {
      ScopedFileCalls failing(c.calls);
      EXPECT_FALSE(tovrapresets::Save("p", Values{10.0, 2.0, true})) << c.what;
    }
    ExpectNothingLost(c.what);
  }
  // With the system's calls back, the same save goes through.
  EXPECT_TRUE(tovrapresets::Save("p", Values{10.0, 2.0, true}));
  EXPECT_EQ(ReadText(Folder() / "p.tovrapreset"), "gain=10.00\ntrim=2.00\nphat=1\n");
}

// The real thing: a file-size limit makes the kernel refuse the write (EFBIG, SIGXFSZ ignored),
// as a full disk would. In a child process, so the limit binds nothing else.
TEST_F(PresetSaveFailure, AFileSizeLimitMakesSaveFailWithoutDamage) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8, 8};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    ::_exit(tovrapresets::Save("p", Values{10.0, 2.0, true}) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: Save reported success, 2: no limit could be set";
  ExpectNothingLost("file-size limit");
}

// A FIFO (or a device) named like a preset: Load refuses it at once instead of waiting for a
// writer forever (or reading /dev/zero until memory runs out). Run in a child with an alarm, so a
// hang fails the test instead of stopping the suite.
TEST_F(PresetSaveFailure, PresetsThatAreNoRegularFilesAreRefusedAtOnce) {
  ASSERT_EQ(::mkfifo((Folder() / "fifo.tovrapreset").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Folder() / "zero.tovrapreset");
  fs::create_symlink("p.tovrapreset", Folder() / "link.tovrapreset");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(10);
    Values v{1.0, 2.0, false};
    const bool fifo = tovrapresets::Load("fifo", v);
    const bool zero = tovrapresets::Load("zero", v);
    const bool untouched = v.gain == 1.0 && v.trim == 2.0 && !v.phat;
    const bool link = tovrapresets::Load("link", v);  // a link to a regular file is a preset
    ::_exit(!fifo && !zero && untouched && link && v.gain == 55.0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_FALSE(WIFSIGNALED(status)) << "Load hung (killed by signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(tovrapresets::List(), (std::vector<std::string>{"link", "p"}));
}

}  // namespace
