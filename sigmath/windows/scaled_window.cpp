// A selected window followed by scaling to unit coherent gain, with the
// window's constants for amplitude and noise corrections of spectra.
#include "frame/status.hpp"
#include "sigmath/windows.h"

#include <array>

namespace {

using namespace sigmath;

constexpr std::array<double, 4> kBlackmanHarris4{0.35875, 0.48829, 0.14128, 0.01168};
constexpr std::array<double, 7> kBlackmanHarris7{
    0.27105140069342415,  0.43329793923448606,   0.21812299954311062,   0.0659254463880309,
    0.010811742098372268, 0.0007765848252250934, 1.3887217350903198e-05};

struct Selection {
    int32_t (*apply)(double *, int32_t); // null: rectangle
    const double *coefficients;          // GenCosWin coefficients, when apply is null
    int32_t count;
    double enbw;
    double coherentGain;
};

Selection select(int32_t selector)
{
    switch (selector) {
    case 1:
        return {HanWin, nullptr, 0, 1.5, 0.5};
    case 2:
        return {HamWin, nullptr, 0, 1.36, 0.54};
    case 3:
        return {BlkHarrisWin, nullptr, 0, 1.708538, 0.42323};
    case 4:
        return {ExBkmanWin, nullptr, 0, 1.693699, 0.42659071367};
    case 5:
        return {BkmanWin, nullptr, 0, 1.726757, 0.42};
    case 6:
        return {FlatTopWin, nullptr, 0, 2.965606, 0.28106388};
    case 7:
        return {nullptr, kBlackmanHarris4.data(), 4, 2.004353, 0.35875};
    case 8:
        return {nullptr, kBlackmanHarris7.data(), 7, 2.631905, 0.27105140069342415};
    default:
        return {nullptr, nullptr, 0, 1.0, 1.0};
    }
}

} // namespace

SIGMATH_EXPORT int32_t ScaledWindow(double *x, int32_t n, int32_t selector, ScaledWindowConstants *constants)
{
    return guarded([&]() -> int32_t {
        if (n < 0)
            return fail(SM_ERR_SAMPLES_GE_ZERO);
        const Selection s = select(selector);
        // The windows cannot fail for n >= 1; an empty record only gets the constants.
        if (n > 0) {
            if (s.apply != nullptr)
                s.apply(x, n);
            else if (s.coefficients != nullptr)
                GenCosWin(x, n, s.coefficients, s.count);
        }
        constants->enbw = s.enbw;
        constants->coherentGain = s.coherentGain;
        const double scale = 1.0 / s.coherentGain;
        for (int32_t i = 0; i < n; ++i)
            x[i] *= scale;
        return SM_NO_ERROR;
    });
}
