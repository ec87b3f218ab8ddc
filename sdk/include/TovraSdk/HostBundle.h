/* HostBundle.h: stand-in-only calls with which a host describes its own bundle and the bundles it loads. */
#ifndef TovraSdk_HostBundle_h
#define TovraSdk_HostBundle_h

#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

/* On macOS the system knows the host application's bundle; here the host says what
   CFBundleGetMainBundle() reports: its identifier (CFBundleGetIdentifier; NULL or "" means none),
   its version text (the info dictionary's kCFBundleVersionKey; NULL means none) and its location
   (NULL means none). Strings handed out earlier stay valid for the life of the process, so call
   this whenever convenient, though normally before opening plug-ins. */
CF_EXPORT void TovraSdkSetMainBundle(const char *identifier, const char *version,
                                     const char *bundlePath);

/* Makes a loaded bundle known to CFBundleGetBundleWithIdentifier, as macOS does for every loaded
   bundle. Registering an identifier again updates its path and version. False for a NULL or empty
   identifier or a NULL path. */
CF_EXPORT Boolean TovraSdkRegisterBundle(const char *identifier, const char *bundlePath,
                                         const char *version);

CF_EXTERN_C_END

#endif /* TovraSdk_HostBundle_h */
