#include "sim/transient_response.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <cmath>

namespace vibrolan::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// The forcing's phase may leave its linear interpolation over a step by this much (rad).
constexpr double kPhaseError = 1e-6;
// Memory for the kept states of one mode of a stage.
constexpr double kStateBudgetBytes = 16.0 * 1024 * 1024;
// Steps times blades beyond which building the response would take minutes.
constexpr double kMaxWork = 2e9;

} // namespace

TransientResponse::TransientResponse(const Shaft &shaft, double endS, int engineOrder, double damping,
                                     double forcingMm, const std::vector<double> &naturalHz,
                                     const std::vector<double> &bladePos)
    : eo_(engineOrder), zeta_(damping), forcing_(forcingMm), shaft_(shaft)
{
    const Shaft::Range range = shaft.range();
    double fMax = eo_ * range.maxSpeed;
    for (double hz : naturalHz)
        fMax = std::max(fMax, hz);
    // At least four steps per period of the fastest motion (the peak search
    // starts from the steps), and the phase error bounded.
    double h = 1.0 / (4.0 * fMax);
    const double phaseCurvature = kTwoPi * eo_ * range.maxAcceleration;
    if (phaseCurvature > 0)
        h = std::min(h, std::sqrt(8.0 * kPhaseError / phaseCurvature));
    const double steps = std::ceil(std::max(endS, 1e-3) / h);
    if (steps * static_cast<double>(naturalHz.size()) > kMaxWork)
        throw ValueError("scenario: response: the transient response of this recording needs " +
                         std::to_string(static_cast<long long>(steps)) +
                         " time steps per blade; shorten the recording or the sweep");
    steps_ = static_cast<std::size_t>(steps);
    h_ = std::max(endS, 1e-3) / static_cast<double>(steps_);
    const double stateBytes = static_cast<double>(naturalHz.size()) * static_cast<double>(steps_ + 1) * 16.0;
    stride_ = static_cast<std::size_t>(std::max(1.0, std::ceil(stateBytes / kStateBudgetBytes)));
    keptPerBlade_ = steps_ / stride_ + 1;

    for (std::size_t b = 0; b < naturalHz.size(); ++b) {
        Blade bl;
        bl.w = kTwoPi * naturalHz[b];
        bl.sigma = zeta_ * bl.w;
        bl.wd = bl.w * std::sqrt(1.0 - zeta_ * zeta_);
        double turn = eo_ * bladePos[b];
        turn -= std::floor(turn);
        bl.eRe = std::cos(kTwoPi * turn);
        bl.eIm = std::sin(kTwoPi * turn);
        bl.decayH = std::exp(-bl.sigma * h_);
        bl.cosH = std::cos(bl.wd * h_);
        bl.sinH = std::sin(bl.wd * h_);
        blades_.push_back(bl);
    }

    // The forcing's phasor and frequency of every step, once for every blade;
    // kept for the queries when they fit into the budget (the same numbers).
    std::vector<double> table(3 * (steps_ + 1));
    for (std::size_t k = 0; k <= steps_; ++k) {
        phasor(k, table[3 * k], table[3 * k + 1]);
        table[3 * k + 2] = omega(std::min(k, steps_ - 1));
    }
    table_ = std::move(table);
    auto cRe = [&](std::size_t k) { return table_[3 * k]; };
    auto cIm = [&](std::size_t k) { return table_[3 * k + 1]; };
    auto om = [&](std::size_t k) { return table_[3 * k + 2]; };
    kept_.resize(blades_.size() * keptPerBlade_);
    peaks_.resize(blades_.size());
    for (std::size_t b = 0; b < blades_.size(); ++b) {
        const Blade &bl = blades_[b];
        State s = steadyStart(bl);
        double best = -1;
        std::size_t bestStep = 0;
        for (std::size_t k = 0;; ++k) {
            if (k % stride_ == 0)
                kept_[b * keptPerBlade_ + k / stride_] = s;
            // A rough envelope for choosing the cycle of the peak.
            const double rate = s.v / om(k), env = s.x * s.x + rate * rate; // squared
            if (env > best) {
                best = env;
                bestStep = k;
            }
            if (k == steps_)
                break;
            s = fullStep(bl, om(k), s, cRe(k), cIm(k), cRe(k + 1), cIm(k + 1));
        }
        // The crest near it, from a fine sampling and a parabola through the
        // three samples around the largest.
        const double period = kTwoPi / std::min(bl.w, std::max(omega(std::min(bestStep, steps_ - 1)), 1e-9));
        const double from = std::max(0.0, static_cast<double>(bestStep) * h_ - 1.5 * period);
        const double to =
            std::min(static_cast<double>(steps_) * h_, static_cast<double>(bestStep) * h_ + 1.5 * period);
        constexpr int kSamples = 600;
        const double dt = (to - from) / kSamples;
        std::vector<double> v(kSamples + 1);
        int top = 0;
        for (int i = 0; i <= kSamples; ++i) {
            v[static_cast<std::size_t>(i)] = std::abs(at(static_cast<int>(b), from + i * dt));
            if (v[static_cast<std::size_t>(i)] > v[static_cast<std::size_t>(top)])
                top = i;
        }
        Peak p{v[static_cast<std::size_t>(top)], from + top * dt};
        if (top > 0 && top < kSamples) {
            const double l = v[static_cast<std::size_t>(top - 1)], c = v[static_cast<std::size_t>(top)],
                         r = v[static_cast<std::size_t>(top + 1)];
            const double den = l - 2.0 * c + r;
            if (den < 0) {
                const double off = 0.5 * (l - r) / den;
                p.timeS = from + (top + off) * dt;
                p.amplitudeMm = std::max(c, std::abs(at(static_cast<int>(b), p.timeS)));
            }
        }
        peaks_[b] = p;
    }
    if (static_cast<double>(table_.size()) * 8.0 > kStateBudgetBytes)
        std::vector<double>().swap(table_);
}

