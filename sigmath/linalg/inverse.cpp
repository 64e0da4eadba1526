// Matrix inverse by LU decomposition with partial pivoting, column by column.
#include "linalg/dense.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/linalg.h"

#include <cstddef>

namespace sigmath::la {

int32_t invert(const double *a, int32_t n, double *inv)
{
    const std::size_t s = static_cast<std::size_t>(n);
    rt::Buffer<double> lu(s * s);
    if (!lu.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> result(s * s);
    if (!result.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> column(s);
    if (!column.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<int32_t> perm(s);
    if (!perm.ok())
        return fail(SM_ERR_NO_MEMORY);

    for (std::size_t i = 0; i < s * s; ++i)
        lu[i] = a[i];
    if (const int32_t status = luDecompose(lu.data(), n, perm.data(), nullptr); status != SM_NO_ERROR)
        return status;
    for (std::size_t j = 0; j < s; ++j) {
        // Column j of the inverse solves A x = e_j; P e_j has its one where perm[i] == j.
        for (std::size_t i = 0; i < s; ++i)
            column[i] = static_cast<std::size_t>(perm[i]) == j ? 1.0 : 0.0;
        forwardUnit(lu.data(), column.data(), n);
        backward(lu.data(), column.data(), n);
        for (std::size_t i = 0; i < s; ++i)
            result[i * s + j] = column[i];
    }
    // Written only now, so a failure leaves the caller's array (possibly a itself) intact.
    for (std::size_t i = 0; i < s * s; ++i)
        inv[i] = result[i];
    return SM_NO_ERROR;
}

} // namespace sigmath::la

using namespace sigmath;

SIGMATH_EXPORT int32_t InvMatrix(const double *A, int32_t rows, int32_t cols, double *inv)
{
    return guarded([&]() -> int32_t {
        if (rows < 1 || cols < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (rows != cols)
            return fail(SM_ERR_SQUARE);
        return la::invert(A, rows, inv);
    });
}
