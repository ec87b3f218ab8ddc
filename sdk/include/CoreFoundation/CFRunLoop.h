/* CFRunLoop.h: run-loop handles, so that listener APIs keep Apple's signatures (Linux stand-in). */
#ifndef __COREFOUNDATION_CFRUNLOOP__
#define __COREFOUNDATION_CFRUNLOOP__

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

/* The stand-in has no run loop of its own (the project's run loop is plug/RunLoop.h): these
   handles only identify a thread's loop; AU event listeners deliver synchronously whatever loop
   they were given. */
typedef struct __CFRunLoop *CFRunLoopRef;

CF_EXPORT const CFStringRef kCFRunLoopDefaultMode;
CF_EXPORT const CFStringRef kCFRunLoopCommonModes;

CF_EXPORT CFTypeID CFRunLoopGetTypeID(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetCurrent(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetMain(void);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFRUNLOOP__ */
