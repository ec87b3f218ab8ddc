// IEditorDelegate: parameter ownership, the default routes and the editor size rules.
#include "plug/IEditorDelegate.h"

#include <algorithm>

namespace plug {

IEditorDelegate::IEditorDelegate(int nParams) {
  const int n = std::max(nParams, 0);
  mParams.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) mParams.push_back(std::make_unique<IParam>());
}

IEditorDelegate::~IEditorDelegate() = default;

IParam* IEditorDelegate::GetParam(int idx) {
  if (idx < 0 || idx >= NParams()) return nullptr;
  return mParams[static_cast<std::size_t>(idx)].get();
}

const IParam* IEditorDelegate::GetParam(int idx) const {
  if (idx < 0 || idx >= NParams()) return nullptr;
  return mParams[static_cast<std::size_t>(idx)].get();
}

void IEditorDelegate::BeginInformHostOfParamChangeFromUI(int) {}

void IEditorDelegate::EndInformHostOfParamChangeFromUI(int) {}

void IEditorDelegate::SendParameterValueFromUI(int paramIdx, double normalizedValue) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  param->SetNormalized(normalizedValue);
  OnParamChangeUI(paramIdx, kUI);
}

void IEditorDelegate::DirtyParametersFromUI() {}

void IEditorDelegate::SendMidiMsgFromUI(const IMidiMsg&) {}

void IEditorDelegate::SendSysexMsgFromUI(const ISysEx&) {}

void IEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double, bool) {
  if (GetParam(paramIdx) == nullptr) return;
  OnParamChangeUI(paramIdx, kDelegate);
}

void IEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg&) {}

void IEditorDelegate::SendSysexMsgFromDelegate(const ISysEx&) {}

void IEditorDelegate::OnUIOpen() {
  for (int i = 0; i < NParams(); ++i) {
    SendParameterValueFromDelegate(i, GetParam(i)->GetNormalized(), true);
  }
}

void IEditorDelegate::OnUIClose() {}

void IEditorDelegate::OnParamChangeUI(int, EParamSource) {}

void* IEditorDelegate::OpenWindow(void*) {
  return nullptr;
}

void IEditorDelegate::CloseWindow() {}

void IEditorDelegate::SetEditorSize(int width, int height) {
  mEditorWidth = width;
  mEditorHeight = height;
}

void IEditorDelegate::SetSizeConstraints(int widthLo, int widthHi, int heightLo, int heightHi) {
  mMinWidth = std::min(widthLo, widthHi);
  mMaxWidth = std::max(widthLo, widthHi);
  mMinHeight = std::min(heightLo, heightHi);
  mMaxHeight = std::max(heightLo, heightHi);
}

bool IEditorDelegate::ConstrainEditorResize(int& width, int& height) const {
  // A pair left at 0...0 was never set: that side has no limit (clamping to it
  // would shrink the editor to nothing).
  const bool limitW = mMinWidth != 0 || mMaxWidth != 0;
  const bool limitH = mMinHeight != 0 || mMaxHeight != 0;
  const bool inW = !limitW || (width >= mMinWidth && width <= mMaxWidth);
  const bool inH = !limitH || (height >= mMinHeight && height <= mMaxHeight);
  if (inW && inH) return true;
  if (limitW) width = std::clamp(width, mMinWidth, mMaxWidth);
  if (limitH) height = std::clamp(height, mMinHeight, mMaxHeight);
  return false;
}

bool IEditorDelegate::EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize) {
  if (!needsPlatformResize) return true;
  return EditorResize(viewWidth, viewHeight);
}

bool IEditorDelegate::EditorResize(int, int) {
  return false;
}

}  // namespace plug
