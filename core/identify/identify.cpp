// The identification driver: detect every blade's peaks, merge them into
// stage events, then per blade and peak find the engine order and fit the
// swept single-degree-of-freedom model.
#include "identify/identify.hpp"

#include "base/errors.hpp"
#include "identify/blade_events.hpp"
#include "identify/engine_order.hpp"
#include "identify/fit_window.hpp"
#include "identify/sdof_fit.hpp"
#include "identify/stage_samples.hpp"
#include "identify/swept_sdof.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>

namespace vibrolan::identify {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// A fit explaining less of its window's variance than this is no resonance of the model.
constexpr double kMinQuality = 0.3;
// A fitted response below this many noise RMS is no resonance (the detector's
// threshold of 6 asks for about 4 at the least).
constexpr double kMinAmplitude = 5;
constexpr double kMinEvidence = 200;
// Blocks per half-power band the fit keeps (slower sweeps are averaged down to it).
constexpr int kBlocksPerBand = 40;
// Revolutions per half-power band below which the result is outside the range it holds for.
constexpr double kMinRevolutionsPerBand = 3;

std::string rpmText(double v) { return std::to_string(static_cast<long>(std::lround(v))); }

struct StageWork {
    StageSamples st;
    std::vector<std::vector<BladePeak>> peaks; // per blade
    std::vector<double> noise;                 // per blade
};

struct EventSpan {
    int from = 0, to = 0;
    double peakLevel = 0;
    int peakRev = 0;
    std::vector<int> blades;
};

// Stage events: the union of overlapping blade peaks.
std::vector<EventSpan> mergePeaks(const std::vector<std::vector<BladePeak>> &peaks)
{
    std::vector<BladePeak> all;
    for (const auto &bp : peaks)
        all.insert(all.end(), bp.begin(), bp.end());
    std::sort(all.begin(), all.end(), [](const BladePeak &a, const BladePeak &b) { return a.from < b.from; });
    std::vector<EventSpan> events;
    for (const BladePeak &p : all) {
        if (events.empty() || p.from > events.back().to) {
            events.push_back({p.from, p.to, p.level, p.peak, {p.blade}});
            continue;
        }
        EventSpan &e = events.back();
        e.to = std::max(e.to, p.to);
        if (p.level > e.peakLevel) {
            e.peakLevel = p.level;
            e.peakRev = p.peak;
        }
        if (std::find(e.blades.begin(), e.blades.end(), p.blade) == e.blades.end())
            e.blades.push_back(p.blade);
    }
    return events;
}

ResonanceWindow windowOf(const StageSamples &st, int from, int to)
{
    ResonanceWindow w;
    w.timeFrom = st.time[static_cast<std::size_t>(from)];
    w.timeTo = st.time[static_cast<std::size_t>(to)] + 60.0 / st.rpm[static_cast<std::size_t>(to)];
    w.rpmFrom = 1e300;
    w.rpmTo = -1e300;
    for (int r = from; r <= to; ++r) {
        w.rpmFrom = std::min(w.rpmFrom, st.rpm[static_cast<std::size_t>(r)]);
        w.rpmTo = std::max(w.rpmTo, st.rpm[static_cast<std::size_t>(r)]);
    }
    return w;
}

std::vector<double> arrivals(const TCfgDfm &cfg, const StageSamples &st, int b)
{
    std::vector<double> a;
    for (std::size_t k = 0; k < st.pairs.size(); ++k)
        a.push_back(ArrivalFraction(cfg, st, static_cast<int>(k), b));
    return a;
}

// The fit window of one blade peak: the peak's extent, widened to six
// half-power widths either side (the tails pin damping and offsets) and by
// at least 10 revolutions, never up to the top of a neighbouring peak (its
// flank the fit knows as that resonance's response).
void fitRange(const StageSamples &st, const std::vector<BladePeak> &peaks, std::size_t i, int &from, int &to,
              int &band)
{
    const BladePeak &p = peaks[i];
    band = std::max(1, p.halfTo - p.halfFrom + 1);
    const int pad = std::max(10, band);
    from = std::min(p.from - pad, p.peak - 6 * band);
    to = std::max(p.to + pad, p.peak + 6 * band);
    if (i > 0)
        from = std::max(from, peaks[i - 1].peak + 1);
    if (i + 1 < peaks.size())
        to = std::min(to, peaks[i + 1].peak - 1);
    from = std::max(from, 0);
    to = std::min(to, static_cast<int>(st.revolutions()) - 1);
}

// The fits of one blade's peaks.
struct BladeJob {
    const TCfgDfm &cfg;
    const StageSamples &st;
    const IdentifyOptions &opt;
    const std::vector<double> &y;
    std::vector<double> arrival;
    const std::vector<BladePeak> &peaks;
    double noise;
    int eoMax;
    struct Known {
        std::size_t peak;
        int eo;
        double omega, zeta;
    };
    std::vector<Known> known; // this blade's resonances fitted so far