void TransientResponse::phasor(std::size_t k, double &re, double &im) const
{
    if (!table_.empty()) {
        re = table_[3 * k];
        im = table_[3 * k + 1];
        return;
    }
    // Only the fraction of a turn counts (EO is whole): exact phases however long the run.
    const double theta = shaft_.angleAt(static_cast<double>(k) * h_);
    double turn = eo_ * (theta - std::floor(theta));
    turn -= std::floor(turn);
    re = std::cos(kTwoPi * turn);
    im = std::sin(kTwoPi * turn);
}

double TransientResponse::omega(std::size_t k) const
{
    if (!table_.empty())
        return table_[3 * k + 2];
    const double a = shaft_.angleAt(static_cast<double>(k) * h_),
                 b = shaft_.angleAt(static_cast<double>(k + 1) * h_);
    return kTwoPi * eo_ * (b - a) / h_;
}

namespace {

// The particular solution of the forcing F exp(i (psi + om tau)) at tau = 0:
// its value and rate, x = Re(F G e), v = Re(i om F G e), G = 1 / (1 - r^2 + i 2 zeta r).
struct Particular {
    double x, v;
};
inline Particular particular(double forcing, double zeta, double w, double om, double eRe, double eIm)
{
    const double r = om / w;
    const double re = 1.0 - r * r, im = 2.0 * zeta * r;
    const double scale = forcing / (re * re + im * im);
    const double gRe = re * scale, gIm = -im * scale;
    const double pRe = gRe * eRe - gIm * eIm, pIm = gRe * eIm + gIm * eRe;
    return {pRe, -om * pIm};
}

} // namespace

TransientResponse::State TransientResponse::fullStep(const Blade &bl, double om, State s, double cRe,
                                                     double cIm, double nRe, double nIm) const
{
    const Particular p0 =
        particular(forcing_, zeta_, bl.w, om, cRe * bl.eRe - cIm * bl.eIm, cRe * bl.eIm + cIm * bl.eRe);
    const Particular p1 =
        particular(forcing_, zeta_, bl.w, om, nRe * bl.eRe - nIm * bl.eIm, nRe * bl.eIm + nIm * bl.eRe);
    const double y = s.x - p0.x, yv = s.v - p0.v;
    const double y1 = bl.decayH * (y * bl.cosH + (yv + bl.sigma * y) / bl.wd * bl.sinH);
    const double yv1 = bl.decayH * (yv * bl.cosH - (bl.sigma * yv + bl.w * bl.w * y) / bl.wd * bl.sinH);
    return {y1 + p1.x, yv1 + p1.v};
}

TransientResponse::State TransientResponse::steadyStart(const Blade &bl) const
{
    double cRe, cIm;
    phasor(0, cRe, cIm);
    const Particular p =
        particular(forcing_, zeta_, bl.w, omega(0), cRe * bl.eRe - cIm * bl.eIm, cRe * bl.eIm + cIm * bl.eRe);
    return {p.x, p.v};
}

TransientResponse::State TransientResponse::propagate(const Blade &bl, std::size_t k, State s,
                                                      double tau) const
{
    const double om = omega(std::min(k, steps_ - 1));
    double cRe, cIm;
    phasor(k, cRe, cIm);
    const double eRe = cRe * bl.eRe - cIm * bl.eIm, eIm = cRe * bl.eIm + cIm * bl.eRe;
    const Particular p0 = particular(forcing_, zeta_, bl.w, om, eRe, eIm);
    const double tr = std::cos(om * tau), ti = std::sin(om * tau);
    const Particular p1 = particular(forcing_, zeta_, bl.w, om, eRe * tr - eIm * ti, eRe * ti + eIm * tr);
    const double y = s.x - p0.x, yv = s.v - p0.v;
    const double decay = std::exp(-bl.sigma * tau), c = std::cos(bl.wd * tau), sn = std::sin(bl.wd * tau);
    const double y1 = decay * (y * c + (yv + bl.sigma * y) / bl.wd * sn);
    const double yv1 = decay * (yv * c - (bl.sigma * yv + bl.w * bl.w * y) / bl.wd * sn);
    return {y1 + p1.x, yv1 + p1.v};
}

double TransientResponse::at(int b, double t) const
{
    const Blade &bl = blades_[static_cast<std::size_t>(b)];
    const double pos = std::max(t, 0.0) / h_;
    const std::size_t k = std::min(static_cast<std::size_t>(pos), steps_ - 1);
    const std::size_t kept = k / stride_;
    State s = kept_[static_cast<std::size_t>(b) * keptPerBlade_ + kept];
    double cRe, cIm;
    std::size_t i = kept * stride_;
    if (i < k)
        phasor(i, cRe, cIm);
    for (; i < k; ++i) {
        double nRe, nIm;
        phasor(i + 1, nRe, nIm);
        s = fullStep(bl, omega(i), s, cRe, cIm, nRe, nIm);
        cRe = nRe;
        cIm = nIm;
    }
    return propagate(bl, k, s, t - static_cast<double>(k) * h_).x;
}

} // namespace vibrolan::sim
