#include "sim/modes_truth.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vibrolan::sim {

namespace {

void number(std::string &line, double v, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    line.append(buf, r.ptr);
    line += ',';
}

// The speed profile's corners within the recording: the extremes of a
// piecewise linear speed lie there.
std::vector<double> corners(const Scenario &sc)
{
    std::vector<double> t{0.0};
    for (const SpeedPoint &p : sc.speed)
        if (p.timeS > 0 && p.timeS < sc.durationS)
            t.push_back(p.timeS);
    t.push_back(sc.durationS);
    return t;
}

// The first instant at which the speed reaches `rpm` (the profile's nearest
// corner when it never does).
double firstTimeAt(const Shaft &shaft, const std::vector<double> &corner, double rpm)
{
    for (std::size_t i = 0; i + 1 < corner.size(); ++i) {
        const double a = shaft.rpmAt(corner[i]), b = shaft.rpmAt(corner[i + 1]);
        if ((rpm - a) * (rpm - b) <= 0)
            return a == b ? corner[i] : corner[i] + (rpm - a) / (b - a) * (corner[i + 1] - corner[i]);
    }
    double best = corner.front();
    for (double t : corner)
        if (std::abs(shaft.rpmAt(t) - rpm) < std::abs(shaft.rpmAt(best) - rpm))
            best = t;
    return best;
}

struct Steady {
    double amplitude, rpm;
};

// |F H(r)| with H = 1 / (1 - r^2 + i 2 zeta r).
double response(double forcing, double zeta, double r)
{
    return forcing / std::hypot(1.0 - r * r, 2.0 * zeta * r);
}

// The steady-state peak at its speed (zeta below 1 / sqrt 2, else at rest).
Steady steadyPeak(double forcing, double zeta, double naturalHz, double eo)
{
    const double rr = 1.0 - 2.0 * zeta * zeta;
    if (rr <= 0)
        return {forcing, 0};
    return {forcing / (2.0 * zeta * std::sqrt(1.0 - zeta * zeta)), 60.0 * naturalHz * std::sqrt(rr) / eo};
}

// The largest steady response over the speeds the run covers.
Steady steadyPeakInRange(double forcing, double zeta, double naturalHz, double eo, double rpmMin,
                         double rpmMax)
{
    const Steady p = steadyPeak(forcing, zeta, naturalHz, eo);
    if (p.rpm >= rpmMin && p.rpm <= rpmMax)
        return p;
    // |H| rises towards the peak's speed from either side.
    const double rpm = p.rpm < rpmMin ? rpmMin : rpmMax;
    return {response(forcing, zeta, eo * rpm / 60.0 / naturalHz), rpm};
}

// An asynchronous component as the casing sees it at time t: its frequency
// (>= 0) and signed nodal diameter, from the blades' frequency fRot and
// their pattern sin(2 pi fRot t + 2 pi n b / N). Blade b trails blade 0 by
// b / N of a turn (it reaches every probe later), so it stands at the place
// theta - b / N: the casing sees sin(2 pi ((fRot + n rpm / 60) t - n p)).
void stationary(double fRot, int n, double rpm, double &f, int &nd)
{
    const double fs = fRot + n * rpm / 60.0;
    f = std::abs(fs);
    nd = fs < 0 ? -n : n;
}

} // namespace

