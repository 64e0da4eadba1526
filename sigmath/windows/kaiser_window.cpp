// Kaiser window in its periodic form.
#include "windows/cosine_windows.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/windows.h"

namespace {

using namespace sigmath;

// Modified Bessel function of order 0 by its power series. The sum stops when
// a term changes it by at most 1e-8 or after 25 terms (t0 included), which
// keeps the cost fixed for any beta.
double besselI0(double v)
{
    const double v2 = v * v;
    double term = 1.0;
    double sum = 1.0;
    for (int32_t m = 1; m < 25; ++m) {
        const double twoM = 2.0 * m;
        term = term * v2 / (twoM * twoM);
        sum += term;
        if (term <= 1e-8)
            break;
    }
    return sum;
}

} // namespace

SIGMATH_EXPORT int32_t KsrWin(double *x, int32_t n, double beta)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const double i0Beta = besselI0(beta);
        x[0] *= 1.0 / i0Beta;
        const int32_t last = win::lastPairIndex(n);
        for (int32_t k = 1; k <= last; ++k) {
            const double u = 1.0 - k * 2.0 / n;
            const double w = besselI0(beta * rt::sqrt(1.0 - u * u)) / i0Beta;
            x[k] *= w;
            x[n - k] *= w;
        }
        return SM_NO_ERROR;
    });
}
