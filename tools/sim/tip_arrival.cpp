#include "sim/tip_arrival.hpp"

#include "sim/lanes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vibrolan::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// The shaft `delta` revolutions after a revolution mark, by the series of the
// inverse of the quadratic angle around the mark: no root and no division.
// With |a| / w^2 below 1e-3 at the mark (seriesHolds()) the dropped terms
// are below 1e-12 of the time and of 1 / w. Valid within the mark's speed
// segment (the instant before its end).
inline bool seriesHolds(const Shaft::Local &mark)
{
    return mark.w > 0 && std::abs(mark.a) * mark.perW * mark.perW < 1e-3;
}

inline Shaft::Local fromMark(const Shaft::Local &mark, double delta)
{
    const double x = mark.a * mark.perW * mark.perW * delta;
    const double tau = delta * mark.perW * (1.0 - x * (0.5 - x * (0.5 - 0.625 * x)));
    const double y = mark.a * tau * mark.perW;
    return {
        mark.t + tau, mark.w + mark.a * tau, mark.perW * (1.0 - y * (1.0 - y * (1.0 - y))), mark.a, mark.from,
        mark.to};
}

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
      stall_(motion.stage().stall.has_value()), general_(motion.generalOnly()),
      scalarOnly_(stall_ || general_)
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
    boundsHold_ = !scalarOnly_ && boundsHoldEverywhere();
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

// Whether oneEvaluation()'s checks of the series, the slope and the left-out
// terms pass for every pulse of the run, from bounds of each quantity over
// the whole speed profile (each taken twice for margin); the checks are then
// not made pulse by pulse. Bounds of the response: |H| < F (1 + 1 / (2 zeta)),
// |dH/dr| = |H|^2 |2r - 2i zeta| / F.
bool TipArrival::boundsHoldEverywhere() const
{
    const Shaft::Range range = shaft_.range();
    const double wMin = range.minSpeed, rpmMax = 60.0 * range.maxSpeed, aMax = range.maxAcceleration;
    if (!(wMin > 0))
        return false;
    const double staticCoeff = std::abs(motion_.stage().staticCoeff);
    double dMax = staticCoeff * rpmMax * rpmMax, perRpmMax = 2.0 * staticCoeff * rpmMax, slopeMax = 0,
           curvMax = 0;
    for (const BladeMotion::Mode &m : motion_.modes()) {
        const double forcing = std::abs(m.spec.forcingMm), peak = forcing * (1.0 + 0.5 / m.spec.damping);
        double ratio = 0;
        for (double hz : m.naturalHz)
            ratio = std::max(ratio, m.eo / 60.0 / hz);
        dMax += peak;
        slopeMax += m.twoPiEo * peak;
        curvMax += m.twoPiEo * m.twoPiEo * peak;
        if (forcing > 0)
            perRpmMax += peak * peak / forcing * (2.0 * rpmMax * ratio + 2.0 * m.spec.damping) * ratio;
    }
    slopeMax += perRpmMax * 60.0 * aMax / wMin;
    const double leanMax = 2.0 * slopeMax * perCircumference_;
    if (!(leanMax < 0.01))
        return false;
    const double perSlope = 1.0 / (1.0 - leanMax);
    const double first = 2.0 * dMax * perCircumference_ * perSlope;
    const double shift = 2.0 * (first + 0.5 * curvMax * perCircumference_ * first * first * perSlope);
    const double perW = 1.01 / wMin, dt = shift * perW, rpmStep = 60.0 * aMax * dt;
    const double xMax = 2.0 * aMax * perW * perW * shift;
    const double boundMax =
        2.0 *
        (cubic_ * shift * shift * shift + stallCurvature_ * dt * dt + rpmCurvature_ * rpmStep * rpmStep) *
        perSlope;
    return xMax < 1e-4 && boundMax < 0.01 * tick_ * wMin;
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
    if (general_)
        return general(b, rev);
    const double target = static_cast<double>(rev) + offsets_[b];
    const Shaft::Local mark = shaft_.localAtAngle(static_cast<double>(rev));
    Shaft::Local at;
    if (!(seriesHolds(mark) && (at = fromMark(mark, offsets_[b])).t < at.to))
        at = shaft_.localAtAngle(target);
    double t;
    return oneEvaluation(b, at, t) ? t : newton(b, target, at);
}

