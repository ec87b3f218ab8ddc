/* AudioUnitProperties.h: Audio Unit scopes, property IDs, parameter info and property records (Linux stand-in). */
#ifndef AudioToolbox_AudioUnitProperties_h
#define AudioToolbox_AudioUnitProperties_h

#include <AudioToolbox/AUComponent.h>
#include <CoreAudioTypes/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

/* Scopes (Apple reserves 0..1024). */
CF_ENUM(AudioUnitScope) {
  kAudioUnitScope_Global = 0,
  kAudioUnitScope_Input = 1,
  kAudioUnitScope_Output = 2,
  kAudioUnitScope_Group = 3,
  kAudioUnitScope_Part = 4,
  kAudioUnitScope_Note = 5,
  kAudioUnitScope_Layer = 6,
  kAudioUnitScope_LayerItem = 7
};

/* Property IDs (Apple reserves 0..63999). */
CF_ENUM(AudioUnitPropertyID) {
  kAudioUnitProperty_ClassInfo = 0,
  kAudioUnitProperty_MakeConnection = 1,
  kAudioUnitProperty_SampleRate = 2,
  kAudioUnitProperty_ParameterList = 3,
  kAudioUnitProperty_ParameterInfo = 4,
  kAudioUnitProperty_CPULoad = 6,
  kAudioUnitProperty_StreamFormat = 8,
  kAudioUnitProperty_ElementCount = 11,
  kAudioUnitProperty_Latency = 12,
  kAudioUnitProperty_SupportedNumChannels = 13,
  kAudioUnitProperty_MaximumFramesPerSlice = 14,
  kAudioUnitProperty_ParameterValueStrings = 16,
  kAudioUnitProperty_AudioChannelLayout = 19,
  kAudioUnitProperty_TailTime = 20,
  kAudioUnitProperty_BypassEffect = 21,
  kAudioUnitProperty_LastRenderError = 22,
  kAudioUnitProperty_SetRenderCallback = 23,
  kAudioUnitProperty_FactoryPresets = 24,
  kAudioUnitProperty_ContextName = 25,
  kAudioUnitProperty_RenderQuality = 26,
  kAudioUnitProperty_HostCallbacks = 27,
  kAudioUnitProperty_InPlaceProcessing = 29,
  kAudioUnitProperty_ElementName = 30,
  kAudioUnitProperty_SupportedChannelLayoutTags = 32,
  kAudioUnitProperty_PresentPreset = 36,
  kAudioUnitProperty_DependentParameters = 45,
  kAudioUnitProperty_InputSamplesInOutput = 49,
  kAudioUnitProperty_ShouldAllocateBuffer = 51,
  kAudioUnitProperty_FrequencyResponse = 52,
  kAudioUnitProperty_ParameterHistoryInfo = 53,
  kAudioUnitProperty_NickName = 54,
  kAudioUnitProperty_OfflineRender = 37,
  kAudioUnitProperty_ParameterIDName = 34,
  kAudioUnitProperty_ParameterStringFromValue = 33,
  kAudioUnitProperty_ParameterClumpName = 35,
  kAudioUnitProperty_ParameterValueFromString = 38,
  kAudioUnitProperty_PresentationLatency = 40,
  kAudioUnitProperty_ClassInfoFromDocument = 50,
  kAudioUnitProperty_RequestViewController = 56,
  kAudioUnitProperty_ParametersForOverview = 57,
  kAudioUnitProperty_SupportsMPE = 58,
  kAudioUnitProperty_RenderContextObserver = 60,
  kAudioUnitProperty_LastRenderSampleTime = 61,
  kAudioUnitProperty_LoadedOutOfProcess = 62,
  kAudioUnitProperty_MIDIOutputEventListCallback = 63,
  kAudioUnitProperty_AudioUnitMIDIProtocol = 64,
  kAudioUnitProperty_HostMIDIProtocol = 65,
  kAudioUnitProperty_MIDIOutputBufferSizeHint = 66,

  /* Present on macOS only. */
  kAudioUnitProperty_FastDispatch = 5,
  kAudioUnitProperty_SetExternalBuffer = 15,
  kAudioUnitProperty_GetUIComponentList = 18,
  kAudioUnitProperty_CocoaUI = 31,
  kAudioUnitProperty_IconLocation = 39,
  kAudioUnitProperty_AUHostIdentifier = 46,

  kAudioUnitProperty_MIDIOutputCallbackInfo = 47,
  kAudioUnitProperty_MIDIOutputCallback = 48,

  kAudioUnitProperty_AllParameterMIDIMappings = 41,
  kAudioUnitProperty_AddParameterMIDIMapping = 42,
  kAudioUnitProperty_RemoveParameterMIDIMapping = 43,
  kAudioUnitProperty_HotMapParameterMIDIMapping = 44
};

