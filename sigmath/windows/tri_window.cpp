// Triangular (Bartlett) window in its periodic form.
#include "windows/cosine_windows.hpp"

#include "frame/status.hpp"
#include "sigmath/windows.h"

using namespace sigmath;

SIGMATH_EXPORT int32_t TriWin(double *x, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        x[0] = 0.0;
        const int32_t last = win::lastPairIndex(n);
        if (last < 1)
            return SM_NO_ERROR;
        const double step = 1.0 / (n / 2);
        double w = 0.0;
        for (int32_t k = 1; k <= last; ++k) {
            w += step;
            x[k] *= w;
            x[n - k] *= w;
        }
        return SM_NO_ERROR;
    });
}
