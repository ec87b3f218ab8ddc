/* MacTypes.h: Apple's basic scalar types, as the macOS 64-bit SDK declares them (Linux stand-in). */
#ifndef __MACTYPES__
#define __MACTYPES__

#include <stddef.h>
#include <stdint.h>

/* Every public declaration of the stand-in is exported from the shared runtime, so that the host
   and every plug-in module it loads share one CoreFoundation and one listener registry. */
#ifndef TOVRASDK_EXPORT
#define TOVRASDK_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define TOVRASDK_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define TOVRASDK_ALIGNOF(type) alignof(type)
#else
#define TOVRASDK_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define TOVRASDK_ALIGNOF(type) _Alignof(type)
#endif

#pragma pack(push, 2)

typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef unsigned long long UInt64;
typedef signed long long SInt64;

typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean;
typedef UInt8 Byte;
typedef SInt8 SignedByte;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;

typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;

typedef char *Ptr;
typedef Ptr *Handle;
typedef long Size;

enum { noErr = 0 };

/* Version record; on little-endian machines the fields are stored from the least significant byte,
   so read as one UInt32 the value is majorRev<<24 | minorAndBugRev<<16 | stage<<8 | nonRelRev. */
struct NumVersion {
  UInt8 nonRelRev;
  UInt8 stage;
  UInt8 minorAndBugRev;
  UInt8 majorRev;
};
typedef struct NumVersion NumVersion;

enum {
  developStage = 0x20,
  alphaStage = 0x40,
  betaStage = 0x60,
  finalStage = 0x80
};

union NumVersionVariant {
  NumVersion parts;
  UInt32 whole;
};
typedef union NumVersionVariant NumVersionVariant;

#pragma pack(pop)

TOVRASDK_STATIC_ASSERT(sizeof(NumVersion) == 4, "NumVersion is four bytes");
TOVRASDK_STATIC_ASSERT(sizeof(SInt32) == 4 && sizeof(UInt64) == 8, "fixed-width scalars");
TOVRASDK_STATIC_ASSERT(sizeof(Boolean) == 1, "Boolean is one byte");

#endif /* __MACTYPES__ */
