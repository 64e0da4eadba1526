/* sigmath windows family. */
#ifndef SIGMATH_WINDOWS_H
#define SIGMATH_WINDOWS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
