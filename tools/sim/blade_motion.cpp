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
        Mode m{stage.resonances[r],
               {},
               static_cast<double>(stage.resonances[r].engineOrder),
               kTwoPi * stage.resonances[r].engineOrder};
        for (int b = 0; b < stage.blades; ++b)
            m.naturalHz.push_back(m.spec.naturalHz * (1.0 + stage.mistuning * rng.symmetric()));
        modes_.push_back(std::move(m));
    }
    for (int b = 0; b < stage.blades; ++b)
        bladePos_.push_back(static_cast<double>(b) / stage.blades);
}

double BladeMotion::deflection(int b, double t, double theta, double rpm) const
{
    double d = stage_.staticCoeff * rpm * rpm;
    const double bladePos = bladePos_[b];
    for (const Mode &m : modes_) {
        const double r = m.eo * rpm / 60.0 / m.naturalHz[b];
        const double re = 1.0 - r * r, im = 2.0 * m.spec.damping * r;
        const double amp = m.spec.forcingMm / std::sqrt(re * re + im * im);
        const double lag = std::atan2(im, re);
        d += amp * std::cos(m.twoPiEo * (theta + bladePos) - lag);
    }
    return d + stallDeflection(b, t);
}

double BladeMotion::stallDeflection(int b, double t) const
{
    if (!stage_.stall)
        return 0;
    const StallSpec &s = *stage_.stall;
    const double amp = s.amplitudeMm * (1.0 + 0.5 * std::sin(kTwoPi * t / s.modulationPeriodS));
    return amp * std::sin(kTwoPi * (s.freqHz * t + s.nodalDiameters * bladePos_[b]));
}

} // namespace vibrolan::sim
