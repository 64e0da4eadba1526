/* sigmath iir family. */
#ifndef SIGMATH_IIR_H
#define SIGMATH_IIR_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

SIGMATH_END_DECLS

#endif
