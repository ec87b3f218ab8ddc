/* AUComponent.h: Audio Unit types, selectors, errors, render flags and the AudioUnit* calls (Linux stand-in). */
#ifndef AudioToolbox_AUComponent_h
#define AudioToolbox_AUComponent_h

#include <AudioToolbox/AudioComponent.h>
#include <CoreAudioTypes/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

typedef AudioComponentInstance AudioUnit;

CF_ENUM(UInt32) {
  kAudioUnitType_Output = 0x61756F75,          /* 'auou' */
  kAudioUnitType_MusicDevice = 0x61756D75,     /* 'aumu' */
  kAudioUnitType_MusicEffect = 0x61756D66,     /* 'aumf' */
  kAudioUnitType_FormatConverter = 0x61756663, /* 'aufc' */
  kAudioUnitType_Effect = 0x61756678,          /* 'aufx' */
  kAudioUnitType_Mixer = 0x61756D78,           /* 'aumx' */
  kAudioUnitType_Panner = 0x6175706E,          /* 'aupn' */
  kAudioUnitType_Generator = 0x6175676E,       /* 'augn' */
  kAudioUnitType_OfflineEffect = 0x61756F6C,   /* 'auol' */
  kAudioUnitType_MIDIProcessor = 0x61756D69    /* 'aumi' */
};

CF_ENUM(UInt32) {
  kAudioUnitManufacturer_Apple = 0x6170706C /* 'appl' */
};

typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;

typedef CF_ENUM(UInt32, AUParameterEventType) {
  kParameterEvent_Immediate = 1,
  kParameterEvent_Ramped = 2
};

struct AudioUnitParameterEvent {
  AudioUnitScope scope;
  AudioUnitElement element;
  AudioUnitParameterID parameter;
  AUParameterEventType eventType;
  union {
    struct {
      SInt32 startBufferOffset;
      UInt32 durationInFrames;
      AudioUnitParameterValue startValue;
      AudioUnitParameterValue endValue;
    } ramp;
    struct {
      UInt32 bufferOffset;
      AudioUnitParameterValue value;
    } immediate;
  } eventValues;
};
typedef struct AudioUnitParameterEvent AudioUnitParameterEvent;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameterEvent) == 32, "AudioUnitParameterEvent is 32 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameterEvent, eventValues) == 16, "eventValues at 16");

struct AudioUnitParameter {
  AudioUnit mAudioUnit;
  AudioUnitParameterID mParameterID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};
typedef struct AudioUnitParameter AudioUnitParameter;

struct AudioUnitProperty {
  AudioUnit mAudioUnit;
  AudioUnitPropertyID mPropertyID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};
typedef struct AudioUnitProperty AudioUnitProperty;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitParameter) == 24, "AudioUnitParameter is 24 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitParameter, mElement) == 16, "AudioUnitParameter.mElement at 16");
TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitProperty) == 24, "AudioUnitProperty is 24 bytes");

typedef CF_OPTIONS(UInt32, AudioUnitRenderActionFlags) {
  kAudioUnitRenderAction_PreRender = (1U << 2),
  kAudioUnitRenderAction_PostRender = (1U << 3),
  kAudioUnitRenderAction_OutputIsSilence = (1U << 4),
  kAudioOfflineUnitRenderAction_Preflight = (1U << 5),
  kAudioOfflineUnitRenderAction_Render = (1U << 6),
  kAudioOfflineUnitRenderAction_Complete = (1U << 7),
  kAudioUnitRenderAction_PostRenderError = (1U << 8),
  kAudioUnitRenderAction_DoNotCheckRenderArgs = (1U << 9)
};

typedef OSStatus (*AURenderCallback)(void *inRefCon, AudioUnitRenderActionFlags *ioActionFlags,
                                     const AudioTimeStamp *inTimeStamp, UInt32 inBusNumber,
                                     UInt32 inNumberFrames, AudioBufferList *ioData);

typedef void (*AudioUnitPropertyListenerProc)(void *inRefCon, AudioUnit inUnit,
                                              AudioUnitPropertyID inID, AudioUnitScope inScope,
                                              AudioUnitElement inElement);

