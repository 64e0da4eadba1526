// Iterations are bounded (25 steps) so that no argument, however odd, can
// make a design call hang.
#include "iir/elliptic_functions.hpp"

#include "frame/runtime.hpp"

#include <numbers>

namespace sigmath::iir {
namespace {

constexpr int kMaxSteps = 25;

double agm(double a, double b)
{
    for (int i = 0; i < kMaxSteps; ++i) {
        const double an = 0.5 * (a + b);
        const double bn = rt::sqrt(a * b);
        const bool done = rt::fabs(an - a) < 1e-10 * rt::fabs(an);
        a = an;
        b = bn;
        if (done)
            break;
    }
    return a;
}

} // namespace

double complete_k(double mc) { return std::numbers::pi / (2.0 * agm(1.0, mc)); }

double incomplete_f_arctan(double x, double mc)
{
    if (x == 0.0)
        return 0.0;
    if (mc == 0.0) // modulus 1: F(arctan x, 1) = asinh x
        return rt::log(rt::fabs(x) + rt::sqrt(1.0 + x * x)) * (x < 0 ? -1.0 : 1.0);
    constexpr double kTolerance = 1.2e-7;
    double y = rt::fabs(1.0 / x);
    double kc = rt::fabs(mc);
    double m = 1.0;
    double l = 0.0;
    for (int step = 0; step < kMaxSteps; ++step) {
        const double e = m * kc;
        const double g = m;
        m = kc + m;
        y = y - e / y;
        if (y == 0.0)
            y = rt::sqrt(e) * 1e-10;
        if (!(rt::fabs(g - kc) > kTolerance * g))
            break;
        kc = 2.0 * rt::sqrt(e);
        l = 2.0 * l;
        if (y < 0.0)
            l += 1.0;
    }
    if (y < 0.0)
        l += 1.0;
    double f = (rt::atan(m / y) + std::numbers::pi * l) / m;
    return x < 0.0 ? -f : f;
}

JacobiValues jacobi(double u, double m, double mc)
{
    if (u == 0.0)
        return {0.0, 1.0, 1.0};
    double a[kMaxSteps + 1];
    double c[kMaxSteps + 1];
    a[0] = 1.0;
    double b = mc;
    c[0] = m;
    int last = 0;
    while (last < kMaxSteps && rt::fabs(c[last]) >= 1e-10 * rt::fabs(a[last])) {
        const double an = 0.5 * (a[last] + b);
        c[last + 1] = 0.5 * (a[last] - b);
        b = rt::sqrt(a[last] * b);
        a[last + 1] = an;
        ++last;
    }
    if (last == 0) // modulus 0: the circular functions
        return {rt::sin(u), rt::cos(u), 1.0};
    double phi = rt::ldexp(a[last] * u, last);
    double phi_next = phi;
    for (int i = last; i > 0; --i) {
        phi_next = phi;
        phi = 0.5 * (phi + rt::asin(c[i] / a[i] * rt::sin(phi)));
    }
    const double sn = rt::sin(phi);
    const double cn = rt::cos(phi);
    return {sn, cn, cn / rt::cos(phi_next - phi)};
}

double selectivity_modulus(int n, double k1, double k1c)
{
    // K(k1') over K(k1): the complement of k1' is k1 itself.
    const double q = rt::exp(-std::numbers::pi * complete_k(k1) / (n * complete_k(k1c)));
    double s1 = 1.0; // 1 + q^2 + q^6 + q^12 + ...
    double s2 = 1.0; // 1 + 2q + 2q^4 + 2q^9 + ...
    for (int m = 1; m < kMaxSteps; ++m) {
        const double t1 = rt::pow(q, static_cast<double>(m) * (m + 1));
        s1 += t1;
        s2 += 2.0 * rt::pow(q, static_cast<double>(m) * m);
        if (t1 < 1e-10)
            break;
    }
    const double k = 4.0 * rt::sqrt(q) * s1 * s1 / (s2 * s2);
    return k > 1.0 ? 1.0 : k;
}

} // namespace sigmath::iir
