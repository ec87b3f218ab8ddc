/* CoreServices.h: the parts of CoreServices the Audio Unit entry needs (Linux stand-in). */
#ifndef __CORESERVICES__
#define __CORESERVICES__

#include <CarbonCore/Components.h>
#include <CarbonCore/MacErrors.h>
#include <CoreFoundation/CoreFoundation.h>
#include <MacTypes.h>

#endif /* __CORESERVICES__ */