CF_ENUM(OSStatus) {
  kAudioUnitErr_InvalidProperty = -10879,
  kAudioUnitErr_InvalidParameter = -10878,
  kAudioUnitErr_InvalidElement = -10877,
  kAudioUnitErr_NoConnection = -10876,
  kAudioUnitErr_FailedInitialization = -10875,
  kAudioUnitErr_TooManyFramesToProcess = -10874,
  kAudioUnitErr_InvalidFile = -10871,
  kAudioUnitErr_UnknownFileType = -10870,
  kAudioUnitErr_FileNotSpecified = -10869,
  kAudioUnitErr_FormatNotSupported = -10868,
  kAudioUnitErr_Uninitialized = -10867,
  kAudioUnitErr_InvalidScope = -10866,
  kAudioUnitErr_PropertyNotWritable = -10865,
  kAudioUnitErr_CannotDoInCurrentContext = -10863,
  kAudioUnitErr_InvalidPropertyValue = -10851,
  kAudioUnitErr_PropertyNotInUse = -10850,
  kAudioUnitErr_Initialized = -10849,
  kAudioUnitErr_InvalidOfflineRender = -10848,
  kAudioUnitErr_Unauthorized = -10847,
  kAudioUnitErr_MIDIOutputBufferFull = -66753,
  kAudioComponentErr_InstanceTimedOut = -66754,
  kAudioComponentErr_InstanceInvalidated = -66749,
  kAudioUnitErr_RenderTimeout = -66745,
  kAudioUnitErr_ExtensionNotFound = -66744,
  kAudioUnitErr_InvalidParameterValue = -66743,
  kAudioUnitErr_InvalidFilePath = -66742,
  kAudioUnitErr_MissingKey = -66741,
  kAudioUnitErr_ComponentManagerNotSupported = -66740
};

/* Deprecated. */
CF_ENUM(OSStatus) {
  kAudioUnitErr_IllegalInstrument = -10873,
  kAudioUnitErr_InstrumentTypeNotFound = -10872
};

enum {
  kAudioUnitRange = 0x0000,
  kAudioUnitInitializeSelect = 0x0001,
  kAudioUnitUninitializeSelect = 0x0002,
  kAudioUnitGetPropertyInfoSelect = 0x0003,
  kAudioUnitGetPropertySelect = 0x0004,
  kAudioUnitSetPropertySelect = 0x0005,
  kAudioUnitAddPropertyListenerSelect = 0x000A,
  kAudioUnitRemovePropertyListenerSelect = 0x000B,
  kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,
  kAudioUnitAddRenderNotifySelect = 0x000F,
  kAudioUnitRemoveRenderNotifySelect = 0x0010,
  kAudioUnitGetParameterSelect = 0x0006,
  kAudioUnitSetParameterSelect = 0x0007,
  kAudioUnitScheduleParametersSelect = 0x0011,
  kAudioUnitRenderSelect = 0x000E,
  kAudioUnitResetSelect = 0x0009,
  kAudioUnitComplexRenderSelect = 0x0013,
  kAudioUnitProcessSelect = 0x0014,
  kAudioUnitProcessMultipleSelect = 0x0015
};

/* The calls a host makes. Each looks up the selector through the instance's Lookup and calls the
   method with the instance as self; a NULL unit gives badComponentInstance (-2147450879) and a
   selector the unit does not answer badComponentSelector (-2147450878). They add nothing else:
   no lock, no allocation, so AudioUnitRender is as real-time safe as the unit's Render. */
extern TOVRASDK_EXPORT OSStatus AudioUnitInitialize(AudioUnit inUnit);
extern TOVRASDK_EXPORT OSStatus AudioUnitUninitialize(AudioUnit inUnit);
extern TOVRASDK_EXPORT OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                         AudioUnitScope inScope,
                                                         AudioUnitElement inElement,
                                                         UInt32 *outDataSize, Boolean *outWritable);
extern TOVRASDK_EXPORT OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitScope inScope,
                                                     AudioUnitElement inElement, void *outData,
                                                     UInt32 *ioDataSize);
extern TOVRASDK_EXPORT OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitScope inScope,
                                                     AudioUnitElement inElement,
                                                     const void *inData, UInt32 inDataSize);
extern TOVRASDK_EXPORT OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit,
                                                             AudioUnitPropertyID inID,
                                                             AudioUnitPropertyListenerProc inProc,
                                                             void *inProcUserData);
extern TOVRASDK_EXPORT OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit,
                                                                AudioUnitPropertyID inID,
                                                                AudioUnitPropertyListenerProc inProc);
extern TOVRASDK_EXPORT OSStatus AudioUnitRemovePropertyListenerWithUserData(
    AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitPropertyListenerProc inProc,
    void *inProcUserData);
extern TOVRASDK_EXPORT OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                                         void *inProcUserData);
extern TOVRASDK_EXPORT OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit,
                                                            AURenderCallback inProc,
                                                            void *inProcUserData);
extern TOVRASDK_EXPORT OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                                      AudioUnitScope inScope,
                                                      AudioUnitElement inElement,
                                                      AudioUnitParameterValue *outValue);
extern TOVRASDK_EXPORT OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID,
                                                      AudioUnitScope inScope,
                                                      AudioUnitElement inElement,
                                                      AudioUnitParameterValue inValue,
                                                      UInt32 inBufferOffsetInFrames);
extern TOVRASDK_EXPORT OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                                            const AudioUnitParameterEvent *inParameterEvent,
                                                            UInt32 inNumParamEvents);
