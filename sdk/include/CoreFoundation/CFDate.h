/* CFDate.h: time intervals, absolute time and the current time (Linux stand-in). */
#ifndef __COREFOUNDATION_CFDATE__
#define __COREFOUNDATION_CFDATE__

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef double CFTimeInterval;
/* Seconds since 2001-01-01 00:00:00 UTC. */
typedef CFTimeInterval CFAbsoluteTime;

CF_EXPORT const CFTimeInterval kCFAbsoluteTimeIntervalSince1970;
CF_EXPORT const CFTimeInterval kCFAbsoluteTimeIntervalSince1904;

/* The main run loop's clock: the machine's monotonic clock, anchored once to the wall clock, or
   the manual clock a host or test set with <TovraSdk/RunLoopClock.h>. Any thread. */
CF_EXPORT CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFDATE__ */
