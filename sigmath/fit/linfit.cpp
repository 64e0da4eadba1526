// Straight-line least squares from the four running sums.
#include "fit/solvers.hpp"
#include "frame/status.hpp"
#include "sigmath/fit.h"

using namespace sigmath;

SIGMATH_EXPORT int32_t LinFit(const double *x, const double *y, int32_t n, double *fitted, double *slope,
                              double *intercept, double *mse)
{
    return guarded([&]() -> int32_t {
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        double sx = 0.0;
        double sxx = 0.0;
        double sy = 0.0;
        double sxy = 0.0;
        for (int32_t i = 0; i < n; ++i) {
            sx += x[i];
            sxx += x[i] * x[i];
            sy += y[i];
            sxy += x[i] * y[i];
        }
        const double count = static_cast<double>(n);
        // All x equal: d = 0 and the results are infinities or NaN, status 0.
        const double d = sx * sx - count * sxx;
        const double a = (sx * sy - count * sxy) / d;
        const double b = (sx * sxy - sy * sxx) / d;
        for (int32_t i = 0; i < n; ++i)
            fitted[i] = a * x[i] + b;
        *slope = a;
        *intercept = b;
        *mse = fit::meanSquaredError(y, fitted, n);
        return SM_NO_ERROR;
    });
}
