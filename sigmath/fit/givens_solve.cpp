// Least squares by orthogonal rotations: Givens QR (algorithm 1) and its
// square-root-free form (algorithm 2). Both reduce a to upper triangular form
// row by row, so every access runs along a row of the row-major matrix.
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"

#include <cstddef>

namespace sigmath::fit {

void solveGivens(double *a, double *b, int32_t n, int32_t k, double *coef)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    for (std::size_t j = 0; j < cols; ++j) {
        double *pivot = a + j * cols;
        for (std::size_t r = j + 1; r < m; ++r) {
            double *row = a + r * cols;
            if (row[j] == 0.0)
                continue;
            const double rho = length(pivot[j], row[j]);
            const double c = pivot[j] / rho;
            const double s = row[j] / rho;
            pivot[j] = rho;
            row[j] = 0.0;
            for (std::size_t q = j + 1; q < cols; ++q) {
                const double t1 = pivot[q];
                const double t2 = row[q];
                pivot[q] = c * t1 + s * t2;
                row[q] = c * t2 - s * t1;
            }
            const double t1 = b[j];
            const double t2 = b[r];
            b[j] = c * t1 + s * t2;
            b[r] = c * t2 - s * t1;
        }
    }
    for (std::size_t j = cols; j-- > 0;) {
        double sum = b[j];
        for (std::size_t q = j + 1; q < cols; ++q)
            sum -= a[j * cols + q] * coef[q];
        coef[j] = sum / a[j * cols + j];
    }
}

// Every row r carries a weight delta[r] (all 1 at the start): the system is
// sum_r delta[r] * (row_r . coef - b_r)^2. The pivot row is kept with a unit
// diagonal and weight d; folding row r into it preserves the weighted Gram
// matrix exactly when row r's weight is scaled by d / d' as well. (Leaving
// the folded rows at weight 1 would solve a differently weighted problem
// whenever the residual is not zero.)
int32_t solveFastGivens(double *a, double *b, int32_t n, int32_t k, double *coef)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    rt::Buffer<double> delta(m);
    if (!delta.ok())
        return fail(SM_ERR_NO_MEMORY);
    for (std::size_t r = 0; r < m; ++r)
        delta[r] = 1.0;

    for (std::size_t j = 0; j < cols; ++j) {
        double *pivot = a + j * cols;
        double d = 0.0;
        const double diagonal = pivot[j];
        if (diagonal != 0.0) {
            for (std::size_t q = j + 1; q < cols; ++q)
                pivot[q] /= diagonal;
            b[j] /= diagonal;
            d = delta[j] * diagonal * diagonal;
        }
        // With d = 0 the pivot row is empty; the first non-zero row folded in
        // replaces it (its own weight then drops to zero).
        pivot[j] = 1.0;
        for (std::size_t r = j + 1; r < m; ++r) {
            double *row = a + r * cols;
            const double x = row[j];
            const double wx = delta[r] * x;
            const double dNew = d + wx * x;
            // Nothing to fold: a zero entry, or a row whose weight is already zero.
            if (x == 0.0 || dNew == 0.0)
                continue;
            const double keep = d / dNew;
            const double take = wx / dNew;
            for (std::size_t q = j + 1; q < cols; ++q) {
                const double old = pivot[q];
                pivot[q] = keep * old + take * row[q];
                row[q] -= x * old;
            }
            const double old = b[j];
            b[j] = keep * old + take * b[r];
            b[r] -= x * old;
            row[j] = 0.0;
            delta[r] *= keep;
            d = dNew;
        }
        delta[j] = d;
    }
    // Unit diagonal: back substitution needs no division.
    for (std::size_t j = cols; j-- > 0;) {
        double sum = b[j];
        for (std::size_t q = j + 1; q < cols; ++q)
            sum -= a[j * cols + q] * coef[q];
        coef[j] = sum;
    }
    return SM_NO_ERROR;
}

} // namespace sigmath::fit
