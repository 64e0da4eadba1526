// AC and DC content of a record, estimated through a Hanning window.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/statistics.h"
#include "sigmath/windows.h"

#include <cstddef>

using namespace sigmath;

SIGMATH_EXPORT int32_t ACDCEstimator(const double *x, int32_t n, double *acEstimate, double *dcEstimate)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        rt::Buffer<double> y(static_cast<std::size_t>(n));
        if (!y.ok())
            return fail(SM_ERR_NO_MEMORY);
        double m = 0.0;
        Mean(x, n, &m);
        for (int32_t i = 0; i < n; ++i)
            y[static_cast<std::size_t>(i)] = x[i] - m;
        HanWin(y.data(), n);
        double my = 0.0;
        double vy = 0.0;
        Variance(y.data(), n, &my, &vy);
        // For a constant record the two terms cancel; rounding must not turn
        // that zero into the root of a tiny negative number.
        double radicand = (vy - 0.5 * my * my) * 8.0 / 3.0;
        if (radicand < 0.0)
            radicand = 0.0;
        *acEstimate = rt::sqrt(radicand);
        *dcEstimate = 2.0 * my + m;
        return SM_NO_ERROR;
    });
}
