/* CFData.h: reference-counted byte buffers (Linux stand-in). */
#ifndef __COREFOUNDATION_CFDATA__
#define __COREFOUNDATION_CFDATA__

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFData *CFDataRef;
typedef struct __CFData *CFMutableDataRef;

CF_EXPORT CFTypeID CFDataGetTypeID(void);

/* The bytes are copied; NULL when length is negative or bytes is NULL with a positive length. */
CF_EXPORT CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8 *bytes, CFIndex length);
CF_EXPORT CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData);
/* capacity is a hint; 0 means unlimited. */
CF_EXPORT CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
CF_EXPORT CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                   CFDataRef theData);

CF_EXPORT CFIndex CFDataGetLength(CFDataRef theData);
/* The bytes, or NULL for an empty or NULL data object. */
CF_EXPORT const UInt8 *CFDataGetBytePtr(CFDataRef theData);
CF_EXPORT UInt8 *CFDataGetMutableBytePtr(CFMutableDataRef theData);
/* Copies the part of range that lies inside the data. */
CF_EXPORT void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8 *buffer);

/* Mutation of an immutable data object is ignored; new bytes from SetLength/IncreaseLength are 0. */
CF_EXPORT void CFDataSetLength(CFMutableDataRef theData, CFIndex length);
CF_EXPORT void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength);
CF_EXPORT void CFDataAppendBytes(CFMutableDataRef theData, const UInt8 *bytes, CFIndex length);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFDATA__ */
