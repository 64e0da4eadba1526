#include "sim/tip_arrival.hpp"

#include <algorithm>
#include <cmath>

namespace vibrolan::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// cos and sin of a small angle by their series; |a| <= 0.05 keeps the first
// dropped terms below 1e-13.
void smallTurn(double a, double &c, double &s)
{
    const double a2 = a * a;
    c = 1.0 - a2 * (0.5 - a2 * (1.0 / 24 - a2 * (1.0 / 720)));
    s = a * (1.0 - a2 * (1.0 / 6 - a2 * (1.0 / 120 - a2 * (1.0 / 5040))));
}

} // namespace

TipArrival::TipArrival(const Shaft &shaft, const BladeMotion &motion, const std::vector<double> &offsets,
                       double tickPeriod)
    : shaft_(shaft), motion_(motion), offsets_(offsets), circumference_(M_PI * motion.stage().diameterMm),
      perCircumference_(1.0 / circumference_), tick_(tickPeriod), modes_(motion.modes().size()),
      stall_(motion.stage().stall.has_value())
{
    for (const BladeMotion::Mode &m : motion.modes()) {
        twoPiEo_.push_back(m.twoPiEo);
        twoZeta_.push_back(2.0 * m.spec.damping);
        forcing_.push_back(m.spec.forcingMm);
        // The response never exceeds F / (2 zeta sqrt(1 - zeta^2)) < F (1 + 1 / (2 zeta)).
        const double peak = m.spec.forcingMm * (1.0 + 0.5 / m.spec.damping);
        cubic_ += peak * m.twoPiEo * m.twoPiEo * m.twoPiEo / 6.0 / circumference_;
        // The second-order term of the response in the speed, |d2H/dr2| / 2
        // per unit r^2: |d2H/dr2| peaks near F / zeta^3 at resonance, taken
        // twice for margin, per rpm^2 with the largest blade ratio r / rpm.
        double ratio = 0;
        for (double hz : m.naturalHz)
            ratio = std::max(ratio, m.eo / 60.0 / hz);
        const double z = m.spec.damping;
        rpmCurvature_ += 0.5 * 2.0 * m.spec.forcingMm / (z * z * z) * ratio * ratio / circumference_;
    }
    if (stall_) {
        const StallSpec &st = *motion.stage().stall;
        const double rate = kTwoPi * (std::abs(st.freqHz) + 1.0 / std::abs(st.modulationPeriodS));
        stallCurvature_ = 0.5 * 1.5 * std::abs(st.amplitudeMm) * rate * rate / circumference_;
    }
    for (std::size_t b = 0; b < offsets_.size(); ++b)
        for (const BladeMotion::Mode &m : motion.modes()) {
            // EO is a whole number: the phase repeats every revolution, so
            // only the fraction of a revolution counts.
            double turn = m.eo * (offsets_[b] + motion.bladePosition(static_cast<int>(b)));
            turn -= std::floor(turn);
            baseRe_.push_back(std::cos(kTwoPi * turn));
            baseIm_.push_back(std::sin(kTwoPi * turn));
            ratioPerRpm_.push_back(m.eo / 60.0 / m.naturalHz[b]);
        }
}

template <bool atArrival>
inline TipArrival::Deflection TipArrival::deflection(int b, double t, double rpm, double shift, double perW,
                                                     double rpmPerShift) const
{
    Deflection out;
    out.d = motion_.stage().staticCoeff * rpm * rpm;
    double perRpm = 2.0 * motion_.stage().staticCoeff * rpm; // d / d rpm
    const std::size_t at = static_cast<std::size_t>(b) * modes_;
    for (std::size_t m = 0; m < modes_; ++m) {
        // The steady response amp * exp(-i lag) = F / (1 - r^2 + i 2 zeta r).
        const double r = rpm * ratioPerRpm_[at + m];
        const double re = 1.0 - r * r, im = twoZeta_[m] * r;
        const double perDen = 1.0 / (re * re + im * im), scale = forcing_[m] * perDen;
        const double hRe = re * scale, hIm = -im * scale;
        // The excitation phasor turned by 2 pi EO shift; at the undeflected
        // arrival the turn is none (cos 1 and sin 0 give the same numbers).
        double eRe = baseRe_[at + m], eIm = baseIm_[at + m];
        if constexpr (!atArrival) {
            const double a = twoPiEo_[m] * shift;
            double c, s;
            if (std::abs(a) <= 0.05) {
                smallTurn(a, c, s);
            } else {
                c = std::cos(a);
                s = std::sin(a);
            }
            eRe = baseRe_[at + m] * c - baseIm_[at + m] * s;
            eIm = baseRe_[at + m] * s + baseIm_[at + m] * c;
        }
        const double value = hRe * eRe - hIm * eIm;
        out.d += value;
        out.slope -= twoPiEo_[m] * (hRe * eIm + hIm * eRe);
        out.curvature -= twoPiEo_[m] * twoPiEo_[m] * value;
        // dH / dr = H^2 (2 r - i 2 zeta) / F, and r = rpm * ratio.
        // (H^2 / F = F (re - i im)^2 / den^2, one division for all.)
        const double h2Scale = scale * perDen;
        const double h2Re = (re * re - im * im) * h2Scale, h2Im = -2.0 * re * im * h2Scale;
        const double dRe = h2Re * 2.0 * r + h2Im * twoZeta_[m], dIm = h2Im * 2.0 * r - h2Re * twoZeta_[m];
        perRpm += (dRe * eRe - dIm * eIm) * ratioPerRpm_[at + m];
    }
    out.slope += perRpm * rpmPerShift;
    if (stall_) {
        // The same oscillation as BladeMotion's, with its rate of change;
        // the shift moves the instant by shift / w.
        const StallSpec &st = *motion_.stage().stall;
        const double mod = kTwoPi * t / st.modulationPeriodS;
        const double ph = kTwoPi * (st.freqHz * t + st.nodalDiameters * motion_.bladePosition(b));
        const double amp = st.amplitudeMm * (1.0 + 0.5 * std::sin(mod));
        const double sinPh = std::sin(ph);
        out.d += amp * sinPh;
        const double rate = st.amplitudeMm * 0.5 * std::cos(mod) * kTwoPi / st.modulationPeriodS * sinPh +
                            amp * std::cos(ph) * kTwoPi * st.freqHz;
        out.slope += rate * perW;
    }
    return out;
}