    // A resonance, or nothing with `why` saying what stopped it (empty: the
    // peak was no resonance at all). With `previous` (a first fit of the same
    // peak) the engine order is kept, the fit starts from its result and
    // knows every other resonance of the blade.
    std::optional<BladeResonance> fit(std::size_t i, int event, std::string &why,
                                      const BladeResonance *previous = nullptr);

    // The window of a second fit: six half-power bands of the first fit
    // either side of its peak (the detector's level may misjudge the band
    // where the probes see the vibration's phase alike), never up to the top
    // of another resonance of the blade.
    void refineRange(const BladeResonance &first, std::size_t i, int &from, int &to, int &band) const
    {
        const int R = static_cast<int>(st.revolutions());
        int at = 0;
        while (at + 1 < R && st.time[static_cast<std::size_t>(at + 1)] <= first.peakTime)
            ++at;
        const int a = std::max(0, at - 5), b = std::min(R - 1, at + 5);
        const double perRev =
            b > a ? std::fabs(st.rpm[static_cast<std::size_t>(b)] - st.rpm[static_cast<std::size_t>(a)]) /
                        (b - a)
                  : 0;
        const double bandRpm = 2 * first.dampingRatio * first.speedRpm;
        if (!(perRev > 0) || !(bandRpm > 0))
            return;
        band = std::clamp(static_cast<int>(bandRpm / perRev), 1, R);
        from = at - std::max(10, 6 * band);
        to = at + std::max(10, 6 * band);
        // Only resonances: a peak that turned out to be a part of this one is no border.
        for (const Known &k : known) {
            const int top = peaks[k.peak].peak;
            if (k.peak != i && top < at)
                from = std::max(from, top + 1);
            if (k.peak != i && top > at)
                to = std::min(to, top - 1);
        }
        from = std::max(from, 0);
        to = std::min(to, R - 1);
    }
};

std::optional<BladeResonance> BladeJob::fit(std::size_t i, int event, std::string &why,
                                            const BladeResonance *previous)
{
    const BladePeak &pk = peaks[i];
    const int P = static_cast<int>(st.pairs.size());
    int from = 0, to = 0, band = 1;
    fitRange(st, peaks, i, from, to, band);
    if (previous)
        refineRange(*previous, i, from, to, band);
    const int blockSize = std::max(1, band / kBlocksPerBand);
    const FitWindow fw = MakeFitWindow(st, y, from, to, blockSize, arrival);
    std::vector<double> angles;
    for (int k : fw.slot)
        angles.push_back(st.fiDeg[static_cast<std::size_t>(k)]);
    const int S = static_cast<int>(fw.slots());
    if (fw.y.size() < static_cast<std::size_t>(2 + 2 * S + 4)) {
        why = "слишком мало оборотов в окне резонанса";
        return std::nullopt;
    }
    BladeResonance res;
    res.stage = st.stage;
    res.blade = pk.blade;
    res.event = event;
    res.noise = noise;
    res.pairs = S;
    res.firstRevolution = from;
    res.lastRevolution = to;
    res.blockSize = blockSize;
    res.sweptModel = opt.sweptModel;
    res.window = windowOf(st, from, to);
    if (previous) {
        res.engineOrder = previous->engineOrder;
        res.eoGiven = previous->eoGiven;
        res.eoRunnerUp = previous->eoRunnerUp;
        res.eoConfidence = previous->eoConfidence;
    } else if (opt.engineOrder > 0) {
        res.engineOrder = opt.engineOrder;
        res.eoGiven = true;
    } else if (P < 2) {
        why = "одна пара: порядок возбуждения по ней не определить, задайте его (--eo)";
        return std::nullopt;
    } else if (DistinctAngles(angles) < 3) {
        why = "меньше трёх пар с разными углами (fi): порядок возбуждения не определить, задайте углы пар "
              "или порядок (--eo)";
        return std::nullopt;
    } else if (eoMax < 1) {
        why = "углы пар слишком близки: порядок возбуждения не определить (--eo)";
        return std::nullopt;
    } else {
        // The core of the response: blocks within a half-power width of the half-power band.
        const int coreFrom = (pk.halfFrom - band - from) / blockSize;
        const int coreTo = (pk.halfTo + band - from) / blockSize;
        const EngineOrderScore sc = ScoreEngineOrders(fw, coreFrom, coreTo, eoMax);
        if (sc.blocks < 3 || sc.best < 1) {
            why = "слишком мало оборотов, на которых отвечают три пары";
            return std::nullopt;
        }
        res.engineOrder = sc.best;
        res.eoRunnerUp = sc.runnerUp;
        res.eoConfidence = sc.confidence;
    }
    const int eo = res.engineOrder;
    SweptSdof model(fw, eo, opt.sweptModel);
    for (const Known &k : known) {
        if (k.peak == i)
            continue;
        SweptSdof other(fw, k.eo, opt.sweptModel);
        other.evaluate(k.omega, k.zeta);
        model.addKnown(other.column0(), other.column1());
    }
    const double rpmPeak = st.rpm[static_cast<std::size_t>(pk.peak)];
    const double width = std::fabs(st.rpm[static_cast<std::size_t>(pk.halfTo)] -
                                   st.rpm[static_cast<std::size_t>(pk.halfFrom)]);
    const double zeta0 = std::clamp(width / (2 * rpmPeak), 2e-4, 0.1);
    const double toOmega = kTwoPi * eo / 60.0;
    const SdofFit fit =
        previous ? FitSdof(model, kTwoPi * previous->frequencyHz, previous->dampingRatio, 0, 0, false)
                 : FitSdof(model, toOmega * rpmPeak, zeta0, toOmega * res.window.rpmFrom,
                           toOmega * res.window.rpmTo);
    if (!std::isfinite(fit.rss) || !(fit.omega > 0)) {
        why = "подгонка модели не сошлась";
        return std::nullopt;
    }
    res.frequencyHz = fit.omega / kTwoPi;
    res.speedRpm = 60 * res.frequencyHz / eo;
    res.dampingRatio = fit.zeta;
    const Eigen::VectorXd &beta = model.linear();
    res.forcing = 2 * std::hypot(beta(0), beta(1));
    res.phaseDeg = std::atan2(beta(1), beta(0)) * 180 / std::numbers::pi;
    res.centreRpm = fw.centreRpm;
    for (std::size_t k = 0; k < fw.slots(); ++k) {
        PairTerm t;
        t.pair = st.pairs[static_cast<std::size_t>(fw.slot[k])];
        t.fiDeg = st.fiDeg[static_cast<std::size_t>(fw.slot[k])];
        t.offset = beta(model.offsetIndex(k));
        t.slope = model.hasSlopes() ? beta(model.slopeIndex(k)) / fw.halfRangeRpm : 0;
        res.pairTerms.push_back(t);
    }
    // Quality against each pair's own mean (the offsets are nuisance).
    std::vector<double> mean(fw.slots()), cnt(fw.slots());
    for (std::size_t n = 0; n < fw.y.size(); ++n) {
        mean[static_cast<std::size_t>(fw.pair[n])] += fw.y[n];
        cnt[static_cast<std::size_t>(fw.pair[n])] += 1;
    }
    double tot = 0;
    for (std::size_t n = 0; n < fw.y.size(); ++n) {
        const auto k = static_cast<std::size_t>(fw.pair[n]);
        const double d = fw.y[n] - mean[k] / cnt[k];
        tot += d * d;
    }
    res.quality = tot > 0 ? 1 - fit.rss / tot : 0;
    const std::vector<double> env = model.envelope();
    const auto top = static_cast<std::size_t>(std::max_element(env.begin(), env.end()) - env.begin());
    res.amplitude = env[top];
    res.peakTime = fw.time[top] + fw.mid[top] * fw.period[top];
    res.peakRpm = fw.rpm[top];
    // Sweep rate at the natural frequency: the speed's slope over the blocks nearest it.
    std::size_t at = 0;
    for (std::size_t j = 0; j < fw.blocks(); ++j)
        if (std::fabs(fw.rpm[j] - res.speedRpm) < std::fabs(fw.rpm[at] - res.speedRpm))
            at = j;
    const std::size_t j0 = at > 2 ? at - 2 : 0, j1 = std::min(fw.blocks() - 1, at + 2);
    if (j1 > j0 && fw.time[j1] > fw.time[j0]) {
        const double rate = (fw.rpm[j1] - fw.rpm[j0]) / (fw.time[j1] - fw.time[j0]) * toOmega;
        res.sweepRate = rate / (fit.omega * fit.omega);
        // Revolutions in the half-power band 2 zeta omega at this rate.
        const double perRev = std::fabs(rate) * 60.0 / std::max(1e-300, res.speedRpm);
        res.bandRevolutions = perRev > 0 ? 2 * fit.zeta * fit.omega / perRev : 1e300;
        res.sweepInRange = res.bandRevolutions >= kMinRevolutionsPerBand;
    }
    // The same resonance as one fitted already (a peak split in two): not again.
    for (const Known &k : known) {
        // Next to it in time; another crossing (run-up, run-down) lies elsewhere.
        const bool near = std::abs(peaks[k.peak].peak - pk.peak) <= 2 * (to - from + 1);
        if (!previous && near && k.eo == eo && std::fabs(k.omega - fit.omega) < 4 * k.zeta * k.omega)
            return std::nullopt;
    }
    // Damping at a bound of its range, or a half-power band narrower than a
    // revolution (which the samples cannot resolve): no resonance of the model.
    if (fit.zeta > 0.9 * kMaxZeta || fit.zeta < 1.1 * kMinZeta || res.bandRevolutions < 1)
        return std::nullopt;
    // A peak the fit finds no response in was the baseline's, not a resonance:
    // the response must lower the residual of offsets and slopes alone by
    // kMinEvidence noise variances (of a block's mean) and reach kMinAmplitude.
    const double blockNoise2 = noise * noise / blockSize;
    if (res.amplitude < kMinAmplitude * noise || OffsetsOnlyRss(fw) - fit.rss < kMinEvidence * blockNoise2)
        return std::nullopt;
    if (fit.omega < toOmega * res.window.rpmFrom || fit.omega > toOmega * res.window.rpmTo) {
        // A weak peak whose fit runs off is noise or another resonance's
        // flank; a strong one is a resonance the run did not cross whole.
        // So is one close in time to a resonance fitted already (the ringing
        // a fast crossing leaves beats with the forcing: humps of its own).
        if (pk.level < 3 * opt.threshold)
            return std::nullopt;
        for (const Known &k : known)
            if (std::abs(peaks[k.peak].peak - pk.peak) <= 2 * (to - from + 1))
                return std::nullopt;
        why = "собственная частота вне окна резонанса (" + rpmText(res.speedRpm) +
              " об/мин): резонанс не пройден целиком";
        return std::nullopt;
    }
    if (res.quality < kMinQuality) {
        why =
            "отклик не описывается резонансом одной формы (R² = " + std::to_string(res.quality).substr(0, 4) +
            ")";
        return std::nullopt;
    }
    if (!previous)
        known.push_back({i, eo, fit.omega, fit.zeta});
    return res;
}

constexpr const char *kNoResponse = "отклик лопатки не выше порога шума";

// Events in which no blade showed a resonance (every peak turned out to be
// none) go, with the blades listed as silent in them; the rest are renumbered.
void dropEmptyEvents(IdentifyResult &out)
{
    std::vector<int> used(out.events.size(), 0);
    for (const BladeResonance &r : out.resonances)
        used[static_cast<std::size_t>(r.event)] = 1;
    for (const NotIdentifiable &n : out.notIdentifiable)
        if (n.event >= 0 && n.reason != kNoResponse)
            used[static_cast<std::size_t>(n.event)] = 1;
    std::vector<int> renumber(out.events.size(), -1);
    std::vector<StageEvent> kept;
    for (std::size_t e = 0; e < out.events.size(); ++e)
        if (used[e]) {
            renumber[e] = static_cast<int>(kept.size());
            kept.push_back(out.events[e]);
        }
    out.events = std::move(kept);
    for (BladeResonance &r : out.resonances)
        r.event = renumber[static_cast<std::size_t>(r.event)];
    std::vector<NotIdentifiable> ni;
    for (NotIdentifiable &n : out.notIdentifiable) {
        if (n.event >= 0) {
            n.event = renumber[static_cast<std::size_t>(n.event)];
            if (n.event < 0)
                continue;
        }
        ni.push_back(std::move(n));
    }
    out.notIdentifiable = std::move(ni);
}

} // namespace

