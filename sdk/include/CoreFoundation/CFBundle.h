/* CFBundle.h: the host's main bundle and the bundles a host has registered (Linux stand-in). */
#ifndef __COREFOUNDATION_CFBUNDLE__
#define __COREFOUNDATION_CFBUNDLE__

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

CF_EXTERN_C_BEGIN

typedef struct __CFBundle *CFBundleRef;

CF_EXPORT const CFStringRef kCFBundleInfoDictionaryVersionKey;
CF_EXPORT const CFStringRef kCFBundleExecutableKey;
CF_EXPORT const CFStringRef kCFBundleIdentifierKey;
CF_EXPORT const CFStringRef kCFBundleVersionKey;
CF_EXPORT const CFStringRef kCFBundleNameKey;

CF_EXPORT CFTypeID CFBundleGetTypeID(void);

/* Bundles live as long as the process (retain and release do nothing). The main bundle's
   identifier, version and location are what the host set with TovraSdkSetMainBundle
   (<TovraSdk/HostBundle.h>); other bundles are those registered with TovraSdkRegisterBundle. */
CF_EXPORT CFBundleRef CFBundleGetMainBundle(void);
CF_EXPORT CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
/* NULL when the bundle has no identifier. Get rule: the caller does not own the result. */
CF_EXPORT CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
/* The info dictionary holds the identifier, version, name and executable that are known. */
CF_EXPORT CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle);
CF_EXPORT CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
/* NULL when the bundle has no location. */
CF_EXPORT CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CF_EXPORT CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
/* <bundle>/Contents/Resources[/subDirName]/resourceName[.resourceType], when that file exists. */
CF_EXPORT CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName,
                                           CFStringRef resourceType, CFStringRef subDirName);

CF_EXTERN_C_END

#endif /* __COREFOUNDATION_CFBUNDLE__ */
