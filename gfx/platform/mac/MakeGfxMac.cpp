// MakeGfx: on macOS the context is the Core Graphics one.
#include "gfx/platform/MakeGfx.h"

#include "gfx/platform/mac/IGfxCoreGraphics.h"

namespace plug::gfx {

IGfx* MakeGfx(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale) {
  return new IGfxCoreGraphics(dlg, w, h, fps, scale);
}

}  // namespace plug::gfx
