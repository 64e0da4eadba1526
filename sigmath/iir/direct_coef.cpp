// Direct-form coefficients: the cascade sections multiplied out. Used by the
// direct-form designers and by CascadeToDirectCoef.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "iir/design.hpp"
#include "iir/validation.hpp"
#include "sigmath/iir.h"

#include <algorithm>

using namespace sigmath;
using namespace sigmath::iir;

namespace {

// poly (length len) *= factor (length k + 1), in place from the top down so
// that every old value is read before it is overwritten.
void convolve_in_place(double *poly, int64_t len, const double *factor, int64_t k)
{
    for (int64_t i = len + k - 1; i >= 0; --i) {
        double acc = 0.0;
        for (int64_t m = 0; m <= k; ++m) {
            const int64_t src = i - m;
            if (src >= 0 && src < len)
                acc += factor[m] * poly[src];
        }
        poly[i] = acc;
    }
}

// Multiplies `sections` sections, produced by section_at(j, a_out, b_out),
// and copies the first m coefficients of each product to a and b.
template <class SectionAt>
int32_t multiply_out(int64_t k, int64_t sections, int64_t m, SectionAt section_at, double *a, double *b)
{
    const auto product_len = static_cast<std::size_t>(k * sections + 1);
    rt::Buffer<double> den(product_len);
    if (!den.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> num(product_len);
    if (!num.ok())
        return fail(SM_ERR_NO_MEMORY);
    den[0] = 1.0;
    num[0] = 1.0;
    int64_t len = 1;
    double sa[5], sb[5];
    for (int64_t j = 0; j < sections; ++j) {
        sa[0] = 1.0;
        section_at(j, sa + 1, sb);
        convolve_in_place(den.data(), len, sa, k);
        convolve_in_place(num.data(), len, sb, k);
        len += k;
    }
    std::copy(den.data(), den.data() + m, a);
    std::copy(num.data(), num.data() + m, b);
    return SM_NO_ERROR;
}

int32_t design_direct(Family family, int32_t type, int32_t order, double fs, double fl, double fh,
                      double ripple, double attenuation, double *a, int32_t na, double *b, int32_t nb,
                      std::initializer_list<Test> tests)
{
    return guarded([&]() -> int32_t {
        Arguments args;
        args.type = type;
        args.order = order;
        args.fs = fs;
        args.fl = fl;
        args.fh = valid_type(type) ? effective_fh(type, fs, fl, fh) : fh;
        args.ripple = ripple;
        args.attenuation = attenuation;
        args.a = a;
        args.na = na;
        args.b = b;
        args.nb = nb;
        if (const int32_t status = validate(args, tests); status != SM_NO_ERROR)
            return status;
        const Design design({family, type, order, fs, fl, args.fh, ripple, attenuation});
        const int64_t k = section_width(type);
        return multiply_out(
            k, design.sections(), direct_length(type, order),
            [&](int64_t j, double *sa, double *sb) {
                const DigitalSection s = design.section(j);
                std::copy(s.a, s.a + k, sa);
                std::copy(s.b, s.b + k + 1, sb);
            },
            a, b);
    });
}

} // namespace

SIGMATH_EXPORT int32_t CascadeToDirectCoef(const IIRFilterInfo *filter, double *a, int32_t na, double *b,
                                           int32_t nb)
{
    return guarded([&]() -> int32_t {
        if (filter == nullptr)
            return fail(SM_ERR_IIR_INFO);
        if (filter->order < 1)
            return fail(SM_ERR_ORDER_POSITIVE);
        if (!valid_type(filter->type))
            return fail(SM_ERR_SELECTION);
        const int64_t k = section_width(filter->type);
        const int64_t ns = section_count(filter->order);
        if (filter->na != k * ns || filter->nb != (k + 1) * ns || filter->a == nullptr ||
            filter->b == nullptr)
            return fail(SM_ERR_IIR_INFO);
        const int64_t m = direct_length(filter->type, filter->order);
        if (a == nullptr || b == nullptr || na < m || nb < m)
            return fail(SM_ERR_IIR_INFO);
        return multiply_out(
            k, ns, m,
            [&](int64_t j, double *sa, double *sb) {
                std::copy(filter->a + k * j, filter->a + k * (j + 1), sa);
                std::copy(filter->b + (k + 1) * j, filter->b + (k + 1) * (j + 1), sb);
            },
            a, b);
    });
}

SIGMATH_EXPORT int32_t Bw_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double *a,
                               int32_t na, double *b, int32_t nb)
{
    using enum Test;
    return design_direct(Family::Butterworth, type, order, fs, fl, fh, 0, 0, a, na, b, nb,
                         {Order, Fl, Fh, Fs, FlBelowFh, Nyquist, ArraySizes, Type});
}

SIGMATH_EXPORT int32_t Bessel_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double *a,
                                   int32_t na, double *b, int32_t nb)
{
    using enum Test;
    return design_direct(Family::Bessel, type, order, fs, fl, fh, 0, 0, a, na, b, nb,
                         {Order, Fl, Fh, Fs, FlBelowFh, Nyquist, ArraySizes, Type});
}

SIGMATH_EXPORT int32_t Ch_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double ripple,
                               double *a, int32_t na, double *b, int32_t nb)
{
    using enum Test;
    return design_direct(Family::Chebyshev, type, order, fs, fl, fh, ripple, 0, a, na, b, nb,
                         {Order, Fl, Fh, Fs, Ripple, FlBelowFh, Nyquist, ArraySizes, Type});
}

SIGMATH_EXPORT int32_t InvCh_Coef(int32_t type, int32_t order, double fs, double fl, double fh,
                                  double attenuation, double *a, int32_t na, double *b, int32_t nb)
{
    using enum Test;
    return design_direct(Family::InverseChebyshev, type, order, fs, fl, fh, 0, attenuation, a, na, b, nb,
                         {Order, Fl, Fh, Fs, FlBelowFh, Attenuation, Nyquist, ArraySizes, Type});
}

SIGMATH_EXPORT int32_t Elp_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double ripple,
                                double attenuation, double *a, int32_t na, double *b, int32_t nb)
{
    using enum Test;
    return design_direct(Family::Elliptic, type, order, fs, fl, fh, ripple, attenuation, a, na, b, nb,
                         {Order, Fl, Fh, Fs, FlBelowFh, Nyquist, Ripple, Attenuation, AttenuationOverRipple,
                          ArraySizes, Type});
}
