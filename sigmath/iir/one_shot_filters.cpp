// Whole-array filters: each cascade section in turn runs over the whole of y
// in place (direct form I, from rest). Sections are designed one at a time,
// so no working memory is needed whatever the order.
#include "frame/status.hpp"
#include "iir/design.hpp"
#include "iir/validation.hpp"
#include "sigmath/iir.h"

#include <algorithm>

using namespace sigmath;
using namespace sigmath::iir;

namespace {

template <int K> void run_section(const DigitalSection &s, double *y, int32_t n)
{
    double xin[K] = {}; // past inputs, newest first
    double yout[K] = {};
    for (int32_t t = 0; t < n; ++t) {
        const double in = y[t];
        double acc = s.b[0] * in;
        for (int m = 0; m < K; ++m)
            acc += s.b[m + 1] * xin[m] - s.a[m] * yout[m];
        for (int m = K - 1; m > 0; --m) {
            xin[m] = xin[m - 1];
            yout[m] = yout[m - 1];
        }
        xin[0] = in;
        yout[0] = acc;
        y[t] = acc;
    }
}

struct OneShot {
    Family family;
    int32_t type;
    double fl, fh, ripple, attenuation;
};

int32_t filter_once(const OneShot &o, const double *x, int32_t n, double fs, int32_t order, double *y)
{
    return guarded([&]() -> int32_t {
        const bool band = o.type == kBandpass || o.type == kBandstop;
        Arguments args;
        args.n = n;
        args.x = x;
        args.y = y;
        args.type = o.type;
        args.order = order;
        args.fs = fs;
        args.fl = o.fl;
        args.fh = o.fh;
        args.has_fh = band;
        args.ripple = o.ripple;
        args.attenuation = o.attenuation;
        using enum Test;
        int32_t status = validate(args, {Count, Order, Fl, Fh, Fs});
        if (status == SM_NO_ERROR && (o.family == Family::Chebyshev || o.family == Family::Elliptic))
            status = validate(args, {Ripple});
        if (status == SM_NO_ERROR && (o.family == Family::InverseChebyshev || o.family == Family::Elliptic))
            status = validate(args, {Attenuation});
        if (status == SM_NO_ERROR && o.family == Family::Elliptic)
            status = validate(args, {AttenuationOverRipple});
        if (status == SM_NO_ERROR)
            status = validate(args, {FlBelowFh, Nyquist});
        if (status != SM_NO_ERROR)
            return status;

        const Design design({o.family, o.type, order, fs, o.fl, o.fh, o.ripple, o.attenuation});
        if (x != y)
            std::copy(x, x + n, y);
        for (int64_t j = 0; j < design.sections(); ++j) {
            const DigitalSection s = design.section(j);
            if (band)
                run_section<4>(s, y, n);
            else
                run_section<2>(s, y, n);
        }
        return SM_NO_ERROR;
    });
}

} // namespace

#define SM_ONE_SHOT_EDGE(name, family, type)                                                                 \
    SIGMATH_EXPORT int32_t name(const double *x, int32_t n, double fs, double fc, int32_t order, double *y)  \
    {                                                                                                        \
        return filter_once({family, type, fc, 0, 0, 0}, x, n, fs, order, y);                                 \
    }
#define SM_ONE_SHOT_BAND(name, family, type)                                                                 \
    SIGMATH_EXPORT int32_t name(const double *x, int32_t n, double fs, double fl, double fh, int32_t order,  \
                                double *y)                                                                   \
    {                                                                                                        \
        return filter_once({family, type, fl, fh, 0, 0}, x, n, fs, order, y);                                \
    }

SM_ONE_SHOT_EDGE(Bw_LPF, Family::Butterworth, kLowpass)
SM_ONE_SHOT_EDGE(Bw_HPF, Family::Butterworth, kHighpass)
SM_ONE_SHOT_BAND(Bw_BPF, Family::Butterworth, kBandpass)
SM_ONE_SHOT_BAND(Bw_BSF, Family::Butterworth, kBandstop)

SIGMATH_EXPORT int32_t Ch_LPF(const double *x, int32_t n, double fs, double fc, double ripple, int32_t order,
                              double *y)
{
    return filter_once({Family::Chebyshev, kLowpass, fc, 0, ripple, 0}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Ch_HPF(const double *x, int32_t n, double fs, double fc, double ripple, int32_t order,
                              double *y)
{
    return filter_once({Family::Chebyshev, kHighpass, fc, 0, ripple, 0}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Ch_BPF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                              int32_t order, double *y)
{
    return filter_once({Family::Chebyshev, kBandpass, fl, fh, ripple, 0}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Ch_BSF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                              int32_t order, double *y)
{
    return filter_once({Family::Chebyshev, kBandstop, fl, fh, ripple, 0}, x, n, fs, order, y);
}

SIGMATH_EXPORT int32_t InvCh_LPF(const double *x, int32_t n, double fs, double fc, double attenuation,
                                 int32_t order, double *y)
{
    return filter_once({Family::InverseChebyshev, kLowpass, fc, 0, 0, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t InvCh_HPF(const double *x, int32_t n, double fs, double fc, double attenuation,
                                 int32_t order, double *y)
{
    return filter_once({Family::InverseChebyshev, kHighpass, fc, 0, 0, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t InvCh_BPF(const double *x, int32_t n, double fs, double fl, double fh,
                                 double attenuation, int32_t order, double *y)
{
    return filter_once({Family::InverseChebyshev, kBandpass, fl, fh, 0, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t InvCh_BSF(const double *x, int32_t n, double fs, double fl, double fh,
                                 double attenuation, int32_t order, double *y)
{
    return filter_once({Family::InverseChebyshev, kBandstop, fl, fh, 0, attenuation}, x, n, fs, order, y);
}

SIGMATH_EXPORT int32_t Elp_LPF(const double *x, int32_t n, double fs, double fc, double ripple,
                               double attenuation, int32_t order, double *y)
{
    return filter_once({Family::Elliptic, kLowpass, fc, 0, ripple, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Elp_HPF(const double *x, int32_t n, double fs, double fc, double ripple,
                               double attenuation, int32_t order, double *y)
{
    return filter_once({Family::Elliptic, kHighpass, fc, 0, ripple, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Elp_BPF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                               double attenuation, int32_t order, double *y)
{
    return filter_once({Family::Elliptic, kBandpass, fl, fh, ripple, attenuation}, x, n, fs, order, y);
}
SIGMATH_EXPORT int32_t Elp_BSF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                               double attenuation, int32_t order, double *y)
{
    return filter_once({Family::Elliptic, kBandstop, fl, fh, ripple, attenuation}, x, n, fs, order, y);
}
