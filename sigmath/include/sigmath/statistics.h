/* sigmath statistics family. */
#ifndef SIGMATH_STATISTICS_H
#define SIGMATH_STATISTICS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
