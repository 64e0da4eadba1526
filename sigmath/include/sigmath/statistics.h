/* sigmath descriptive statistics and sorting.
 *
 * x points to n doubles; results are written through the pointers only when
 * the status is 0. Sums are taken in one forward pass in double precision. */
#ifndef SIGMATH_STATISTICS_H
#define SIGMATH_STATISTICS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Arithmetic mean. n >= 1 (else -20003). */
SIGMATH_API int32_t Mean(const double *x, int32_t n, double *mean);
/* Mean and population variance sum(x^2)/n - mean^2 (divisor n; rounding can
 * make it slightly negative). n >= 1 (else -20003). */
SIGMATH_API int32_t Variance(const double *x, int32_t n, double *mean, double *variance);
/* Mean and sqrt(|sum(x^2)/n - mean^2|). n >= 1 (else -20003). */
SIGMATH_API int32_t StdDev(const double *x, int32_t n, double *mean, double *sDev);
/* Root mean square. n >= 1 (else -20003). */
SIGMATH_API int32_t RMS(const double *x, int32_t n, double *rms);
/* Central moment sum((x - mean)^order)/n. n >= 1 (else -20003), then
 * order >= 1 (else -20021). */
SIGMATH_API int32_t Moment(const double *x, int32_t n, int32_t order, double *moment);
/* Median: middle element of the sorted data, or the average of the two middle
 * ones for even n; x is not reordered. n >= 1 (else -20003); -20001 when the
 * work copy cannot be allocated. */
SIGMATH_API int32_t Median(const double *x, int32_t n, double *median);
/* Centre of the most populated of `intervals` equal intervals over
 * [base, top] (ties: the lowest; an empty histogram: the first centre).
 * intervals >= 1 (else -20003), -20001 without work memory, then the checks
 * of Histogram (-20101, -20003). */
SIGMATH_API int32_t Mode(const double *x, int32_t n, double base, double top, int32_t intervals,
                         double *mode);
/* Counts of x over `intervals` equal intervals of [base, top] into
 * histogram[intervals] and the interval centres into axis[intervals]. A
 * sample equal to top counts in the last interval; samples outside
 * [base, top] are not counted. base < top (else -20101), then n >= 1 and
 * intervals >= 1 (else -20003). */
SIGMATH_API int32_t Histogram(const double *x, int32_t n, double base, double top, int32_t *histogram,
                              double *axis, int32_t intervals);
/* AC (RMS of the varying part) and DC estimates through a Hanning window.
 * n >= 1 (else -20003); -20001 when the work copy cannot be allocated. */
SIGMATH_API int32_t ACDCEstimator(const double *x, int32_t n, double *acEstimate, double *dcEstimate);
/* Sorted copy of x[n] into out[n] (out may be x): direction 0 ascending, any
 * other value descending; NaNs go last when ascending. n >= 1 (else -20003). */
SIGMATH_API int32_t Sort(const double *x, int32_t n, int32_t direction, double *out);

SIGMATH_END_DECLS

#endif
