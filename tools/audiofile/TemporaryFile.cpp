// TemporaryFile.cpp: mkstemp, fsync and rename, with the path published to signal handlers.
#include "tools/audiofile/TemporaryFile.h"

#include "tools/audiofile/LibraryText.h"

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

// ".NAME.XXXXXX", NAME cut short when the whole would pass the folder's limit on a name's length,
// so that every name the file system takes for OUT can be written; the cut stays on a UTF-8
// character boundary.
std::string HiddenName(const fs::path& dir, std::string name) {
  const long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  const size_t most = limit > 8 ? static_cast<size_t>(limit) : 255;
  constexpr size_t kAdded = 8;  // the dot before, ".XXXXXX" after
  if (name.size() + kAdded > most) {
    size_t keep = most - kAdded;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
  }
  std::string hidden = ".";  // appended, not prefixed: g++ 12 -O3 misreads "x" + std::string
  hidden += name;
  hidden += ".XXXXXX";
  return hidden;
}

std::string ErrnoText() {
  return SystemText(errno);
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
  const std::string pattern = (dir / HiddenName(dir, target.filename().string())).string();
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
  struct stat old {};
  if (::stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    // A replaced file keeps who may read it: a private file stays private. Only root can give a
    // file away; the owner goes first, since a change of owner clears the set-id bits.
    if (::geteuid() == 0) {
      const int changed = ::fchown(mFd, old.st_uid, old.st_gid);
      (void)changed;  // where root may not (a squashed network share) the new file stays root's
    }
    ::fchmod(mFd, old.st_mode & 07777);
    return true;
  }
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
