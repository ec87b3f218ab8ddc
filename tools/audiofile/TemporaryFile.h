// TemporaryFile.h: a hidden file beside its destination that becomes the destination only when
// complete, and that no way out of the process leaves behind.
#pragma once

#include <string>

namespace tools {

// The file is made with mkstemp as ".NAME.XXXXXX" in the destination's folder (so the final
// rename stays on one file system; NAME cut short when that would pass the name length limit) and
// removed by Discard, the destructor, or the signal handlers that InstallSignalHandlers sets up for
// SIGINT, SIGTERM, SIGHUP and SIGPIPE: these remove the file and then die of the same signal, so
// the shell still reports 130 or 143.
//
// Threads: main only. At most one TemporaryFile exists at a time (the command writes one output
// at a time); Create refuses a second, since the handlers know of a single path.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() { Discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Once per process, before the first Create.
  static void InstallSignalHandlers();

  // Creates the file for destination, with the permissions (and, as root, the owner and group) of
  // the regular file it replaces, else those a new file gets under the umask.
  // False with errno's text in error.
  bool Create(const std::string& destination, std::string& error);

  int Fd() const { return mFd; }
  const std::string& Path() const { return mPath; }

  // Flushes the file to the disk, closes it and renames it over destination. False with a text,
  // the file then removed.
  bool Commit(std::string& error);

  // Closes and removes the file, if there is one.
  void Discard();

 private:
  int mFd = -1;
  std::string mPath;
  std::string mDestination;
};

}  // namespace tools
