#include "sim/blade_motion.hpp"

#include "sim/rng.hpp"

#include <cmath>

namespace vibrolan::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

BladeMotion::BladeMotion(const StageSpec &stage, std::uint64_t seed) : stage_(stage)
{
    for (std::size_t r = 0; r < stage.resonances.size(); ++r) {
        Rng rng(seed, 0xF00 + r);
        Mode m{stage.resonances[r], {}};
        for (int b = 0; b < stage.blades; ++b)
            m.naturalHz.push_back(m.spec.naturalHz * (1.0 + stage.mistuning * rng.symmetric()));
        modes_.push_back(std::move(m));
    }
}

double BladeMotion::deflection(int b, double t, double theta, double rpm) const
{
    double d = stage_.staticCoeff * rpm * rpm;
    const double bladePos = static_cast<double>(b) / stage_.blades;
    for (const Mode &m : modes_) {
        const double r = m.spec.engineOrder * rpm / 60.0 / m.naturalHz[b];
        const double re = 1.0 - r * r, im = 2.0 * m.spec.damping * r;
        const double amp = m.spec.forcingMm / std::sqrt(re * re + im * im);
        const double lag = std::atan2(im, re);
        d += amp * std::cos(kTwoPi * m.spec.engineOrder * (theta + bladePos) - lag);
    }
    if (stage_.stall) {
        const StallSpec &s = *stage_.stall;
        const double amp = s.amplitudeMm * (1.0 + 0.5 * std::sin(kTwoPi * t / s.modulationPeriodS));
        d += amp * std::sin(kTwoPi * (s.freqHz * t + s.nodalDiameters * bladePos));
    }
    return d;
}

} // namespace vibrolan::sim
