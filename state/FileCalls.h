// FileCalls.h: the system calls that write a preset file, as a seam for failure injection.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tovrapresets {

// A full disk, a failing device or a folder that cannot take a new name shows up only as one of
// these calls failing; a test swaps a single one for a failing stand-in and checks that Save
// reports the failure and loses nothing. The program never changes them.
struct FileCalls {
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);

  // The calls Save makes: the system's, unless a test replaced them.
  // Threads: main; a test replaces them only while nothing saves.
  static FileCalls& Active();
};

}  // namespace tovrapresets
