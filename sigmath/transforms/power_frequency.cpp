// Peak frequency and power of a power spectrum around a search frequency.
#include "frame/status.hpp"
#include "sigmath/transforms.h"
#include "transforms/checks.hpp"

#include <algorithm>

using namespace sigmath;

SIGMATH_EXPORT int32_t PowerFrequencyEstimate(const double *spectrum, int32_t n, double searchFrequency,
                                              ScaledWindowConstants constants, double df, int32_t span,
                                              double *frequency, double *power)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = fft::check_args(n, false, {spectrum, frequency, power}); st != SM_NO_ERROR)
            return st;
        int64_t peak = 0;
        for (int32_t i = 1; i < n; ++i)
            if (spectrum[i] > spectrum[peak])
                peak = i;
        int64_t centre = peak;
        if (searchFrequency >= 0) {
            // Compared as a double first: a quotient beyond the bins (or a
            // zero df) must not reach an integer conversion.
            const double q = searchFrequency / df;
            if (q >= 0 && q < n)
                centre = static_cast<int64_t>(q);
        }
        int64_t width = std::max<int64_t>(span, 3);
        width = (width / 2) * 2 + 1;
        const int64_t half = width / 2;
        const int64_t first = std::max<int64_t>(centre - half, 0);
        const int64_t last = std::min<int64_t>(centre + half, n - 1);
        double p = 0.0, moment = 0.0;
        for (int64_t j = first; j <= last; ++j) {
            p += spectrum[j];
            moment += static_cast<double>(j) * spectrum[j];
        }
        *power = p / constants.enbw;
        *frequency = p > 0 ? moment * df / p : static_cast<double>(centre) * df;
        return SM_NO_ERROR;
    });
}
