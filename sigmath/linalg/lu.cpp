// LU decomposition with partial pivoting and the triangular solves built on it.
#include "linalg/dense.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/linalg.h"

#include <cstddef>

namespace sigmath::la {

int32_t luDecompose(double *a, int32_t n, int32_t *perm, int32_t *sign)
{
    const std::size_t s = static_cast<std::size_t>(n);
    for (int32_t i = 0; i < n; ++i)
        perm[i] = i;
    int32_t parity = 1;
    for (std::size_t c = 0; c < s; ++c) {
        std::size_t pivot = c;
        double best = rt::fabs(a[c * s + c]);
        for (std::size_t r = c + 1; r < s; ++r) {
            const double v = rt::fabs(a[r * s + c]);
            if (v > best) {
                best = v;
                pivot = r;
            }
        }
        // Only an exact zero counts as singular; near-singular systems give
        // large but finite results, as callers of this family expect.
        if (a[pivot * s + c] == 0.0)
            return fail(SM_ERR_SINGULAR);
        if (pivot != c) {
            for (std::size_t j = 0; j < s; ++j) {
                const double t = a[c * s + j];
                a[c * s + j] = a[pivot * s + j];
                a[pivot * s + j] = t;
            }
            const int32_t t = perm[c];
            perm[c] = perm[pivot];
            perm[pivot] = t;
            parity = -parity;
        }
        const double d = a[c * s + c];
        for (std::size_t r = c + 1; r < s; ++r) {
            const double f = a[r * s + c] / d;
            a[r * s + c] = f;
            if (f != 0.0)
                for (std::size_t j = c + 1; j < s; ++j)
                    a[r * s + j] -= f * a[c * s + j];
        }
    }
    if (sign != nullptr)
        *sign = parity;
    return SM_NO_ERROR;
}

void forwardUnit(const double *lu, double *x, int32_t n)
{
    const std::size_t s = static_cast<std::size_t>(n);
    for (std::size_t i = 1; i < s; ++i) {
        double sum = x[i];
        for (std::size_t m = 0; m < i; ++m)
            sum -= lu[i * s + m] * x[m];
        x[i] = sum;
    }
}

void backward(const double *lu, double *x, int32_t n)
{
    const std::size_t s = static_cast<std::size_t>(n);
    for (std::size_t i = s; i-- > 0;) {
        double sum = x[i];
        for (std::size_t m = i + 1; m < s; ++m)
            sum -= lu[i * s + m] * x[m];
        x[i] = sum / lu[i * s + i];
    }
}

void luSolve(const double *lu, const int32_t *perm, const double *b, double *x, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        x[i] = b[perm[i]];
    forwardUnit(lu, x, n);
    backward(lu, x, n);
}

} // namespace sigmath::la

using namespace sigmath;

SIGMATH_EXPORT int32_t LU(double *A, int32_t n, int32_t *perm, int32_t *sign)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        return la::luDecompose(A, n, perm, sign);
    });
}

SIGMATH_EXPORT int32_t ForwSub(const double *L, const double *b, int32_t n, double *x)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (x != b)
            for (int32_t i = 0; i < n; ++i)
                x[i] = b[i];
        la::forwardUnit(L, x, n);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t BackSub(const double *U, const double *b, int32_t n, double *x)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const std::size_t s = static_cast<std::size_t>(n);
        for (std::size_t i = 0; i < s; ++i)
            if (U[i * s + i] == 0.0)
                return fail(SM_ERR_SINGULAR);
        if (x != b)
            for (int32_t i = 0; i < n; ++i)
                x[i] = b[i];
        la::backward(U, x, n);
        return SM_NO_ERROR;
    });
}
