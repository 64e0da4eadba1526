// Cascade designers: type and order come from the caller's structure, the
// sections go into its a and b arrays; state and reset are left alone.
#include "frame/status.hpp"
#include "iir/design.hpp"
#include "iir/validation.hpp"
#include "sigmath/iir.h"

using namespace sigmath;
using namespace sigmath::iir;

namespace {

void write_sections(const Design &design, IIRFilterInfo &f)
{
    const int64_t k = section_width(f.type);
    for (int64_t j = 0; j < design.sections(); ++j) {
        const DigitalSection s = design.section(j);
        for (int64_t m = 0; m < k; ++m)
            f.a[k * j + m] = s.a[m];
        for (int64_t m = 0; m <= k; ++m)
            f.b[(k + 1) * j + m] = s.b[m];
    }
}

int32_t design_cascade(Family family, double fs, double fl, double fh, double ripple, double attenuation,
                       IIRFilterInfo *filter, std::initializer_list<Test> tests)
{
    return guarded([&]() -> int32_t {
        if (filter == nullptr)
            return fail(SM_ERR_IIR_INFO);
        Arguments args;
        args.type = filter->type;
        args.order = filter->order;
        args.fs = fs;
        args.fl = fl;
        args.fh = valid_type(filter->type) ? effective_fh(filter->type, fs, fl, fh) : fh;
        args.ripple = ripple;
        args.attenuation = attenuation;
        args.filter = filter;
        if (const int32_t status = validate(args, tests); status != SM_NO_ERROR)
            return status;
        const Design design({family, filter->type, filter->order, fs, fl, args.fh, ripple, attenuation});
        write_sections(design, *filter);
        return SM_NO_ERROR;
    });
}

} // namespace

SIGMATH_EXPORT int32_t Bw_CascadeCoef(double fs, double fl, double fh, IIRFilterInfo *filter)
{
    using enum Test;
    return design_cascade(Family::Butterworth, fs, fl, fh, 0, 0, filter,
                          {Order, Fl, Fh, FlBelowFh, Fs, Nyquist, Capacity});
}

SIGMATH_EXPORT int32_t Bessel_CascadeCoef(double fs, double fl, double fh, IIRFilterInfo *filter)
{
    using enum Test;
    return design_cascade(Family::Bessel, fs, fl, fh, 0, 0, filter,
                          {Order, Fl, Fh, FlBelowFh, Fs, Nyquist, Capacity});
}

SIGMATH_EXPORT int32_t Ch_CascadeCoef(double fs, double fl, double fh, double ripple, IIRFilterInfo *filter)
{
    using enum Test;
    return design_cascade(Family::Chebyshev, fs, fl, fh, ripple, 0, filter,
                          {Order, Fl, Fh, FlBelowFh, Fs, Nyquist, Ripple, Capacity});
}

SIGMATH_EXPORT int32_t InvCh_CascadeCoef(double fs, double fl, double fh, double attenuation,
                                         IIRFilterInfo *filter)
{
    using enum Test;
    return design_cascade(Family::InverseChebyshev, fs, fl, fh, 0, attenuation, filter,
                          {Order, Fl, Fh, FlBelowFh, Fs, Attenuation, Nyquist, Capacity});
}

SIGMATH_EXPORT int32_t Elp_CascadeCoef(double fs, double fl, double fh, double ripple, double attenuation,
                                       IIRFilterInfo *filter)
{
    using enum Test;
    return design_cascade(
        Family::Elliptic, fs, fl, fh, ripple, attenuation, filter,
        {Order, Fl, Fh, FlBelowFh, Fs, Nyquist, Ripple, Attenuation, AttenuationOverRipple, Capacity});
}
