// Hand-made finished runs for the identification tests: one free stage whose
// pairs hold the deflections of single-degree-of-freedom blades crossing
// synchronous resonances during a linear speed sweep, as the stage
// computation leaves them (the dynamic part, here with a small offset per
// pair). The response is either the closed-form steady-state one at the
// instantaneous speed or the blade's equation of motion integrated in time
// (classical Runge-Kutta, 48 steps per forcing period, landing exactly on
// every probe passage): the truth the identification is held against,
// computed independently of its own model.
#pragma once

#include "config/cfg_dfm.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace vibrolan::test {

struct SynthMode {
    int eo = 1;
    double hz = 0;      // natural frequency of the tuned blade
    double zeta = 0.01; // damping ratio
    double forcing = 0; // static response, mm
};

struct SynthRun {
    int blades = 5;
    double diameter = 800;
    std::vector<double> fiDeg = {11, 47, 103, 171, 262};
    double rpm0 = 3000, rpm1 = 6000, seconds = 30;
    std::vector<SynthMode> modes;
    double mistuning = 0; // blade b's frequencies scaled by 1 + mistuning * m_b, m_b in [-1, 1]
    double noise = 0;     // RMS of the deflection noise, mm
    bool transient = false;
    std::uint64_t seed = 7;
};

struct SynthTruth {
    int blade = 0, mode = 0;
    double hz = 0, zeta = 0, amplitude = 0; // amplitude: the largest |x| of the response near the resonance
};

inline double mistuningOf(int b, int blades)
{
    // A fixed irregular pattern in [-1, 1].
    return blades > 1 ? std::sin(2.3 * b + 0.7) : 0.0;
}

class SynthRunUp {
public:
    explicit SynthRunUp(const SynthRun &run) : run_(run), cfg_(std::make_unique<TCfgDfm>())
    {
        TCfgDfm &cfg = *cfg_;
        cfg.InitDefault();
        cfg.CountStage = 1;
        cfg.Mode = TMode::mdDynamic;
        TStage &st = cfg.Stages[0];
        st.NameStage = "S1";
        st.TypeStage = TTypeStage::tsFree;
        st.CountBlade = static_cast<std::uint16_t>(run.blades);
        st.CountPairs = static_cast<std::uint16_t>(run.fiDeg.size());
        st.Diametr = run.diameter;
        // Revolution marks: the shaft angle at time t is 2 pi (f0 t + a t^2 / 2), in revolutions f0 t + a t^2
        // / 2.
        const double f0 = run.rpm0 / 60, a = (run.rpm1 - run.rpm0) / 60 / run.seconds;
        auto timeAtRev = [&](double rev) { // inverse of the shaft angle
            return std::fabs(a) < 1e-12 ? rev / f0 : (-f0 + std::sqrt(f0 * f0 + 2 * a * rev)) / a;
        };
        const double revs = f0 * run.seconds + a * run.seconds * run.seconds / 2;
        const auto n = static_cast<std::size_t>(std::floor(revs)) - 1;
        const std::size_t P = run.fiDeg.size();
        for (std::size_t p = 0; p < P; ++p) {
            TPair &pair = st.Pairs[p];
            pair.NamePair = "P" + std::to_string(p + 1);
            pair.Checked = true;
            pair.fi = static_cast<float>(run.fiDeg[p]);
            pair.Size = static_cast<std::int32_t>(n);
            pair.Freq.resize(n);
            pair.Time.resize(n);
            for (std::size_t k = 0; k < n; ++k) {
                const double t0 = timeAtRev(static_cast<double>(k)),
                             t1 = timeAtRev(static_cast<double>(k + 1));
                pair.Time[k] = static_cast<float>(t0);
                pair.Freq[k] = static_cast<float>(60 / (t1 - t0));
            }
            // Pulse positions in the order the blades pass the pair's probe after the mark.
            std::vector<std::pair<double, int>> order;
            for (int b = 0; b < run.blades; ++b) {
                pair.Ampl[static_cast<std::size_t>(b)].assign(n, 0.0F);
                order.emplace_back(arrivalFraction(run.fiDeg[p], b), b);
            }
            std::sort(order.begin(), order.end());
            for (std::size_t pos = 0; pos < order.size(); ++pos)
                pair.NumberBlade[pos] = static_cast<std::uint16_t>(order[pos].second);
            pair.RebuildImpuls(static_cast<std::size_t>(run.blades));
        }
        std::mt19937_64 rng(run.seed);
        std::normal_distribution<double> gauss(0, 1);
        for (int b = 0; b < run.blades; ++b) {
            // Blade b sits 2 pi (b + 0.5) / N after the mark on the shaft; it
            // passes probe p in revolution k at shaft angle k + frac.
            struct Passage {
                double t;
                std::size_t p, k;
            };
            std::vector<Passage> passages;
            for (std::size_t p = 0; p < P; ++p) {
                const double frac = arrivalFraction(run.fiDeg[p], b);
                for (std::size_t k = 0; k < n; ++k)
                    passages.push_back({timeAtRev(static_cast<double>(k) + frac), p, k});
            }
            std::sort(passages.begin(), passages.end(),
                      [](const Passage &x, const Passage &y) { return x.t < y.t; });
            std::vector<double> x(passages.size(), 0.0);
            for (std::size_t m = 0; m < run.modes.size(); ++m) {
                const SynthMode &md = run.modes[m];
                const double hz = md.hz * (1 + run.mistuning * mistuningOf(b, run.blades));
                const double w = 2 * std::numbers::pi * hz;
                double peak = 0;
                if (!run.transient) {
                    for (std::size_t i = 0; i < passages.size(); ++i) {
                        const Passage &ps = passages[i];
                        const double oe = 2 * std::numbers::pi * md.eo * (f0 + a * ps.t);
                        const double r = oe / w, re = 1 - r * r, im = 2 * md.zeta * r;
                        const double amp = md.forcing / std::hypot(re, im);
                        x[i] += amp * std::cos(md.eo * run.fiDeg[ps.p] * std::numbers::pi / 180 -
                                               std::atan2(im, re));
                        peak = std::max(peak, amp);
                    }
                } else {
                    peak = integrate(md, w, f0, a, b, passages, x);
                }
                truth_.push_back({b, static_cast<int>(m), hz, md.zeta, peak});
            }
            for (std::size_t i = 0; i < passages.size(); ++i) {
                const Passage &ps = passages[i];
                const double offset = 0.01 * (static_cast<double>(ps.p) - 1.5);
                cfg.Stages[0].Pairs[ps.p].Ampl[static_cast<std::size_t>(b)][ps.k] =
                    static_cast<float>(x[i] + offset + run.noise * gauss(rng));
            }
        }
    }

