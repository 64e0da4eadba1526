// Fisher's F distribution through the incomplete beta function.
#include "distributions/special_functions.hpp"

#include "frame/status.hpp"
#include "sigmath/distributions.h"

namespace {

using namespace sigmath;

int32_t fCdf(double f, int32_t df1, int32_t df2, double *p)
{
    if (f <= 0.0) {
        *p = 0.0;
        return SM_NO_ERROR;
    }
    const double x = df2 / (df2 + static_cast<double>(df1) * f);
    double ib = 0.0;
    const int32_t status = dist::incompleteBeta(x, df2 / 2.0, df1 / 2.0, &ib);
    if (status != SM_NO_ERROR)
        return status;
    *p = 1.0 - ib;
    return SM_NO_ERROR;
}

} // namespace

SIGMATH_EXPORT int32_t F_Dist(double f, int32_t df1, int32_t df2, double *p)
{
    return guarded([&]() -> int32_t {
        if (df1 < 1 || df2 < 1)
            return fail(SM_ERR_DOF);
        return fCdf(f, df1, df2, p);
    });
}

SIGMATH_EXPORT int32_t InvF_Dist(double p, int32_t df1, int32_t df2, double *f)
{
    return guarded([&]() -> int32_t {
        if (df1 < 1 || df2 < 1)
            return fail(SM_ERR_DOF);
        if (!(p > 0.0 && p < 1.0))
            return fail(SM_ERR_PROBABILITY);
        // Inside the bracket f > 0 and x lies in (0, 1), so fCdf cannot fail.
        *f = dist::bisect(1e-06, 10000.0, p, [&](double v) {
            double q = 0.0;
            fCdf(v, df1, df2, &q);
            return q;
        });
        return SM_NO_ERROR;
    });
}
