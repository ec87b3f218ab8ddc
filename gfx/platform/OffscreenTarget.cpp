// OffscreenTarget: frame rendering and read-back for contexts without a window.
#include "gfx/platform/OffscreenTarget.h"

#include "gfx/platform/IGfxCairo.h"

namespace plug::gfx {

OffscreenTarget::OffscreenTarget(IGfx& graphics)
    : mGraphics(graphics), mCairo(dynamic_cast<IGfxCairo*>(&graphics)) {}

bool OffscreenTarget::Render() {
  if (!mCairo) return false;
  mGraphics.OnGUIIdle();
  return mGraphics.DrawFrame();
}

void OffscreenTarget::RenderAll() {
  if (!mCairo) return;
  mGraphics.SetAllControlsDirty();
  mGraphics.DrawFrame();
}

RGBAImage OffscreenTarget::Capture() const {
  return mCairo ? mCairo->Snapshot() : RGBAImage();
}

bool OffscreenTarget::WritePNG(const std::string& path) {
  Render();
  return Capture().WritePNG(path);
}

}  // namespace plug::gfx
