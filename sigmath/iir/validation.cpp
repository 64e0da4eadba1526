#include "iir/validation.hpp"

#include "frame/status.hpp"

#include <cmath>

namespace sigmath::iir {
namespace {

bool positive_finite(double v) { return v > 0.0 && std::isfinite(v); }

bool capacity_ok(const IIRFilterInfo *f)
{
    if (f == nullptr || !valid_type(f->type) || f->order < 1)
        return false;
    const int64_t k = section_width(f->type);
    const int64_t ns = section_count(f->order);
    return f->a != nullptr && f->b != nullptr && f->na >= k * ns && f->nb >= (k + 1) * ns;
}

int32_t run(const Arguments &args, Test test)
{
    const bool band = args.type == 2 || args.type == 3;
    switch (test) {
    case Test::Count:
        if (args.n < 1 || args.x == nullptr || args.y == nullptr)
            return SM_ERR_SAMPLES_GT_ZERO;
        break;
    case Test::Order:
        if (args.order < 1)
            return SM_ERR_ORDER_POSITIVE;
        break;
    case Test::Fl:
        if (!positive_finite(args.fl))
            return SM_ERR_BAND;
        break;
    case Test::Fh:
        if (args.has_fh && !positive_finite(args.fh))
            return SM_ERR_BAND;
        break;
    case Test::Fs:
        if (!positive_finite(args.fs))
            return SM_ERR_BAND;
        break;
    case Test::FlBelowFh:
        if (args.has_fh && !(args.fl < args.fh))
            return SM_ERR_BAND;
        break;
    case Test::Nyquist:
        if (args.fl > args.fs / 2 || (args.has_fh && band && args.fh > args.fs / 2))
            return SM_ERR_NYQUIST;
        break;
    case Test::Ripple:
        if (!positive_finite(args.ripple))
            return SM_ERR_RIPPLE;
        break;
    case Test::Attenuation:
        if (!positive_finite(args.attenuation))
            return SM_ERR_ATTENUATION;
        break;
    case Test::AttenuationOverRipple:
        if (args.attenuation <= args.ripple)
            return SM_ERR_ATTEN_RIPPLE;
        break;
    case Test::Capacity:
        if (!capacity_ok(args.filter))
            return SM_ERR_IIR_INFO;
        break;
    case Test::ArraySizes: {
        const int64_t m = direct_length(valid_type(args.type) ? args.type : 0, args.order);
        if (args.a == nullptr || args.b == nullptr || args.na < m || args.nb < m)
            return SM_ERR_ARRAY_SIZE;
        break;
    }
    case Test::Type:
        if (!valid_type(args.type))
            return SM_ERR_SELECTION;
        break;
    }
    return SM_NO_ERROR;
}

} // namespace

int32_t validate(const Arguments &args, std::initializer_list<Test> tests)
{
    for (Test t : tests) {
        if (const int32_t status = run(args, t); status != SM_NO_ERROR)
            return fail(status);
    }
    return SM_NO_ERROR;
}

bool valid_type(int32_t type) { return type >= 0 && type <= 3; }

int32_t section_width(int32_t type) { return (type == 2 || type == 3) ? 4 : 2; }

int64_t section_count(int32_t order) { return (static_cast<int64_t>(order) + 1) / 2; }

int64_t direct_length(int32_t type, int32_t order)
{
    return (type == 2 || type == 3) ? 2 * static_cast<int64_t>(order) + 1 : static_cast<int64_t>(order) + 1;
}

double effective_fh(int32_t type, double fs, double fl, double fh)
{
    return (type == 0 || type == 1) ? (fs / 2 + fl) / 2 : fh;
}

} // namespace sigmath::iir
