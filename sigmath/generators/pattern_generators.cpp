// Deterministic test patterns: impulse, rectangular pulse, ramp and triangle.
#include "frame/status.hpp"
#include "sigmath/generators.h"

using namespace sigmath;

SIGMATH_EXPORT int32_t Impulse(int32_t n, double amplitude, int32_t index, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (index < 0 || index >= n)
            return fail(SM_ERR_INDEX);
        for (int32_t i = 0; i < n; ++i)
            out[i] = 0.0;
        out[index] = amplitude;
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Pulse(int32_t n, double amplitude, int32_t delay, int32_t width, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        // Summed in 64 bits: two large counts must not wrap into a small one.
        if (delay < 0 || width < 0 || static_cast<int64_t>(delay) + width > n)
            return fail(SM_ERR_DELAY_WIDTH);
        for (int32_t i = 0; i < n; ++i)
            out[i] = (i >= delay && i - delay < width) ? amplitude : 0.0;
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Ramp(int32_t n, double first, double last, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        // Accumulated, so the last value carries the rounding of the sum.
        const double step = (last - first) / (n - 1);
        out[0] = first;
        for (int32_t i = 1; i < n; ++i)
            out[i] = out[i - 1] + step;
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Triangle(int32_t n, double amplitude, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        const int32_t half = n / 2;
        const int32_t mirror = (n % 2 != 0) ? n - 1 : n;
        const double step = amplitude / half;
        out[0] = 0.0;
        if (n % 2 != 0)
            out[n - 1] = 0.0;
        double v = 0.0;
        for (int32_t k = 1; k <= half; ++k) {
            v += step;
            out[k] = v;
            out[mirror - k] = v;
        }
        return SM_NO_ERROR;
    });
}
