// TovraSatEntry: the C entry points the plug-in module exports (everything else stays hidden).
#include "core/TovraSat.h"
#include "core/TovraSatHQ.h"
#include "plug/au/CFAUPreset.h"
#include "plug/au/IPluginAUFactory.h"

extern "C" {

// The AudioComponentFactoryFunction that the bundle's Info.plist names.
PLUG_AU_EXPORT AudioComponentPlugInInterface* TovraSat_Factory(
    const AudioComponentDescription* desc) {
  return plug::IPluginAUFactory<TovraSat>::Factory(desc);
}

// The older Component Manager entry (see IPluginAUFactory).
PLUG_AU_EXPORT ComponentResult TovraSat_Entry(ComponentParameters* params, Handle storage) {
  return plug::IPluginAUFactory<TovraSat>::Entry(params, storage);
}

// The same two for the HQ component, the bundle's second AudioComponents entry.
PLUG_AU_EXPORT AudioComponentPlugInInterface* TovraSatHQ_Factory(
    const AudioComponentDescription* desc) {
  return plug::IPluginAUFactory<TovraSatHQ>::Factory(desc);
}

PLUG_AU_EXPORT ComponentResult TovraSatHQ_Entry(ComponentParameters* params, Handle storage) {
  return plug::IPluginAUFactory<TovraSatHQ>::Entry(params, storage);
}

// Linux stands in for the Cocoa view factory class "TovraSat_View", which cannot exist here: a
// host that wants the editor calls this with the unit and its parent window (an X11 window, or
// null for an offscreen editor) and gets the editor's view from OpenWindow, or null when the unit
// is no TovraSat or the editor cannot be made. The editor lives until the plug-in closes it
// (CloseWindow) or the unit is closed, which destroys it with the plug-in. Threads: main.
PLUG_AU_EXPORT void* TovraSat_CreateView(AudioUnit unit, void* parent) {
  return plug::IPluginAU::CreateView(unit, parent);
}

}  // extern "C"
