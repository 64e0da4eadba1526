// The library's version, from the project's generated version header.
#include "hostrt/hostrt.h"

#include "vibrolan/version.h"

extern "C" HOSTRT_API const char *hrt_version(void) { return VIBROLAN_VERSION; }