// Time and speed `shift` revolutions past the undeflected arrival `at`: the
// quadratic shaft angle inverted by its series. False when the shift is too
// large for the series or leaves the speed segment.
inline bool TipArrival::movedBySeries(const Shaft::Local &at, double shift, double &t, double &rpm) const
{
    const double x = at.a * at.perW * at.perW * shift;
    const double dt = shift * at.perW * (1.0 - x * (0.5 - 0.5 * x));
    t = at.t + dt;
    rpm = 60.0 * (at.w + at.a * dt);
    return std::abs(x) < 1e-4 && t >= at.from && t < at.to;
}

// The shift solves g(shift) = shift - deflection(shift) / circumference = 0.
// From the undeflected arrival, g's value, slope and curvature give it to
// second order; what the third order, the stall's curvature and the
// response's change with the speed can add is bounded, and when that bound
// is below a hundredth of a tick the one evaluation is the answer. False
// (and `t` meaningless) otherwise.
inline bool TipArrival::oneEvaluation(int b, const Shaft::Local &at, double &t) const
{
    const double perW = at.perW;
    // The speed changes with the shift too: 60 a rpm per second, 1 / w
    // seconds per revolution.
    const double rpmPerShift = 60.0 * at.a * perW;
    const Deflection e = deflection<true>(b, at.t, 60.0 * at.w, 0.0, perW, rpmPerShift);
    // 1 / slope by its series, the slope being that close to 1 (the first
    // dropped term below 1e-8 of the shift); a slope far from 1 (a strong
    // resonance at a high engine order) is left to Newton.
    const double lean = e.slope * perCircumference_;
    const double perSlope = 1.0 + lean * (1.0 + lean * (1.0 + lean * (1.0 + lean)));
    const double first = e.d * perCircumference_ * perSlope;
    const double shift = first + 0.5 * e.curvature * perCircumference_ * first * first * perSlope;
    double rpm;
    const bool inSeries = movedBySeries(at, shift, t, rpm);
    const double as = std::abs(shift), dtBound = as * perW;
    const double rpmBound = 60.0 * at.a * dtBound;
    const double bound =
        (cubic_ * as * as * as + stallCurvature_ * dtBound * dtBound + rpmCurvature_ * rpmBound * rpmBound) *
        perSlope;
    return inSeries && std::abs(lean) < 0.01 && bound < 0.01 * tick_ * at.w;
}

// Newton steps from the undeflected arrival until a step moves the arrival
// by less than a hundredth of a tick.
double TipArrival::newton(int b, double target, const Shaft::Local &at)
{
    const double tolerance = 0.01 * tick_ * at.w;
    const double rpmPerShift = 60.0 * at.a * at.perW;
    double shift = 0, t = at.t, rpm = 60.0 * at.w;
    for (int it = 0; it < 8; ++it) {
        const Deflection e = deflection<false>(b, t, rpm, shift, at.perW, rpmPerShift);
        const double slope = 1.0 - e.slope * perCircumference_;
        // Far from a tiny correction the slope is no guide; plain fixed-point steps then.
        const double step = (shift - e.d * perCircumference_) * (slope > 0.5 ? 1.0 / slope : 1.0);
        shift -= step;
        if (!movedBySeries(at, shift, t, rpm)) {
            const Shaft::Local l = shaft_.localAtAngle(target + shift);
            t = l.t;
            rpm = 60.0 * l.w;
        }
        if (std::abs(step) < tolerance)
            break;
    }
    return t;
}

double TipArrival::fast(int b, std::int64_t rev)
{
    const double target = static_cast<double>(rev) + offsets_[b];
    const Shaft::Local at = shaft_.localAtAngle(target);
    double t;
    return oneEvaluation(b, at, t) ? t : newton(b, target, at);
}

