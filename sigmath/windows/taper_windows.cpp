// Windows that shape only the ends of a record: cosine taper, exponential
// decay and the force window.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/windows.h"

using namespace sigmath;

SIGMATH_EXPORT int32_t CosTaperedWin(double *x, int32_t n)
{
    return guarded([&]() -> int32_t {
        // Records shorter than ten samples have no taper at all (no error).
        const int32_t m = n / 10;
        if (m < 1)
            return SM_NO_ERROR;
        constexpr double kPi = 3.141592653589793;
        x[0] = 0.0;
        x[n - 1] = 0.0;
        for (int32_t k = 1; k < m; ++k) {
            const double s = rt::sin(k * kPi / (2.0 * m));
            const double w = s * s;
            x[k] *= w;
            x[n - 1 - k] *= w;
        }
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t ExpWin(double *x, int32_t n, double finalValue)
{
    return guarded([&]() -> int32_t {
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        const double rate = rt::log(finalValue) / (n - 1);
        // The first weight is e^0 = 1 by definition; forming it as e^(0 * rate)
        // would turn a final value of 0 (rate = -inf) into NaN.
        for (int32_t k = 1; k < n; ++k)
            x[k] *= rt::exp(k * rate);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t ForceWin(double *x, int32_t n, double duty)
{
    return guarded([&]() -> int32_t {
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        // Clamped as a double before the truncation so that no duty, however
        // large or NaN, converts out of range; NaN keeps the whole record.
        double m = static_cast<double>(n) * duty / 100.0;
        if (!(m < n))
            m = n;
        if (m < 0.0)
            m = 0.0;
        for (int32_t i = static_cast<int32_t>(m); i < n; ++i)
            x[i] = 0.0;
        return SM_NO_ERROR;
    });
}
