// The library's version, from the project's generated version header.
#include "status.hpp"

#include "vibrolan/version.h"

SIGMATH_EXPORT const char *SigmathVersion(void) { return VIBROLAN_VERSION; }
