/* CFString.h: immutable reference-counted strings, held as UTF-8 by the Linux stand-in. */
#ifndef __COREFOUNDATION_CFSTRING__
#define __COREFOUNDATION_CFSTRING__

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>

CF_EXTERN_C_BEGIN

typedef UInt32 CFStringEncoding;

typedef CF_ENUM(CFStringEncoding, CFStringBuiltInEncodings) {
  kCFStringEncodingMacRoman = 0,
  kCFStringEncodingWindowsLatin1 = 0x0500,
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingNextStepLatin = 0x0B01,
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingUnicode = 0x0100,
  kCFStringEncodingUTF8 = 0x08000100,
  kCFStringEncodingNonLossyASCII = 0x0BFF,
  kCFStringEncodingUTF16 = 0x0100
};

static const CFStringEncoding kCFStringEncodingInvalidId = 0xFFFFFFFFU;

typedef CF_OPTIONS(CFOptionFlags, CFStringCompareFlags) {
  kCFCompareCaseInsensitive = 1
};

/* Layout of a string object. Public only so that CFSTR can build immortal constants at compile
   time; nothing outside the runtime reads the fields. */
struct __CFRuntimeBase {
  CFTypeID _typeID;
  long _retainCount; /* -1: immortal, retain and release do nothing */
};
struct __CFString {
  struct __CFRuntimeBase _base;
  const char *_bytes; /* UTF-8, NUL-terminated */
  CFIndex _byteLength;
};

/* The type ID every string object carries; CFStringGetTypeID() returns the same value. */
#define __kCFStringTypeIDValue 7UL

#ifdef __cplusplus
/* A compile-time constant string object per use, never freed, safe on any thread (no lock, no
   allocation). Equal texts compare equal with CFEqual but need not be the same object. */
#define CFSTR(cStr)                                                                                \
  ([]() noexcept -> CFStringRef {                                                                  \
    static constexpr struct __CFString __cfstr_const = {{__kCFStringTypeIDValue, -1}, "" cStr "",  \
                                                        (CFIndex)(sizeof("" cStr "") - 1)};        \
    return &__cfstr_const;                                                                         \
  }())
#else
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
#endif
/* The C form of CFSTR: interns the text (same text, same object) for the life of the process. */
CF_EXPORT CFStringRef __CFStringMakeConstantString(const char *cStr);

CF_EXPORT CFTypeID CFStringGetTypeID(void);

/* NULL for a NULL text, invalid UTF-8, or (for ASCII/MacRoman) bytes above 127. UTF-8 and ASCII are
   converted exactly; MacRoman is accepted only for its ASCII subset, ISO Latin-1 is widened. */
CF_EXPORT CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                                CFStringEncoding encoding);
CF_EXPORT CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8 *bytes,
                                              CFIndex numBytes, CFStringEncoding encoding,
                                              Boolean isExternalRepresentation);
CF_EXPORT CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);
/* printf-style formatting with %@ for CF objects (their description; a string's own text). */
CF_EXPORT CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                               CFStringRef format, ...);
CF_EXPORT CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc,
                                                           CFDictionaryRef formatOptions,
                                                           CFStringRef format, va_list arguments);

/* Length in UTF-16 code units, as Apple counts it. */
CF_EXPORT CFIndex CFStringGetLength(CFStringRef theString);
/* False (and an empty buffer when bufferSize > 0) when the text with its terminator does not fit
   or cannot be expressed in the encoding. */
CF_EXPORT Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize,
                                     CFStringEncoding encoding);
CF_EXPORT const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
CF_EXPORT CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
CF_EXPORT CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                             CFStringCompareFlags compareOptions);
CF_EXPORT Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
CF_EXPORT Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);
CF_EXPORT SInt32 CFStringGetIntValue(CFStringRef str);
CF_EXPORT double CFStringGetDoubleValue(CFStringRef str);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFSTRING__ */
