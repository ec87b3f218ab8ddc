// MakeGfx: this platform's context is the Cairo one, shown in X11 windows.
#include "gfx/platform/MakeGfx.h"

#include "gfx/platform/IGfxCairo.h"
#include "gfx/platform/x11/X11View.h"

namespace plug::gfx {
namespace {

std::unique_ptr<IWindowView> OpenX11View(IGfxCairo& gfx, unsigned long parent) {
  return X11View::Open(gfx, parent);
}

}  // namespace

IGfx* MakeGfx(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale) {
  auto* gfx = new IGfxCairo(dlg, w, h, fps, scale);
  gfx->SetWindowOpener(&OpenX11View);
  return gfx;
}

}  // namespace plug::gfx
