/* sigmath probability distributions.
 *
 * Degrees of freedom are 32-bit integers >= 1 (else -20052); probabilities
 * passed to the inverses lie strictly between 0 and 1 (else -20053; NaN is
 * refused too). The result is written only when the status is 0. The
 * approximations are those customary for tables: about 1e-5 absolute for the
 * normal distribution, 5e-4 for its inverse; the inverses of t, F and
 * chi-square bisect to a bracket of 1e-4 and return its lower end. */
#ifndef SIGMATH_DISTRIBUTIONS_H
#define SIGMATH_DISTRIBUTIONS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* P(X <= x), standard normal. Never fails. */
SIGMATH_API int32_t N_Dist(double x, double *p);
/* x with P(X <= x) = p, standard normal. 0 < p < 1 (else -20053). */
SIGMATH_API int32_t InvN_Dist(double p, double *x);
/* P(T <= t), Student's t with df degrees of freedom. df >= 1 (else -20052). */
SIGMATH_API int32_t T_Dist(double t, int32_t df, double *p);
/* Inverse of T_Dist, searched in [-10000, 10000]. df >= 1 (else -20052),
 * then 0 < p < 1 (else -20053). */
SIGMATH_API int32_t InvT_Dist(double p, int32_t df, double *t);
/* P(F <= f), Fisher's F with df1 and df2 degrees of freedom; f <= 0 gives 0.
 * df1 >= 1 and df2 >= 1 (else -20052); NaN f gives -20057. */
SIGMATH_API int32_t F_Dist(double f, int32_t df1, int32_t df2, double *p);
/* Inverse of F_Dist, searched in [1e-6, 10000]. df1, df2 >= 1 (else -20052),
 * then 0 < p < 1 (else -20053). */
SIGMATH_API int32_t InvF_Dist(double p, int32_t df1, int32_t df2, double *f);
/* P(chi^2 <= x) with df degrees of freedom; x <= 0 gives 0. df >= 1 (else -20052). */
SIGMATH_API int32_t XX_Dist(double x, int32_t df, double *p);
/* Inverse of XX_Dist, searched in [0, 10000]. 0 < p < 1 (else -20053), then
 * df >= 1 (else -20052). */
SIGMATH_API int32_t InvXX_Dist(double p, int32_t df, double *x);

SIGMATH_END_DECLS

#endif
