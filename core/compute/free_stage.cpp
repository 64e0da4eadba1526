#include "compute/detrend_poly.hpp"
#include "compute/series_stats.hpp"
#include "compute/spike_filters.hpp"
#include "compute/stage_common.hpp"
#include "compute/stall_separation.hpp"

#include <optional>
#include <vector>

namespace vibrolan {

using namespace stage_detail;

namespace stage_detail {

void CalcFreeStageWith(TCfgDfm &cfg, std::size_t stage, TCalcProgressRelay &progress)
{
    CheckStageInputs(cfg, stage);
    TStage &st = cfg.Stages[stage];
    const std::size_t blades = st.CountBlade;
    const bool dynamic = cfg.Mode == TMode::mdDynamic;
    const bool amplGuard = (cfg.mgNumPoint & kPointWordOn) != 0;
    const bool speedGuard = (cfg.thNumPoint & kPointWordOn) != 0;

    // Per blade: fresh result series, the spike-protected displacement
    // statistics, the swing, detrending, velocity and stress, and in
    // run-through mode the resonance/stall split. A blade touches only its
    // own series; the pair's speeds are shared and only read.
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked || blades == 0)
            continue;
        const std::size_t n = seriesLength(pair);
        // The per-blade tables take their memory here, not in the threads.
        for (auto *table : {&pair.MiddleLine, &pair.Velocity, &pair.Stress, &pair.StallingOscill, &pair.Ampl})
            (void)table->data();
        (void)pair.AmplOffs.data();
        (void)pair.Mean.data();
        (void)pair.RMS.data();
        (void)pair.stStallingOscill.data();
        (void)pair.stStress.data();
        if (dynamic) {
            (void)pair.ResonanceCurve.data();
            (void)pair.CmprssResnceCurve.data();
        }
        std::vector<std::int32_t> intervals(blades, pair.CountInterval);
        TPairSpeed speed(pair, cfg.dN);
        std::function<std::size_t(std::span<float>)> filter;
        if (speedGuard)
            filter = [&](std::span<float> f) {
                return SuppressSpikesCounted(f, cfg.thNumPoint, cfg.LoTaho, cfg.HiTaho).Changed;
            };
        // The fits over the speeds (or the times) and the windows are the
        // same for every blade: planned once, unless every fit is to be made on its own.
        const bool planned = !progress.options.Straightforward;
        std::optional<TPolyPlan> timeFit;
        if (planned && !dynamic)
            timeFit.emplace(head(pair.Time, n), 2);
        const auto prepare = [&] {
            if (dynamic)
                speed.prepare(cfg.Method, planned);
        };
        ForEachBlade(speed, blades, filter, prepare, progress, stage, p, [&](std::size_t b) {
            pair.MiddleLine[b] = TArrSingle(n);
            pair.Velocity[b] = TArrSingle(n);
            pair.Stress[b] = TArrSingle(n);
            pair.StallingOscill[b] = TArrSingle(n); // stays zero in steady state
            const std::span<float> ampl = pair.AmplSeries(b).first(n);
            if (amplGuard)
                SuppressSpikes(ampl, cfg.mgNumPoint, cfg.LoAmpl, cfg.HiAmpl);
            const TSeriesStats s = SeriesStats(ampl);
            pair.Mean[b] = s.Mean;
            pair.RMS[b] = s.RMS;

            if (dynamic) {
                pair.ResonanceCurve[b] = TArrSingle(n);
                pair.CmprssResnceCurve[b] = std::vector<std::uint32_t>(kIntervalListBlock);
            }
            const std::span<float> F = speed.series();
            CalcStationarySwing(s, speed.stats(), st.BIn, st.Diametr, st.KfSigma, cfg.b1,
                                pair.stStallingOscill[b], pair.stStress[b]);
            const std::span<const float> abscissa = dynamic ? std::span<const float>(F) : head(pair.Time, n);
            if (!planned)
                DetrendPoly(abscissa, ampl, head(pair.MiddleLine[b], n));
            else
                DetrendPoly(dynamic ? speed.fit() : *timeFit, ampl, head(pair.MiddleLine[b], n));
            CalcVelocityStress(ampl, pair.MiddleLine[b], F, st.BIn, st.Diametr, st.KfSigma, pair.Velocity[b],
                               pair.Stress[b]);
            if (dynamic)
                SeparateBladeStall(speed, cfg, planned, pair, b, intervals[b]);
        });
        // Every blade writes the same count; the last one's stays.
        pair.CountInterval = intervals[blades - 1];
    }

    PairDeviations(st);
    StageAggregates(st);
}

} // namespace stage_detail

void CalcFreeStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress,
                   const TCalcOptions &options)
{
    TCalcProgressRelay relay{progress, options};
    if (stage < cfg.Stages.size())
        relay.total = StageBladeSeries(cfg.Stages[stage]);
    CalcFreeStageWith(cfg, stage, relay);
}

} // namespace vibrolan
