/* sigmath generators family. */
#ifndef SIGMATH_GENERATORS_H
#define SIGMATH_GENERATORS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
