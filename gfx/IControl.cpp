// IControl: default event handling, values, bindings and the dirty/action rule.
#include "gfx/IControl.h"

#include <algorithm>
#include <string>

#include "gfx/IGfx.h"
#include "gfx/IGfxEditorDelegate.h"
#include "plug/IParam.h"

namespace plug::gfx {

IControl::IControl(const IRECT& bounds, int paramIdx, ActionFunction action)
    : IControl(bounds, std::vector<int>{paramIdx}, std::move(action)) {}

IControl::IControl(const IRECT& bounds, const std::vector<int>& params, ActionFunction action)
    : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(action)) {
  for (int p : params) mVals.emplace_back(p < 0 ? kNoParameter : p, 0.0);
  if (mVals.empty()) mVals.emplace_back(kNoParameter, 0.0);
}

IControl::~IControl() = default;

// ---------------------------------------------------------------- events

void IControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}
void IControl::OnMouseUp(float, float, const IMouseMod&) {}
void IControl::OnMouseDrag(float, float, float, float, const IMouseMod&) {}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&) {
  SetValueToDefault(GetValIdxForPos(x, y));
}

void IControl::OnMouseWheel(float, float, const IMouseMod&, float) {}
bool IControl::OnKeyDown(float, float, const IKeyPress&) {
  return false;
}
bool IControl::OnKeyUp(float, float, const IKeyPress&) {
  return false;
}

void IControl::OnMouseOver(float, float, const IMouseMod&) {
  const bool was = mMouseIsOver;
  mMouseIsOver = true;
  if (!was) SetDirty(false);
}

void IControl::OnMouseOut() {
  if (mMouseIsOver) {
    mMouseIsOver = false;
    SetDirty(false);
  }
}

void IControl::OnTouchCancelled(float, float, const IMouseMod&) {}
void IControl::OnDrop(const char*) {}

void IControl::OnDropMultiple(const std::vector<const char*>& paths) {
  for (const char* p : paths) OnDrop(p ? p : "");
}

void IControl::OnInit() {}
void IControl::OnResize() {}
void IControl::OnRescale() {}
void IControl::OnAttached() {}
bool IControl::OnMsgFromDelegate(int, int, const void*) {
  return false;
}
void IControl::OnMidi(const unsigned char*) {}

bool IControl::OnGesture(const IGestureInfo& info) {
  for (auto& [type, fn] : mGestureFuncs) {
    if (type == info.type && fn) {
      fn(this, info);
      return true;
    }
  }
  return false;
}

void IControl::AttachGestureFunc(IGestureInfo::EType type, GestureFunc fn) {
  mGestureFuncs.emplace_back(type, std::move(fn));
}

void IControl::CreateContextMenu(IPopupMenu&) {}

void IControl::OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx) {
  if (!selectedMenu || valIdx < 0) return;
  const IParam* param = GetParam(valIdx);
  if (!param) return;
  const int chosen = selectedMenu->GetChosenItemIdx();
  if (chosen < 0) return;
  // The prompt menu lists the parameter's values from its minimum in steps of one.
  SetValueFromUserInput(param->ToNormalized(param->GetMin() + chosen), valIdx);
}

void IControl::OnDeleteFromPopupMenu(IPopupMenu*, int) {}
void IControl::OnTextEntryCompletion(const char*, int) {}
void IControl::OnContextSelection(int) {}
void IControl::DrawPTHighlight(IGfx&) {}

// ---------------------------------------------------------------- values

void IControl::SetParamIdx(int paramIdx, int valIdx) {
  if (valIdx < 0 || valIdx >= NVals()) return;
  auto& slot = mVals[static_cast<std::size_t>(valIdx)];
  slot.first = paramIdx < 0 ? kNoParameter : paramIdx;
  if (const IParam* p = GetParam(valIdx)) slot.second = p->GetNormalized();
}

int IControl::GetValIdxForPos(float, float) const {
  return kNoValIdx;
}

void IControl::SetValueFromDelegate(double value, int valIdx) {
  SetValue(value, valIdx);
  SetDirty(false, valIdx);
}

void IControl::SetValueFromUserInput(double value, int valIdx) {
  SetValue(value, valIdx);
  SetDirty(true, valIdx);
}

void IControl::SetValueToDefault(int valIdx) {
  ForValIdx(valIdx, [this](int v) {
    if (const IParam* p = GetParam(v)) SetValue(p->GetDefault(true), v);
  });
  SetDirty(true, valIdx);
}

void IControl::SetValue(double value, int valIdx) {
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<std::size_t>(valIdx)].second = value;
}