namespace {

// What the lane kernel reads: a revolution's mark (its instant, speed,
// 1 / speed, the acceleration and the end of its speed segment), the stage's
// constants and the per-mode constants.
struct LaneModel {
    double t0, w0, perW0, a, from, to;
    bool checked; // false: the bounds hold for every pulse (TipArrival::boundsHold_)
    double staticCoeff, perCircumference, cubic, stallCurvature, rpmCurvature, tick;
    std::size_t modes;
    const double *twoPiEo, *twoZeta, *forcing;
};

// fromMark() and oneEvaluation() (without a stall) for `groups` times kLanes
// pulses of one revolution side by side: the same operations in the same
// order as the scalar code, so the same numbers, whatever vector width the
// machine runs it with. Pulse i lies delta[i] after the mark, its blade's
// tables for mode mo at ratio/eRe/eIm[mo * stride + i]. `failed[i]` not 0:
// pulse i is left to the scalar code (t[i] meaningless), as is one whose
// arrival leaves the mark's speed segment. The groups do not depend on each
// other, so the processor works on several at once.
VIBROLAN_TARGET_CLONES void
solveLanes(const LaneModel &m, const double *delta, const double *ratioIn, const double *eReIn,
           const double *eImIn, std::size_t stride, double *t, double *failed, std::size_t groups)
{
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t at = g * kLanes;
        Lanes de, ratio, eRe, eIm;
        std::memcpy(&de, delta + at, sizeof de);
        const Lanes z{};
        const Lanes one = z + 1.0;
        // fromMark()
        const Lanes x0 = m.a * m.perW0 * m.perW0 * de;
        const Lanes tau = de * m.perW0 * (1.0 - x0 * (0.5 - x0 * (0.5 - 0.625 * x0)));
        const Lanes y = m.a * tau * m.perW0;
        const Lanes tAt = m.t0 + tau;
        const Lanes w = m.w0 + m.a * tau;
        const Lanes perW = m.perW0 * (1.0 - y * (1.0 - y * (1.0 - y)));
        // oneEvaluation()
        const Lanes rpmPerShift = 60.0 * m.a * perW;
        const Lanes rpm = 60.0 * w;
        Lanes d = m.staticCoeff * rpm * rpm;
        Lanes perRpm = 2.0 * m.staticCoeff * rpm;
        Lanes slope = z, curvature = z;
        for (std::size_t mo = 0; mo < m.modes; ++mo) {
            std::memcpy(&ratio, ratioIn + mo * stride + at, sizeof ratio);
            std::memcpy(&eRe, eReIn + mo * stride + at, sizeof eRe);
            std::memcpy(&eIm, eImIn + mo * stride + at, sizeof eIm);
            const double twoZeta = m.twoZeta[mo], twoPiEo = m.twoPiEo[mo];
            const Lanes r = rpm * ratio;
            const Lanes re = 1.0 - r * r, im = twoZeta * r;
            const Lanes perDen = 1.0 / (re * re + im * im), scale = m.forcing[mo] * perDen;
            const Lanes hRe = re * scale, hIm = -im * scale;
            const Lanes value = hRe * eRe - hIm * eIm;
            d += value;
            slope -= twoPiEo * (hRe * eIm + hIm * eRe);
            curvature -= twoPiEo * twoPiEo * value;
            const Lanes h2Scale = scale * perDen;
            const Lanes h2Re = (re * re - im * im) * h2Scale, h2Im = -2.0 * re * im * h2Scale;
            const Lanes dRe = h2Re * 2.0 * r + h2Im * twoZeta, dIm = h2Im * 2.0 * r - h2Re * twoZeta;
            perRpm += (dRe * eRe - dIm * eIm) * ratio;
        }
        slope += perRpm * rpmPerShift;
        const double pc = m.perCircumference;
        const Lanes lean = slope * pc;
        const Lanes perSlope = 1.0 + lean * (1.0 + lean * (1.0 + lean * (1.0 + lean)));
        const Lanes first = d * pc * perSlope;
        const Lanes shift = first + 0.5 * curvature * pc * first * first * perSlope;
        // movedBySeries()
        const Lanes x = m.a * perW * perW * shift;
        const Lanes dt = shift * perW * (1.0 - x * (0.5 - 0.5 * x));
        const Lanes tt = tAt + dt;
        // (The conditions that fail are counted: GCC joins chained selects
        // into masks that it then takes apart lane by lane.)
        Lanes fails = (tAt < m.to ? z : one) + (tt < m.from ? one : z) + (tt < m.to ? z : one);
        if (m.checked) {
            const Lanes as = shift < 0 ? -shift : shift, dtBound = as * perW;
            const Lanes rpmBound = 60.0 * m.a * dtBound;
            const Lanes bound = (m.cubic * as * as * as + m.stallCurvature * dtBound * dtBound +
                                 m.rpmCurvature * rpmBound * rpmBound) *
                                perSlope;
            const Lanes limit = 0.01 * m.tick * w;
            const Lanes absX = x < 0 ? -x : x, absLean = lean < 0 ? -lean : lean;
            fails += (absX < 1e-4 ? z : one) + (absLean < 0.01 ? z : one) + (bound < limit ? z : one);
        }
        std::memcpy(t + at, &tt, sizeof tt);
        std::memcpy(failed + at, &fails, sizeof fails);
    }
}

} // namespace

