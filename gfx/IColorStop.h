// IColorStop: one colour of a gradient at an offset along it.
#pragma once

#include "gfx/IColor.h"

namespace plug::gfx {

struct IColorStop {
  IColor mColor;
  float mOffset = 0.f;  // 0...1 along the gradient
};

}  // namespace plug::gfx
