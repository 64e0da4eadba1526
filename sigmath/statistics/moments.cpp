// One-pass descriptive statistics: mean, variance, standard deviation, RMS
// and central moments.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/statistics.h"

namespace {

using namespace sigmath;

struct Sums {
    double sum = 0.0;
    double squares = 0.0;
};

Sums sums(const double *x, int32_t n)
{
    Sums s;
    for (int32_t i = 0; i < n; ++i) {
        s.sum += x[i];
        s.squares += x[i] * x[i];
    }
    return s;
}

// Stores the mean and returns the population variance (divisor n), both from
// one pass over the running sums.
double mean_and_variance(const double *x, int32_t n, double *mean)
{
    const Sums s = sums(x, n);
    const double m = s.sum / n;
    *mean = m;
    return s.squares / n - m * m;
}

// Repeated multiplication, as the moment is defined; very high orders switch
// to binary powering so the cost stays logarithmic in the order.
double power(double base, int32_t order)
{
    constexpr int32_t kRepeatedUpTo = 1024;
    if (order <= kRepeatedUpTo) {
        double p = base;
        for (int32_t i = 1; i < order; ++i)
            p *= base;
        return p;
    }
    double result = 1.0;
    double b = base;
    for (uint32_t e = static_cast<uint32_t>(order); e != 0; e >>= 1) {
        if (e & 1u)
            result *= b;
        b *= b;
    }
    return result;
}

} // namespace

SIGMATH_EXPORT int32_t Mean(const double *x, int32_t n, double *mean)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        *mean = sums(x, n).sum / n;
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Variance(const double *x, int32_t n, double *mean, double *variance)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        // Divisor n and no clamping: rounding may leave a tiny negative value.
        *variance = mean_and_variance(x, n, mean);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t StdDev(const double *x, int32_t n, double *mean, double *sDev)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        *sDev = rt::sqrt(rt::fabs(mean_and_variance(x, n, mean)));
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t RMS(const double *x, int32_t n, double *rms)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        *rms = rt::sqrt(sums(x, n).squares / n);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t Moment(const double *x, int32_t n, int32_t order, double *moment)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (order < 1)
            return fail(SM_ERR_ORDER_POSITIVE);
        double mean = 0.0;
        Mean(x, n, &mean);
        double sum = 0.0;
        for (int32_t i = 0; i < n; ++i)
            sum += power(x[i] - mean, order);
        *moment = sum / n;
        return SM_NO_ERROR;
    });
}