/* Deprecated IDs and aliases. */
CF_ENUM(AudioUnitPropertyID) {
  kAudioUnitProperty_SRCAlgorithm = 9,
  kAudioUnitProperty_MIDIControlMapping = 17,
  kAudioUnitProperty_CurrentPreset = 28,
  kAudioUnitProperty_ParameterValueName = kAudioUnitProperty_ParameterStringFromValue,
  kAudioUnitProperty_BusCount = kAudioUnitProperty_ElementCount
};

/* Keys of the class-info dictionary. */
#define kAUPresetVersionKey "version"
#define kAUPresetTypeKey "type"
#define kAUPresetSubtypeKey "subtype"
#define kAUPresetManufacturerKey "manufacturer"
#define kAUPresetDataKey "data"
#define kAUPresetNameKey "name"
#define kAUPresetNumberKey "preset-number"
#define kAUPresetRenderQualityKey "render-quality"
#define kAUPresetCPULoadKey "cpu-load"
#define kAUPresetElementNameKey "element-name"
#define kAUPresetExternalFileRefs "file-references"
#define kAUPresetPartKey "part"

enum {
  kRenderQuality_Max = 127,
  kRenderQuality_High = 96,
  kRenderQuality_Medium = 64,
  kRenderQuality_Low = 32,
  kRenderQuality_Min = 0
};

/* Property records. */
typedef struct AURenderCallbackStruct {
  AURenderCallback inputProc;
  void *inputProcRefCon;
} AURenderCallbackStruct;

typedef struct AudioUnitConnection {
  AudioUnit sourceAudioUnit;
  UInt32 sourceOutputNumber;
  UInt32 destInputNumber;
} AudioUnitConnection;

/* Negative counts mean "any": {-1,-1} the same count in and out, {-1,-2} any count each side;
   below -2 the total over all buses of that scope; 0 no buses on that side. */
typedef struct AUChannelInfo {
  SInt16 inChannels;
  SInt16 outChannels;
} AUChannelInfo;

/* presetNumber < 0: user preset; >= 0: factory preset index. */
typedef struct AUPreset {
  SInt32 presetNumber;
  CFStringRef presetName;
} AUPreset;

TOVRASDK_STATIC_ASSERT(sizeof(AURenderCallbackStruct) == 16, "AURenderCallbackStruct is 16 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitConnection) == 16, "AudioUnitConnection is 16 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitConnection, destInputNumber) == 12, "destInputNumber at 12");
TOVRASDK_STATIC_ASSERT(sizeof(AUChannelInfo) == 4, "AUChannelInfo is 4 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AUPreset) == 16, "AUPreset is 16 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AUPreset, presetName) == 8, "presetName at 8");

typedef OSStatus (*HostCallback_GetBeatAndTempo)(void *inHostUserData, Float64 *outCurrentBeat,
                                                 Float64 *outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void *inHostUserData,
                                                        UInt32 *outDeltaSampleOffsetToNextBeat,
                                                        Float32 *outTimeSig_Numerator,
                                                        UInt32 *outTimeSig_Denominator,
                                                        Float64 *outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void *inHostUserData, Boolean *outIsPlaying,
                                                   Boolean *outTransportStateChanged,
                                                   Float64 *outCurrentSampleInTimeLine,
                                                   Boolean *outIsCycling,
                                                   Float64 *outCycleStartBeat,
                                                   Float64 *outCycleEndBeat);
typedef OSStatus (*HostCallback_GetTransportState2)(void *inHostUserData, Boolean *outIsPlaying,
                                                    Boolean *outIsRecording,
                                                    Boolean *outTransportStateChanged,
                                                    Float64 *outCurrentSampleInTimeLine,
                                                    Boolean *outIsCycling,
                                                    Float64 *outCycleStartBeat,
                                                    Float64 *outCycleEndBeat);

typedef struct HostCallbackInfo {
  void *hostUserData;
  HostCallback_GetBeatAndTempo beatAndTempoProc;
  HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
  HostCallback_GetTransportState transportStateProc;
  HostCallback_GetTransportState2 transportStateProc2;
} HostCallbackInfo;

TOVRASDK_STATIC_ASSERT(sizeof(HostCallbackInfo) == 40, "HostCallbackInfo is 40 bytes");

