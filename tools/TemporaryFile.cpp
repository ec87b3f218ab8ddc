// TemporaryFile.cpp: mkstemp, fsync and rename, with the path published to signal handlers.
#include "tools/TemporaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

namespace tools {
namespace {

namespace fs = std::filesystem;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The path the handlers remove. Written only while those signals are blocked, so a handler never
// sees it half-written; kept in static storage since a handler may not allocate.
char gPendingPath[4096];
volatile sig_atomic_t gPending = 0;

void RemovePendingAndDie(int signal) {
  if (gPending != 0) ::unlink(gPendingPath);
  gPending = 0;
  std::signal(signal, SIG_DFL);
  ::raise(signal);  // blocked while this handler runs: delivered as it returns
}

// Blocks the handled signals for its scope.
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kSignals) sigaddset(&set, s);
    ::sigprocmask(SIG_BLOCK, &set, &mOld);
  }
  ~SignalBlock() { ::sigprocmask(SIG_SETMASK, &mOld, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t mOld;
};

std::string ErrnoText() {
  return std::strerror(errno);
}

}  // namespace

void TemporaryFile::InstallSignalHandlers() {
  for (const int s : kSignals) {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndDie;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) sigaddset(&action.sa_mask, other);
    // A signal the caller chose to ignore (nohup, a shell's background job) stays ignored.
    struct sigaction old {};
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
}

bool TemporaryFile::Create(const std::string& destination, std::string& error) {
  if (mFd >= 0 || gPending != 0) {
    error = "another temporary file is open";
    return false;
  }
  const fs::path target(destination);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string name = ".";  // appended, not prefixed: g++ 12 -O3 misreads "x" + std::string
  name += target.filename().string();
  name += ".XXXXXX";
  const std::string pattern = (dir / name).string();
  if (pattern.size() >= sizeof gPendingPath) {
    error = "the path is too long";
    return false;
  }
  {
    const SignalBlock block;
    std::memcpy(gPendingPath, pattern.c_str(), pattern.size() + 1);
    mFd = ::mkstemp(gPendingPath);
    if (mFd < 0) {
      error = ErrnoText();
      return false;
    }
    gPending = 1;
    mPath = gPendingPath;
  }
  mDestination = destination;
  // mkstemp makes the file private; give it the permissions a new file normally gets (the tool is
  // single-threaded, so reading the mask by setting it is safe).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(mFd, 0666 & ~mask);
  return true;
}

bool TemporaryFile::Commit(std::string& error) {
  if (mFd < 0) {
    error = "no temporary file";
    return false;
  }
  bool ok = ::fsync(mFd) == 0;
  if (!ok) error = ErrnoText();
  const int fd = mFd;
  mFd = -1;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = ErrnoText();
  }
  if (ok) {
    const SignalBlock block;
    if (::rename(mPath.c_str(), mDestination.c_str()) == 0) {
      gPending = 0;
      mPath.clear();
      return true;
    }
    error = ErrnoText();
  }
  Discard();
  return false;
}

void TemporaryFile::Discard() {
  if (mFd >= 0) {
    ::close(mFd);
    mFd = -1;
  }
  if (mPath.empty()) return;
  const SignalBlock block;
  ::unlink(mPath.c_str());
  gPending = 0;
  mPath.clear();
}

}  // namespace tools
