// Plate: the editor's background: the plate image and the fixed decorations drawn over it.
#pragma once

#include <string>

#include "gfx/IBitmap.h"
#include "gfx/IControl.h"

namespace TovraUI {

// Covers the whole editor and ignores the mouse, so a click on bare plate reaches no control.
// Draws, in this order: the plate image stretched over 667 x 2000 units (a flat dark face when the
// image could not be loaded), the top badge recess, the output-trim scale and the gain display's
// window.
class Plate : public plug::gfx::IControl {
 public:
  // The face drawn when the plate image is missing.
  static constexpr plug::gfx::IColor kFallbackFace{255, 28, 30, 34};

  Plate(const plug::gfx::IRECT& bounds, float scale, const plug::gfx::IBitmap& plate);

  void Draw(plug::gfx::IGfx& g) override;

 private:
  void DrawImage(plug::gfx::IGfx& g) const;
  void DrawBadgeRecess(plug::gfx::IGfx& g) const;
  void DrawTrimScale(plug::gfx::IGfx& g) const;
  void DrawDisplayWindow(plug::gfx::IGfx& g) const;

  float mScale;
  plug::gfx::IBitmap mPlate;
  std::string mPlateName;
};

}  // namespace TovraUI