struct MIDIPacketList;
typedef OSStatus (*AUMIDIOutputCallback)(void *userData, const AudioTimeStamp *timeStamp,
                                         UInt32 midiOutNum, const struct MIDIPacketList *pktlist);

typedef struct AUMIDIOutputCallbackStruct {
  AUMIDIOutputCallback midiOutputCallback;
  void *userData;
} AUMIDIOutputCallbackStruct;

TOVRASDK_STATIC_ASSERT(sizeof(AUMIDIOutputCallbackStruct) == 16, "AUMIDIOutputCallbackStruct is 16 bytes");

/* Variable length: 8 + 8 * N bytes hold N class names. */
typedef struct AudioUnitCocoaViewInfo {
  CFURLRef mCocoaAUViewBundleLocation;
  CFStringRef mCocoaAUViewClass[1];
} AudioUnitCocoaViewInfo;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitCocoaViewInfo) == 16, "AudioUnitCocoaViewInfo is 16 bytes with one class");

/* Same layout as NumVersion. */
typedef struct AUNumVersion {
  UInt8 nonRelRev;
  UInt8 stage;
  UInt8 minorAndBugRev;
  UInt8 majorRev;
} AUNumVersion;

typedef struct AUHostIdentifier {
  CFStringRef hostName;
  AUNumVersion hostVersion;
} AUHostIdentifier;

typedef struct AUHostVersionIdentifier {
  CFStringRef hostName;
  UInt32 hostVersion;
} AUHostVersionIdentifier;

TOVRASDK_STATIC_ASSERT(sizeof(AUNumVersion) == 4, "AUNumVersion is 4 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AUHostIdentifier) == 16, "AUHostIdentifier is 16 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AUHostVersionIdentifier) == 16, "AUHostVersionIdentifier is 16 bytes");

/* Parameters. */
typedef CF_ENUM(UInt32, AudioUnitParameterUnit) {
  kAudioUnitParameterUnit_Generic = 0,
  kAudioUnitParameterUnit_Indexed = 1,
  kAudioUnitParameterUnit_Boolean = 2,
  kAudioUnitParameterUnit_Percent = 3,
  kAudioUnitParameterUnit_Seconds = 4,
  kAudioUnitParameterUnit_SampleFrames = 5,
  kAudioUnitParameterUnit_Phase = 6,
  kAudioUnitParameterUnit_Rate = 7,
  kAudioUnitParameterUnit_Hertz = 8,
  kAudioUnitParameterUnit_Cents = 9,
  kAudioUnitParameterUnit_RelativeSemiTones = 10,
  kAudioUnitParameterUnit_MIDINoteNumber = 11,
  kAudioUnitParameterUnit_MIDIController = 12,
  kAudioUnitParameterUnit_Decibels = 13,
  kAudioUnitParameterUnit_LinearGain = 14,
  kAudioUnitParameterUnit_Degrees = 15,
  kAudioUnitParameterUnit_EqualPowerCrossfade = 16,
  kAudioUnitParameterUnit_MixerFaderCurve1 = 17,
  kAudioUnitParameterUnit_Pan = 18,
  kAudioUnitParameterUnit_Meters = 19,
  kAudioUnitParameterUnit_AbsoluteCents = 20,
  kAudioUnitParameterUnit_Octaves = 21,
  kAudioUnitParameterUnit_BPM = 22,
  kAudioUnitParameterUnit_Beats = 23,
  kAudioUnitParameterUnit_Milliseconds = 24,
  kAudioUnitParameterUnit_Ratio = 25,
  kAudioUnitParameterUnit_CustomUnit = 26,
  kAudioUnitParameterUnit_MIDI2Controller = 27
};