void TipArrival::fast(const std::int32_t *blade, const std::int64_t *rev, double *t, std::size_t n)
{
    // The same as fast() one by one, in passes over the block so that the
    // square roots and divisions of neighbouring pulses overlap.
    locals_.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        locals_[i] = shaft_.localAtAngle(static_cast<double>(rev[i]) + offsets_[blade[i]]);
    std::size_t i = 0;
    if (!stall_)
        for (; i + 2 <= n; i += 2) {
            bool ok[2];
            oneEvaluationPair(blade + i, &locals_[i], t + i, ok);
            for (std::size_t k = i; k < i + 2; ++k)
                if (!ok[k - i])
                    t[k] = newton(blade[k], static_cast<double>(rev[k]) + offsets_[blade[k]], locals_[k]);
        }
    for (; i < n; ++i)
        if (!oneEvaluation(blade[i], locals_[i], t[i]))
            t[i] = newton(blade[i], static_cast<double>(rev[i]) + offsets_[blade[i]], locals_[i]);
}

// oneEvaluation() for two pulses side by side, without a stall: the same
// operations in the same order, two lanes of a vector, so the same numbers.
void TipArrival::oneEvaluationPair(const std::int32_t *b, const Shaft::Local *at, double *t, bool *ok) const
{
    using V = double __attribute__((vector_size(16)));
    const auto both = [](double x) { return V{x, x}; };
    const auto absOf = [](V x) { return x < 0 ? -x : x; };
    const V perW{at[0].perW, at[1].perW}, a{at[0].a, at[1].a}, w{at[0].w, at[1].w};
    const V rpmPerShift = both(60.0) * a * perW;
    const V rpm = both(60.0) * w;
    const double staticCoeff = motion_.stage().staticCoeff;
    V d = both(staticCoeff) * rpm * rpm;
    V perRpm = both(2.0 * staticCoeff) * rpm;
    V slope{0.0, 0.0}, curvature{0.0, 0.0};
    const std::size_t at0 = static_cast<std::size_t>(b[0]) * modes_,
                      at1 = static_cast<std::size_t>(b[1]) * modes_;
    for (std::size_t m = 0; m < modes_; ++m) {
        const V ratio{ratioPerRpm_[at0 + m], ratioPerRpm_[at1 + m]};
        const V twoZeta = both(twoZeta_[m]), twoPiEo = both(twoPiEo_[m]);
        const V r = rpm * ratio;
        const V re = both(1.0) - r * r, im = twoZeta * r;
        const V perDen = both(1.0) / (re * re + im * im), scale = both(forcing_[m]) * perDen;
        const V hRe = re * scale, hIm = -im * scale;
        const V eRe{baseRe_[at0 + m], baseRe_[at1 + m]}, eIm{baseIm_[at0 + m], baseIm_[at1 + m]};
        const V value = hRe * eRe - hIm * eIm;
        d += value;
        slope -= twoPiEo * (hRe * eIm + hIm * eRe);
        curvature -= twoPiEo * twoPiEo * value;
        const V h2Scale = scale * perDen;
        const V h2Re = (re * re - im * im) * h2Scale, h2Im = both(-2.0) * re * im * h2Scale;
        const V dRe = h2Re * both(2.0) * r + h2Im * twoZeta, dIm = h2Im * both(2.0) * r - h2Re * twoZeta;
        perRpm += (dRe * eRe - dIm * eIm) * ratio;
    }
    slope += perRpm * rpmPerShift;
    const V pc = both(perCircumference_);
    const V lean = slope * pc;
    const V one = both(1.0);
    const V perSlope = one + lean * (one + lean * (one + lean * (one + lean)));
    const V first = d * pc * perSlope;
    const V shift = first + both(0.5) * curvature * pc * first * first * perSlope;
    // movedBySeries()
    const V x = a * perW * perW * shift;
    const V dt = shift * perW * (one - x * (both(0.5) - both(0.5) * x));
    const V tAt{at[0].t, at[1].t};
    const V tt = tAt + dt;
    const V as = absOf(shift), dtBound = as * perW;
    const V rpmBound = both(60.0) * a * dtBound;
    const V bound = (both(cubic_) * as * as * as + both(stallCurvature_) * dtBound * dtBound +
                     both(rpmCurvature_) * rpmBound * rpmBound) *
                    perSlope;
    const V limit = both(0.01 * tick_) * w;
    const V absX = absOf(x), absLean = absOf(lean);
    for (int k = 0; k < 2; ++k) {
        t[k] = tt[k];
        const bool inSeries = absX[k] < 1e-4 && tt[k] >= at[k].from && tt[k] < at[k].to;
        ok[k] = inSeries && absLean[k] < 0.01 && bound[k] < limit[k];
    }
}

double TipArrival::precise(int b, std::int64_t rev)
{
    const double target = static_cast<double>(rev) + offsets_[b];
    double t = shaft_.timeAtAngle(target);
    for (int it = 0; it < 3; ++it) {
        const double d = motion_.deflection(b, t, shaft_.angleAt(t), shaft_.rpmAt(t));
        t = shaft_.timeAtAngle(target + d / circumference_);
    }
    return t;
}

} // namespace vibrolan::sim
