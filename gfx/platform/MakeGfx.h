// MakeGfx: the factory a plug-in's make-graphics function calls for this platform's context.
#pragma once

#include "gfx/IGfx.h"

namespace plug::gfx {

class IGfxEditorDelegate;

/** A new context of w x h logical pixels at the draw scale, owned by the caller
 *  (the editor delegate takes it). Threads: main. */
IGfx* MakeGfx(IGfxEditorDelegate& dlg, int w, int h, int fps, float scale);

}  // namespace plug::gfx
