/* Components.h: the legacy Component Manager entry: selectors, parameter block and entry type (Linux stand-in). */
#ifndef __COMPONENTS__
#define __COMPONENTS__

#include <CarbonCore/MacErrors.h>
#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)

enum { kAppleManufacturer = 0x6170706C /* 'appl' */ };
enum { kComponentResourceType = 0x74686E67 /* 'thng' */ };

enum {
  kComponentOpenSelect = -1,
  kComponentCloseSelect = -2,
  kComponentCanDoSelect = -3,
  kComponentVersionSelect = -4,
  kComponentRegisterSelect = -5,
  kComponentTargetSelect = -6,
  kComponentUnregisterSelect = -7
};

typedef struct ComponentDescription {
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
} ComponentDescription;

/* One params slot per parameter, variable length; selectors below zero are Component Manager
   calls. */
typedef struct ComponentParameters {
  UInt8 flags;
  UInt8 paramSize;
  SInt16 what;
#if __LP64__
  UInt32 padding;
#endif
  long params[1];
} ComponentParameters;

typedef struct ComponentRecord *Component;
typedef struct ComponentInstanceRecord *ComponentInstance;
typedef SInt32 ComponentResult;

typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters *cp, Handle componentStorage);
typedef ComponentRoutineProcPtr ComponentRoutineUPP;

#pragma pack(pop)

TOVRASDK_STATIC_ASSERT(sizeof(ComponentDescription) == 20, "ComponentDescription is 20 bytes");
TOVRASDK_STATIC_ASSERT(sizeof(ComponentParameters) == 16, "ComponentParameters is 16 bytes on 64-bit");
TOVRASDK_STATIC_ASSERT(offsetof(ComponentParameters, params) == 8, "params at 8");
TOVRASDK_STATIC_ASSERT(TOVRASDK_ALIGNOF(ComponentParameters) == 2, "ComponentParameters aligns to 2");

#ifdef __cplusplus
}
#endif

#endif /* __COMPONENTS__ */
