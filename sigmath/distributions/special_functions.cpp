#include "distributions/special_functions.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"

namespace sigmath::dist {
namespace {

// Continued fraction of the incomplete beta function, evaluated by the
// even/odd two-step recurrence of its convergents; after every step all
// terms are divided by the newest lower value so nothing overflows.
// Stops at a relative change below 1e-7 or after 100 steps (no error then).
double betaContinuedFraction(double a, double b, double x)
{
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    double am = 1.0;
    double bm = 1.0;
    double az = 1.0;
    double bz = 1.0 - qab * x / qap;
    for (int32_t m = 1; m <= 100; ++m) {
        const double em = m;
        const double tem = em + em;
        double d = em * (b - em) * x / ((qam + tem) * (a + tem));
        const double ap = az + d * am;
        const double bp = bz + d * bm;
        d = -(a + em) * (qab + em) * x / ((qap + tem) * (a + tem));
        const double app = ap + d * az;
        const double bpp = bp + d * bz;
        const double aold = az;
        am = ap / bpp;
        bm = bp / bpp;
        az = app / bpp;
        bz = 1.0;
        if (rt::fabs(az - aold) < 1e-7 * rt::fabs(az))
            break;
    }
    return az;
}

} // namespace

double lnGamma(double z)
{
    static constexpr double kCof[6] = {76.18009173,  -86.50532033,  24.01409822,
                                       -1.231739516, 0.00120858003, -5.36382e-06};
    const double y = z - 1.0;
    double tmp = y + 5.5;
    tmp = (y + 0.5) * rt::log(tmp) - tmp;
    double ser = 1.0;
    for (int j = 0; j < 6; ++j)
        ser += kCof[j] / (y + 1.0 + j);
    return tmp + rt::log(2.50662827465 * ser);
}

int32_t incompleteBeta(double x, double a, double b, double *result)
{
    if (!(x >= 0.0 && x <= 1.0))
        return fail(SM_ERR_BETA);
    if (x == 0.0 || x == 1.0) {
        *result = x;
        return SM_NO_ERROR;
    }
    const double front =
        rt::exp(lnGamma(a + b) - lnGamma(a) - lnGamma(b) + a * rt::log(x) + b * rt::log(1.0 - x));
    if (x < (a + 1.0) / (a + b + 2.0))
        *result = front * betaContinuedFraction(a, b, x) / a;
    else
        *result = 1.0 - front * betaContinuedFraction(b, a, 1.0 - x) / b;
    return SM_NO_ERROR;
}

double normalCdf(double x)
{
    const double ax = rt::fabs(x);
    const double t = 1.0 / (1.0 + 0.33267 * ax);
    const double poly = 0.4361836 * t - 0.1201676 * t * t + 0.937298 * t * t * t;
    const double p = 1.0 - poly * 0.3989422 * rt::exp(-x * x / 2.0);
    return x >= 0.0 ? p : 1.0 - p;
}

} // namespace sigmath::dist
