// The Cocoa view factory a macOS host asks for the editor: the class kAudioUnitProperty_CocoaUI
// names. Its name is a build setting (PLUG_AU_VIEW_CLASS), as every loaded plug-in's classes
// share the host's one Objective-C name space.
#import <AppKit/AppKit.h>
#import <AudioToolbox/AUCocoaUIView.h>

#include "plug/au/IPluginAU.h"

@interface PLUG_AU_VIEW_CLASS : NSObject <AUCocoaUIBase> {
  plug::IPluginAU* mPlug;  // kept from the last view made; the unit owns it
}
@end

@implementation PLUG_AU_VIEW_CLASS

- (id)init {
  self = [super init];
  if (self) mPlug = nullptr;
  return self;
}

- (unsigned)interfaceVersion {
  return 0;
}

- (NSString*)description {
  return @"TovraSat View";
}

// The size is not used: the editor opens at its own (or its last) size.
- (NSView*)uiViewForAudioUnit:(AudioUnit)unit withSize:(NSSize)inPreferredSize {
  (void)inPreferredSize;
  void* object = nullptr;
  UInt32 size = sizeof object;
  if (unit == nullptr ||
      AudioUnitGetProperty(unit, plug::IPluginAU::kPlugInObjectProperty, kAudioUnitScope_Global, 0,
                           &object, &size) != noErr ||
      object == nullptr) {
    return nil;
  }
  mPlug = static_cast<plug::IPluginAU*>(object);
  if (!mPlug->HasUI()) return nil;
  return (__bridge NSView*)mPlug->OpenWindow(nullptr);
}

@end
