// Least-squares polynomial: the Vandermonde-type observation matrix handed to
// GenLSFit's SVD path.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/fit.h"

#include <cstddef>

using namespace sigmath;

SIGMATH_EXPORT int32_t PolyFit(const double *x, const double *y, int32_t n, int32_t order, double *fitted,
                               double *coef, double *mse)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (order < 0)
            return fail(SM_ERR_ORDER_GE_ZERO);
        if (order >= n)
            return fail(SM_ERR_SIZE_ORDER);
        const std::size_t m = static_cast<std::size_t>(n);
        const std::size_t k = static_cast<std::size_t>(order) + 1;
        rt::Buffer<double> h(m * k);
        if (!h.ok())
            return fail(SM_ERR_NO_MEMORY);
        // The runtime's pow keeps x^0 = 1 (zero included) and the sign rule
        // of integral powers of negative x.
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < k; ++j)
                h[i * k + j] = rt::pow(x[i], static_cast<double>(j));
        return GenLSFit(h.data(), n, static_cast<int32_t>(k), y, nullptr, 0, fitted, coef, nullptr, mse);
    });
}
