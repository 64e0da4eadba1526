// Least-squares solvers behind GenLSFit and GenLSFitCoef, and the helpers the
// fitting routines share. Arguments are validated by the callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sigmath::fit {

inline constexpr int32_t kMaxCoefficients = 90;

// GenLSFit's argument checks, in their order: n, k against n, k range, algorithm.
int32_t validateLinearFit(int32_t n, int32_t k, int32_t algorithm);

// sum (y - fitted)^2 / n.
double meanSquaredError(const double *y, const double *fitted, int32_t n);

// Solves min |a*coef - b| for the design matrix a (n x k, row-major) with
// algorithm 0 (SVD), 1 (Givens), 2 (square-root-free Givens) or 3
// (Householder). a and b are overwritten; coef is written only on success.
// Returns 0, -20001, or -20003 when the SVD does not converge.
int32_t solveDesign(int32_t algorithm, double *a, double *b, int32_t n, int32_t k, double *coef);

// The SVD solve split in two for many right-hand sides over one matrix: the
// factorisation records what the solve does to b (the left reflections with
// their vectors, the rotations of U^T b) and keeps w (cut off) and V.
struct SvdFactors {
    struct Reflection {
        std::size_t column = 0, offset = 0, rows = 0;
        double h = 0;
    };
    struct Rotation {
        std::size_t i, j;
        double c, s;
    };
    std::size_t m = 0, k = 0;
    std::vector<double> vectors; // the reflections' vectors, one after the other
    std::vector<Reflection> reflections;
    std::vector<Rotation> rotations;
    std::vector<double> w, v;
    void addReflection(std::size_t column, const double *first, std::size_t stride, std::size_t rows,
                       double h);
};
// Factors the design matrix a (n x k, overwritten): 0, or -20003 when the SVD
// does not converge (as solveSvd).
int32_t factorSvd(double *a, int32_t n, int32_t k, SvdFactors &f);
// coef for the right-hand side b (m entries, overwritten), bit for bit what
// solveSvd gives for the matrix of `f` and b.
void solveFactored(const SvdFactors &f, double *b, double *coef);

// The individual design-matrix solvers (same contract as solveDesign).
int32_t solveSvd(double *a, double *b, int32_t n, int32_t k, double *coef);
void solveGivens(double *a, double *b, int32_t n, int32_t k, double *coef);
int32_t solveFastGivens(double *a, double *b, int32_t n, int32_t k, double *coef);
void solveHouseholder(double *a, double *b, int32_t n, int32_t k, double *coef);

// Normal equations N = H^T W H, rhs = H^T W y (W = 1/stdDev^2, identity when
// stdDev is null). N is k x k, rhs has k entries.
void formNormal(const double *h, const double *y, const double *stdDev, int32_t n, int32_t k, double *normal,
                double *rhs);

// Solves N coef = rhs: algorithm 4 by LU (-20041 when singular), algorithm 5
// by Cholesky. N is overwritten; coef is written only on success.
int32_t solveNormal(int32_t algorithm, double *normal, const double *rhs, int32_t k, double *coef,
                    bool testCholeskyDiagonal);

// Cholesky factorisation N = R^T R in place (upper triangle), then R^T t = rhs
// and R out = t. With testDiagonal a zero or NaN diagonal gives -20041 before
// out is written; without it such values simply propagate. out may be rhs.
int32_t choleskySolve(double *normal, const double *rhs, int32_t k, double *out, bool testDiagonal);

// sqrt(a^2 + b^2) without destructive overflow or underflow.
double length(double a, double b);

} // namespace sigmath::fit
