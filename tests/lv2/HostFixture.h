// HostFixture: what every test of the built bundle in a Debian LV2 host starts from: whether this
// build's module can run in such a host at all, the hosts' environment, a scratch folder, a JACK
// server of the test's own, and a host run to its end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/lv2/HostEnvironment.h"
#include "tests/lv2/HostProcess.h"
#include "tests/lv2/JackServer.h"
#include "tests/support/TempDir.h"

namespace lv2test {

/** The kinds of host that load the module, by what they need of this build's. (A host that only
 *  reads the bundle's Turtle, as lv2info and sord_validate do, runs everywhere.) */
enum class HostKind {
  kLoadsModule,  // loads the module (lv2apply, jalv, our own host)
  kGtkOrArdour,  // loads it and starts GTK or Ardour, which hang at start-up with the sanitizer
                 // runtimes preloaded (jalv.gtk3 in GTK's start-up, ardour7-lua before it reads
                 // a script: not the plug-in, which the console jalv and lv2apply run fine)
};

/** Why a host of that kind cannot run this build's module, or nothing when it can. A
 *  ThreadSanitizer module cannot be opened by a host built without it: its runtime needs static
 *  TLS that only exists when it is loaded at start-up. */
inline std::optional<std::string> WhyHostCannotRun(HostKind kind) {
  if (!TOVRASAT_HOSTS_LOAD_MODULE) return "a ThreadSanitizer module cannot be loaded by this host";
  if (kind == HostKind::kGtkOrArdour && std::string(TOVRASAT_HOST_PRELOAD) != "")
    return "GTK and Ardour do not start with the sanitizer runtimes preloaded";
  return std::nullopt;
}

/** A test that runs hosts: each starts with env (HostEnvironment's variables), may add to it, and
 *  skips with `if (const auto why = WhyHostCannotRun(kind)) GTEST_SKIP() << *why;` (a skip must
 *  be a statement of the test itself). */
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(hostEnv.Ready());
    ASSERT_FALSE(scratch.Path().empty());
    ASSERT_TRUE(
        std::filesystem::exists(std::filesystem::path(TOVRASAT_LV2_BUNDLE) / "manifest.ttl"));
  }

  /** Starts a JACK dummy server of the test's own, which the hosts started afterwards use; it
   *  stops with the test. */
  ::testing::AssertionResult StartJack() {
    jack = std::make_unique<JackServer>(env);
    if (jack->Ready()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "jackd did not start as " << jack->Name();
  }

  /** Runs a host with no input to its end: its exit status (-1 when it did not start) and all it
   *  printed. */
  int Run(const std::vector<std::string>& args, std::string& output,
          std::chrono::milliseconds timeout = std::chrono::seconds(120)) {
    HostProcess process(args, env);
    if (!process.Started()) return -1;
    process.CloseInput();
    const int status = process.Finish(timeout);
    output = process.Output();
    return status;
  }

  HostEnvironment hostEnv;
  std::map<std::string, std::string> env = hostEnv.Variables();
  testsupport::TempDir scratch;
  std::unique_ptr<JackServer> jack;  // declared last: stopped before the folders go
};

}  // namespace lv2test
