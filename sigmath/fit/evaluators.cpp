// Polynomial and linear evaluation over 1-D and 2-D arrays. Outputs may be the
// inputs themselves: each element is read before its result is written.
#include "frame/status.hpp"
#include "sigmath/fit.h"

#include <cstddef>

using namespace sigmath;

namespace {

// Powers by repeated multiplication (not Horner's rule), as the family has always done.
void polyEvaluate(const double *x, std::size_t count, const double *coef, int32_t k, double *out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const double xi = x[i];
        double sum = coef[0];
        double power = 1.0;
        for (int32_t j = 1; j < k; ++j) {
            power *= xi;
            sum += coef[j] * power;
        }
        out[i] = sum;
    }
}

void linEvaluate(const double *x, std::size_t count, double a, double b, double *out)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] = a * x[i] + b;
}

std::size_t elements(int32_t rows, int32_t cols)
{
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
}

} // namespace

SIGMATH_EXPORT int32_t PolyEv1D(const double *x, int32_t n, const double *coef, int32_t k, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1 || k < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        polyEvaluate(x, static_cast<std::size_t>(n), coef, k, out);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t PolyEv2D(const double *X, int32_t rows, int32_t cols, const double *coef, int32_t k,
                                double *out)
{
    return guarded([&]() -> int32_t {
        if (rows < 1 || cols < 1 || k < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        polyEvaluate(X, elements(rows, cols), coef, k, out);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t LinEv1D(const double *x, int32_t n, double a, double b, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        linEvaluate(x, static_cast<std::size_t>(n), a, b, out);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t LinEv2D(const double *X, int32_t rows, int32_t cols, double a, double b, double *out)
{
    return guarded([&]() -> int32_t {
        if (rows < 1 || cols < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        linEvaluate(X, elements(rows, cols), a, b, out);
        return SM_NO_ERROR;
    });
}
