// IBlend: how paint combines with what is already drawn; null means normal at full weight.
#pragma once

namespace plug::gfx {

enum class EBlend {
  Default,
  Clobber,
  SrcIn,
  SrcOut,
  SrcAtop,
  DstOver,
  DstIn,
  DstOut,
  DstAtop,
  Add,
  XOR
};

struct IBlend {
  EBlend mMethod = EBlend::Default;
  float mWeight = 1.f;  // 0...1
};

}  // namespace plug::gfx