IdentifyResult IdentifyResonances(const TCfgDfm &cfg, const IdentifyOptions &opt, const ProgressFn &progress)
{
    if (opt.engineOrder < 0 || opt.engineOrder > kLargestEngineOrder)
        throw ValueError("the engine order must lie in 1 ... " + std::to_string(kLargestEngineOrder));
    if (opt.eoMax < 0 || opt.eoMax > kLargestEngineOrder)
        throw ValueError("the highest engine order must lie in 1 ... " + std::to_string(kLargestEngineOrder));
    if (!(opt.threshold > 0) || !std::isfinite(opt.threshold))
        throw ValueError("the detection threshold must be a positive number");
    if ((opt.fromRpm && !std::isfinite(*opt.fromRpm)) || (opt.toRpm && !std::isfinite(*opt.toRpm)) ||
        (opt.fromRpm && opt.toRpm && *opt.fromRpm > *opt.toRpm))
        throw ValueError("the speed band must run from a lower to a higher speed");

    IdentifyResult out;
    std::vector<StageWork> stages;
    std::int64_t totalBlades = 0;
    const int countStage = std::min<int>(cfg.CountStage, static_cast<int>(cfg.Stages.size()));
    for (int s = 0; s < countStage; ++s) {
        const TStage &stage = cfg.Stages[static_cast<std::size_t>(s)];
        if (stage.TypeStage != TTypeStage::tsFree && stage.TypeStage != TTypeStage::tsBandag)
            continue;
        StageWork w{CollectStage(cfg, s), {}, {}};
        if (w.st.pairs.empty() || w.st.revolutions() < 8 || w.st.blades < 1)
            continue;
        totalBlades += 2 * w.st.blades;
        stages.push_back(std::move(w));
    }
    if (stages.empty())
        throw ValueError("no checked pair with analysed revolutions: nothing to identify");

    std::int64_t done = 0;
    std::int64_t dropped = 0;
    std::vector<double> y;
    for (StageWork &w : stages) {
        const StageSamples &st = w.st;
        const TStage &stage = cfg.Stages[static_cast<std::size_t>(st.stage)];
        const int P = static_cast<int>(st.pairs.size());
        double rpmLo = 1e300, rpmHi = 0;
        for (double v : st.rpm) {
            rpmLo = std::min(rpmLo, v);
            rpmHi = std::max(rpmHi, v);
        }
        // Detection, blade by blade.
        w.peaks.resize(static_cast<std::size_t>(st.blades));
        w.noise.resize(static_cast<std::size_t>(st.blades));
        for (int b = 0; b < st.blades; ++b) {
            BladeDeflection(cfg, st, b, y, dropped);
            const BladeLevel lv = MeasureBlade(st, y);
            w.noise[static_cast<std::size_t>(b)] = lv.noise;
            w.peaks[static_cast<std::size_t>(b)] = FindBladePeaks(lv, opt.threshold, b);
            reportProgress(progress, ++done, totalBlades);
        }
        std::vector<EventSpan> spans = mergePeaks(w.peaks);
        // The speed band takes the events that reach into it (and of their
        // resonances those whose speed lies in it, below).
        std::vector<int> eventId(spans.size(), -1);
        for (std::size_t e = 0; e < spans.size(); ++e) {
            const double pk = st.rpm[static_cast<std::size_t>(spans[e].peakRev)];
            const ResonanceWindow ew = windowOf(st, spans[e].from, spans[e].to);
            if ((opt.fromRpm && ew.rpmTo < *opt.fromRpm) || (opt.toRpm && ew.rpmFrom > *opt.toRpm))
                continue;
            eventId[e] = static_cast<int>(out.events.size());
            out.events.push_back({st.stage, windowOf(st, spans[e].from, spans[e].to), pk,
                                  static_cast<int>(spans[e].blades.size())});
        }
        if (spans.empty() && rpmHi - rpmLo < 0.01 * rpmHi)
            out.notes.push_back("ступень \"" + stage.NameStage + "\": частота вращения почти постоянна (" +
                                rpmText(rpmLo) + " ... " + rpmText(rpmHi) + " об/мин): резонанс не пройден");

        const int distinct = DistinctAngles(st.fiDeg);
        const int eoMax = opt.eoMax > 0 ? opt.eoMax : MaxDistinctEngineOrder(st.fiDeg);
        if (opt.engineOrder == 0 && distinct >= 3 && eoMax < 1)
            out.notes.push_back("ступень \"" + stage.NameStage +
                                "\": углы пар слишком близки, чтобы различить порядки возбуждения");

        auto notIdentifiable = [&](int b, std::size_t e, const std::string &why) {
            out.notIdentifiable.push_back(
                {st.stage, b, eventId[e], out.events[static_cast<std::size_t>(eventId[e])].window.rpmFrom,
                 out.events[static_cast<std::size_t>(eventId[e])].window.rpmTo, why});
        };

        // Fits, blade by blade (each blade's deflection read once more).
        for (int b = 0; b < st.blades; ++b) {
            const auto &peaks = w.peaks[static_cast<std::size_t>(b)];
            std::vector<char> seen(spans.size(), 0);
            std::int64_t droppedAgain = 0; // counted in the detection already
            if (!peaks.empty())
                BladeDeflection(cfg, st, b, y, droppedAgain);
            BladeJob job{cfg,  st, opt, y, arrivals(cfg, st, b), peaks, w.noise[static_cast<std::size_t>(b)],
                         eoMax};
            // The strongest first: each later fit knows the earlier ones' tails.
            std::vector<std::size_t> order(peaks.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t c) { return peaks[a].level > peaks[c].level; });
            std::vector<std::pair<std::size_t, BladeResonance>> found; // peak, its resonance
            for (std::size_t i : order) {
                const BladePeak &pk = peaks[i];
                std::size_t e = 0;
                while (e + 1 < spans.size() && !(pk.from >= spans[e].from && pk.from <= spans[e].to))
                    ++e;
                seen[e] = 1;
                if (eventId[e] < 0)
                    continue;
                std::string why;
                std::optional<BladeResonance> res = job.fit(i, eventId[e], why);
                if (res)
                    found.emplace_back(i, std::move(*res));
                else if (!why.empty())
                    notIdentifiable(b, e, why);
            }
            // Once more, each on the window its first fit calls for and knowing
            // all the others (the first ones fitted knew none).
            for (auto &[i, res] : found) {
                std::string why;
                if (std::optional<BladeResonance> again = job.fit(i, res.event, why, &res))
                    res = std::move(*again);
                if ((!opt.fromRpm || res.speedRpm >= *opt.fromRpm) &&
                    (!opt.toRpm || res.speedRpm <= *opt.toRpm))
                    out.resonances.push_back(std::move(res));
            }
            for (std::size_t e = 0; e < spans.size(); ++e)
                if (!seen[e] && eventId[e] >= 0)
                    notIdentifiable(b, e, kNoResponse);
            reportProgress(progress, ++done, totalBlades);
        }
    }
    dropEmptyEvents(out);
    if (dropped > 0)
        out.notes.push_back(std::to_string(dropped / 2) +
                            " отсчётов отброшено: не числа или больше шага лопаток");
    std::stable_sort(out.resonances.begin(), out.resonances.end(),
                     [](const BladeResonance &a, const BladeResonance &b) {
                         if (a.stage != b.stage)
                             return a.stage < b.stage;
                         if (a.speedRpm != b.speedRpm)
                             return a.speedRpm < b.speedRpm;
                         return a.blade < b.blade;
                     });
    return out;
}

