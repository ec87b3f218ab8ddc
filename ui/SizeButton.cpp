// SizeButton: the size menu and its label.
#include "ui/SizeButton.h"

#include <cmath>
#include <cstdio>

#include "core/TovraSat.h"
#include "gfx/IGfx.h"

namespace TovraUI {

using namespace plug::gfx;

namespace {
constexpr int kNumSizes = 4;
}

SizeButton::SizeButton(float scale, TovraSat* plugin)
    : IControl(IRECT(455.f, 100.f, 605.f, 146.f).GetScaled(scale)), mScale(scale), mPlug(plugin) {
  SetTooltip("Window size");
  for (const char* item : {"100%", "125%", "150%", "175%"}) mMenu.AddItem(item);
  mMenu.SetFunction([this](IPopupMenu* menu) { OnSizeChosen(menu); });
}

void SizeButton::OnMouseDown(float x, float y, const IMouseMod&) {
  if (mMenu.NItems() > 0) {
    mMenu.CheckItemAlone(static_cast<int>(std::floor((mPlug->mEditorScale - 1.f) * 4.f + 0.5f)));
  }
  if (IGfx* g = GetUI()) g->CreatePopupMenu(*this, mMenu, IRECT(x, y, x, y));
}

void SizeButton::OnSizeChosen(IPopupMenu* menu) {
  const int i = menu->GetChosenItemIdx();
  if (i < 0 || i >= kNumSizes) return;
  const float scale = 1.f + 0.25f * static_cast<float>(i);
  mPlug->mEditorScale = scale;
  // Resizing to the scale in use is a no-op of the context.
  if (IGfx* g = GetUI()) g->Resize(TovraSat::kEditorWidth, TovraSat::kEditorHeight, scale, true);
}

void SizeButton::Draw(IGfx& g) {
  const float s = mScale;
  char label[32];
  std::snprintf(label, sizeof label, "SIZE %d%%",
                static_cast<int>(std::lround(mPlug->mEditorScale * 100.f)));
  IText shadow(31.f * s, IColor(150, 0, 0, 0), "Plain");
  g.DrawText(shadow, label, mRECT.GetTranslated(2.f * s, 3.f * s));
  IText ink(31.f * s, IColor(255, 236, 236, 238), "Plain");
  g.DrawText(ink, label, mRECT);
}

}  // namespace TovraUI
