// Special functions behind the distributions: lnGamma, the regularised
// incomplete beta function and the normal upper tail.
#pragma once

#include <cstdint>

namespace sigmath::dist {

// Lanczos approximation with six coefficients (about 1e-10 for z >= 0.5).
double lnGamma(double z);

// I_x(a, b). Returns 0 or -20057 when x lies outside [0, 1] (NaN included);
// *result is written only on success.
int32_t incompleteBeta(double x, double a, double b, double *result);

// P(X <= x) of the standard normal distribution (five-digit approximation).
double normalCdf(double x);

// Lower end of the final bracket of a bisection for cdf(v) = p, stopped once
// the bracket is narrower than 1e-4.
template <class Cdf> double bisect(double lo, double hi, double p, Cdf cdf)
{
    while (hi - lo >= 0.0001 || lo - hi >= 0.0001) {
        const double mid = (lo + hi) / 2.0;
        if (cdf(mid) < p)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

} // namespace sigmath::dist
