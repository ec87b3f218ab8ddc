// JackServer: a JACK server on the dummy driver, named for this test process alone.
#pragma once

#include <unistd.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "tests/lv2/HostProcess.h"

namespace lv2test {

using namespace std::chrono_literals;

// Other developers and parallel tests run servers too: the name is unique, no client may start a
// default server, and the server stops when this object goes.
class JackServer {
 public:
  explicit JackServer(std::map<std::string, std::string>& env) : mEnv(env) {
    static std::atomic<int> count{0};
    mName = "tovrasat-lv2-" + std::to_string(getpid()) + "-" + std::to_string(count++);
    env["JACK_DEFAULT_SERVER"] = mName;
    env["JACK_NO_START_SERVER"] = "1";
    env["JACK_NO_AUDIO_RESERVATION"] = "1";
    // Its output (an xrun report now and then on a busy machine) goes nowhere, so that a pipe
    // nobody reads can never fill and stall the server.
    mServer = std::make_unique<HostProcess>(
        std::vector<std::string>{
            "sh", "-c",
            "exec jackd --no-realtime -n " + mName + " -d dummy -r 48000 -p 256 >/dev/null 2>&1"},
        env);
  }
  // Waits until clients can connect.
  bool Ready() {
    if (!mServer->Started()) return false;
    HostProcess wait({"jack_wait", "-w", "-t", "20"}, mEnv);
    wait.CloseInput();
    return wait.Finish(30s) == 0;
  }
  const std::string& Name() const { return mName; }

 private:
  std::map<std::string, std::string>& mEnv;
  std::string mName;
  std::unique_ptr<HostProcess> mServer;
};

}  // namespace lv2test
