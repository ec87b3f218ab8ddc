/* AudioUnitUtilities.h: parameter and event listeners, AUParameterSet and the notify calls (Linux stand-in). */
#ifndef AudioToolbox_AudioUnitUtilities_h
#define AudioToolbox_AudioUnitUtilities_h

#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

/* Delivery in this stand-in: a notification is delivered synchronously, on the thread that sends it
   (AUEventListenerNotify, AUParameterListenerNotify, AUParameterSet), to every listener registered
   for a matching event; the run loop, mode, notification interval and value granularity given at
   creation are accepted and not used. A listener is not called while another thread adds, removes
   or disposes listeners, and once AUListenerDispose has returned it is never called again. A
   listener may add or remove registrations, or dispose listeners, from inside its call-back. */

typedef CF_ENUM(UInt32, AudioUnitEventType) {
  kAudioUnitEvent_ParameterValueChange = 0,
  kAudioUnitEvent_BeginParameterChangeGesture = 1,
  kAudioUnitEvent_EndParameterChangeGesture = 2,
  kAudioUnitEvent_PropertyChange = 3
};

typedef struct AudioUnitEvent {
  AudioUnitEventType mEventType;
  union {
    AudioUnitParameter mParameter; /* value change, begin and end gesture */
    AudioUnitProperty mProperty;   /* property change */
  } mArgument;
} AudioUnitEvent;

TOVRASDK_STATIC_ASSERT(sizeof(AudioUnitEvent) == 32, "AudioUnitEvent is 32 bytes");
TOVRASDK_STATIC_ASSERT(offsetof(AudioUnitEvent, mArgument) == 8, "mArgument at 8");

typedef struct AUListenerBase *AUParameterListenerRef;
typedef AUParameterListenerRef AUEventListenerRef;

/* Registering for this parameter ID matches every parameter of the unit, scope and element. */
CF_ENUM(AudioUnitParameterID) {
  kAUParameterListener_AnyParameter = 0xFFFFFFFFU
};

typedef void (*AUParameterListenerProc)(void *inRefCon, void *inObject,
                                        const AudioUnitParameter *inParameter,
                                        AudioUnitParameterValue inValue);

/* inParameterValue: for a value change the parameter's value read with AudioUnitGetParameter at
   delivery (0 when that fails); 0 for other events. inEventHostTime is 0. */
typedef void (*AUEventListenerProc)(void *inUserData, void *inObject, const AudioUnitEvent *inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);

extern TOVRASDK_EXPORT OSStatus AUListenerCreate(AUParameterListenerProc inProc, void *inUserData,
                                                 CFRunLoopRef inRunLoop, CFStringRef inRunLoopMode,
                                                 Float32 inNotificationInterval,
                                                 AUParameterListenerRef *outListener);
extern TOVRASDK_EXPORT OSStatus AUListenerDispose(AUParameterListenerRef inListener);
extern TOVRASDK_EXPORT OSStatus AUListenerAddParameter(AUParameterListenerRef inListener,
                                                       void *inObject,
                                                       const AudioUnitParameter *inParameter);
extern TOVRASDK_EXPORT OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener,
                                                          void *inObject,
                                                          const AudioUnitParameter *inParameter);

extern TOVRASDK_EXPORT OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void *inUserData,
                                                      CFRunLoopRef inRunLoop,
                                                      CFStringRef inRunLoopMode,
                                                      Float32 inNotificationInterval,
                                                      Float32 inValueChangeGranularity,
                                                      AUEventListenerRef *outListener);
extern TOVRASDK_EXPORT OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener,
                                                            void *inObject,
                                                            const AudioUnitEvent *inEvent);
extern TOVRASDK_EXPORT OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener,
                                                               void *inObject,
                                                               const AudioUnitEvent *inEvent);

/* Sets the value with AudioUnitSetParameter and, when that succeeds, notifies the listeners. */
extern TOVRASDK_EXPORT OSStatus AUParameterSet(AUParameterListenerRef inSendingListener,
                                               void *inSendingObject,
                                               const AudioUnitParameter *inParameter,
                                               AudioUnitParameterValue inValue,
                                               UInt32 inBufferOffsetInFrames);
/* A value-change notification for the parameter. */
extern TOVRASDK_EXPORT OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener,
                                                          void *inSendingObject,
                                                          const AudioUnitParameter *inParameter);
/* The sending listener (with the sending object, when one is given) is not called back. */
extern TOVRASDK_EXPORT OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener,
                                                      void *inSendingObject,
                                                      const AudioUnitEvent *inEvent);

CF_EXTERN_C_END

#endif /* AudioToolbox_AudioUnitUtilities_h */
