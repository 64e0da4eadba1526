// Direct-form filtering with caller-held input and output histories (oldest
// first), so consecutive calls continue one stream.
#include "frame/status.hpp"
#include "sigmath/iir.h"

#include <algorithm>

using namespace sigmath;

namespace {

// Appends v as the newest entry of a history of `len` values, dropping the oldest.
void push(double *history, int32_t len, double v)
{
    if (len <= 0)
        return;
    std::copy(history + 1, history + len, history);
    history[len - 1] = v;
}

// sum_{m=1..count-1} c[m] * v[t-m], with v[t-m] at history[len - m].
double past_sum(const double *c, int32_t count, const double *history)
{
    double acc = 0.0;
    const int32_t len = count - 1;
    for (int32_t m = 1; m < count; ++m)
        acc += c[m] * history[len - m];
    return acc;
}

} // namespace

SIGMATH_EXPORT int32_t IIRFiltering(const double *x, int32_t n, const double *a, double *yState, int32_t na,
                                    const double *b, double *xState, int32_t nb, double *y)
{
    return guarded([&]() -> int32_t {
        const bool recursive = na >= 1 && a != nullptr && yState != nullptr;
        if (nb < 1 || n < 1 || x == nullptr || y == nullptr)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        // Missing coefficient or history arrays would be read out of bounds.
        if (b == nullptr || (nb > 1 && xState == nullptr))
            return fail(SM_ERR_ARRAY_SIZE);
        for (int32_t t = 0; t < n; ++t) {
            const double in = x[t];
            double acc = b[0] * in + past_sum(b, nb, xState);
            push(xState, nb - 1, in);
            if (recursive) {
                acc -= past_sum(a, na, yState);
                acc /= a[0];
                push(yState, na - 1, acc);
            }
            y[t] = acc;
        }
        return SM_NO_ERROR;
    });
}
