// Floating-point math exports. Each function exists in two result forms (the
// double itself, and its bit pattern as an integer pair) and sets the calling
// thread's error number only in the documented cases, never clearing it.
#include "hostrt/hostrt.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

thread_local int32_t t_errno = 0;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double domainError()
{
    t_errno = HOSTRT_EDOM;
    return kNaN;
}

double checkRange(double r)
{
    if (std::isinf(r))
        t_errno = HOSTRT_ERANGE;
    return r;
}

double rtAcos(double x)
{
    if (std::fabs(x) > 1.0)
        return domainError();
    return 2.0 * std::atan(std::sqrt((1.0 - x) / (1.0 + x)));
}

double rtAsin(double x)
{
    if (std::fabs(x) > 1.0)
        return domainError();
    return std::atan2(x, std::sqrt((1.0 - x) * (1.0 + x)));
}

double rtLogCommon(double x, double (*f)(double))
{
    if (x < 0.0)
        return domainError();
    return checkRange(f(x)); // log(0) = -inf is a range error
}

// x^y for x > 0 (or the magnitude of a negative x): 2^(y*log2 x), computed by
// the C library for full precision; NaN exponents stay NaN as in the formula.
double positivePow(double x, double y)
{
    if (std::isnan(y) || (std::isinf(x) && y == 0.0))
        return kNaN;
    return checkRange(std::pow(x, y));
}

double rtPow(double x, double y)
{
    if (std::isnan(x))
        return x;
    if (x == 0.0) {
        if (y == 0.0)
            return 1.0;
        if (y > 0.0)
            return 0.0;
        if (y < 0.0) {
            t_errno = HOSTRT_EDOM;
            return kInf;
        }
        return kNaN; // y is NaN
    }
    if (x < 0.0) {
        if (std::isnan(y) || std::trunc(y) != y)
            return domainError();
        const double magnitude = positivePow(-x, y);
        const bool odd = std::fmod(y, 2.0) != 0.0;
        return odd ? -magnitude : magnitude;
    }
    return positivePow(x, y);
}

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

} // namespace

extern "C" {

HOSTRT_API int32_t *hrt_errno_location(void) { return &t_errno; }

#define HOSTRT_MATH1(name, expr)                                                                   \
    HOSTRT_API double hrt_##name##_FLTREG_(double x) { return (expr); }                            \
    HOSTRT_API uint64_t hrt_##name##_FLTEAXEDX_(double x) { return bits(hrt_##name##_FLTREG_(x)); }

#define HOSTRT_MATH2(name, T2, expr)                                                               \
    HOSTRT_API double hrt_##name##_FLTREG_(double x, T2 y) { return (expr); }                      \
    HOSTRT_API uint64_t hrt_##name##_FLTEAXEDX_(double x, T2 y)                                    \
    {                                                                                              \
        return bits(hrt_##name##_FLTREG_(x, y));                                                   \
    }

HOSTRT_MATH1(sin, std::sin(x))
HOSTRT_MATH1(cos, std::cos(x))
HOSTRT_MATH1(tan, std::tan(x))
HOSTRT_MATH1(atan, std::atan(x))
HOSTRT_MATH1(acos, rtAcos(x))
HOSTRT_MATH1(asin, rtAsin(x))
HOSTRT_MATH1(exp, checkRange(std::exp(x)))
HOSTRT_MATH1(log, rtLogCommon(x, [](double v) { return std::log(v); }))
HOSTRT_MATH1(log10, rtLogCommon(x, [](double v) { return std::log10(v); }))
HOSTRT_MATH1(sqrt, x < 0.0 ? domainError() : std::sqrt(x))
HOSTRT_MATH1(fabs, std::fabs(x))
HOSTRT_MATH1(ceil, std::ceil(x))
HOSTRT_MATH1(floor, std::floor(x))
// atan2 takes (y, x): the macro's first parameter is the ordinate here.
HOSTRT_MATH2(atan2, double, std::atan2(x, y))
HOSTRT_MATH2(pow, double, rtPow(x, y))
HOSTRT_MATH2(fmod, double, std::fmod(x, y))
HOSTRT_MATH2(ldexp, int32_t, std::ldexp(x, y))

} // extern "C"
