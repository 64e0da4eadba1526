// General linear least squares: GenLSFit (weights, covariance, fitted values,
// mean squared error) and GenLSFitCoef (coefficients only).
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "linalg/dense.hpp"
#include "sigmath/fit.h"

#include <cstddef>

namespace sigmath::fit {

int32_t validateLinearFit(int32_t n, int32_t k, int32_t algorithm)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    if (k > n)
        return fail(SM_ERR_SIZE_ORDER);
    if (k < 1 || k > kMaxCoefficients)
        return fail(SM_ERR_ORDER_POSITIVE);
    if (algorithm < 0 || algorithm > 5)
        return fail(SM_ERR_SELECTION);
    return SM_NO_ERROR;
}

double meanSquaredError(const double *y, const double *fitted, int32_t n)
{
    double sum = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const double r = y[i] - fitted[i];
        sum += r * r;
    }
    return sum / static_cast<double>(n);
}

namespace {

bool usesNormalEquations(int32_t algorithm) { return algorithm == 4 || algorithm == 5; }

// Inverse of H^T W H, summed over the observations with a non-zero stdDev.
int32_t designCovariance(const double *h, const double *stdDev, int32_t n, int32_t k, double *covariance)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    rt::Buffer<double> c(cols * cols);
    if (!c.ok())
        return fail(SM_ERR_NO_MEMORY);
    for (std::size_t i = 0; i < cols * cols; ++i)
        c[i] = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        if (stdDev != nullptr && stdDev[i] == 0.0)
            continue;
        const double *row = h + i * cols;
        const double variance = stdDev != nullptr ? stdDev[i] * stdDev[i] : 1.0;
        for (std::size_t r = 0; r < cols; ++r) {
            const double hr = stdDev != nullptr ? row[r] / variance : row[r];
            for (std::size_t q = r; q < cols; ++q)
                c[r * cols + q] += hr * row[q];
        }
    }
    for (std::size_t r = 0; r < cols; ++r)
        for (std::size_t q = 0; q < r; ++q)
            c[r * cols + q] = c[q * cols + r];
    return la::invert(c.data(), k, covariance);
}

} // namespace
} // namespace sigmath::fit

using namespace sigmath;
using namespace sigmath::fit;

SIGMATH_EXPORT int32_t GenLSFit(const double *H, int32_t n, int32_t k, const double *y, const double *stdDev,
                                int32_t algorithm, double *fitted, double *coef, double *covariance,
                                double *mse)
{
    return guarded([&]() -> int32_t {
        if (const int32_t status = validateLinearFit(n, k, algorithm); status != SM_NO_ERROR)
            return status;
        const std::size_t m = static_cast<std::size_t>(n);
        const std::size_t cols = static_cast<std::size_t>(k);
        rt::Buffer<double> b(m);
        if (!b.ok())
            return fail(SM_ERR_NO_MEMORY);

        int32_t status = SM_NO_ERROR;
        if (usesNormalEquations(algorithm)) {
            rt::Buffer<double> normal(cols * cols);
            if (!normal.ok())
                return fail(SM_ERR_NO_MEMORY);
            formNormal(H, y, stdDev, n, k, normal.data(), b.data());
            if (covariance != nullptr) {
                if (status = la::invert(normal.data(), k, covariance); status != SM_NO_ERROR)
                    return status;
            }
            status = solveNormal(algorithm, normal.data(), b.data(), k, coef, true);
        } else {
            rt::Buffer<double> a(m * cols);
            if (!a.ok())
                return fail(SM_ERR_NO_MEMORY);
            for (std::size_t i = 0; i < m; ++i) {
                const double sigma = stdDev != nullptr ? stdDev[i] : 1.0;
                for (std::size_t j = 0; j < cols; ++j)
                    a[i * cols + j] = stdDev != nullptr ? H[i * cols + j] / sigma : H[i * cols + j];
                b[i] = stdDev != nullptr ? y[i] / sigma : y[i];
            }
            if (covariance != nullptr) {
                if (status = designCovariance(H, stdDev, n, k, covariance); status != SM_NO_ERROR)
                    return status;
            }
            status = solveDesign(algorithm, a.data(), b.data(), n, k, coef);
        }
        if (status != SM_NO_ERROR)
            return status;

        la::multiply(H, coef, n, k, 1, fitted);
        *mse = meanSquaredError(y, fitted, n);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t GenLSFitCoef(const double *H, int32_t n, int32_t k, const double *y, double *coef,
                                    int32_t algorithm)
{
    return guarded([&]() -> int32_t {
        if (const int32_t status = validateLinearFit(n, k, algorithm); status != SM_NO_ERROR)
            return status;
        const std::size_t m = static_cast<std::size_t>(n);
        const std::size_t cols = static_cast<std::size_t>(k);
        if (usesNormalEquations(algorithm)) {
            rt::Buffer<double> normal(cols * cols);
            if (!normal.ok())
                return fail(SM_ERR_NO_MEMORY);
            rt::Buffer<double> rhs(cols);
            if (!rhs.ok())
                return fail(SM_ERR_NO_MEMORY);
            formNormal(H, y, nullptr, n, k, normal.data(), rhs.data());
            // No diagonal test here: a singular N gives non-finite coefficients.
            return solveNormal(algorithm, normal.data(), rhs.data(), k, coef, false);
        }
        rt::Buffer<double> a(m * cols);
        if (!a.ok())
            return fail(SM_ERR_NO_MEMORY);
        rt::Buffer<double> b(m);
        if (!b.ok())
            return fail(SM_ERR_NO_MEMORY);
        for (std::size_t i = 0; i < m * cols; ++i)
            a[i] = H[i];
        for (std::size_t i = 0; i < m; ++i)
            b[i] = y[i];
        return solveDesign(algorithm, a.data(), b.data(), n, k, coef);
    });
}
