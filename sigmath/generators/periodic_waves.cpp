// Periodic waveforms with a running phase in degrees that the caller carries
// from one block of samples to the next.
#include "generators/phase.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/generators.h"

namespace {

using namespace sigmath;

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kInv180 = 0.005555555555555556;

// shape(unreduced, reduced) gives the value for amplitude 1.
template <class Shape>
int32_t generate(int32_t n, double amplitude, double frequency, double *phase, double *out, Shape shape)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    double ph = *phase;
    const double step = 360.0 * frequency;
    for (int32_t i = 0; i < n; ++i) {
        out[i] = amplitude * shape(ph, gen::reduce(ph, 360.0));
        ph += step;
    }
    *phase = gen::reduce(ph, 360.0);
    return SM_NO_ERROR;
}

} // namespace

SIGMATH_EXPORT int32_t SineWave(int32_t n, double amplitude, double frequency, double *phase, double *out)
{
    return guarded([&] {
        return generate(n, amplitude, frequency, phase, out,
                        [](double unreduced, double) { return rt::sin(unreduced * kDegToRad); });
    });
}

SIGMATH_EXPORT int32_t SquareWave(int32_t n, double amplitude, double frequency, double *phase,
                                  double dutyCycle, double *out)
{
    return guarded([&] {
        double d = dutyCycle / 100.0;
        if (d < 0.0)
            d = 0.0;
        if (d > 1.0)
            d = 1.0;
        const double high = d * 360.0;
        return generate(n, amplitude, frequency, phase, out,
                        [=](double, double p) { return p < high ? 1.0 : -1.0; });
    });
}

SIGMATH_EXPORT int32_t SawtoothWave(int32_t n, double amplitude, double frequency, double *phase, double *out)
{
    return guarded([&] {
        return generate(n, amplitude, frequency, phase, out, [](double, double p) {
            const double q = p * kInv180;
            return p < 180.0 ? q : q - 2.0;
        });
    });
}

SIGMATH_EXPORT int32_t TriangleWave(int32_t n, double amplitude, double frequency, double *phase, double *out)
{
    return guarded([&] {
        return generate(n, amplitude, frequency, phase, out, [](double, double p) {
            const double q = p * kInv180;
            if (q < 0.5)
                return 2.0 * q;
            if (q < 1.5)
                return 2.0 * (1.0 - q);
            return 2.0 * (q - 2.0);
        });
    });
}
