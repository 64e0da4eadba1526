// Normal equations of a linear least-squares problem and their two solvers:
// LU with partial pivoting (algorithm 4) and Cholesky (algorithm 5).
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "linalg/dense.hpp"

#include <cmath>
#include <cstddef>

namespace sigmath::fit {

void formNormal(const double *h, const double *y, const double *stdDev, int32_t n, int32_t k, double *normal,
                double *rhs)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    for (std::size_t i = 0; i < cols * cols; ++i)
        normal[i] = 0.0;
    for (std::size_t j = 0; j < cols; ++j)
        rhs[j] = 0.0;
    // Upper triangle row by row of h, mirrored at the end.
    for (std::size_t i = 0; i < m; ++i) {
        const double *row = h + i * cols;
        const double variance = stdDev != nullptr ? stdDev[i] * stdDev[i] : 1.0;
        for (std::size_t r = 0; r < cols; ++r) {
            const double hr = stdDev != nullptr ? row[r] / variance : row[r];
            double *nr = normal + r * cols;
            for (std::size_t c = r; c < cols; ++c)
                nr[c] += hr * row[c];
            rhs[r] += hr * y[i];
        }
    }
    for (std::size_t r = 0; r < cols; ++r)
        for (std::size_t c = 0; c < r; ++c)
            normal[r * cols + c] = normal[c * cols + r];
}

int32_t choleskySolve(double *normal, const double *rhs, int32_t k, double *out, bool testDiagonal)
{
    const std::size_t cols = static_cast<std::size_t>(k);
    auto nm = [normal, cols](std::size_t r, std::size_t c) -> double & { return normal[r * cols + c]; };
    for (std::size_t i = 0; i < cols; ++i) {
        double sum = nm(i, i);
        for (std::size_t q = 0; q < i; ++q)
            sum -= nm(q, i) * nm(q, i);
        const double diagonal = rt::sqrt(sum);
        if (testDiagonal && (diagonal == 0.0 || std::isnan(diagonal)))
            return fail(SM_ERR_SINGULAR);
        nm(i, i) = diagonal;
        for (std::size_t c = i + 1; c < cols; ++c) {
            double s = nm(i, c);
            for (std::size_t q = 0; q < i; ++q)
                s -= nm(q, i) * nm(q, c);
            nm(i, c) = s / diagonal;
        }
    }
    // R^T t = rhs (forward), then R out = t (backward), both in out.
    for (std::size_t i = 0; i < cols; ++i) {
        double sum = rhs[i];
        for (std::size_t q = 0; q < i; ++q)
            sum -= nm(q, i) * out[q];
        out[i] = sum / nm(i, i);
    }
    for (std::size_t i = cols; i-- > 0;) {
        double sum = out[i];
        for (std::size_t q = i + 1; q < cols; ++q)
            sum -= nm(i, q) * out[q];
        out[i] = sum / nm(i, i);
    }
    return SM_NO_ERROR;
}

int32_t solveNormal(int32_t algorithm, double *normal, const double *rhs, int32_t k, double *coef,
                    bool testCholeskyDiagonal)
{
    if (algorithm == 5)
        return choleskySolve(normal, rhs, k, coef, testCholeskyDiagonal);
    rt::Buffer<int32_t> perm(static_cast<std::size_t>(k));
    if (!perm.ok())
        return fail(SM_ERR_NO_MEMORY);
    if (const int32_t status = la::luDecompose(normal, k, perm.data(), nullptr); status != SM_NO_ERROR)
        return status;
    la::luSolve(normal, perm.data(), rhs, coef, k);
    return SM_NO_ERROR;
}

int32_t solveDesign(int32_t algorithm, double *a, double *b, int32_t n, int32_t k, double *coef)
{
    switch (algorithm) {
    case 0:
        return solveSvd(a, b, n, k, coef);
    case 1:
        solveGivens(a, b, n, k, coef);
        return SM_NO_ERROR;
    case 2:
        return solveFastGivens(a, b, n, k, coef);
    default:
        solveHouseholder(a, b, n, k, coef);
        return SM_NO_ERROR;
    }
}

} // namespace sigmath::fit
