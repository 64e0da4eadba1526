#include "identify/async_segments.hpp"

#include "identify/engine_order.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>

namespace vibrolan::identify {

namespace {

using cplx = std::complex<double>;
// A blade counts as vibrating when its mean amplitude exceeds this many
// times the amplitude that noise alone gives it.
constexpr double kBladeSignificance = 4;
// A window of a segment whose amplitude is below this share of the
// segment's median holds no reading of the component.
constexpr double kWeakWindow = 0.3;
// Readings whose stationary frequencies differ by less than this share are one.
constexpr double kSameFrequency = 0.005;
// Below this coherence the blades do not move in one travelling pattern.
constexpr double kMinCoherence = 0.5;

double wrapTurn(double x) { return x - std::round(x); }

// A reading as a segment takes it: the reading's signed order moved by a
// layout alias offset (0: as read), the blades' pattern with it, and what
// that gives in the rotating and the stationary frame.
struct Seen {
    int shift = 0;
    double nu = 0;   // signed order
    int pattern = 0; // the blades' spatial harmonic of the signed reading, not wrapped
    double fr = 0, fs = 0;
    int nd = 0;
};

// `v` read with the signed order nu + e: the same samples put the blades'
// pattern (of the signed reading) e diameters lower; on N blades the
// pattern is taken at its principal value, which may move the stationary
// frequency by N times the speed.
Seen aliasOf(const Seen &v, int e, int N, double shaftHz)
{
    Seen a = v;
    a.shift = v.shift + e;
    a.nu = v.nu + e;
    a.pattern = v.pattern - e;
    int n = a.nu < 0 ? -a.pattern : a.pattern;
    n = ((n % N) + N) % N;
    if (n > N / 2)
        n -= N;
    a.fr = std::fabs(a.nu) * shaftHz;
    ToStationary(a.fr, n, shaftHz, a.fs, a.nd);
    return a;
}

Seen seenAs(const AsyncReading &rd, int e, int N, double shaftHz)
{
    Seen v;
    v.nu = rd.nu;
    v.pattern = rd.nu < 0 ? -rd.pattern : rd.pattern;
    return aliasOf(v, e, N, shaftHz);
}

} // namespace

std::vector<AsyncSegment> JoinSegments(const std::vector<AsyncReading> &readings, const StageSamples &st,
                                       const AsyncWindows &win, int aliasPeriod, double maxOrder,
                                       const AsyncOptions &opt)
{
    const std::size_t P = st.pairs.size(), N = static_cast<std::size_t>(st.blades);
    const int W = win.size;
    std::vector<AsyncSegment> segments;
    // Segments: consecutive detected windows (one missed window bridged) of
    // one component: one nodal diameter and a continuous frequency. Where
    // the layout leaves the order open, a window's reading is one of the
    // component's layout aliases, and neighbouring windows may pick
    // different ones (pairs 120 degrees apart): such windows are one
    // component when an alias of the one has the other's stationary
    // frequency (an alias whose pattern wraps past N/2 moves it by N times
    // the speed).
    std::vector<std::vector<const AsyncReading *>> groups;
    const bool layoutAliased = aliasPeriod < 2 * maxOrder;
    const int Nb = st.blades;
    auto shaftOf = [&](const AsyncReading &rd) { return win.rpm[rd.window] / 60.0; };
    auto tolerance = [&](const AsyncReading &rd) { return std::max(0.05 * rd.fs, 3.0 / W * shaftOf(rd)); };
    // The layout alias of `rd` nearest the stationary frequency fs (and,
    // among those, the rotating one fr).
    auto nearestAlias = [&](const AsyncReading &rd, double fs, double fr) {
        const Seen asRead = seenAs(rd, 0, Nb, shaftOf(rd));
        if (!layoutAliased)
            return asRead;
        Seen best = asRead;
        const int K = aliasPeriod;
        for (int e = -static_cast<int>(std::ceil(2 * maxOrder / K)) * K; e * 1.0 <= 2 * maxOrder; e += K) {
            if (std::fabs(rd.nu + e) > maxOrder + 1)
                continue;
            const Seen v = seenAs(rd, e, Nb, shaftOf(rd));
            const double dv = std::fabs(v.fs - fs), db = std::fabs(best.fs - fs);
            if (dv < db - 1e-9 * fs ||
                (dv <= db + 1e-9 * fs && std::fabs(v.fr - fr) < std::fabs(best.fr - fr)))
                best = v;
        }
        return best;
    };
    auto fits = [&](const AsyncReading &last, const AsyncReading &rd, std::size_t gap) {
        if (rd.window > last.window + gap)
            return false;
        const Seen v = nearestAlias(rd, last.fs, last.fr);
        return (layoutAliased || v.nd == last.nd) && std::fabs(v.fs - last.fs) <= tolerance(last);
    };
    for (std::size_t q = 0; q < readings.size(); ++q) {
        const AsyncReading &rd = readings[q];
        if (rd.C.empty())
            continue;
        if (!groups.empty()) {
            const AsyncReading &last = *groups.back().back();
            if (fits(last, rd, 2)) {
                groups.back().push_back(&rd);
                continue;
            }
            // A single odd window (where the order sits at half a cycle per
            // revolution its direction is lost) does not end the segment.
            if (q + 1 < readings.size() && fits(last, readings[q + 1], 3))
                continue;
        }
        groups.push_back({&rd});
    }
    for (auto g : groups) {
        // Windows in which the component all but vanished (where its order
        // passes an engine order it hides among the synchronous response)
        // carry no reading of it.
        {
            std::vector<double> level;
            for (const AsyncReading *rd : g) {
                double m = 0;
                for (const cplx &c : rd->C)
                    m += std::abs(c);
                level.push_back(m);
            }
            std::vector<double> sorted = level;
            std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                             sorted.end());
            const double median = sorted[sorted.size() / 2];
            std::vector<const AsyncReading *> kept;
            for (std::size_t i = 0; i < g.size(); ++i)
                if (level[i] >= kWeakWindow * median)
                    kept.push_back(g[i]);
            g = std::move(kept);
        }
        if (static_cast<int>(g.size()) < opt.minWindows)
            continue;
        AsyncSegment seg;
        seg.stage = st.stage;
        const std::size_t nW = g.size();
        // The reading most windows agree with is the segment's (the middle
        // one among equals); every window is taken as its alias nearest it.
        std::size_t refIdx = nW / 2;
        {
            std::size_t most = 0;
            for (std::size_t i = 0; i < nW; ++i) {
                std::size_t agree = 0;
                for (std::size_t j = 0; j < nW; ++j)
                    agree += std::fabs(g[j]->fs - g[i]->fs) <= tolerance(*g[i]) ? 1 : 0;
                const auto off = [&](std::size_t w) { return w > nW / 2 ? w - nW / 2 : nW / 2 - w; };
                if (agree > most || (agree == most && off(i) < off(refIdx))) {
                    most = agree;
                    refIdx = i;
                }
            }
        }
        std::vector<Seen> seen(nW);
        for (std::size_t i = 0; i < nW; ++i)
            seen[i] = nearestAlias(*g[i], g[refIdx]->fs, g[refIdx]->fr);
        double rpm = 0, coherence = 0, explained = 0, totalVar = 0;
        std::map<int, double> margin;
        seg.bladeMean.assign(N, 0.0);
        seg.bladeMax.assign(N, 0.0);
        std::vector<double> noiseAmp(N, 0.0);
        int interior = 0;
        // Mean amplitudes from the inner windows (the outer ones may be partly outside the segment).
        for (std::size_t i = 0; i < nW; ++i) {
            const AsyncReading &rd = *g[i];
            const bool inner = nW < 3 || (i > 0 && i + 1 < nW);
            rpm += win.rpm[rd.window];
            coherence += rd.coherence;
            explained += rd.explained;
            totalVar += rd.total;
            // The window's offsets are from its own reading, the segment's
            // from the alias it is taken as.
            for (const auto &[e, d] : rd.margin)
                margin[e - seen[i].shift] += d;
            if (seen[i].shift != 0)
                margin[-seen[i].shift] += 0;
            double mean = 0;
            for (std::size_t b = 0; b < N; ++b) {
                const double a = std::abs(rd.C[b]);
                mean += a / N;
                seg.bladeMax[b] = std::max(seg.bladeMax[b], a);
                if (inner) {
                    seg.bladeMean[b] += a;
                    noiseAmp[b] += rd.bladeNoise[b];
                }
            }
            interior += inner ? 1 : 0;
            AsyncTrackPoint tp;
            tp.time = 0.5 * (win.timeFrom[rd.window] + win.timeTo[rd.window]);
            tp.rpm = win.rpm[rd.window];
            tp.frequencyHz = seen[i].fs;
            tp.rotorFrequencyHz = seen[i].fr;
            tp.nodalDiameter = seen[i].nd;
            tp.amplitude = mean;
            tp.significance = rd.F / rd.threshold;
            seg.track.push_back(tp);
        }
        const double nWd = static_cast<double>(nW);
        seg.speedRpm = rpm / nWd;
        seg.coherence = coherence / nWd;
        seg.quality = totalVar > 0 ? explained / totalVar : 0;
        for (std::size_t b = 0; b < N; ++b) {
            seg.bladeMean[b] /= interior;
            noiseAmp[b] /= interior;
            seg.amplitudeMean += seg.bladeMean[b] / N;
            seg.amplitudeMax = std::max(seg.amplitudeMax, seg.bladeMax[b]);
            if (seg.bladeMean[b] > kBladeSignificance * noiseAmp[b] / std::sqrt(interior))
                ++seg.blades;
        }
        // The ends: an outer window that holds the vibration for only part
        // of its length shows a proportionally smaller amplitude.
        {
            const AsyncReading &a = *g.front(), &z = *g.back();
            auto level = [&](const AsyncReading &rd) {
                double m = 0;
                for (const cplx &c : rd.C)
                    m += std::abs(c) / N;
                return seg.amplitudeMean > 0 ? std::clamp(m / seg.amplitudeMean, 0.0, 1.0) : 1.0;
            };
            const double durA = win.timeTo[a.window] - win.timeFrom[a.window];
            const double durZ = win.timeTo[z.window] - win.timeFrom[z.window];
            seg.timeFrom = win.timeTo[a.window] - (nW >= 3 ? level(a) : 1.0) * durA;
            seg.timeTo = win.timeFrom[z.window] + (nW >= 3 ? level(z) : 1.0) * durZ;
        }
        // The track's least-squares lines give the frequencies at the ends
        // and the segment's frequency at its middle: a drifting component's
        // windows need not lie evenly about the middle (where some carried
        // no reading), and their plain mean would be the frequency of
        // another instant.
        {
            double st0 = 0, st1 = 0, st2 = 0, sf = 0, stf = 0, sr = 0, str = 0;
            for (const AsyncTrackPoint &p : seg.track) {
                st0 += 1;
                st1 += p.time;
                st2 += p.time * p.time;
                sf += p.frequencyHz;
                stf += p.time * p.frequencyHz;
                sr += p.rotorFrequencyHz;
                str += p.time * p.rotorFrequencyHz;
            }
            const double det = st0 * st2 - st1 * st1;
            const bool sloped = det > 1e-12 * st0 * st2;
            const double slope = sloped ? (st0 * stf - st1 * sf) / det : 0;
            const double icpt = (sf - slope * st1) / st0;
            const double slopeR = sloped ? (st0 * str - st1 * sr) / det : 0;
            const double icptR = (sr - slopeR * st1) / st0;
            const double middle = 0.5 * (seg.timeFrom + seg.timeTo);
            seg.frequencyFromHz = icpt + slope * seg.track.front().time;
            seg.frequencyToHz = icpt + slope * seg.track.back().time;
            seg.frequencyHz = icpt + slope * middle;
            seg.rotorFrequencyHz = icptR + slopeR * middle;
        }
        seg.nodalDiameter = seen[refIdx].nd;
        seg.nodalDiameterKnown = seg.coherence >= kMinCoherence;
        seg.frequencyKnown = seg.coherence >= kMinCoherence;
        // Alternatives: orders the layout cannot tell apart, or that the data
        // do not rule out.
        const Seen &ref = seen[refIdx];
        const double shaftHz = seg.speedRpm / 60.0;
        for (const auto &[e, d] : margin) {
            if (e == 0)
                continue;
            bool layout = true;
            for (std::size_t k = 0; k < P; ++k)
                layout = layout && std::fabs(360 * wrapTurn(e * (st.fiDeg[k] - st.fiDeg[0]) / 360.0)) <
                                       kAliasToleranceDeg;
            if (!layout && d >= opt.aliasMargin)
                continue;
            AsyncAlternative alt;
            const Seen v = aliasOf(ref, e, Nb, shaftHz);
            alt.rotorFrequencyHz = v.fr;
            alt.frequencyHz = v.fs;
            alt.nodalDiameter = v.nd;
            alt.layoutAlias = layout;
            alt.margin = d;
            seg.alternatives.push_back(alt);
        }
        // The readings nearest the best first.
        std::stable_sort(seg.alternatives.begin(), seg.alternatives.end(),
                         [&](const AsyncAlternative &u, const AsyncAlternative &v) {
                             return std::fabs(u.rotorFrequencyHz - seg.rotorFrequencyHz) <
                                    std::fabs(v.rotorFrequencyHz - seg.rotorFrequencyHz);
                         });
        seg.ambiguous = !seg.alternatives.empty();
        if (seg.ambiguous) {
            seg.nodalDiameterKnown = false;
            // The stationary frequency stands only when every reading gives it.
            for (const AsyncAlternative &a : seg.alternatives)
                if (std::fabs(a.frequencyHz - seg.frequencyHz) > kSameFrequency * seg.frequencyHz)
                    seg.frequencyKnown = false;
            seg.remark =
                seg.frequencyKnown
                    ? "расположение пар не различает порядки колебаний: частота во вращающейся системе "
                      "и число узловых диаметров неоднозначны"
                    : "расположение пар не различает порядки колебаний: частота и число узловых "
                      "диаметров неоднозначны";
        } else if (!seg.nodalDiameterKnown) {
            seg.remark = "лопатки колеблются не одной бегущей волной: число узловых диаметров не определено";
        }
        segments.push_back(std::move(seg));
    }
    return segments;
}

} // namespace vibrolan::identify
