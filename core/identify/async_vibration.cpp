// The asynchronous-vibration driver: per stage, the windows' spectra summed
// over blades and pairs (first pass over the blades), the F test per window,
// then for the detected windows each blade's transform at the detected alias
// frequency (second pass), the order across the pairs, the nodal diameter
// across the blades, and the windows joined into segments.
#include "identify/async_vibration.hpp"

#include "base/errors.hpp"
#include "base/parallel_for.hpp"
#include "identify/async_spectrum.hpp"
#include "identify/engine_order.hpp"
#include "identify/stage_samples.hpp"

#include <boost/math/distributions/fisher_f.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>

namespace vibrolan::identify {

namespace {

using cplx = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;
// Bins either side of the peak kept out of the noise mean (the taper's main lobe and first sidelobes).
constexpr int kGuardBins = 3;
// The taper correlates neighbouring bins: the mean of the other bins has
// about this many times fewer degrees of freedom than bins times series.
constexpr double kTaperCorrelation = 1.5;
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

struct WindowStats {
    std::vector<double> power;  // bins 0 ... W/2, summed over series
    double sumV = 0, sumV2 = 0; // per-series mean bin power: sum and sum of squares
    double sumSq = 0;           // detrended samples' sum of squares
    double samples = 0;
    int series = 0;
};

// One detected window's reading.
struct Reading {
    std::size_t window = 0;
    double alpha = 0; // alias frequency, cycles per revolution
    double F = 0, threshold = 0;
    double noise = 0;               // bin noise power per series
    double nu = 0;                  // best signed order (rotating frame)
    int m = 0;                      // nu = m + alpha
    std::map<int, double> margin;   // per alias offset e: 2 log-likelihood ratio of nu over nu + e
    std::vector<cplx> C;            // per blade, complex amplitude (rotor frame, |f_r|)
    std::vector<double> bladeNoise; // per blade, the amplitude noise alone gives
    double fr = 0, fs = 0;          // |f_r|, stationary (Hz)
    int nd = 0;                     // casing frame
    int pattern = 0;                // the blades' spatial harmonic at |f_r|
    double coherence = 0;
    double explained = 0, total = 0;
    bool searched = false; // the order search ran
};

class FThreshold {
public:
    double operator()(double d1, double d2, int bins, double pfa)
    {
        const auto key = std::make_pair(static_cast<long>(std::lround(d1 * 4)),
                                        static_cast<long>(std::lround(std::log2(d2) * 8)));
        auto it = cache_.find(key);
        if (it != cache_.end())
            return it->second;
        const double v = DetectionThreshold(key.first / 4.0, std::exp2(key.second / 8.0), bins, pfa);
        cache_.emplace(key, v);
        return v;
    }

private:
    std::map<std::pair<long, long>, double> cache_;
};

int powerOfTwoAtMost(double v)
{
    int p = 16;
    while (p * 2 <= v && p < 256)
        p *= 2;
    return p;
}

// tau[k][b]: when blade b passes the tip probe of pair slot k, in
// revolutions after the mark (ArrivalFraction).
std::vector<std::vector<double>> passFractions(const TCfgDfm &cfg, const StageSamples &st)
{
    const std::size_t P = st.pairs.size(), N = static_cast<std::size_t>(st.blades);
    std::vector<std::vector<double>> tau(P, std::vector<double>(N));
    for (std::size_t k = 0; k < P; ++k)
        for (std::size_t b = 0; b < N; ++b)
            tau[k][b] = ArrivalFraction(cfg, st, static_cast<int>(k), static_cast<int>(b));
    return tau;
}

// The nodal diameter whose spatial harmonic holds most of the blades'
// amplitudes, and that share (the coherence).
void nodalDiameter(const std::vector<cplx> &C, const std::vector<double> &u, int &nd, double &coherence)
{
    const int N = static_cast<int>(C.size());
    double energy = 0;
    for (const cplx &c : C)
        energy += std::norm(c);
    // Every harmonic's sum at once, each blade's phasor advanced by its own
    // step from one harmonic to the next.
    const int n0 = -(N - 1) / 2;
    std::vector<cplx> sums(static_cast<std::size_t>(N), 0.0);
    for (int b = 0; b < N; ++b) {
        const double ub = u[static_cast<std::size_t>(b)];
        cplx ph = C[static_cast<std::size_t>(b)] * std::polar(1.0, -kTwoPi * n0 * wrapTurn(ub));
        const cplx step = std::polar(1.0, -kTwoPi * wrapTurn(ub));
        for (cplx &sum : sums) {
            sum += ph;
            ph *= step;
        }
    }
    double best = -1;
    nd = 0;
    for (int i = 0; i < N; ++i)
        if (std::norm(sums[static_cast<std::size_t>(i)]) > best) {
            best = std::norm(sums[static_cast<std::size_t>(i)]);
            nd = n0 + i;
        }
    coherence = energy > 0 ? best / (N * energy) : 0;
}

// Stationary frequency and casing-frame nodal diameter from the rotating
// order (signed) and the blades' pattern.
void toStationary(double fr, int n, double shaftHz, double &fs, int &nd)
{
    fs = fr + n * shaftHz;
    nd = n;
    if (fs < 0) {
        fs = -fs;
        nd = -n;
    }
}

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
    toStationary(a.fr, n, shaftHz, a.fs, a.nd);
    return a;
}

Seen seenAs(const Reading &rd, int e, int N, double shaftHz)
{
    Seen v;
    v.nu = rd.nu;
    v.pattern = rd.nu < 0 ? -rd.pattern : rd.pattern;
    return aliasOf(v, e, N, shaftHz);
}

struct StageJob {
    const TCfgDfm &cfg;
    const AsyncOptions &opt;
    StageSamples st;
    AsyncWindows win;
    std::vector<std::vector<double>> tau;
    std::vector<double> arrival; // per blade, the reference slot's arrival fraction (blade position)
    double maxOrder = 0;
    int aliasPeriod = 0;
    unsigned threads = 1; // blades and windows analysed at once
};

} // namespace

