/* sigmath transforms family. */
#ifndef SIGMATH_TRANSFORMS_H
#define SIGMATH_TRANSFORMS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
