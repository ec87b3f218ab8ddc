// XvfbEnvironment: one private X server for a whole test program.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/XvfbServer.h"

namespace testsupport {

/** The program's Xvfb, started before its first test and stopped after its last; DISPLAY points at
 *  it meanwhile. A test program has it by linking the test_xvfb object library. */
XvfbServer* Xvfb();

/** For a test or a fixture's SetUp: ASSERT_TRUE(XvfbRunning()). */
inline ::testing::AssertionResult XvfbRunning() {
  if (Xvfb() != nullptr && Xvfb()->Started()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "Xvfb is needed (Debian package xvfb)";
}

}  // namespace testsupport
