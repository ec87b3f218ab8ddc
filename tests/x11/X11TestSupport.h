// X11TestSupport.h: one private Xvfb per test program, and the editor's geometry in its pixels.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/XvfbServer.h"

namespace x11test {

/** Started before the first test, stopped after the last; DISPLAY points at it meanwhile. */
testsupport::XvfbServer* Server();

/** A point on the plate (667 x 2000 units) in the window's pixels at 100 %. */
inline int PlateX(double units) {
  return int(std::lround(units * 222.0 / 667.0));
}
inline int PlateY(double units) {
  return int(std::lround(units * 222.0 / 667.0));
}
inline std::string PlatePoint(double x, double y) {
  return std::to_string(PlateX(x)) + " " + std::to_string(PlateY(y));
}

}  // namespace x11test
