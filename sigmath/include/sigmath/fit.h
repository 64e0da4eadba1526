/* sigmath curve fitting and polynomial/linear evaluation.
 * Arrays are caller-owned; matrices are row-major (rows x cols). */
#ifndef SIGMATH_FIT_H
#define SIGMATH_FIT_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Model of the non-linear fits: value at x for coefficients coef[0..k-1]. */
typedef double (*SigmathModelFn)(double x, double *coef, int32_t k);

/* Least-squares polynomial of `order` (0..89, < n) through n points.
 * fitted[n], coef[order+1] in ascending powers, *mse = sum of squared residuals / n. */
SIGMATH_API int32_t PolyFit(const double *x, const double *y, int32_t n, int32_t order,
                            double *fitted, double *coef, double *mse);

/* General linear least squares with observation matrix H (n x k, 1 <= k <= 90, k <= n).
 * stdDev[n] or NULL (weights 1/stdDev^2); algorithm 0 SVD, 1 Givens, 2 fast Givens,
 * 3 Householder, 4 normal equations + LU, 5 normal equations + Cholesky.
 * covariance (k x k) may be NULL. */
SIGMATH_API int32_t GenLSFit(const double *H, int32_t n, int32_t k, const double *y,
                             const double *stdDev, int32_t algorithm, double *fitted,
                             double *coef, double *covariance, double *mse);

/* As GenLSFit without weights, covariance, fitted values and mse. */
SIGMATH_API int32_t GenLSFitCoef(const double *H, int32_t n, int32_t k, const double *y,
                                 double *coef, int32_t algorithm);

/* Straight line (n >= 2). */
SIGMATH_API int32_t LinFit(const double *x, const double *y, int32_t n, double *fitted,
                           double *slope, double *intercept, double *mse);

/* amplitude * exp(damping * x) (n >= 2; y all positive or all negative). y is
 * negated in place while fitting when negative and restored before returning. */
SIGMATH_API int32_t ExpFit(const double *x, double *y, int32_t n, double *fitted,
                           double *amplitude, double *damping, double *mse);

/* Levenberg-Marquardt fit of `model`; coef[k] holds the initial guess on entry. */
SIGMATH_API int32_t NonLinearFit(const double *x, const double *y, double *fitted, int32_t n,
                                 SigmathModelFn model, double *coef, int32_t k, double *mse);

/* As NonLinearFit with at most maxIters passes; -20062 when the bound ended it. */
SIGMATH_API int32_t NonLinearFitWithMaxIters(const double *x, const double *y, double *fitted,
                                             int32_t n, int32_t maxIters, SigmathModelFn model,
                                             double *coef, int32_t k, double *mse);

/* out[i] = sum_j coef[j] * x[i]^j (powers by repeated multiplication). */
SIGMATH_API int32_t PolyEv1D(const double *x, int32_t n, const double *coef, int32_t k,
                             double *out);
SIGMATH_API int32_t PolyEv2D(const double *X, int32_t rows, int32_t cols, const double *coef,
                             int32_t k, double *out);

/* out[i] = a * x[i] + b. */
SIGMATH_API int32_t LinEv1D(const double *x, int32_t n, double a, double b, double *out);
SIGMATH_API int32_t LinEv2D(const double *X, int32_t rows, int32_t cols, double a, double b,
                            double *out);

SIGMATH_END_DECLS

#endif
