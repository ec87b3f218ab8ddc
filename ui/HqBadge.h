// HqBadge: the letters "HQ" in the plate's badge recess, which only TovraSat HQ's editor shows.
#pragma once

#include "gfx/IControl.h"

namespace TovraUI {

// Engraved light letters with a dark offset shadow, centred in the badge recess (246, 98,
// 424, 148 plate units). Ignores the mouse: a click reaches the plate beneath.
class HqBadge : public plug::gfx::IControl {
 public:
  static constexpr plug::gfx::IRECT kRecess{246.f, 98.f, 424.f, 148.f};

  explicit HqBadge(float scale);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  float mScale;
};

}  // namespace TovraUI
