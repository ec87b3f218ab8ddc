// IFillOptions: fill rule and whether the path survives the fill.
#pragma once

namespace plug::gfx {

enum class EFillRule { Winding, EvenOdd };

struct IFillOptions {
  EFillRule mFillRule = EFillRule::Winding;
  bool mPreserve = false;
};

}  // namespace plug::gfx
