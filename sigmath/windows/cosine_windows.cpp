// Fixed cosine-sum windows in their periodic form, applied in place.
#include "windows/cosine_windows.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/windows.h"

namespace {

using namespace sigmath;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

// Three-term windows written as polynomials in c = cos(theta). w(0) is the
// value of the cos(2 theta) form at theta = 0, whose rounding differs from the
// polynomial's; it is kept as that constant so x[0] gets the customary weight.
int32_t applyQuadratic(double *x, int32_t n, double a0, double a1, double a2, double w0)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    const auto w = [=](double c) { return a0 - a1 * c + a2 * c * c; };
    win::applySymmetric(x, n, kTwoPi / n, w0, [&](double theta) { return w(rt::cos(theta)); });
    return SM_NO_ERROR;
}

} // namespace

SIGMATH_EXPORT int32_t HanWin(double *x, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        // sin^2(theta/2): the half angle is stepped directly by pi/n.
        win::applySymmetric(x, n, kPi / n, 0.0, [](double half) {
            const double s = rt::sin(half);
            return s * s;
        });
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t HamWin(double *x, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        const auto w = [](double c) { return 0.54 - 0.46 * c; };
        win::applySymmetric(x, n, kTwoPi / n, 0.08, [&](double theta) { return w(rt::cos(theta)); });
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t BkmanWin(double *x, int32_t n)
{
    return guarded([&] { return applyQuadratic(x, n, 0.34, 0.5, 0.16, -1.3877787807814457e-17); });
}

SIGMATH_EXPORT int32_t ExBkmanWin(double *x, int32_t n)
{
    return guarded([&] {
        return applyQuadratic(x, n, 0.3497420464316423, 0.4965606190885641, 0.15369733447979364,
                              0.006878761822871883);
    });
}

SIGMATH_EXPORT int32_t BlkHarrisWin(double *x, int32_t n)
{
    return guarded([&] { return applyQuadratic(x, n, 0.34401, 0.49755, 0.15844, 0.004900000000000002); });
}

SIGMATH_EXPORT int32_t FlatTopWin(double *x, int32_t n)
{
    return guarded([&] {
        return applyQuadratic(x, n, 0.08302489390000001, 0.5208971735, 0.3960779326, -0.041794346999999954);
    });
}

SIGMATH_EXPORT int32_t GenCosWin(double *x, int32_t n, const double *a, int32_t k)
{
    return guarded([&]() -> int32_t {
        if (n < 1 || k < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        // sum_j (-1)^j a[j] cos(j theta); at theta = 0 and theta = pi the
        // cosines are exactly +-1, so those weights are plain signed sums.
        const auto w = [&](double theta) {
            double sum = 0.0;
            for (int32_t j = 0; j < k; ++j) {
                const double term = a[j] * rt::cos(j * theta);
                sum += (j % 2 == 0) ? term : -term;
            }
            return sum;
        };
        double w0 = 0.0;
        double middle = 0.0;
        for (int32_t j = 0; j < k; ++j) {
            w0 += (j % 2 == 0) ? a[j] : -a[j];
            middle += a[j];
        }
        win::applySymmetric(x, n, kTwoPi / n, w0, w);
        if (n % 2 == 0)
            x[n / 2] *= middle;
        return SM_NO_ERROR;
    });
}