typedef CF_OPTIONS(UInt32, AudioUnitParameterOptions) {
  kAudioUnitParameterFlag_CFNameRelease = (1UL << 4),
  kAudioUnitParameterFlag_OmitFromPresets = (1UL << 13),
  kAudioUnitParameterFlag_PlotHistory = (1UL << 14),
  kAudioUnitParameterFlag_MeterReadOnly = (1UL << 15),
  kAudioUnitParameterFlag_DisplayMask = (7UL << 16) | (1UL << 22),
  kAudioUnitParameterFlag_DisplaySquareRoot = (1UL << 16),
  kAudioUnitParameterFlag_DisplaySquared = (2UL << 16),
  kAudioUnitParameterFlag_DisplayCubed = (3UL << 16),
  kAudioUnitParameterFlag_DisplayCubeRoot = (4UL << 16),
  kAudioUnitParameterFlag_DisplayExponential = (5UL << 16),
  kAudioUnitParameterFlag_HasClump = (1UL << 20),
  kAudioUnitParameterFlag_ValuesHaveStrings = (1UL << 21),
  kAudioUnitParameterFlag_DisplayLogarithmic = (1UL << 22),
  kAudioUnitParameterFlag_IsHighResolution = (1UL << 23),
  kAudioUnitParameterFlag_NonRealTime = (1UL << 24),
  kAudioUnitParameterFlag_CanRamp = (1UL << 25),
  kAudioUnitParameterFlag_ExpertMode = (1UL << 26),
  kAudioUnitParameterFlag_HasCFNameString = (1UL << 27),
  kAudioUnitParameterFlag_IsGlobalMeta = (1UL << 28),
  kAudioUnitParameterFlag_IsElementMeta = (1UL << 29),
  kAudioUnitParameterFlag_IsReadable = (1UL << 30),
  kAudioUnitParameterFlag_IsWritable = (1UL << 31)
};

/* Deprecated. */
enum {
  kAudioUnitParameterFlag_Global = (1L << 0),
  kAudioUnitParameterFlag_Input = (1L << 1),
  kAudioUnitParameterFlag_Output = (1L << 2),
  kAudioUnitParameterFlag_Group = (1L << 3)
};
enum { kAudioUnitParameterFlag_HasName = kAudioUnitParameterFlag_ValuesHaveStrings };

CF_INLINE AudioUnitParameterOptions GetAudioUnitParameterDisplayType(AudioUnitParameterOptions flags) {
  return flags & kAudioUnitParameterFlag_DisplayMask;
}

CF_INLINE AudioUnitParameterOptions SetAudioUnitParameterDisplayType(AudioUnitParameterOptions flags,
                                                                     AudioUnitParameterOptions displayType) {
  return (flags & ~kAudioUnitParameterFlag_DisplayMask) | displayType;
}

/* name is unused (zeros); unitName only with CustomUnit, clumpID only with HasClump, cfNameString
   only with HasCFNameString. With CFNameRelease the host releases cfNameString and unitName. */
typedef struct AudioUnitParameterInfo {
  char name[52];
  CFStringRef unitName;
  UInt32 clumpID;
  CFStringRef cfNameString;
  AudioUnitParameterUnit unit;
  AudioUnitParameterValue minValue;
  AudioUnitParameterValue maxValue;
  AudioUnitParameterValue defaultValue;
  AudioUnitParameterOptions flags;
} AudioUnitParameterInfo;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameterInfo) == 104, "AudioUnitParameterInfo is 104 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterInfo, unitName) == 56, "unitName at 56");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterInfo, clumpID) == 64, "clumpID at 64");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterInfo, cfNameString) == 72, "cfNameString at 72");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterInfo, unit) == 80, "unit at 80");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterInfo, flags) == 96, "flags at 96");

enum { kAudioUnitClumpID_System = 0 };
enum { kAudioUnitParameterName_Full = -1 };

/* The host releases outName. */
typedef struct AudioUnitParameterNameInfo {
  AudioUnitParameterID inID;
  SInt32 inDesiredLength;
  CFStringRef outName;
} AudioUnitParameterIDName;

/* inValue NULL: the parameter's current value. */
typedef struct AudioUnitParameterStringFromValue {
  AudioUnitParameterID inParamID;
  const AudioUnitParameterValue *inValue;
  CFStringRef outString;
} AudioUnitParameterStringFromValue;

typedef struct AudioUnitParameterValueFromString {
  AudioUnitParameterID inParamID;
  CFStringRef inString;
  AudioUnitParameterValue outValue;
} AudioUnitParameterValueFromString;

typedef struct AUDependentParameter {
  AudioUnitScope mScope;
  AudioUnitParameterID mParameterID;
} AUDependentParameter;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameterIDName) == 16, "AudioUnitParameterIDName is 16 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameterStringFromValue) == 24, "AudioUnitParameterStringFromValue is 24 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterStringFromValue, outString) == 16, "outString at 16");
TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameterValueFromString) == 24, "AudioUnitParameterValueFromString is 24 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterValueFromString, outValue) == 16, "outValue at 16");
TOVRASDK_STATIC_ASSERT(sizeof(AUDependentParameter) == 8, "AUDependentParameter is 8 bytes");

CF_EXTERN_C_END

#endif /* AudioToolbox_AudioUnitProperties_h */
