/* MacErrors.h: the classic result codes the Audio Unit entry points use (Linux stand-in). */
#ifndef __MACERRORS__
#define __MACERRORS__

#include <MacTypes.h>

enum {
  paramErr = -50,
  unimpErr = -4,
  memFullErr = -108
};

enum {
  badComponentInstance = (int)0x80008001,
  badComponentSelector = (int)0x80008002
};

#endif /* __MACERRORS__ */
