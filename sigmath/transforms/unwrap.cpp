#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/transforms.h"

#include <numbers>

using namespace sigmath;

SIGMATH_EXPORT int32_t UnWrap1D(const double *phase, int32_t n, double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (phase == nullptr || out == nullptr)
            return fail(SM_ERR_ARRAY_SIZE);
        constexpr double kTwoPi = 2.0 * std::numbers::pi;
        double prev = phase[0];
        double offset = 0.0;
        out[0] = phase[0];
        for (int32_t i = 1; i < n; ++i) {
            const double cur = phase[i]; // read before out[i] may overwrite it
            const double step = cur - prev;
            // The whole number of turns that maps the step into (-pi, pi]; no
            // loop, so a huge jump costs no more than a small one.
            offset -= kTwoPi * rt::ceil((step - std::numbers::pi) / kTwoPi);
            prev = cur;
            out[i] = cur + offset;
        }
        return SM_NO_ERROR;
    });
}
