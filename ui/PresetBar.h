// PresetBar: the preset name at the foot of the panel, with stepping arrows and the preset menu.
#pragma once

#include <string>
#include <vector>

#include "gfx/IControl.h"
#include "gfx/IPopupMenu.h"
#include "gfx/IText.h"

class TovraSat;

namespace TovraUI {

// Works on "Default" (the built-in preset, never a file) followed by the user presets, read from
// the preset folder afresh at every step and every opening of the menu; nothing is cached.
//
//   click in the left 17 % of the bar    previous preset (wraps round)
//   click in the right 17 %              next preset (wraps round)
//   click in between                     the menu: every preset (the current one checked), a
//                                        separator, "Save as new preset...", Overwrite "<current>"
//                                        (unless current is "Default") and a "Delete" submenu
//                                        (when there are user presets)
//
// A preset file that vanished is skipped without a change; a new preset whose file could not be
// written is not made current. Threads: main (mouse, menu and text-entry callbacks, drawing); the
// file operations block it while they run.
class PresetBar : public plug::gfx::IControl {
 public:
  // Names longer than this many bytes are shown cut, ending in "~".
  static constexpr std::size_t kMaxLabelBytes = 22;
  static constexpr float kStepZone = 0.17f;
  static constexpr const char* kDefaultName = "Default";

  PresetBar(float scale, TovraSat* plugin);

  void OnMouseDown(float x, float y, const plug::gfx::IMouseMod& mod) override;
  // A name typed after "Save as new preset...": cleaned, then saved and made current.
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(plug::gfx::IGfx& g) override;

  // Applies the preset delta (-1 or +1) places from the current one.
  void Step(int delta);
  // Builds the menu afresh and shows it at (x, y).
  void OpenMenu(float x, float y);
  // "Default" followed by the user presets, without any file named Default.
  std::vector<std::string> All() const;

  // The name as the bar shows it: at most 22 bytes.
  static std::string Label(const std::string& name);
  // The style of the name and of the name entry.
  plug::gfx::IText TextStyle() const;

  plug::gfx::IPopupMenu& GetMenu() { return mMenu; }
  plug::gfx::IPopupMenu& GetDeleteMenu() { return mDeleteMenu; }

 private:
  // What the main menu's completion works on, copied when the menu opens.
  struct MenuSnapshot {
    std::vector<std::string> names;
    int saveIndex;
    int overwriteIndex;  // -1 when there is no overwrite entry
    std::string current;
  };
  void OnMenuChosen(const MenuSnapshot& menu, int chosen);
  void OnDeleteChosen(plug::gfx::IPopupMenu* menu);
  // Loads (unless it is "Default") and applies a preset; false when its file is gone.
  bool ApplyNamed(const std::string& name);

  float mScale;
  TovraSat* mPlug;
  plug::gfx::IPopupMenu mMenu;
  plug::gfx::IPopupMenu mDeleteMenu;
};

}  // namespace TovraUI
