// IPluginAU::Properties: every property the wrapper answers, one table row each, and the small
// handlers the rows name. GetPropertyInfo, GetProperty and SetProperty all read the same row.
#pragma once

#include "plug/au/IPluginAU.h"

namespace plug {

struct IPluginAU::Properties {
  // The scopes a row takes, one bit per scope; kAnyScope takes every scope value.
  enum EScopes : unsigned {
    kNoScope = 0u,
    kGlobalScope = 1u << kAudioUnitScope_Global,
    kInputScope = 1u << kAudioUnitScope_Input,
    kOutputScope = 1u << kAudioUnitScope_Output,
    kAnyScope = ~0u,
  };
  static bool Takes(unsigned scopes, AudioUnitScope scope) {
    return scopes == kAnyScope || (scope < 32 && (scopes & (1u << scope)) != 0);
  }

  // Checks the element and works out a size that depends on the instance (size holds the row's
  // size on entry). No side effects: GetPropertyInfo runs it too.
  using Check = OSStatus (*)(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32& size);
  // Writes the value into data, which holds the size the row and its check gave.
  using Get = OSStatus (*)(IPluginAU&, AudioUnitScope, AudioUnitElement, void* data);
  // Applies data, which holds the row's size (unless mTakesShorter).
  using Set = OSStatus (*)(IPluginAU&, AudioUnitScope, AudioUnitElement, const void* data,
                           UInt32 size);

  struct Row {
    AudioUnitPropertyID mID = 0;
    UInt32 mSize = 0;
    // kNoScope: not read here (GetPlugInProperty may answer it).
    unsigned mReadScopes = kNoScope;
    OSStatus mScopeError = kAudioUnitErr_InvalidProperty;  // a read in a scope not taken
    Check mCheck = nullptr;
    // Null: nothing to read (a write-only value), though size and writability are answered.
    Get mGet = nullptr;
    // A write in a scope not taken is kAudioUnitErr_InvalidProperty.
    unsigned mWriteScopes = kAnyScope;
    Set mSet = nullptr;  // null: read only
    // Older hosts hand a shorter record; the setter checks what it was given.
    bool mTakesShorter = false;
  };

  // Every property the wrapper knows, one row each.
  static const Row kRows[];
  // The row of a property, null for one the wrapper does not know. Threads: any.
  static const Row* Find(AudioUnitPropertyID id);

  // Session and format.
  static OSStatus GetClassInfo(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetClassInfo(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus SetMakeConnection(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                    UInt32);
  static OSStatus GetSampleRate(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetSampleRate(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus NoFastDispatch(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus CheckBus(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetStreamFormat(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetStreamFormat(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                  UInt32);
  static OSStatus GetElementCount(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetLatency(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckNumChannels(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetNumChannels(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetMaxFrames(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetMaxFrames(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus NoChannelLayout(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetTailTime(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetBypass(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetBypass(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus GetLastRenderError(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckInputBus(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus SetRenderCallback(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                    UInt32);
  static OSStatus GetFactoryPresets(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetHostCallbacks(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                   UInt32);
  static OSStatus GetPreset(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetPreset(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus CheckElementName(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetElementName(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckCocoaUI(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetCocoaUI(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckLayoutTags(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetLayoutTags(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetMidiOutputNames(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetMidiOutputCallback(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                        UInt32);
  static OSStatus GetSupportsMPE(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetPlugInObject(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckInstrumentCount(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetInstrumentCount(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus SetContextName(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*, UInt32);
  static OSStatus SetOfflineRender(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                   UInt32);
  static OSStatus SetHostIdentifier(IPluginAU&, AudioUnitScope, AudioUnitElement, const void*,
                                    UInt32);

  // Parameters.
  static OSStatus CheckParameterList(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetParameterList(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckParameter(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetParameterInfo(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus CheckValueStrings(IPluginAU&, AudioUnitScope, AudioUnitElement, UInt32&);
  static OSStatus GetValueStrings(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetStringFromValue(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetIDName(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetClumpName(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
  static OSStatus GetValueFromString(IPluginAU&, AudioUnitScope, AudioUnitElement, void*);
};

}  // namespace plug
