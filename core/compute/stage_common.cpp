#include "compute/stage_common.hpp"

#include "base/errors.hpp"
#include "base/parallel_for.hpp"
#include "compute/series_ops.hpp"
#include "compute/series_stats.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace vibrolan {

namespace stage_detail {

void SeparateBladeStall(TPairSpeed &speed, const TCfgDfm &cfg, bool planned, TPair &pair, std::size_t b,
                        std::int32_t &interval)
{
    const std::span<float> F = speed.series();
    if (planned && cfg.Method == kMethodPolynomial && F.size() > 2)
        SeparateStall(pair.Stress[b], F, speed.plan(cfg.Method), speed.windowFits(cfg.Method),
                      pair.ResonanceCurve[b], cfg.dN, interval, pair.CmprssResnceCurve[b], cfg.Method,
                      pair.StallingOscill[b]);
    else
        SeparateStall(pair.Stress[b], F, speed.plan(cfg.Method), pair.ResonanceCurve[b], cfg.dN, interval,
                      pair.CmprssResnceCurve[b], cfg.Method, pair.StallingOscill[b]);
}

void PairDeviations(TStage &st)
{
    const std::size_t blades = st.CountBlade;
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::span<const float> means(pair.Mean.data(), blades);
        pair.MeanInPair = SeriesStats(means).Mean;
        SubConst(means, pair.MeanInPair, std::span<float>(pair.Deviation.data(), blades));
    }
}

void StageAggregates(TStage &st)
{
    const std::size_t blades = st.CountBlade;
    std::fill(st.dDeviation.begin(), st.dDeviation.begin() + static_cast<std::ptrdiff_t>(blades), 0.0f);
    std::vector<float> d(blades);
    // Every pair takes part, enabled or not: a disabled pair contributes the
    // deviations of its last computation.
    for (std::size_t i = 0; i < st.CountPairs; ++i) {
        const std::span<const float> di(st.Pairs[i].Deviation.data(), blades);
        for (std::size_t j = 0; j <= i; ++j) {
            const std::span<const float> dj(st.Pairs[j].Deviation.data(), blades);
            st.Correlation[i][j] = Correlate(di, dj, blades);
            AbsDiff(di, dj, d);
            for (std::size_t b = 0; b < blades; ++b)
                if (d[b] > st.dDeviation[b])
                    st.dDeviation[b] = d[b];
        }
    }
}

void TCalcProgressRelay::after(std::size_t stage, std::size_t pair, std::size_t b, std::size_t blades)
{
    ++done;
    if (blade)
        blade(static_cast<std::uint16_t>(b + 1));
    if (options.Position)
        options.Position(TCalcPosition{stage, pair, static_cast<std::uint16_t>(b + 1),
                                       static_cast<std::uint16_t>(blades), done, total});
}

std::size_t StageBladeSeries(const TStage &st)
{
    std::size_t n = 0;
    for (std::size_t p = 0; p < std::min<std::size_t>(st.CountPairs, st.Pairs.size()); ++p)
        if (st.Pairs[p].Checked)
            n += st.CountBlade;
    return n;
}

void ForEachBlade(TPairSpeed &speed, std::size_t blades,
                  const std::function<std::size_t(std::span<float>)> &filter,
                  const std::function<void()> &prepare, TCalcProgressRelay &progress, std::size_t stage,
                  std::size_t pair, const std::function<void(std::size_t)> &job)
{
    if (progress.options.Straightforward) {
        // The plain blade loop, on the calling thread.
        for (std::size_t b = 0; b < blades; ++b) {
            if (filter)
                speed.filter(filter);
            (void)speed.stats();
            if (prepare)
                prepare();
            job(b);
            progress.after(stage, pair, b, blades);
        }
        return;
    }
    std::size_t b = 0;
    while (b < blades) {
        if (filter)
            speed.filter(filter);
        // While a pass still changes the speeds, the next blade sees other ones.
        const std::size_t end = filter && !speed.settled() ? b + 1 : blades;
        (void)speed.stats();
        if (prepare)
            prepare();
        const std::size_t first = b;
        ParallelFor(
            end - first, progress.options.Threads, [&](std::size_t i) { job(first + i); },
            [&](std::size_t i) { progress.after(stage, pair, first + i, blades); });
        b = end;
    }
}

} // namespace stage_detail

void CheckStageInputs(const TCfgDfm &cfg, std::size_t stage)
{
    if (stage >= kMaxStages || stage >= cfg.Stages.size())
        throw ValueError("stage " + std::to_string(stage + 1) + " does not exist");
    const TStage &st = cfg.Stages[stage];
    const std::string where = "stage " + std::to_string(stage + 1) + ": ";
    if (st.CountBlade > kMaxBlades)
        throw ValueError(where + std::to_string(st.CountBlade) + " blades, at most " +
                         std::to_string(kMaxBlades) + " are possible");
    if (st.CountPairs > kMaxPairs || st.CountPairs > st.Pairs.size())
        throw ValueError(where + std::to_string(st.CountPairs) + " sensor pairs, at most " +
                         std::to_string(kMaxPairs) + " are possible");
    const bool dynamic = cfg.Mode == TMode::mdDynamic;
    if (dynamic)
        CheckStallStep(cfg.dN);
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        const TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::string pairWhere = where + "pair " + std::to_string(p + 1) + ": ";
        if (pair.Size < 0 || static_cast<std::size_t>(pair.Size) > kMaxSeriesLength)
            throw ValueError(pairWhere + "series length " + std::to_string(pair.Size) + " is out of range");
        const std::size_t n = stage_detail::seriesLength(pair);
        if (pair.Freq.size() < n || (!dynamic && pair.Time.size() < n))
            throw ValueError(pairWhere + "the speed or time series is shorter than " + std::to_string(n));
        for (std::size_t b = 0; b < st.CountBlade; ++b)
            if (pair.AmplSeries(b).size() < n)
                throw ValueError(pairWhere + "the displacement series of blade " + std::to_string(b + 1) +
                                 " is shorter than " + std::to_string(n));
        // Spike filtering only narrows the speed range, so checking it now covers the walk.
        if (dynamic && cfg.Method == 0)
            CheckStallRange(std::span<const float>(pair.Freq).first(n), cfg.dN);
    }
}

void CalcStages(TCfgDfm &cfg, const TBladeProgress &progress, const TCalcOptions &options)
{
    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, std::min(kMaxStages, cfg.Stages.size()));
    if (cfg.CountStage > stages)
        throw ValueError(std::to_string(cfg.CountStage) + " stages, at most " + std::to_string(kMaxStages) +
                         " are possible");
    auto computed = [&](std::size_t s) {
        const TTypeStage t = cfg.Stages[s].TypeStage;
        return t == TTypeStage::tsFree || t == TTypeStage::tsBandag;
    };
    stage_detail::TCalcProgressRelay relay{progress, options};
    for (std::size_t s = 0; s < stages; ++s)
        if (computed(s)) {
            CheckStageInputs(cfg, s);
            relay.total += stage_detail::StageBladeSeries(cfg.Stages[s]);
        }
    for (std::size_t s = 0; s < stages; ++s) {
        if (cfg.Stages[s].TypeStage == TTypeStage::tsFree)
            stage_detail::CalcFreeStageWith(cfg, s, relay);
        else if (cfg.Stages[s].TypeStage == TTypeStage::tsBandag)
            stage_detail::CalcBandagStageWith(cfg, s, relay);
    }
}

} // namespace vibrolan