int AliasPeriod(const std::vector<double> &anglesDeg, double toleranceDeg)
{
    if (DistinctAngles(anglesDeg) < 2)
        return 1;
    for (int e = 1; e < 1000; ++e) {
        bool alias = true;
        for (double a : anglesDeg)
            alias = alias && std::fabs(360 * wrapTurn(e * (a - anglesDeg.front()) / 360.0)) < toleranceDeg;
        if (alias)
            return e;
    }
    return 1000;
}

double DetectionThreshold(double d1, double d2, int bins, double falseAlarm)
{
    const boost::math::fisher_f dist(std::max(1.0, d1), std::max(1.0, d2));
    return boost::math::quantile(boost::math::complement(dist, falseAlarm / std::max(1, bins)));
}

namespace {

void analyseStage(StageJob &job, std::vector<AsyncSegment> &segments, std::int64_t &done, std::int64_t total,
                  const ProgressFn &progress, std::int64_t &dropped)
{
    const StageSamples &st = job.st;
    const AsyncWindows &win = job.win;
    const std::size_t P = st.pairs.size(), N = static_cast<std::size_t>(st.blades);
    const int W = win.size, half = W / 2;
    const std::size_t J = win.count();
    std::vector<WindowStats> ws(J);
    for (auto &w : ws)
        w.power.assign(static_cast<std::size_t>(half + 1), 0.0);

    // First pass: the spectra, the blades on threads. Each blade's powers
    // are summed over its series apart and added to the windows' totals in
    // blade order (on the calling thread): the totals do not depend on the
    // number of threads.
    const auto H = static_cast<std::size_t>(half + 1);
    struct BladeSpectra {
        std::vector<double> power; // [j * H + bin], summed over the blade's series
        std::vector<double> sumV, sumV2, sumSq, samples;
        std::vector<int> series;
        std::int64_t dropped = 0;
    };
    std::vector<BladeSpectra> spectra(N);
    auto bladeSpectra = [&](std::size_t b) {
        BladeSpectra &out = spectra[b];
        out.power.assign(J * H, 0.0);
        out.sumV.assign(J, 0.0);
        out.sumV2.assign(J, 0.0);
        out.sumSq.assign(J, 0.0);
        out.samples.assign(J, 0.0);
        out.series.assign(J, 0);
        RevolutionSpectrum fft(W);
        std::vector<double> y;
        // Per pair slot: the prepared series of the window, its samples, its
        // sum of squares and its power; the slots with a series, two of them
        // to a transform.
        std::vector<std::vector<double>> xs(P);
        std::vector<std::vector<double>> own(P, std::vector<double>(H));
        std::vector<int> count(P);
        std::vector<double> squares(P);
        std::vector<std::size_t> slots;
        BladeDeflection(job.cfg, st, static_cast<int>(b), y, out.dropped);
        for (std::size_t j = 0; j < J; ++j) {
            slots.clear();
            for (std::size_t k = 0; k < P; ++k) {
                count[k] = PrepareSeries(win, y, P, k, j, xs[k], squares[k]);
                if (count[k] > 0) {
                    slots.push_back(k);
                    std::fill(own[k].begin(), own[k].end(), 0.0);
                }
            }
            for (std::size_t i = 0; i + 1 < slots.size(); i += 2)
                fft.addPowers(xs[slots[i]], xs[slots[i + 1]], own[slots[i]].data(), own[slots[i + 1]].data());
            if (slots.size() % 2 == 1)
                fft.addPower(xs[slots.back()], own[slots.back()].data());
            double *power = &out.power[j * H];
            for (std::size_t k : slots) {
                double v = 0;
                for (std::size_t i = kLowestBin; i < H; ++i) {
                    power[i] += own[k][i];
                    v += own[k][i];
                }
                v /= half + 1 - kLowestBin;
                out.sumV[j] += v;
                out.sumV2[j] += v * v;
                out.sumSq[j] += squares[k];
                out.samples[j] += count[k];
                ++out.series[j];
            }
        }
    };
    ParallelFor(N, job.threads, bladeSpectra, [&](std::size_t b) {
        BladeSpectra &bs = spectra[b];
        for (std::size_t j = 0; j < J; ++j) {
            WindowStats &w = ws[j];
            for (std::size_t i = kLowestBin; i < H; ++i)
                w.power[i] += bs.power[j * H + i];
            w.sumV += bs.sumV[j];
            w.sumV2 += bs.sumV2[j];
            w.sumSq += bs.sumSq[j];
            w.samples += bs.samples[j];
            w.series += bs.series[j];
        }
        dropped += bs.dropped;
        bs = BladeSpectra{};
        reportProgress(progress, ++done, total);
    });

    // The F test per window.
    FThreshold threshold;
    const int bins = half + 1 - kLowestBin;
    std::vector<Reading> readings;
    for (std::size_t j = 0; j < J; ++j) {
        const WindowStats &w = ws[j];
        if (w.series == 0 || !(w.sumV > 0))
            continue;
        int top = kLowestBin;
        for (int i = kLowestBin; i <= half; ++i)
            if (w.power[static_cast<std::size_t>(i)] > w.power[static_cast<std::size_t>(top)])
                top = i;
        double rest = 0;
        int restBins = 0;
        for (int i = kLowestBin; i <= half; ++i)
            if (std::abs(i - top) > kGuardBins) {
                rest += w.power[static_cast<std::size_t>(i)];
                ++restBins;
            }
        if (restBins < 4 || !(rest > 0))
            continue;
        const double noise = rest / restBins; // summed over series
        const double F = w.power[static_cast<std::size_t>(top)] / noise;
        // Series of unequal noise: Satterthwaite's degrees of freedom.
        const double d1 = 2 * w.sumV * w.sumV / w.sumV2;
        const double d2 = d1 * restBins / kTaperCorrelation;
        const double crit = threshold(d1, d2, bins, job.opt.falseAlarm);
        if (!(F > crit))
            continue;
        Reading rd;
        rd.window = j;
        rd.F = F;
        rd.threshold = crit;
        rd.noise = noise / w.series;
        rd.total = w.sumSq;
        // The peak between bins: a parabola through the logarithms.
        double shift = 0;
        if (top > kLowestBin && top < half) {
            const double a = std::log(w.power[static_cast<std::size_t>(top - 1)]),
                         c = std::log(w.power[static_cast<std::size_t>(top)]),
                         e = std::log(w.power[static_cast<std::size_t>(top + 1)]);
            const double den = a - 2 * c + e;
            if (den < 0)
                shift = std::clamp(0.5 * (a - e) / den, -0.5, 0.5);
        }
        rd.alpha = (top + shift) / W;
        readings.push_back(std::move(rd));
    }
    if (readings.empty()) {
        // Nothing to read further: the two other passes count as done.
        done += 2 * static_cast<std::int64_t>(N);
        reportProgress(progress, done, total);
        return;
    }

    // The detected windows one by one, every blade's samples of the window
    // prepared once for the two passes that follow: the transform at the
    // detected alias frequency (second pass), the order across the pairs,
    // then the transform in time at three frequencies about the best order
    // (third pass: the speed may change within a window, the order domain
    // then smears a frequency that is steady in hertz), per blade averaged
    // over the pairs: the peak between them and the blades' amplitudes there.
    // The windows on threads, each writing only its own reading.
    const int mLo = static_cast<int>(std::floor(-job.maxOrder)),
              mHi = static_cast<int>(std::ceil(job.maxOrder));
    constexpr int kProbe = 3;
    struct Exact {
        double f0 = 0, step = 0;
        std::vector<std::vector<cplx>> shift; // per probe, per slot: exp(-2 pi i f (t - centre))
        std::vector<cplx> Z;                  // [b * kProbe + j]
        std::vector<int> used;                // per blade
    };
    const auto Wz = static_cast<std::size_t>(W);
    const std::int64_t passesFrom = done;
    auto readWindow = [&](std::size_t q) {
        std::vector<double> y, x;
        std::vector<double> prepared(N * P * Wz); // [(b * P + k) * W + slot]
        std::vector<char> present(N * P);
        std::vector<cplx> X(N * P);
        Exact ex;
        Reading &rd = readings[q];
        const std::size_t j = rd.window;
        const auto from = static_cast<std::size_t>(win.from[j]), to = static_cast<std::size_t>(win.to[j]);
        const cplx alphaStep = std::polar(1.0, -kTwoPi * rd.alpha);
        for (std::size_t b = 0; b < N; ++b) {
            std::int64_t again = 0; // counted in the first pass
            BladeDeflection(job.cfg, st, static_cast<int>(b), from, to, y, again);
            for (std::size_t k = 0; k < P; ++k) {
                double sumSq = 0;
                const std::size_t slot = b * P + k;
                present[slot] = PrepareSeries(win, y, P, k, j, x, sumSq, from) > 0;
                if (present[slot]) {
                    std::copy(x.begin(), x.end(), prepared.begin() + static_cast<std::ptrdiff_t>(slot * Wz));
                    X[slot] = TransformAt(x, alphaStep);
                }
            }
        }
        // Candidates nu = m + alpha, |nu| <= maxOrder; the phase over the
        // pairs advances by exp(-2 pi i tau) from one m to the next.
        const int m0 = std::max(mLo, static_cast<int>(std::ceil(-job.maxOrder - rd.alpha)));
        const int m1 = std::min(mHi, static_cast<int>(std::floor(job.maxOrder - rd.alpha)));
        if (m1 >= m0) {
            const auto M = static_cast<std::size_t>(m1 - m0 + 1);
            // Each blade's power at order m0 + alpha + i is |sum_k a_k e_k^i|^2,
            // a_k its pair k value turned back to m0 + alpha, e_k = exp(-2 pi i tau_k).
            // The pairs' tau differ by the same amounts for every blade (up to
            // whole turns), so the power summed over the blades is
            // sum_{k,l} S_kl g_kl^i with S_kl = sum_b a_k conj(a_l) / pairs used
            // and g_kl = exp(-2 pi i (tau_k - tau_l)): a sum over the blades
            // once, then one over the orders per pair of pairs.
            std::vector<cplx> S(P * P, 0.0), a(P);
            for (std::size_t b = 0; b < N; ++b) {
                int used = 0;
                for (std::size_t k = 0; k < P; ++k) {
                    if (!present[b * P + k]) {
                        a[k] = 0.0;
                        continue;
                    }
                    a[k] = X[b * P + k] * std::polar(1.0, -kTwoPi * (m0 + rd.alpha) * job.tau[k][b]);
                    ++used;
                }
                if (used == 0)
                    continue;
                for (std::size_t k = 0; k < P; ++k)
                    for (std::size_t l = k; l < P; ++l)
                        S[k * P + l] += a[k] * std::conj(a[l]) / static_cast<double>(used);
            }
            double diagonal = 0;
            for (std::size_t k = 0; k < P; ++k)
                diagonal += S[k * P + k].real();
            std::vector<double> power(M, diagonal);
            for (std::size_t k = 0; k < P; ++k)
                for (std::size_t l = k + 1; l < P; ++l) {
                    const cplx g = std::polar(1.0, -kTwoPi * wrapTurn(job.tau[k][0] - job.tau[l][0]));
                    cplx ph = S[k * P + l];
                    for (std::size_t i = 0; i < M; ++i) {
                        power[i] += 2 * ph.real();
                        ph *= g;
                    }
                }
            const auto top =
                static_cast<std::size_t>(std::max_element(power.begin(), power.end()) - power.begin());
            const int best = m0 + static_cast<int>(top);
            rd.m = best;
            rd.nu = best + rd.alpha;
            for (std::size_t i = 0; i < M; ++i)
                if (i != top)
                    rd.margin[m0 + static_cast<int>(i) - best] = 2 * (power[top] - power[i]) / rd.noise;
            rd.searched = true;
        }
        if (rd.searched) {
            const double period = 60.0 / win.rpm[j], centre = 0.5 * (win.timeFrom[j] + win.timeTo[j]);
            ex.f0 = rd.nu / period;
            ex.step = 0.25 / (W * period);
            ex.shift.assign(kProbe, std::vector<cplx>(Wz, 0.0));
            for (int i = 0; i < kProbe; ++i)
                for (int r = win.from[j]; r < win.to[j]; ++r) {
                    const auto u =
                        static_cast<std::size_t>(win.revolution[static_cast<std::size_t>(r)] - win.first[j]);
                    ex.shift[static_cast<std::size_t>(i)][u] =
                        std::polar(1.0, -kTwoPi * (ex.f0 + (i - 1) * ex.step) *
                                            (st.time[static_cast<std::size_t>(r)] - centre));
                }
            ex.Z.assign(N * kProbe, 0.0);
            ex.used.assign(N, 0);
            for (std::size_t b = 0; b < N; ++b)
                for (std::size_t k = 0; k < P; ++k) {
                    if (!present[b * P + k])
                        continue;
                    const double *xp = &prepared[(b * P + k) * Wz];
                    // The pass's place in the revolution at the three frequencies.
                    const double lag = job.tau[k][b] * period;
                    cplx turn = std::polar(1.0, -kTwoPi * (ex.f0 - ex.step) * lag);
                    const cplx turnStep = std::polar(1.0, -kTwoPi * ex.step * lag);
                    for (int i = 0; i < kProbe; ++i) {
                        const auto &sh = ex.shift[static_cast<std::size_t>(i)];
                        cplx sum = 0;
                        for (std::size_t u = 0; u < Wz; ++u)
                            sum += xp[u] * sh[u];
                        ex.Z[b * kProbe + static_cast<std::size_t>(i)] += sum * turn;
                        turn *= turnStep;
                    }
                    ++ex.used[b];
                }
        }
        if (ex.shift.empty())
            return;
        {
            const double shaftHz = win.rpm[rd.window] / 60.0;
            double pw[kProbe] = {0, 0, 0};
            for (std::size_t b = 0; b < N; ++b)
                for (int i = 0; i < kProbe; ++i)
                    if (ex.used[b] > 0)
                        pw[i] += std::norm(ex.Z[b * kProbe + static_cast<std::size_t>(i)]) / ex.used[b];
            double d = 0;
            const double den = pw[0] - 2 * pw[1] + pw[2];
            if (den < 0)
                d = std::clamp(0.5 * (pw[0] - pw[2]) / den, -1.0, 1.0);
            const double f = ex.f0 + d * ex.step;
            // C = 2 Z / sum of the taper, Z interpolated to the peak (three-point Lagrange).
            const double l0 = 0.5 * d * (d - 1), l1 = 1 - d * d, l2 = 0.5 * d * (d + 1);
            rd.C.resize(N);
            rd.bladeNoise.resize(N);
            for (std::size_t b = 0; b < N; ++b) {
                const cplx *z = &ex.Z[b * kProbe];
                const int used = ex.used[b];
                cplx c = used > 0 ? 2.0 * (l0 * z[0] + l1 * z[1] + l2 * z[2]) / (used * win.taperSum) : 0.0;
                if (f < 0)
                    c = std::conj(c);
                rd.C[b] = c;
                rd.bladeNoise[b] = used > 0 ? 2 * std::sqrt(rd.noise / used) / win.taperSum : 0;
            }
            rd.nu = f / shaftHz;
            rd.fr = std::fabs(rd.nu) * shaftHz;
            int n = 0;
            nodalDiameter(rd.C, job.arrival, n, rd.coherence);
            rd.pattern = n;
            toStationary(rd.fr, n, shaftHz, rd.fs, rd.nd);
            // The share of the window's variance the model explains: each blade's
            // amplitude squared over two, times its samples.
            double explained = 0;
            const double perSeries = ws[rd.window].samples / std::max(1, ws[rd.window].series);
            for (std::size_t b = 0; b < N; ++b)
                explained += 0.5 * std::norm(rd.C[b]) * ex.used[b] * perSeries;
            rd.explained = std::min(explained, rd.total);
        }
    };
    ParallelFor(readings.size(), job.threads, readWindow, [&](std::size_t q) {
        // These two passes count for two units per blade.
        done = passesFrom + static_cast<std::int64_t>(2 * N * (q + 1) / readings.size());
        reportProgress(progress, done, total);
    });

    // Segments: consecutive detected windows (one missed window bridged) of
    // one component: one nodal diameter and a continuous frequency. Where
    // the layout leaves the order open, a window's reading is one of the
    // component's layout aliases, and neighbouring windows may pick
    // different ones (pairs 120 degrees apart): such windows are one
    // component when an alias of the one has the other's stationary
    // frequency (an alias whose pattern wraps past N/2 moves it by N times
    // the speed).
    std::vector<std::vector<const Reading *>> groups;
    const bool layoutAliased = job.aliasPeriod < 2 * job.maxOrder;
    const int Nb = st.blades;
    auto shaftOf = [&](const Reading &rd) { return win.rpm[rd.window] / 60.0; };
    auto tolerance = [&](const Reading &rd) { return std::max(0.05 * rd.fs, 3.0 / W * shaftOf(rd)); };
    // The layout alias of `rd` nearest the stationary frequency fs (and,
    // among those, the rotating one fr).
    auto nearestAlias = [&](const Reading &rd, double fs, double fr) {
        const Seen asRead = seenAs(rd, 0, Nb, shaftOf(rd));
        if (!layoutAliased)
            return asRead;
        Seen best = asRead;
        const int K = job.aliasPeriod;
        for (int e = -static_cast<int>(std::ceil(2 * job.maxOrder / K)) * K; e * 1.0 <= 2 * job.maxOrder;
             e += K) {
            if (std::fabs(rd.nu + e) > job.maxOrder + 1)
                continue;
            const Seen v = seenAs(rd, e, Nb, shaftOf(rd));
            const double dv = std::fabs(v.fs - fs), db = std::fabs(best.fs - fs);
            if (dv < db - 1e-9 * fs ||
                (dv <= db + 1e-9 * fs && std::fabs(v.fr - fr) < std::fabs(best.fr - fr)))
                best = v;
        }
        return best;
    };
    auto fits = [&](const Reading &last, const Reading &rd, std::size_t gap) {
        if (rd.window > last.window + gap)
            return false;
        const Seen v = nearestAlias(rd, last.fs, last.fr);
        return (layoutAliased || v.nd == last.nd) && std::fabs(v.fs - last.fs) <= tolerance(last);
    };
    for (std::size_t q = 0; q < readings.size(); ++q) {
        const Reading &rd = readings[q];
        if (rd.C.empty())
            continue;
        if (!groups.empty()) {
            const Reading &last = *groups.back().back();
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
            for (const Reading *rd : g) {
                double m = 0;
                for (const cplx &c : rd->C)
                    m += std::abs(c);
                level.push_back(m);
            }
            std::vector<double> sorted = level;
            std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                             sorted.end());
            const double median = sorted[sorted.size() / 2];
            std::vector<const Reading *> kept;
            for (std::size_t i = 0; i < g.size(); ++i)
                if (level[i] >= kWeakWindow * median)
                    kept.push_back(g[i]);
            g = std::move(kept);
        }
        if (static_cast<int>(g.size()) < job.opt.minWindows)
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
            const Reading &rd = *g[i];
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
            const Reading &a = *g.front(), &z = *g.back();
            auto level = [&](const Reading &rd) {
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
            if (!layout && d >= job.opt.aliasMargin)
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
}

} // namespace

AsyncResult AnalyseAsynchronous(const TCfgDfm &cfg, const AsyncOptions &opt, const ProgressFn &progress)
{
    if (!(opt.falseAlarm > 0 && opt.falseAlarm < 0.5))
        throw ValueError("the false-alarm level must lie between 0 and 0.5");
    if (!(opt.windowSeconds > 0) || !std::isfinite(opt.windowSeconds))
        throw ValueError("the window length must be a positive number of seconds");
    if (!(opt.maxOrder >= 0) || opt.maxOrder > 500)
        throw ValueError("the highest order must lie in 0 ... 500");
    if (!(opt.aliasMargin >= 0) || !std::isfinite(opt.aliasMargin))
        throw ValueError("the alias margin must be a non-negative number");
    if (opt.minWindows < 1)
        throw ValueError("a segment needs at least one window");

    AsyncResult out;
    std::vector<StageJob> jobs;
    std::int64_t total = 0;
    const int countStage = std::min<int>(cfg.CountStage, static_cast<int>(cfg.Stages.size()));
    for (int s = 0; s < countStage; ++s) {
        const TStage &stage = cfg.Stages[static_cast<std::size_t>(s)];
        if (stage.TypeStage != TTypeStage::tsFree && stage.TypeStage != TTypeStage::tsBandag)
            continue;
        StageJob job{cfg, opt, CollectStage(cfg, s), {}, {}, {}, 0, 0};
        StageSamples &st = job.st;
        if (st.pairs.empty() || st.blades < 1)
            continue;
        std::vector<double> rpm = st.rpm;
        if (rpm.empty())
            continue;
        std::nth_element(rpm.begin(), rpm.begin() + static_cast<long>(rpm.size() / 2), rpm.end());
        const int W = powerOfTwoAtMost(opt.windowSeconds * rpm[rpm.size() / 2] / 60.0);
        job.win = MakeAsyncWindows(st, W);
        if (job.win.count() < static_cast<std::size_t>(opt.minWindows)) {
            out.notes.push_back("ступень \"" + stage.NameStage + "\": слишком мало оборотов для поиска " +
                                "асинхронных колебаний (нужно не меньше " +
                                std::to_string(opt.minWindows * W) + ")");
            continue;
        }
        job.tau = passFractions(cfg, st);
        job.arrival.resize(static_cast<std::size_t>(st.blades));
        for (int b = 0; b < st.blades; ++b)
            job.arrival[static_cast<std::size_t>(b)] = job.tau[0][static_cast<std::size_t>(b)];
        job.aliasPeriod = AliasPeriod(st.fiDeg, kAliasToleranceDeg);
        job.maxOrder = opt.maxOrder > 0 ? opt.maxOrder : std::max(kDefaultMinOrder, 0.5 * job.aliasPeriod);
        job.maxOrder =
            std::min(job.maxOrder, opt.maxOrder > 0 ? 500.0 : static_cast<double>(kLargestEngineOrder));
        out.layouts.push_back({s, static_cast<int>(st.pairs.size()), job.aliasPeriod, job.maxOrder, W,
                               static_cast<int>(job.win.count())});
        if (DistinctAngles(st.fiDeg) < 2)
            out.notes.push_back("ступень \"" + stage.NameStage +
                                "\": все пары под одним углом: частоту во вращающейся системе и число "
                                "узловых диаметров не определить");
        total += 3 * st.blades;
        jobs.push_back(std::move(job));
    }
    if (jobs.empty() && out.notes.empty())
        throw ValueError("no checked pair with analysed revolutions: nothing to analyse");
    // The stages one after the other, each spreading its blades and its
    // windows over the threads.
    const unsigned threads = WorkerThreads(opt.threads);
    std::int64_t done = 0, dropped = 0;
    for (StageJob &job : jobs) {
        job.threads = threads;
        analyseStage(job, out.segments, done, total, progress, dropped);
    }
    if (dropped > 0)
        out.notes.push_back(std::to_string(dropped) +
                            " отсчётов отброшено: не числа или больше шага лопаток");
    return out;
}

} // namespace vibrolan::identify
