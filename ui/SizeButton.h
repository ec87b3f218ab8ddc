// SizeButton: "SIZE 100%" at the top of the plate; a click offers the four window sizes.
#pragma once

#include "gfx/IControl.h"
#include "gfx/IPopupMenu.h"

class TovraSat;

namespace TovraUI {

// The editor keeps its logical size (222 x 666) at every size; choosing an item only changes the
// draw scale, stored in the plug-in's mEditorScale: 1 + 0.25 * item index.
class SizeButton : public plug::gfx::IControl {
 public:
  SizeButton(float scale, TovraSat* plugin);

  // Any button: checks the item of the current scale alone and opens the menu at the pointer.
  void OnMouseDown(float x, float y, const plug::gfx::IMouseMod& mod) override;
  void Draw(plug::gfx::IGfx& g) override;

  plug::gfx::IPopupMenu& GetMenu() { return mMenu; }

 private:
  void OnSizeChosen(plug::gfx::IPopupMenu* menu);

  float mScale;
  TovraSat* mPlug;
  plug::gfx::IPopupMenu mMenu;
};

}  // namespace TovraUI
