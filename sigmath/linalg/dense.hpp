// Dense kernels shared by the linear-algebra exports and the fitting family.
// They validate nothing: callers check counts first and own all memory.
#pragma once

#include <cstdint>

namespace sigmath::la {

// In-place LU with partial pivoting (see LU in linalg.h). Returns 0 or -20041.
int32_t luDecompose(double *a, int32_t n, int32_t *perm, int32_t *sign);

// x := L^-1 x for the unit lower triangle of lu.
void forwardUnit(const double *lu, double *x, int32_t n);

// x := U^-1 x for the upper triangle of lu (no test of the diagonal).
void backward(const double *lu, double *x, int32_t n);

// Solves a*x = b (n x n) given its LU factors and permutation; b and x must differ.
void luSolve(const double *lu, const int32_t *perm, const double *b, double *x, int32_t n);

// inv = a^-1 (n x n). inv is written only on success; it may be a itself.
// Returns 0, -20001 or -20041.
int32_t invert(const double *a, int32_t n, double *inv);

// c (m x p) = a (m x n) * b (n x p); c must not overlap a or b.
void multiply(const double *a, const double *b, int32_t m, int32_t n, int32_t p, double *c);

} // namespace sigmath::la
