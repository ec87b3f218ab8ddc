/* CFURL.h: file-system URLs, enough for bundle locations (Linux stand-in). */
#ifndef __COREFOUNDATION_CFURL__
#define __COREFOUNDATION_CFURL__

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef CF_ENUM(CFIndex, CFURLPathStyle) {
  kCFURLPOSIXPathStyle = 0,
  kCFURLHFSPathStyle = 1,
  kCFURLWindowsPathStyle = 2
};

typedef const struct __CFURL *CFURLRef;

CF_EXPORT CFTypeID CFURLGetTypeID(void);

/* Only POSIX paths are understood; other styles give NULL. A directory URL's path ends in '/'. */
CF_EXPORT CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath,
                                                 CFURLPathStyle pathStyle, Boolean isDirectory);
CF_EXPORT CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator,
                                                           const UInt8 *buffer, CFIndex bufLen,
                                                           Boolean isDirectory);
/* The path without a trailing '/' (except for "/"). */
CF_EXPORT CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
/* "file://" followed by the path. */
CF_EXPORT CFStringRef CFURLGetString(CFURLRef anURL);
CF_EXPORT Boolean CFURLHasDirectoryPath(CFURLRef anURL);
/* False when the path with its terminator does not fit in maxBufLen bytes. */
CF_EXPORT Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase,
                                                   UInt8 *buffer, CFIndex maxBufLen);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFURL__ */
