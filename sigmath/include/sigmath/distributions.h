/* sigmath distributions family. */
#ifndef SIGMATH_DISTRIBUTIONS_H
#define SIGMATH_DISTRIBUTIONS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
