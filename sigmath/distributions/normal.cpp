// Standard normal distribution and its inverse (rational approximations).
#include "distributions/special_functions.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/distributions.h"

using namespace sigmath;

SIGMATH_EXPORT int32_t N_Dist(double x, double *p)
{
    return guarded([&]() -> int32_t {
        *p = dist::normalCdf(x);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t InvN_Dist(double p, double *x)
{
    return guarded([&]() -> int32_t {
        // Written as a range test so NaN is refused too.
        if (!(p > 0.0 && p < 1.0))
            return fail(SM_ERR_PROBABILITY);
        constexpr double c0 = 2.515517, c1 = 0.802853, c2 = 0.010328;
        constexpr double d1 = 1.432788, d2 = 0.189269, d3 = 0.001308;
        const auto r = [&](double t) {
            return (c0 + c1 * t + c2 * t * t) / (1.0 + d1 * t + d2 * t * t + d3 * t * t * t);
        };
        if (p < 0.5) {
            const double t = rt::sqrt(rt::log(1.0 / (p * p)));
            *x = r(t) - t;
        } else {
            const double q = 1.0 - p;
            const double t = rt::sqrt(rt::log(1.0 / (q * q)));
            *x = t - r(t);
        }
        return SM_NO_ERROR;
    });
}
