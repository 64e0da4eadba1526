/* sigmath real linear algebra. Matrices are row-major and caller-owned. */
#ifndef SIGMATH_LINALG_H
#define SIGMATH_LINALG_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* C (m x p) = A (m x n) * B (n x p). m, n or p < 1 -> -20003.
 * C may be the same memory as A or B (the product is then formed in a working
 * block first, so -20001 is possible). */
SIGMATH_API int32_t MatrixMul(const double *A, const double *B, int32_t m, int32_t n, int32_t p, double *C);

/* Inverse of the rows x cols matrix A into inv (rows x cols; may be A itself).
 * rows or cols < 1 -> -20003; rows != cols -> -20040; an exactly zero pivot of
 * the LU decomposition with partial pivoting -> -20041 (inv is not written). */
SIGMATH_API int32_t InvMatrix(const double *A, int32_t rows, int32_t cols, double *inv);

/* LU decomposition with partial pivoting of the n x n matrix A, in place:
 * below the diagonal the unit lower factor L, on and above it U, with
 * L*U = P*A where row i of P*A is row perm[i] of A. *sign (may be NULL) gets
 * the permutation's parity, +1 or -1. n < 1 -> -20003; an exactly zero pivot
 * -> -20041 (A and perm are then left partly decomposed). */
SIGMATH_API int32_t LU(double *A, int32_t n, int32_t *perm, int32_t *sign);

/* Solves L*x = b for the unit lower triangle of L (n x n; its diagonal and
 * upper part are not read). x may be b itself. n < 1 -> -20003. */
SIGMATH_API int32_t ForwSub(const double *L, const double *b, int32_t n, double *x);

/* Solves U*x = b for the upper triangle of U (n x n; its lower part is not
 * read). x may be b itself. n < 1 -> -20003; a zero diagonal element -> -20041
 * before anything is written. */
SIGMATH_API int32_t BackSub(const double *U, const double *b, int32_t n, double *x);

SIGMATH_END_DECLS

#endif
