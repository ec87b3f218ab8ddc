// MakeGfx: this platform's context is the Cairo one.
#include "gfx/platform/MakeGfx.h"

#include "gfx/platform/IGfxCairo.h"

namespace plug::gfx {

IGfx* MakeGfx(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale) {
  return new IGfxCairo(dlg, w, h, fps, scale);
}

}  // namespace plug::gfx