    TCfgDfm &cfg() { return *cfg_; }
    const std::vector<SynthTruth> &truth() const { return truth_; }
    const SynthTruth &truthOf(int blade, int mode) const
    {
        for (const SynthTruth &t : truth_)
            if (t.blade == blade && t.mode == mode)
                return t;
        return truth_.front();
    }

private:
    // Blade b sits 2 pi (b + 0.5) / N after the mark on the shaft.
    double arrivalFraction(double fiDeg, int b) const
    {
        const double f = fiDeg / 360 - (b + 0.5) / run_.blades;
        return f - std::floor(f);
    }

    // The blade's equation of motion x'' + 2 zeta w x' + w^2 x = w^2 F cos(EO phi(t)),
    // phi its casing angle, from rest at the sweep's start (far below the resonance).
    template <class Passages>
    double integrate(const SynthMode &md, double w, double f0, double a, int b, const Passages &passages,
                     std::vector<double> &x) const
    {
        const double beta = 2 * std::numbers::pi * (b + 0.5) / run_.blades;
        auto force = [&](double t) {
            const double phi = 2 * std::numbers::pi * (f0 * t + a * t * t / 2) + beta;
            return w * w * md.forcing * std::cos(md.eo * phi);
        };
        auto rhs = [&](double t, double q, double v, double &dq, double &dv) {
            dq = v;
            dv = force(t) - 2 * md.zeta * w * v - w * w * q;
        };
        // Start in the quasi-static response (the sweep starts far below resonance).
        double t = 0, q = 0, v = 0;
        {
            const double oe = 2 * std::numbers::pi * md.eo * f0, r = oe / w;
            const std::complex<double> H = 1.0 / std::complex<double>(1 - r * r, 2 * md.zeta * r);
            const std::complex<double> z = md.forcing * H * std::polar(1.0, md.eo * beta);
            q = z.real();
            v = (z * std::complex<double>(0, oe)).real();
        }
        double peak = 0;
        const double hmax =
            1 / (48 * std::max(w / (2 * std::numbers::pi), md.eo * std::max(f0, f0 + a * run_.seconds)));
        for (std::size_t i = 0; i < passages.size(); ++i) {
            const double target = passages[i].t;
            const int steps = std::max(1, static_cast<int>(std::ceil((target - t) / hmax)));
            const double h = (target - t) / steps;
            for (int s = 0; s < steps; ++s) {
                double k1q, k1v, k2q, k2v, k3q, k3v, k4q, k4v;
                rhs(t, q, v, k1q, k1v);
                rhs(t + h / 2, q + h / 2 * k1q, v + h / 2 * k1v, k2q, k2v);
                rhs(t + h / 2, q + h / 2 * k2q, v + h / 2 * k2v, k3q, k3v);
                rhs(t + h, q + h * k3q, v + h * k3v, k4q, k4v);
                q += h / 6 * (k1q + 2 * k2q + 2 * k3q + k4q);
                v += h / 6 * (k1v + 2 * k2v + 2 * k3v + k4v);
                t += h;
                peak = std::max(peak, std::fabs(q));
            }
            x[i] += q;
        }
        return peak;
    }

    SynthRun run_;
    std::unique_ptr<TCfgDfm> cfg_;
    std::vector<SynthTruth> truth_;
};

} // namespace vibrolan::test