std::string modesTruthCsv(const Scenario &sc, const Shaft &shaft,
                          const std::vector<const BladeMotion *> &motion)
{
    std::string out = "stage,blade,kind,engine_order,natural_hz,damping_ratio,amplitude_mm,speed_rpm,time_s,"
                      "steady_amplitude_mm,steady_speed_rpm,frequency_hz,frequency_end_hz,nodal_diameter,"
                      "mean_amplitude_mm,time_from_s,time_to_s\n";
    const std::vector<double> corner = corners(sc);
    double rpmMin = INFINITY, rpmMax = 0;
    for (double t : corner) {
        rpmMin = std::min(rpmMin, shaft.rpmAt(t));
        rpmMax = std::max(rpmMax, shaft.rpmAt(t));
    }
    std::string line;
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        const StageSpec &st = sc.stages[s];
        const BladeMotion &bm = *motion[s];
        const std::string head = std::to_string(s + 1) + ",";
        for (std::size_t m = 0; m < bm.modes().size(); ++m) {
            const BladeMotion::Mode &mode = bm.modes()[m];
            const double zeta = mode.spec.damping, forcing = mode.spec.forcingMm;
            for (int b = 0; b < st.blades; ++b) {
                const double fn = mode.naturalHz[static_cast<std::size_t>(b)];
                line = head + std::to_string(b + 1) + ",resonance," + std::to_string(mode.spec.engineOrder) +
                       ",";
                number(line, fn, 6);
                number(line, zeta, 6);
                double amplitude, rpm, time;
                if (const TransientResponse *tr = bm.transient(m)) {
                    const TransientResponse::Peak p = tr->peak(b);
                    amplitude = p.amplitudeMm;
                    time = p.timeS;
                    rpm = shaft.rpmAt(time);
                } else {
                    const Steady p = steadyPeakInRange(forcing, zeta, fn, mode.eo, rpmMin, rpmMax);
                    amplitude = p.amplitude;
                    rpm = p.rpm;
                    time = firstTimeAt(shaft, corner, rpm);
                }
                number(line, amplitude, 9);
                number(line, rpm, 4);
                number(line, time, 6);
                const Steady p = steadyPeak(forcing, zeta, fn, mode.eo);
                number(line, p.amplitude, 9);
                number(line, p.rpm, 4);
                line += ",,,,,\n";
                out += line;
            }
        }
        // The asynchronous components: the same for every blade.
        auto async = [&](const char *kind, double fRot0, double fRot1, int n, double from, double to,
                         auto envelope) {
            // The envelope sampled over the segment: its largest value and its mean.
            constexpr int kSamples = 20000;
            double peak = -1, peakTime = from, sum = 0;
            for (int i = 0; i <= kSamples; ++i) {
                const double t = from + (to - from) * i / kSamples;
                // The segment ends before `to`: its last sample just inside.
                const double e = envelope(i == kSamples ? std::nextafter(to, from) : t);
                sum += (i == 0 || i == kSamples ? 0.5 : 1.0) * e;
                if (e > peak) {
                    peak = e;
                    peakTime = t;
                }
            }
            double f0, f1;
            int nd0, nd1;
            stationary(fRot0, n, shaft.rpmAt(from), f0, nd0);
            stationary(fRot1, n, shaft.rpmAt(to), f1, nd1);
            for (int b = 0; b < st.blades; ++b) {
                line = head + std::to_string(b + 1) + "," + kind + ",,";
                number(line, fRot0, 6);
                line += ",";
                number(line, peak, 9);
                number(line, shaft.rpmAt(peakTime), 4);
                number(line, peakTime, 6);
                line += ",,";
                number(line, f0, 6);
                number(line, f1, 6);
                line += std::to_string(nd0) + ",";
                number(line, sum / kSamples, 9);
                number(line, from, 6);
                number(line, to, 6);
                line.back() = '\n';
                out += line;
            }
        };
        if (st.stall) {
            const StallSpec &sp = *st.stall;
            const double from = sp.fromS.value_or(0.0),
                         to = std::min(sp.toS.value_or(sc.durationS), sc.durationS);
            async("stall", sp.freqHz, sp.freqHz + sp.driftHzPerS * (to - from), sp.nodalDiameters, from, to,
                  [&](double t) { return bm.stallEnvelope(t); });
        }
        if (st.flutter) {
            const FlutterSpec &fl = *st.flutter;
            const double to = std::min(fl.toS.value_or(sc.durationS), sc.durationS);
            async("flutter", fl.naturalHz, fl.naturalHz, -fl.nodalDiameter, fl.fromS, to,
                  [&](double) { return fl.amplitudeMm; });
        }
    }
    return out;
}

} // namespace vibrolan::sim
