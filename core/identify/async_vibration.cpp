// The asynchronous-vibration driver: per stage, the windows' spectra summed
// over blades and pairs (first pass over the blades), the F test per window,
// then for the detected windows each blade's transform at the detected alias
// frequency (second pass), the order across the pairs, the transform in time
// (third pass) and the nodal diameter across the blades; the windows are
// joined into segments in async_segments.cpp.
#include "identify/async_vibration.hpp"

#include "base/errors.hpp"
#include "base/parallel_for.hpp"
#include "identify/async_reading.hpp"
#include "identify/async_segments.hpp"
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

double wrapTurn(double x) { return x - std::round(x); }

struct WindowStats {
    std::vector<double> power;  // bins 0 ... W/2, summed over series
    double sumV = 0, sumV2 = 0; // per-series mean bin power: sum and sum of squares
    double sumSq = 0;           // detrended samples' sum of squares
    double samples = 0;
    int series = 0;
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
    std::vector<AsyncReading> readings;
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
        AsyncReading rd;
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
        AsyncReading &rd = readings[q];
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
            ToStationary(rd.fr, n, shaftHz, rd.fs, rd.nd);
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

    for (AsyncSegment &seg : JoinSegments(readings, st, win, job.aliasPeriod, job.maxOrder, job.opt))
        segments.push_back(std::move(seg));
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
