// Equal-width histogram over [base, top] and the mode taken from it.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/statistics.h"

#include <cstddef>

using namespace sigmath;

SIGMATH_EXPORT int32_t Histogram(const double *x, int32_t n, double base, double top, int32_t *histogram,
                                 double *axis, int32_t intervals)
{
    return guarded([&]() -> int32_t {
        if (!(base < top))
            return fail(SM_ERR_BASE_TOP);
        if (n < 1 || intervals < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const double width = (top - base) / intervals;
        const double scale = 1.0 / width;
        double centre = base + width / 2.0;
        for (int32_t i = 0; i < intervals; ++i) {
            axis[i] = centre;
            histogram[i] = 0;
            centre += width;
        }
        for (int32_t i = 0; i < n; ++i) {
            // Tested as a double so no value converts out of range.
            const double slot = rt::floor((x[i] - base) * scale);
            if (slot >= 0.0 && slot < intervals)
                ++histogram[static_cast<int32_t>(slot)];
            else if (x[i] >= base && x[i] <= top)
                // top itself, or a value just below it whose slot rounded up
                // to one past the end: both belong to the last interval.
                ++histogram[intervals - 1];
        }
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Mode(const double *x, int32_t n, double base, double top, int32_t intervals,
                            double *mode)
{
    return guarded([&]() -> int32_t {
        if (intervals < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        rt::Buffer<int32_t> counts(static_cast<std::size_t>(intervals));
        if (!counts.ok())
            return fail(SM_ERR_NO_MEMORY);
        rt::Buffer<double> axis(static_cast<std::size_t>(intervals));
        if (!axis.ok())
            return fail(SM_ERR_NO_MEMORY);
        const int32_t status = Histogram(x, n, base, top, counts.data(), axis.data(), intervals);
        if (status != SM_NO_ERROR)
            return status;
        // Strictly greater: ties go to the lowest interval.
        double best = axis[0];
        int32_t most = 0;
        for (int32_t i = 0; i < intervals; ++i) {
            if (counts[static_cast<std::size_t>(i)] > most) {
                most = counts[static_cast<std::size_t>(i)];
                best = axis[static_cast<std::size_t>(i)];
            }
        }
        *mode = best;
        return SM_NO_ERROR;
    });
}
