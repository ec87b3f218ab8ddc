/* CFRunLoop.h: run loops with their timers and sources (Linux stand-in). */
#ifndef __COREFOUNDATION_CFRUNLOOP__
#define __COREFOUNDATION_CFRUNLOOP__

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDate.h>

CF_EXTERN_C_BEGIN

/* One loop per thread, as on macOS. The main thread's loop (the thread that loaded the library)
   is the one the host and every plug-in module share: the host pumps it, plug-ins schedule their
   timers and descriptors on it. Any thread may add, remove and invalidate timers and sources of
   any loop; a loop runs on its own thread only, and calls out with no lock held, so call-outs may
   add, remove and invalidate anything, their own timer or source included. The manual clock of
   <TovraSdk/RunLoopClock.h> is the main loop's alone; other loops run on the system clock. */
typedef CFStringRef CFRunLoopMode;
typedef struct __CFRunLoop *CFRunLoopRef;
typedef struct __CFRunLoopSource *CFRunLoopSourceRef;
typedef struct __CFRunLoopTimer *CFRunLoopTimerRef;

typedef CF_ENUM(SInt32, CFRunLoopRunResult) {
  kCFRunLoopRunFinished = 1,
  kCFRunLoopRunStopped = 2,
  kCFRunLoopRunTimedOut = 3,
  kCFRunLoopRunHandledSource = 4
};

/* The default mode is the only common mode: what is scheduled in kCFRunLoopCommonModes runs when
   the loop runs in kCFRunLoopDefaultMode. Other modes are matched by their text. */
CF_EXPORT const CFRunLoopMode kCFRunLoopDefaultMode;
CF_EXPORT const CFRunLoopMode kCFRunLoopCommonModes;

CF_EXPORT CFTypeID CFRunLoopGetTypeID(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetCurrent(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetMain(void);

/* Runs the current thread's loop in the default mode until it is stopped or has nothing left. */
CF_EXPORT void CFRunLoopRun(void);
/* Runs the current thread's loop in mode for at most seconds: each pass handles the ready
   descriptors, then fires the timers that are due (each once; a timer that fell behind skips the
   ticks it missed). Returns kCFRunLoopRunFinished at once when nothing is scheduled in the mode
   (or when the mode is kCFRunLoopCommonModes, which cannot be run), kCFRunLoopRunStopped after
   CFRunLoopStop (also one requested while the loop was not running), kCFRunLoopRunHandledSource
   after a source's call-out when returnAfterSourceHandled (timers are not sources), and
   kCFRunLoopRunTimedOut when the time is up; seconds <= 0 makes one pass without waiting.
   On a manual clock the loop does not wait for timers: it moves the clock to each fire date
   within the time; it waits (in real time) only for descriptors, when no timer is due before the
   end, and moves the clock to the end when none became ready. */
CF_EXPORT CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                                Boolean returnAfterSourceHandled);
/* Makes the innermost run of rl return kCFRunLoopRunStopped; any thread. */
CF_EXPORT void CFRunLoopStop(CFRunLoopRef rl);
/* Ends the current wait of rl, so that it looks again at what is scheduled; any thread. */
CF_EXPORT void CFRunLoopWakeUp(CFRunLoopRef rl);
/* A loop retains each timer and source while it is scheduled in at least one mode, and releases
   it when it is removed from its last mode or invalidated. A timer or source belongs to one loop
   at a time: adding it to another loop is ignored. */
CF_EXPORT Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
CF_EXPORT Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
/* The earliest fire date of the timers scheduled in mode, 0 when there is none. */
CF_EXPORT CFAbsoluteTime CFRunLoopGetNextTimerFireDate(CFRunLoopRef rl, CFRunLoopMode mode);

/* Sources: the stand-in makes them only for file descriptors (CFFileDescriptor.h). */
CF_EXPORT CFTypeID CFRunLoopSourceGetTypeID(void);
CF_EXPORT CFIndex CFRunLoopSourceGetOrder(CFRunLoopSourceRef source);
CF_EXPORT void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source);
CF_EXPORT Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source);

typedef struct {
  CFIndex version;
  void *info;
  const void *(*retain)(const void *info);
  void (*release)(const void *info);
  CFStringRef (*copyDescription)(const void *info);
} CFRunLoopTimerContext;

typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void *info);

CF_EXPORT CFTypeID CFRunLoopTimerGetTypeID(void);
/* A timer first due at fireDate, then every interval seconds; an interval <= 0 fires once and then
   invalidates the timer. The context is copied and its retain applied to info; info is released
   when the timer is invalidated. Intervals shorter than 0.1 ms are taken as 0.1 ms. NULL for a
   NULL call-out or a NaN date or interval. */
CF_EXPORT CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                                 CFTimeInterval interval, CFOptionFlags flags, CFIndex order,
                                                 CFRunLoopTimerCallBack callout, CFRunLoopTimerContext *context);
CF_EXPORT CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);
CF_EXPORT void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate);
CF_EXPORT CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer);
CF_EXPORT Boolean CFRunLoopTimerDoesRepeat(CFRunLoopTimerRef timer);
CF_EXPORT CFIndex CFRunLoopTimerGetOrder(CFRunLoopTimerRef timer);
/* The timer never fires again, is removed from its loop and releases its info. A call-out that is
   running finishes (its info stays alive until it returns). */
CF_EXPORT void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
CF_EXPORT Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
CF_EXPORT void CFRunLoopTimerGetContext(CFRunLoopTimerRef timer, CFRunLoopTimerContext *context);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFRUNLOOP__ */
