// Noise generators on the shared process-wide random state.
#include "generators/noise_state.hpp"

#include "frame/status.hpp"
#include "sigmath/generators.h"

using namespace sigmath;

namespace {

// Seeds the shared state (a negative seed continues it) and fills out with
// n values of sample(), each built from one or more draws.
template <class Sample> int32_t fill(int32_t n, int32_t seed, double *out, Sample sample)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    noise::seed(seed);
    for (int32_t i = 0; i < n; ++i)
        out[i] = sample();
    return SM_NO_ERROR;
}

} // namespace

SIGMATH_EXPORT int32_t Uniform(int32_t n, int32_t seed, double *out)
{
    return guarded([&] { return fill(n, seed, out, [] { return noise::draw() / 32767.0; }); });
}

SIGMATH_EXPORT int32_t WhiteNoise(int32_t n, double amplitude, int32_t seed, double *out)
{
    constexpr double kScale = 1.0 / 16384.0; // 2^-14
    return guarded(
        [&] { return fill(n, seed, out, [&] { return (noise::draw() - 16383) * amplitude * kScale; }); });
}

SIGMATH_EXPORT int32_t GaussNoise(int32_t n, double standardDeviation, int32_t seed, double *out)
{
    constexpr double kScale = 1.0 / 32768.0; // 2^-15
    // Sum of twelve uniform draws, centred: variance 12 * 32768^2 / 12.
    return guarded([&] {
        return fill(n, seed, out, [&] {
            int32_t sum = 0;
            for (int j = 0; j < 12; ++j)
                sum += noise::draw();
            return (sum - 196596) * standardDeviation * kScale;
        });
    });
}
