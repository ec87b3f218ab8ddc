// IPluginLV2UI: the plug-in's editor as an LV2 X11 UI, embedded in the host's window.
#pragma once

#include <AudioToolbox/AudioUnitUtilities.h>

#include <memory>

#include "lv2/ui/ui.h"

namespace plug {

class IPluginLV2;

// The editor talks to the plug-in object itself (instance access), as it does in an Audio Unit
// host: values it sets are the plug-in's at once, and its gestures, heard as the plug-in's
// parameter events, become port writes (and touch grabs where the host offers ui:touch). Host
// changes reach it through the plug-in's own queue, on the idle tick that this UI holds while it
// is open (see IPluginLV2), so the host's port echoes are not needed.
//
// The host's idle call pumps the main run loop, which drives the X11 view (its connection and
// frame timer) and the idle tick, and looks for editor-only state changes (size, preset name)
// to announce. When the editor's size changes (its size button), the host is told through
// ui:resize. Without instance access or a parent window there is nothing to show:
// instantiation fails cleanly. Threads: the host's UI thread, which must be the main thread.
class IPluginLV2UI {
 public:
  static LV2UI_Descriptor MakeDescriptor(const char* uri);

  // Null without instance access or a parent window, or when the editor cannot open.
  static std::unique_ptr<IPluginLV2UI> Create(LV2UI_Write_Function write,
                                              LV2UI_Controller controller,
                                              const LV2_Feature* const* features,
                                              LV2UI_Widget* widget);
  // Closes the editor and gives the idle tick back to the plug-in instance.
  ~IPluginLV2UI();
  IPluginLV2UI(const IPluginLV2UI&) = delete;
  IPluginLV2UI& operator=(const IPluginLV2UI&) = delete;

  // One host idle call: the main run loop's due work, then a size change to the host. 0 while
  // the editor is open, 1 once it has closed itself.
  int Idle();

 private:
  IPluginLV2UI(IPluginLV2& instance, LV2UI_Write_Function write, LV2UI_Controller controller);
  static void OnEvent(void* self, void* object, const AudioUnitEvent* event, UInt64,
                      AudioUnitParameterValue);

  IPluginLV2& mInstance;
  LV2UI_Write_Function mWrite;
  LV2UI_Controller mController;
  const LV2UI_Resize* mResize = nullptr;
  const LV2UI_Touch* mTouch = nullptr;
  AUEventListenerRef mListener = nullptr;
  int mWidth = 0;
  int mHeight = 0;
};

}  // namespace plug
