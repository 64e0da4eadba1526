/* libsigmath — numeric and signal-analysis routines with status codes.
 * Usable from C and C++. Every routine returns 0 or a negative status code
 * (see frame.h) unless its declaration says otherwise; no exception ever
 * leaves the library. */
#ifndef SIGMATH_SIGMATH_H
#define SIGMATH_SIGMATH_H

#include "sigmath/frame.h"
#include "sigmath/fit.h"
#include "sigmath/linalg.h"
#include "sigmath/generators.h"
#include "sigmath/windows.h"
#include "sigmath/statistics.h"
#include "sigmath/distributions.h"
#include "sigmath/transforms.h"
#include "sigmath/iir.h"

#endif
