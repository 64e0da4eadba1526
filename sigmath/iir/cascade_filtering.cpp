// Stream filtering through a designed cascade, direct form II per section.
// The state stays in the caller's structure so consecutive blocks of one
// signal continue seamlessly.
#include "frame/status.hpp"
#include "sigmath/iir.h"

using namespace sigmath;

namespace {

bool structure_consistent(const IIRFilterInfo *f)
{
    if (f == nullptr || f->a == nullptr || f->b == nullptr || f->state == nullptr || f->order < 1)
        return false;
    const int64_t ns = (static_cast<int64_t>(f->order) + 1) / 2;
    const int64_t k = f->na / ns;
    return (k == 2 || k == 4) && k * ns == f->na && (k + 1) * ns == f->nb && f->nstate == f->na;
}

template <int K> void run_cascade(const double *x, int32_t n, const IIRFilterInfo &f, double *y)
{
    const int32_t ns = f.na / K;
    for (int32_t t = 0; t < n; ++t) {
        double w = x[t];
        for (int32_t j = 0; j < ns; ++j) {
            const double *a = f.a + K * j;
            const double *b = f.b + (K + 1) * j;
            double *s = f.state + K * j;
            double u = w;
            for (int m = 0; m < K; ++m)
                u -= a[m] * s[m];
            double out = b[0] * u;
            for (int m = 0; m < K; ++m)
                out += b[m + 1] * s[m];
            for (int m = K - 1; m > 0; --m)
                s[m] = s[m - 1];
            s[0] = u;
            w = out;
        }
        y[t] = w;
    }
}

} // namespace

SIGMATH_EXPORT int32_t IIRCascadeFiltering(const double *x, int32_t n, IIRFilterInfo *filter, double *y)
{
    return guarded([&]() -> int32_t {
        if (!structure_consistent(filter))
            return fail(SM_ERR_IIR_INFO);
        if (filter->reset != 0) {
            for (int32_t i = 0; i < filter->nstate; ++i)
                filter->state[i] = 0.0;
            filter->reset = 0;
        }
        if (n < 1 || x == nullptr || y == nullptr)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (filter->na / ((filter->order + 1) / 2) == 2)
            run_cascade<2>(x, n, *filter, y);
        else
            run_cascade<4>(x, n, *filter, y);
        return SM_NO_ERROR;
    });
}
