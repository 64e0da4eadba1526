// One period of a caller's table played back at a given frequency.
#include "generators/phase.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/generators.h"

#include <limits>

using namespace sigmath;

SIGMATH_EXPORT int32_t ArbitraryWave(int32_t n, double amplitude, double frequency, double *phase,
                                     const double *table, int32_t tableSize, int32_t interpolation,
                                     double *out)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (tableSize < 1) {
            // Nothing to play: silence, while the phase runs on as for any
            // other periodic generator so the next block stays in step.
            for (int32_t i = 0; i < n; ++i)
                out[i] = amplitude * 0.0;
            *phase = gen::reduce(*phase + n * (360.0 * frequency), 360.0);
            return SM_NO_ERROR;
        }
        const double size = tableSize;
        double ph = *phase * size / 360.0;
        const double step = size * frequency;
        for (int32_t i = 0; i < n; ++i) {
            const double t = gen::reduce(ph, size);
            double value;
            if (!(t >= 0.0 && t < size)) {
                value = std::numeric_limits<double>::quiet_NaN(); // NaN or infinite phase
            } else {
                const int32_t k = static_cast<int32_t>(t);
                value = table[k];
                if (interpolation == 1) {
                    const int32_t next = (k + 1) % tableSize;
                    value = table[k] + (table[next] - table[k]) * (t - rt::floor(t));
                }
            }
            out[i] = amplitude * value;
            ph += step;
        }
        *phase = gen::reduce(ph * 360.0 / size, 360.0);
        return SM_NO_ERROR;
    });
}