extern TOVRASDK_EXPORT OSStatus AudioUnitRender(AudioUnit inUnit,
                                                AudioUnitRenderActionFlags *ioActionFlags,
                                                const AudioTimeStamp *inTimeStamp,
                                                UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                                                AudioBufferList *ioData);
extern TOVRASDK_EXPORT OSStatus AudioUnitProcess(AudioUnit inUnit,
                                                 AudioUnitRenderActionFlags *ioActionFlags,
                                                 const AudioTimeStamp *inTimeStamp,
                                                 UInt32 inNumberFrames, AudioBufferList *ioData);
extern TOVRASDK_EXPORT OSStatus AudioUnitProcessMultiple(
    AudioUnit inUnit, AudioUnitRenderActionFlags *ioActionFlags, const AudioTimeStamp *inTimeStamp,
    UInt32 inNumberFrames, UInt32 inNumberInputBufferLists,
    const AudioBufferList **inInputBufferLists, UInt32 inNumberOutputBufferLists,
    AudioBufferList **ioOutputBufferLists);
extern TOVRASDK_EXPORT OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope,
                                               AudioUnitElement inElement);

/* Prototypes of the methods Lookup returns, one per selector; the first argument is self. */
typedef OSStatus (*AudioUnitInitializeProc)(void *self);
typedef OSStatus (*AudioUnitUninitializeProc)(void *self);
typedef OSStatus (*AudioUnitGetPropertyInfoProc)(void *self, AudioUnitPropertyID prop,
                                                 AudioUnitScope scope, AudioUnitElement elem,
                                                 UInt32 *outDataSize, Boolean *outWritable);
typedef OSStatus (*AudioUnitGetPropertyProc)(void *self, AudioUnitPropertyID inID,
                                             AudioUnitScope inScope, AudioUnitElement inElement,
                                             void *outData, UInt32 *ioDataSize);
typedef OSStatus (*AudioUnitSetPropertyProc)(void *self, AudioUnitPropertyID inID,
                                             AudioUnitScope inScope, AudioUnitElement inElement,
                                             const void *inData, UInt32 inDataSize);
typedef OSStatus (*AudioUnitAddPropertyListenerProc)(void *self, AudioUnitPropertyID prop,
                                                     AudioUnitPropertyListenerProc proc,
                                                     void *userData);
typedef OSStatus (*AudioUnitRemovePropertyListenerProc)(void *self, AudioUnitPropertyID prop,
                                                        AudioUnitPropertyListenerProc proc);
typedef OSStatus (*AudioUnitRemovePropertyListenerWithUserDataProc)(
    void *self, AudioUnitPropertyID prop, AudioUnitPropertyListenerProc proc, void *userData);
typedef OSStatus (*AudioUnitAddRenderNotifyProc)(void *self, AURenderCallback proc,
                                                 void *userData);
typedef OSStatus (*AudioUnitRemoveRenderNotifyProc)(void *self, AURenderCallback proc,
                                                    void *userData);
typedef OSStatus (*AudioUnitGetParameterProc)(void *self, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue *outValue);
typedef OSStatus (*AudioUnitSetParameterProc)(void *self, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue inValue,
                                              UInt32 inBufferOffsetInFrames);
typedef OSStatus (*AudioUnitScheduleParametersProc)(void *self,
                                                    const AudioUnitParameterEvent *events,
                                                    UInt32 numEvents);
typedef OSStatus (*AudioUnitRenderProc)(void *self, AudioUnitRenderActionFlags *ioActionFlags,
                                        const AudioTimeStamp *inTimeStamp,
                                        UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                                        AudioBufferList *ioData);
typedef OSStatus (*AudioUnitComplexRenderProc)(
    void *self, AudioUnitRenderActionFlags *ioActionFlags, const AudioTimeStamp *inTimeStamp,
    UInt32 inOutputBusNumber, UInt32 inNumberOfPackets, UInt32 *outNumberOfPackets,
    AudioStreamPacketDescription *outPacketDescriptions, AudioBufferList *ioData,
    void *outMetadata, UInt32 *outMetadataByteSize);
typedef OSStatus (*AudioUnitResetProc)(void *self, AudioUnitScope inScope,
                                       AudioUnitElement inElement);
typedef OSStatus (*AudioUnitProcessProc)(void *self, AudioUnitRenderActionFlags *ioActionFlags,
                                         const AudioTimeStamp *inTimeStamp, UInt32 inNumberFrames,
                                         AudioBufferList *ioData);
typedef OSStatus (*AudioUnitProcessMultipleProc)(
    void *self, AudioUnitRenderActionFlags *ioActionFlags, const AudioTimeStamp *inTimeStamp,
    UInt32 inNumberFrames, UInt32 inNumberInputBufferLists,
    const AudioBufferList **inInputBufferLists, UInt32 inNumberOutputBufferLists,
    AudioBufferList **ioOutputBufferLists);

CF_EXTERN_C_END

#endif /* AudioToolbox_AUComponent_h */
