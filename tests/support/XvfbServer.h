// XvfbServer: a private X server for the window tests, on a display number it chooses itself.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

/** Starts Xvfb with -displayfd, so parallel test processes never collide on a
 *  display number, and points DISPLAY at it; stops it when destroyed. -noreset
 *  keeps it from resetting (and refusing connections meanwhile) whenever its
 *  last client leaves between two tests. Started()
 *  is false when Xvfb could not be started (not installed). */
class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    mPid = fork();
    if (mPid == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x1280x24", "-nolisten",
             "tcp", "-dpi", "96", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (mPid < 0) {
      close(fds[0]);
      return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    mDisplay = ":" + number;
    setenv("DISPLAY", mDisplay.c_str(), 1);
  }
  ~XvfbServer() {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      waitpid(mPid, nullptr, 0);
    }
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Started() const { return !mDisplay.empty(); }
  const std::string& Display() const { return mDisplay; }

 private:
  pid_t mPid = -1;
  std::string mDisplay;
};

}  // namespace testsupport
