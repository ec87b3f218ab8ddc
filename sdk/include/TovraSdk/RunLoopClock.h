/* RunLoopClock.h: stand-in-only control of the main run loop's clock, for tests and offline hosts. */
#ifndef TovraSdk_RunLoopClock_h
#define TovraSdk_RunLoopClock_h

#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

/* The main loop runs on the system clock until told otherwise. A manual clock stands still until
   it is advanced, so an offline host can run every timer tick up to a time deterministically,
   without sleeping, however fast it renders. CFAbsoluteTimeGetCurrent reads the manual clock
   while it is in use. Switching keeps every scheduled timer's distance to "now".
   Threads: the thread that pumps the main loop (normally the main thread); safe from any. */

/* Switches the main loop to a manual clock that reads now (seconds, as CFAbsoluteTime) until it
   is advanced; already on a manual clock, sets it to now. */
CF_EXPORT void TovraSdkRunLoopUseManualClock(CFAbsoluteTime now);
/* Back to the system clock; nothing when already there. */
CF_EXPORT void TovraSdkRunLoopUseSystemClock(void);
CF_EXPORT Boolean TovraSdkRunLoopIsManualClock(void);

/* Manual clock only: fires every tick of the main loop's timers (those scheduled in the default or
   the common modes) due at or before time, one at a time in time order (ties in the order the
   timers were scheduled), each with the clock at its fire date, then leaves the clock at time.
   A time in the past fires nothing and leaves the clock where it is; descriptors are not looked
   at. Returns the number of ticks fired; -1 on the system clock or for a NaN time. */
CF_EXPORT CFIndex TovraSdkRunLoopAdvanceTo(CFAbsoluteTime time);
/* The same, to the clock's time plus seconds. The clock counts whole microseconds: seconds are
   rounded to them, so a caller that follows audio over a long run advances by the change of its
   rounded running total rather than by each block's rounded duration (see HostedUnit::OfflinePump). */
CF_EXPORT CFIndex TovraSdkRunLoopAdvanceBy(CFTimeInterval seconds);

CF_EXTERN_C_END

#endif /* TovraSdk_RunLoopClock_h */