double IControl::GetValue(int valIdx) const {
  if (valIdx < 0 || valIdx >= NVals()) return 0.0;
  return mVals[static_cast<std::size_t>(valIdx)].second;
}

int IControl::GetParamIdx(int valIdx) const {
  if (valIdx < 0 || valIdx >= NVals()) return kNoParameter;
  return mVals[static_cast<std::size_t>(valIdx)].first;
}

int IControl::LinkedToParam(int paramIdx) const {
  if (paramIdx < 0) return kNoValIdx;
  for (int v = 0; v < NVals(); ++v)
    if (mVals[static_cast<std::size_t>(v)].first == paramIdx) return v;
  return kNoValIdx;
}

const IParam* IControl::GetParam(int valIdx) const {
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx < 0 || !mDelegate) return nullptr;
  return static_cast<const plug::IEditorDelegate*>(mDelegate)->GetParam(paramIdx);
}

void IControl::SetText(const IText& text) {
  mText = text;
  SetDirty(false);
}

void IControl::SetPosition(float x, float y) {
  if (mGraphics) mGraphics->SetAreaDirty(mRECT);
  const float dx = x - mRECT.L, dy = y - mRECT.T;
  mRECT = mRECT.GetTranslated(dx, dy);
  mTargetRECT = mTargetRECT.GetTranslated(dx, dy);
  SetDirty(false);
}

void IControl::SetSize(float w, float h) {
  if (mGraphics) mGraphics->SetAreaDirty(mRECT);
  mRECT = IRECT(mRECT.L, mRECT.T, mRECT.L + w, mRECT.T + h);
  mTargetRECT = IRECT(mTargetRECT.L, mTargetRECT.T, mTargetRECT.L + w, mTargetRECT.T + h);
  OnResize();
  SetDirty(false);
}

void IControl::Hide(bool hide) {
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable) {
  mDisabled = disable;
  SetDirty(false);
}

void IControl::SetIgnoreMouse(bool ignore) {
  mIgnoreMouse = ignore;
}

bool IControl::IsHit(float x, float y) const {
  return mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool triggerAction, int valIdx) {
  ForValIdx(valIdx, [this](int v) { SetValue(std::clamp(GetValue(v), 0.0, 1.0), v); });
  mDirty = true;
  if (!triggerAction) return;
  ForValIdx(valIdx, [this](int v) {
    const int paramIdx = GetParamIdx(v);
    if (paramIdx < 0 || !mDelegate) return;
    mDelegate->SendParameterValueFromUI(paramIdx, GetValue(v));
    if (mGraphics) mGraphics->UpdatePeers(this, v);
  });
  if (mActionFunc) mActionFunc(this);
}

void IControl::SetClean() {
  mDirty = false;
}
bool IControl::IsDirty() {
  return mDirty;
}
void IControl::OnGUIIdle() {}
bool IControl::GetWantsGestures() const {
  return !mGestureFuncs.empty();
}

void IControl::SnapToMouse(float x, float y, int direction, const IRECT& bounds, int valIdx,
                           double minClip, double maxClip) {
  const IRECT b = bounds;
  if (b.Degenerate()) return;
  // direction 1 is horizontal (left to right), anything else vertical (bottom to top).
  double v = direction == 1 ? (double(x) - b.L) / b.W() : (double(b.B) - y) / b.H();
  v = std::clamp(v, minClip, maxClip);
  ForValIdx(valIdx, [&](int i) { SetValue(v, i); });
  SetDirty(true, valIdx);
}

void IControl::OnEndAnimation() {
  SetDirty(false);
}

// ---------------------------------------------------------------- parameter prompt

void IControl::PromptUserInput(int valIdx) {
  if (valIdx < 0) valIdx = 0;
  const IParam* param = GetParam(valIdx);
  if (!param || !mGraphics) return;
  const bool listed = param->Type() == IParam::kTypeEnum || param->Type() == IParam::kTypeBool;
  if (listed) {
    mPromptMenu.Clear();
    const int n = static_cast<int>(param->GetRange()) + 1;
    for (int i = 0; i < n && i < 128; ++i) {
      std::string display;
      param->GetDisplay(param->GetMin() + i, false, display);
      IPopupMenu::Item* item = mPromptMenu.AddItem(display.c_str());
      if (param->Int() == static_cast<int>(param->GetMin()) + i) item->SetChecked(true);
    }
    mGraphics->CreatePopupMenu(*this, mPromptMenu, mRECT, valIdx);
  } else {
    std::string display;
    param->GetDisplay(display);
    mGraphics->CreateTextEntry(*this, mText, mRECT, display.c_str(), valIdx);
    mGraphics->mTextEntryIsPrompt = true;
  }
}

}  // namespace plug::gfx
