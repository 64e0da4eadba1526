// Student's t distribution through the incomplete beta function.
#include "distributions/special_functions.hpp"

#include "frame/status.hpp"
#include "sigmath/distributions.h"

namespace {

using namespace sigmath;

// Only NaN t can make the beta function refuse x; the value is then NaN too.
double tCdf(double t, int32_t df)
{
    const double x = df / (df + t * t);
    double ib = 0.0;
    if (dist::incompleteBeta(x, df / 2.0, 0.5, &ib) != SM_NO_ERROR)
        return t;
    return t < 0.0 ? ib / 2.0 : 1.0 - ib / 2.0;
}

} // namespace

SIGMATH_EXPORT int32_t T_Dist(double t, int32_t df, double *p)
{
    return guarded([&]() -> int32_t {
        if (df < 1)
            return fail(SM_ERR_DOF);
        *p = tCdf(t, df);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t InvT_Dist(double p, int32_t df, double *t)
{
    return guarded([&]() -> int32_t {
        if (df < 1)
            return fail(SM_ERR_DOF);
        if (!(p > 0.0 && p < 1.0))
            return fail(SM_ERR_PROBABILITY);
        *t = dist::bisect(-10000.0, 10000.0, p, [&](double v) { return tCdf(v, df); });
        return SM_NO_ERROR;
    });
}
