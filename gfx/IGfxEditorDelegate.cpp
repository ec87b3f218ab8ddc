// IGfxEditorDelegate: editor open/close with the saved size and scale, values pushed to controls.
#include "gfx/IGfxEditorDelegate.h"

namespace plug::gfx {

IGfxEditorDelegate::IGfxEditorDelegate(int nParams) : plug::IEditorDelegate(nParams) {}

IGfxEditorDelegate::~IGfxEditorDelegate() = default;

IGfx* IGfxEditorDelegate::CreateGraphics() {
  return mMakeGraphicsFunc ? mMakeGraphicsFunc() : nullptr;
}

void IGfxEditorDelegate::LayoutUI(IGfx* graphics) {
  if (mLayoutFunc && graphics) mLayoutFunc(graphics);
}

void* IGfxEditorDelegate::OpenWindow(void* parent) {
  if (!mGraphics) {
    mGraphics.reset(CreateGraphics());
    if (!mGraphics) return nullptr;
    if (mLastWidth != 0 && mLastHeight != 0 && mLastScale != 0.f)
      mGraphics->Resize(mLastWidth, mLastHeight, mLastScale, false);
  }
  void* view = mGraphics->OpenWindow(parent);
  LayoutUI(mGraphics.get());
  OnUIOpen();
  return view;
}

void IGfxEditorDelegate::CloseWindow() {
  if (mClosing || !mGraphics) return;
  mClosing = true;
  OnUIClose();
  mLastWidth = mGraphics->Width();
  mLastHeight = mGraphics->Height();
  mLastScale = mGraphics->GetDrawScale();
  mGraphics->CloseWindow();
  mGraphics.reset();
  mClosing = false;
}

void IGfxEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value,
                                                        bool normalized) {
  const IParam* param = GetParam(paramIdx);
  if (mGraphics && param) {
    const double n = normalized ? value : param->ToNormalized(value);
    mGraphics->ForControlWithParam(
        paramIdx, [n](IControl& c, int valIdx) { c.SetValueFromDelegate(n, valIdx); });
  }
  plug::IEditorDelegate::SendParameterValueFromDelegate(paramIdx, value, normalized);
}

}  // namespace plug::gfx
