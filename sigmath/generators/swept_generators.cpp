// Sine pattern, sinc pulse and linear chirp.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/generators.h"

using namespace sigmath;

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
} // namespace

SIGMATH_EXPORT int32_t SinePattern(int32_t n, double amplitude, double phase, double cycles, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (cycles > n)
            return fail(SM_ERR_CYCLES);
        double angle = phase * (kPi / 180.0);
        const double step = kTwoPi * cycles / n;
        for (int32_t i = 0; i < n; ++i) {
            out[i] = amplitude * rt::sin(angle);
            angle += step;
        }
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Sinc(int32_t n, double amplitude, double delay, double dt, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (!(dt > 0.0))
            return fail(SM_ERR_DT);
        for (int32_t i = 0; i < n; ++i) {
            const double x = kPi * (i * dt - delay);
            out[i] = (x == 0.0) ? amplitude : amplitude * rt::sin(x) / x;
        }
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Chirp(int32_t n, double amplitude, double f1, double f2, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const double sweep = (f2 - f1) * kPi / n;
        const double start = kTwoPi * f1;
        for (int32_t i = 0; i < n; ++i)
            out[i] = amplitude * rt::sin((i * sweep + start) * i);
        return SM_NO_ERROR;
    });
}