template <class RevOf>
void TipArrival::fastBlock(const std::int32_t *blade, RevOf revOf, double *t, std::size_t n)
{
    // The same as fast() one by one; without a stall, each revolution's
    // pulses go through the lane kernel.
    if (scalarOnly_ || n == 0) {
        for (std::size_t i = 0; i < n; ++i)
            t[i] = fast(blade[i], revOf(i));
        return;
    }
    // The kernel's input: each pulse's place after the mark and its blade's
    // tables in a row, padded with the last pulse for a whole group past any
    // revolution.
    const std::size_t stride = n + kLanes;
    delta_.resize(stride);
    tables_.resize(3 * modes_ * stride);
    for (std::size_t i = 0; i < stride; ++i)
        delta_[i] = offsets_[static_cast<std::size_t>(blade[std::min(i, n - 1)])];
    laneTables(blade, n, stride, tables_.data());
    for (std::size_t i = 0; i < n;) {
        const std::int64_t rev = revOf(i);
        std::size_t j = i + 1;
        while (j < n && revOf(j) == rev)
            ++j;
        solveRevolution(rev, delta_.data() + i, tables_.data() + i, stride, blade + i, t + i, j - i);
        i = j;
    }
}

void TipArrival::laneTables(const std::int32_t *blade, std::size_t n, std::size_t stride,
                            double *tables) const
{
    double *ratio = tables, *eRe = ratio + modes_ * stride, *eIm = eRe + modes_ * stride;
    for (std::size_t i = 0; i < stride; ++i) {
        const auto b = static_cast<std::size_t>(blade[std::min(i, n - 1)]);
        for (std::size_t mo = 0; mo < modes_; ++mo) {
            ratio[mo * stride + i] = ratioPerRpm_[b * modes_ + mo];
            eRe[mo * stride + i] = baseRe_[b * modes_ + mo];
            eIm[mo * stride + i] = baseIm_[b * modes_ + mo];
        }
    }
}

void TipArrival::solveRevolution(std::int64_t rev, const double *delta, const double *tables,
                                 std::size_t stride, const std::int32_t *blade, double *t, std::size_t n)
{
    const Shaft::Local mark = shaft_.localAtAngle(static_cast<double>(rev));
    if (!seriesHolds(mark)) {
        for (std::size_t i = 0; i < n; ++i)
            t[i] = fast(blade[i], rev);
        return;
    }
    out_.resize(n + kLanes);
    failed_.resize(n + kLanes);
    LaneModel m{};
    m.t0 = mark.t;
    m.w0 = mark.w;
    m.perW0 = mark.perW;
    m.a = mark.a;
    m.from = mark.from;
    m.to = mark.to;
    m.checked = !boundsHold_;
    m.staticCoeff = motion_.stage().staticCoeff;
    m.perCircumference = perCircumference_;
    m.cubic = cubic_;
    m.stallCurvature = stallCurvature_;
    m.rpmCurvature = rpmCurvature_;
    m.tick = tick_;
    m.modes = modes_;
    m.twoPiEo = twoPiEo_.data();
    m.twoZeta = twoZeta_.data();
    m.forcing = forcing_.data();
    solveLanes(m, delta, tables, tables + modes_ * stride, tables + 2 * modes_ * stride, stride, out_.data(),
               failed_.data(), (n + kLanes - 1) / kLanes);
    std::copy_n(out_.data(), n, t);
    for (std::size_t k = 0; k < n; ++k)
        if (failed_[k] != 0) // as fast() takes it
            t[k] = fast(blade[k], rev);
}

void TipArrival::fast(const std::int32_t *blade, const std::int64_t *rev, double *t, std::size_t n)
{
    fastBlock(
        blade, [rev](std::size_t i) { return rev[i]; }, t, n);
}

void TipArrival::fast(const std::int32_t *blade, std::int64_t rev, double *t, std::size_t n)
{
    fastBlock(
        blade, [rev](std::size_t) { return rev; }, t, n);
}

void TipArrival::useOrder(const std::vector<std::int32_t> &order)
{
    order_ = order;
    if (scalarOnly_ || order_.empty())
        return;
    const std::size_t n = order_.size(), stride = n + kLanes;
    orderOffsets_.resize(stride);
    for (std::size_t i = 0; i < stride; ++i)
        orderOffsets_[i] = offsets_[static_cast<std::size_t>(order_[std::min(i, n - 1)])];
    orderTables_.resize(3 * modes_ * stride);
    laneTables(order_.data(), n, stride, orderTables_.data());
}

void TipArrival::fastInOrder(std::int64_t rev, double *t)
{
    const std::size_t n = order_.size();
    if (scalarOnly_ || n == 0) {
        fastBlock(
            order_.data(), [rev](std::size_t) { return rev; }, t, n);
        return;
    }
    solveRevolution(rev, orderOffsets_.data(), orderTables_.data(), n + kLanes, order_.data(), t, n);
}

double TipArrival::general(int b, std::int64_t rev)
{
    // Each step shrinks the error by the deflection's slope per revolution
    // over the circumference (typically a few hundredths): a few steps reach
    // the tolerance; fifty bound the work where the slope is steep.
    const double target = static_cast<double>(rev) + offsets_[b];
    const double tolerance = 1e-4 * tick_;
    double t = shaft_.timeAtAngle(target);
    for (int it = 0; it < 50; ++it) {
        const double d = motion_.deflection(b, t, shaft_.angleAt(t), shaft_.rpmAt(t));
        const double next = shaft_.timeAtAngle(target + d * perCircumference_);
        const bool done = std::abs(next - t) < tolerance;
        t = next;
        if (done)
            break;
    }
    return t;
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
