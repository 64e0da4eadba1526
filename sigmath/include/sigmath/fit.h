/* sigmath curve fitting and polynomial/linear evaluation.
 * Arrays are caller-owned and must hold the documented number of elements;
 * pointers other than stdDev and covariance must not be NULL. Matrices are
 * row-major (rows x cols). Arguments are checked before anything is written. */
#ifndef SIGMATH_FIT_H
#define SIGMATH_FIT_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Model of the non-linear fits: value at x for coefficients coef[0..k-1]. */
typedef double (*SigmathModelFn)(double x, double *coef, int32_t k);

/* Least-squares polynomial of `order` (0..89, < n) through n points, solved by
 * SVD. fitted[n], coef[order+1] in ascending powers, *mse = sum of squared
 * residuals / n. n < 1 -> -20003; order < 0 -> -20103; order >= n -> -20037;
 * then GenLSFit's codes (order >= 90 -> -20021). */
SIGMATH_API int32_t PolyFit(const double *x, const double *y, int32_t n, int32_t order, double *fitted,
                            double *coef, double *mse);

/* The same fit prepared once for many ordinates over the same abscissas:
 * PolyFitPlanned(plan, y, ...) gives exactly PolyFit(x, y, n, order, ...)'s
 * results and status for every y[n]. PolyFitPlanCreate returns the status
 * known without y (the argument checks, the convergence of the SVD) and sets
 * *plan (NULL only when memory ran out); a plan with a failed status makes
 * PolyFitPlanned return that status without writing anything. A plan is
 * read-only: several threads may use it at once. */
typedef struct SigmathPolyPlan SigmathPolyPlan;
SIGMATH_API int32_t PolyFitPlanCreate(const double *x, int32_t n, int32_t order, SigmathPolyPlan **plan);
SIGMATH_API int32_t PolyFitPlanned(const SigmathPolyPlan *plan, const double *y, double *fitted, double *coef,
                                   double *mse);
SIGMATH_API void PolyFitPlanFree(SigmathPolyPlan *plan);

/* General linear least squares with observation matrix H (n x k, 1 <= k <= 90, k <= n).
 * stdDev[n] or NULL (weights 1/stdDev^2); algorithm 0 SVD, 1 Givens, 2 fast Givens,
 * 3 Householder, 4 normal equations + LU, 5 normal equations + Cholesky.
 * covariance (k x k) may be NULL; otherwise it gets (H^T W H)^-1.
 * *mse is always unweighted. Codes in order: n < 1 -> -20003; k > n -> -20037;
 * k outside 1..90 -> -20021; algorithm outside 0..5 -> -20061; -20001; a
 * singular covariance matrix -> -20041 (covariance not written); SVD not
 * converged -> -20003; LU or Cholesky singular -> -20041. On a failed solve
 * fitted, coef and *mse are not written. */
SIGMATH_API int32_t GenLSFit(const double *H, int32_t n, int32_t k, const double *y, const double *stdDev,
                             int32_t algorithm, double *fitted, double *coef, double *covariance,
                             double *mse);

/* As GenLSFit without weights, covariance, fitted values and mse: the same
 * checks in the same order, -20001, SVD not converged -> -20003, LU singular ->
 * -20041; algorithm 5 does not test the Cholesky diagonal, so a singular
 * system gives non-finite coefficients with status 0. */
SIGMATH_API int32_t GenLSFitCoef(const double *H, int32_t n, int32_t k, const double *y, double *coef,
                                 int32_t algorithm);

/* Straight line (n >= 2). */
SIGMATH_API int32_t LinFit(const double *x, const double *y, int32_t n, double *fitted, double *slope,
                           double *intercept, double *mse);

/* amplitude * exp(damping * x) (n >= 2; y all positive or all negative). y is
 * negated in place while fitting when negative and restored before returning.
 * *amplitude and *damping are set to 0 before the arguments are checked.
 * n < 2 -> -20006; a zero or mixed signs in y -> -20036. */
SIGMATH_API int32_t ExpFit(const double *x, double *y, int32_t n, double *fitted, double *amplitude,
                           double *damping, double *mse);

/* Levenberg-Marquardt fit of `model`; coef[k] holds the initial guess on entry
 * and the result on return. n < 1 or k < 1 -> -20003; n < k -> -20037.
 * The search has no iteration count of its own; so that it always ends, a run
 * of rejected steps stops once the damping factor has overflowed to infinity
 * (about 310 consecutive rejections, which a model returning NaN causes), with
 * status 0 and the last accepted coefficients; and no search runs more than
 * 100000 passes (then -20062, outputs written). */
SIGMATH_API int32_t NonLinearFit(const double *x, const double *y, double *fitted, int32_t n,
                                 SigmathModelFn model, double *coef, int32_t k, double *mse);

/* As NonLinearFit with at most maxIters passes (and no other bound): -20062
 * when the count ended it, outputs written from the coefficients reached
 * (maxIters = 0: from the initial guess); maxIters < 0 runs no pass, status 0. */
SIGMATH_API int32_t NonLinearFitWithMaxIters(const double *x, const double *y, double *fitted, int32_t n,
                                             int32_t maxIters, SigmathModelFn model, double *coef, int32_t k,
                                             double *mse);

/* out[i] = sum_j coef[j] * x[i]^j (powers by repeated multiplication). */
SIGMATH_API int32_t PolyEv1D(const double *x, int32_t n, const double *coef, int32_t k, double *out);
SIGMATH_API int32_t PolyEv2D(const double *X, int32_t rows, int32_t cols, const double *coef, int32_t k,
                             double *out);

/* out[i] = a * x[i] + b. */
SIGMATH_API int32_t LinEv1D(const double *x, int32_t n, double a, double b, double *out);
SIGMATH_API int32_t LinEv2D(const double *X, int32_t rows, int32_t cols, double a, double b, double *out);

SIGMATH_END_DECLS

#endif
