/* sigmath windows family.
 *
 * Every window multiplies the caller's array x of n doubles in place. The
 * symmetric windows use the periodic form: weights are taken at the angles
 * 2*pi*k/n, x[0] gets w(0), x[k] and x[n - k] share w(k), and for even n the
 * middle element x[n/2] is left unchanged (its weight is 1). On failure x is
 * not touched. */
#ifndef SIGMATH_WINDOWS_H
#define SIGMATH_WINDOWS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Constants of the window applied by ScaledWindow, in this order. */
typedef struct ScaledWindowConstants {
    double enbw;         /* equivalent noise bandwidth, in bins */
    double coherentGain; /* mean weight of the window before scaling */
} ScaledWindowConstants;

/* Hanning, sin^2(theta/2). n >= 1 (else -20003). */
SIGMATH_API int32_t HanWin(double *x, int32_t n);
/* Hamming, 0.54 - 0.46 cos(theta). n >= 1 (else -20003). */
SIGMATH_API int32_t HamWin(double *x, int32_t n);
/* Blackman, 0.42 - 0.5 cos(theta) + 0.08 cos(2 theta). n >= 1 (else -20003). */
SIGMATH_API int32_t BkmanWin(double *x, int32_t n);
/* Exact Blackman. n >= 1 (else -20003). */
SIGMATH_API int32_t ExBkmanWin(double *x, int32_t n);
/* Three-term Blackman-Harris. n >= 1 (else -20003). */
SIGMATH_API int32_t BlkHarrisWin(double *x, int32_t n);
/* Flat top. n >= 1 (else -20003). */
SIGMATH_API int32_t FlatTopWin(double *x, int32_t n);
/* General cosine sum: w(theta) = sum_{j<k} (-1)^j a[j] cos(j theta); a holds k
 * coefficients. The middle element of an even n is multiplied by sum a[j].
 * n >= 1 and k >= 1 (else -20003). */
SIGMATH_API int32_t GenCosWin(double *x, int32_t n, const double *a, int32_t k);
/* Triangle: 0 at x[0], rising by 1/(n div 2) towards the middle. n >= 1 (else -20003). */
SIGMATH_API int32_t TriWin(double *x, int32_t n);
/* Kaiser with shape parameter beta (any real). n >= 1 (else -20003). */
SIGMATH_API int32_t KsrWin(double *x, int32_t n, double beta);
/* Cosine taper over the first and last n div 10 samples; the ends become 0.
 * Never fails: any n < 10 (zero and negative included) leaves x unchanged. */
SIGMATH_API int32_t CosTaperedWin(double *x, int32_t n);
/* Exponential decay from weight 1 at x[0] to finalValue at x[n - 1].
 * finalValue > 0 (0 gives weight 1 then zeros). n >= 2 (else -20006). */
SIGMATH_API int32_t ExpWin(double *x, int32_t n, double finalValue);
/* Force window: x[m .. n-1] = 0 with m = trunc(n * duty / 100) clamped to
 * [0, n]; duty in percent, NaN keeps the record. n >= 2 (else -20006). */
SIGMATH_API int32_t ForceWin(double *x, int32_t n, double duty);
/* Applies the window chosen by selector (0 rectangle, 1 Hanning, 2 Hamming,
 * 3 Blackman-Harris, 4 exact Blackman, 5 Blackman, 6 flat top, 7 four-term
 * Blackman-Harris, 8 seven-term Blackman-Harris, other values rectangle),
 * writes its constants to *constants and scales x by 1/coherent gain.
 * n >= 0 (else -20004); n = 0 only writes the constants. */
SIGMATH_API int32_t ScaledWindow(double *x, int32_t n, int32_t selector, ScaledWindowConstants *constants);

SIGMATH_END_DECLS

#endif
