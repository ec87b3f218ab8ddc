// XvfbEnvironment.cpp: the test program's private X server, registered as a global environment.
#include "tests/support/XvfbEnvironment.h"

#include <memory>

namespace testsupport {

namespace {

std::unique_ptr<XvfbServer> gServer;

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gServer = std::make_unique<XvfbServer>(); }
  void TearDown() override { gServer.reset(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

XvfbServer* Xvfb() {
  return gServer.get();
}

}  // namespace testsupport
