// Real matrix product.
#include "linalg/dense.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/linalg.h"

#include <cstddef>
#include <functional>

namespace sigmath::la {

void multiply(const double *a, const double *b, int32_t m, int32_t n, int32_t p, double *c)
{
    const std::size_t rows = static_cast<std::size_t>(m);
    const std::size_t inner = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(p);
    // Row of a times b, accumulated row by row of b so every access is sequential.
    for (std::size_t i = 0; i < rows; ++i) {
        double *ci = c + i * cols;
        for (std::size_t j = 0; j < cols; ++j)
            ci[j] = 0.0;
        for (std::size_t q = 0; q < inner; ++q) {
            const double f = a[i * inner + q];
            const double *bq = b + q * cols;
            for (std::size_t j = 0; j < cols; ++j)
                ci[j] += f * bq[j];
        }
    }
}

} // namespace sigmath::la

namespace {

bool overlaps(const double *x, std::size_t nx, const double *y, std::size_t ny)
{
    // std::less gives a total order even for pointers into unrelated blocks.
    const std::less<const double *> before;
    return before(x, y + ny) && before(y, x + nx);
}

} // namespace

using namespace sigmath;

SIGMATH_EXPORT int32_t MatrixMul(const double *A, const double *B, int32_t m, int32_t n, int32_t p, double *C)
{
    return guarded([&]() -> int32_t {
        if (m < 1 || n < 1 || p < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const std::size_t sa = static_cast<std::size_t>(m) * static_cast<std::size_t>(n);
        const std::size_t sb = static_cast<std::size_t>(n) * static_cast<std::size_t>(p);
        const std::size_t sc = static_cast<std::size_t>(m) * static_cast<std::size_t>(p);
        if (!overlaps(C, sc, A, sa) && !overlaps(C, sc, B, sb)) {
            la::multiply(A, B, m, n, p, C);
            return SM_NO_ERROR;
        }
        rt::Buffer<double> product(sc);
        if (!product.ok())
            return fail(SM_ERR_NO_MEMORY);
        la::multiply(A, B, m, n, p, product.data());
        for (std::size_t i = 0; i < sc; ++i)
            C[i] = product[i];
        return SM_NO_ERROR;
    });
}