ModelTrace TraceResonance(const TCfgDfm &cfg, const BladeResonance &r)
{
    ModelTrace trace;
    const StageSamples st = CollectStage(cfg, r.stage);
    if (r.lastRevolution >= static_cast<int>(st.revolutions()) || r.firstRevolution < 0 || r.engineOrder < 1)
        throw ValueError("the resonance does not belong to this run");
    std::vector<double> y;
    std::int64_t dropped = 0;
    BladeDeflection(cfg, st, r.blade, y, dropped);
    const FitWindow fw =
        MakeFitWindow(st, y, r.firstRevolution, r.lastRevolution, r.blockSize, arrivals(cfg, st, r.blade));
    SweptSdof model(fw, r.engineOrder, r.sweptModel);
    model.evaluate(kTwoPi * r.frequencyHz, r.dampingRatio);
    const std::vector<double> v = model.modelValues();
    for (std::size_t k = 0; k < fw.slots(); ++k)
        trace.pairs.push_back({st.pairs[static_cast<std::size_t>(fw.slot[k])],
                               st.fiDeg[static_cast<std::size_t>(fw.slot[k])],
                               {}});
    for (std::size_t n = 0; n < fw.y.size(); ++n) {
        const auto j = static_cast<std::size_t>(fw.block[n]);
        trace.pairs[static_cast<std::size_t>(fw.pair[n])].points.push_back(
            {fw.time[j] + fw.mid[j] * fw.period[j], fw.rpm[j], fw.y[n], v[n]});
    }
    const std::vector<double> env = model.envelope();
    for (std::size_t j = 0; j < env.size(); ++j)
        trace.envelope.push_back({fw.time[j] + fw.mid[j] * fw.period[j], fw.rpm[j], env[j]});
    return trace;
}

} // namespace vibrolan::identify
