// Chi-square distribution by its closed forms for odd and even degrees of
// freedom.
#include "distributions/special_functions.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/distributions.h"

namespace {

using namespace sigmath;

// The series loops stop early once a term is zero or the sum is no longer
// finite: later terms could not change the result, and this keeps huge
// degrees of freedom from running for billions of steps.
double chiSquareCdf(double x, int32_t df)
{
    if (x <= 0.0)
        return 0.0;
    // The series below would form 0 * infinity at the upper end of the range.
    if (x > 1.7976931348623157e308)
        return 1.0;
    if (df == 1)
        return 1.0 - 2.0 * (1.0 - dist::normalCdf(rt::sqrt(x)));
    const double half = x / 2.0;
    if (df % 2 == 0) {
        double term = 1.0;
        double sum = 1.0;
        for (int32_t k = 1; k <= df / 2 - 1; ++k) {
            term *= half / k;
            sum += term;
            if (term == 0.0 || !(sum - sum == 0.0))
                break;
        }
        return 1.0 - rt::exp(-half) * sum;
    }
    const double root = rt::sqrt(x);
    double term = root; // x^(1/2) / 1
    double sum = term;
    for (int32_t k = 2; k <= (df - 1) / 2; ++k) {
        term *= x / (2.0 * k - 1.0);
        sum += term;
        if (term == 0.0 || !(sum - sum == 0.0))
            break;
    }
    const double q = 1.0 - dist::normalCdf(root);
    return 1.0 - 2.0 * (0.3989422 * rt::exp(-half) * sum + q);
}

} // namespace

SIGMATH_EXPORT int32_t XX_Dist(double x, int32_t df, double *p)
{
    return guarded([&]() -> int32_t {
        if (df < 1)
            return fail(SM_ERR_DOF);
        *p = chiSquareCdf(x, df);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t InvXX_Dist(double p, int32_t df, double *x)
{
    return guarded([&]() -> int32_t {
        if (!(p > 0.0 && p < 1.0))
            return fail(SM_ERR_PROBABILITY);
        if (df < 1)
            return fail(SM_ERR_DOF);
        *x = dist::bisect(0.0, 10000.0, p, [&](double v) { return chiSquareCdf(v, df); });
        return SM_NO_ERROR;
    });
}
