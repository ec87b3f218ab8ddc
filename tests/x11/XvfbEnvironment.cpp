// XvfbEnvironment.cpp: the test program's private X server.
#include <gtest/gtest.h>

#include <memory>

#include "tests/x11/X11TestSupport.h"

namespace x11test {

namespace {

std::unique_ptr<testsupport::XvfbServer> gServer;

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gServer = std::make_unique<testsupport::XvfbServer>(); }
  void TearDown() override { gServer.reset(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

testsupport::XvfbServer* Server() {
  return gServer.get();
}

}  // namespace x11test
