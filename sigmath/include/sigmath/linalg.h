/* sigmath real linear algebra. */
#ifndef SIGMATH_LINALG_H
#define SIGMATH_LINALG_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
