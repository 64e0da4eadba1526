// Median of a sorted copy, so the caller's data keep their order.
#include "statistics/sort.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/statistics.h"

#include <cstddef>

using namespace sigmath;

SIGMATH_EXPORT int32_t Median(const double *x, int32_t n, double *median)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        rt::Buffer<double> work(static_cast<std::size_t>(n));
        if (!work.ok())
            return fail(SM_ERR_NO_MEMORY);
        hrt_memmove(work.data(), x, static_cast<std::size_t>(n) * sizeof(double));
        stats::sortInPlace(work.data(), n, true);
        const std::size_t mid = static_cast<std::size_t>(n / 2);
        *median = (n % 2 != 0) ? work[mid] : (work[mid - 1] + work[mid]) / 2.0;
        return SM_NO_ERROR;
    });
}
