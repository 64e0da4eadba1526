#include "sim/blade_motion.hpp"

#include "sim/rng.hpp"

#include <cmath>
#include <limits>

namespace vibrolan::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;

bool inside(double t, double from, const std::optional<double> &to)
{
    return t >= from && t < to.value_or(std::numeric_limits<double>::infinity());
}
} // namespace

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
    general_ = stage.flutter.has_value() || (stage.stall && !stage.stall->plain());
}

BladeMotion::BladeMotion(const StageSpec &stage, std::uint64_t seed, const Shaft &shaft, double endS)
    : BladeMotion(stage, seed)
{
    for (const Mode &m : modes_)
        transient_.emplace_back(shaft, endS, m.spec.engineOrder, m.spec.damping, m.spec.forcingMm,
                                m.naturalHz, bladePos_);
    general_ = general_ || !transient_.empty();
}

double BladeMotion::deflection(int b, double t, double theta, double rpm) const
{
    double d = stage_.staticCoeff * rpm * rpm;
    const double bladePos = bladePos_[b];
    for (std::size_t i = 0; i < modes_.size(); ++i) {
        if (!transient_.empty()) {
            d += transient_[i].at(b, t);
            continue;
        }
        const Mode &m = modes_[i];
        const double r = m.eo * rpm / 60.0 / m.naturalHz[b];
        const double re = 1.0 - r * r, im = 2.0 * m.spec.damping * r;
        const double amp = m.spec.forcingMm / std::sqrt(re * re + im * im);
        const double lag = std::atan2(im, re);
        d += amp * std::cos(m.twoPiEo * (theta + bladePos) - lag);
    }
    d += stallDeflection(b, t);
    if (stage_.flutter)
        d += flutterDeflection(b, t);
    return d;
}

double BladeMotion::stallEnvelope(double t) const
{
    if (!stage_.stall)
        return 0;
    const StallSpec &s = *stage_.stall;
    if (!s.plain() && !inside(t, s.fromS.value_or(0.0), s.toS))
        return 0;
    return s.amplitudeMm * (1.0 + s.modulationDepth * std::sin(kTwoPi * t / s.modulationPeriodS));
}

double BladeMotion::stallDeflection(int b, double t) const
{
    if (!stage_.stall)
        return 0;
    const StallSpec &s = *stage_.stall;
    const double amp = stallEnvelope(t);
    double turns = s.freqHz * t + s.nodalDiameters * bladePos_[b];
    if (s.driftHzPerS != 0) {
        const double since = t - s.fromS.value_or(0.0);
        turns += 0.5 * s.driftHzPerS * since * since;
    }
    return amp * std::sin(kTwoPi * turns);
}

double BladeMotion::flutterDeflection(int b, double t) const
{
    const FlutterSpec &f = *stage_.flutter;
    if (!inside(t, f.fromS, f.toS))
        return 0;
    return f.amplitudeMm * std::sin(kTwoPi * (f.naturalHz * t - f.nodalDiameter * bladePos_[b]));
}

} // namespace vibrolan::sim
