// Length of a 2-vector, scaled by its larger component so that squaring never
// overflows or underflows.
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"

namespace sigmath::fit {

double length(double a, double b)
{
    const double absA = rt::fabs(a);
    const double absB = rt::fabs(b);
    if (absA > absB) {
        const double r = absB / absA;
        return absA * rt::sqrt(1.0 + r * r);
    }
    if (absB == 0.0)
        return 0.0;
    const double r = absA / absB;
    return absB * rt::sqrt(1.0 + r * r);
}

} // namespace sigmath::fit
