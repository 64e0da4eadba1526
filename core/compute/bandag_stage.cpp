#include "compute/detrend_poly.hpp"
#include "compute/series_ops.hpp"
#include "compute/series_stats.hpp"
#include "compute/spike_filters.hpp"
#include "compute/stage_common.hpp"
#include "compute/stall_separation.hpp"

#include <algorithm>
#include <optional>
#include <vector>

namespace vibrolan {

using namespace stage_detail;

namespace stage_detail {

void CalcBandagStageWith(TCfgDfm &cfg, std::size_t stage, TCalcProgressRelay &progress)
{
    CheckStageInputs(cfg, stage);
    TStage &st = cfg.Stages[stage];
    const std::size_t blades = st.CountBlade;
    const bool dynamic = cfg.Mode == TMode::mdDynamic;
    const bool amplGuard = (cfg.mgNumPoint & kPointWordOn) != 0;
    const bool speedGuard = (cfg.thNumPoint & kPointWordOn) != 0;
    constexpr double kNoInletAngle = 0; // shrouded rows: cos β = 1

    // Per blade: fresh result series in both modes, single-point spike
    // repair, the swing, detrending, velocity and stress; a blade touches
    // only its own series, the pair's speeds are shared and only read.
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked || blades == 0)
            continue;
        const std::size_t n = seriesLength(pair);
        // The per-blade tables take their memory here, not in the threads.
        for (auto *table : {&pair.MiddleLine, &pair.Velocity, &pair.Stress, &pair.ResonanceCurve,
                            &pair.StallingOscill, &pair.Ampl})
            (void)table->data();
        (void)pair.CmprssResnceCurve.data();
        (void)pair.AmplOffs.data();
        (void)pair.Mean.data();
        (void)pair.RMS.data();
        (void)pair.stStallingOscill.data();
        (void)pair.stStress.data();
        if (!dynamic)
            (void)pair.Astat.data();
        std::vector<std::int32_t> intervals(blades, pair.CountInterval);
        TPairSpeed speed(pair, cfg.dN);
        std::function<std::size_t(std::span<float>)> filter;
        if (speedGuard)
            filter = [&](std::span<float> f) {
                return RepairSpikesCounted(f, cfg.LoTaho, cfg.HiTaho).Changed;
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
            pair.ResonanceCurve[b] = TArrSingle(n);
            pair.StallingOscill[b] = TArrSingle(n);
            pair.CmprssResnceCurve[b] = std::vector<std::uint32_t>(kIntervalListBlock);
            const std::span<float> ampl = pair.AmplSeries(b).first(n);
            if (amplGuard)
                RepairSpikes(ampl, cfg.LoAmpl, cfg.HiAmpl);

            const std::span<float> F = speed.series();
            const TSeriesStats sa = SeriesStats(ampl);
            pair.Mean[b] = CalcStationarySwing(sa, speed.stats(), kNoInletAngle, st.Diametr, st.KfSigma,
                                               cfg.b1, pair.stStallingOscill[b], pair.stStress[b]);
            if (dynamic) {
                if (planned)
                    DetrendPoly(speed.fit(), ampl, head(pair.MiddleLine[b], n));
                else
                    DetrendPoly(F, ampl, head(pair.MiddleLine[b], n));
                CalcVelocityStress(ampl, pair.MiddleLine[b], F, kNoInletAngle, st.Diametr, st.KfSigma,
                                   pair.Velocity[b], pair.Stress[b]);
                // The stress of a shrouded blade follows the displacement itself.
                ScaleSeries(ampl, st.KfSigma, pair.Stress[b]);
                SeparateBladeStall(speed, cfg, planned, pair, b, intervals[b]);
                pair.RMS[b] = SeriesStats(ampl).RMS;
            } else {
                pair.RMS[b] = sa.RMS;
                pair.Mean[b] = sa.Mean;
                if (planned)
                    DetrendPoly(*timeFit, ampl, head(pair.MiddleLine[b], n));
                else
                    DetrendPoly(head(pair.Time, n), ampl, head(pair.MiddleLine[b], n));
                CalcVelocityStress(ampl, pair.MiddleLine[b], F, kNoInletAngle, st.Diametr, st.KfSigma,
                                   pair.Velocity[b], pair.Stress[b]);
                pair.Astat[b] = pair.Mean[b];
                // The stress of steady state follows the detrended displacement.
                pair.Stress[b] = TArrSingle(n);
                if (n > 2)
                    ScaleSeries(ampl, st.KfSigma, pair.Stress[b]);
            }
        });
        pair.CountInterval = intervals[blades - 1];
    }

    if (!dynamic) {
        // No harmonic analysis is made here: the tables the report reads are cleared.
        const std::size_t harmonics = static_cast<std::size_t>(
            std::clamp<std::int32_t>(st.CountHarm, 0, static_cast<std::int32_t>(kMaxHarmonics)));
        for (std::size_t h = 0; h < harmonics; ++h) {
            for (std::size_t b = 0; b < blades; ++b)
                st.Harm[h][b] = THarmCoeffs{0, 0};
            st.HarmStage[h] = Ttriad{0, 0, 0};
        }
    }

    PairDeviations(st);
    StageAggregates(st);
}

} // namespace stage_detail

void CalcBandagStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress,
                     const TCalcOptions &options)
{
    TCalcProgressRelay relay{progress, options};
    if (stage < cfg.Stages.size())
        relay.total = StageBladeSeries(cfg.Stages[stage]);
    CalcBandagStageWith(cfg, stage, relay);
}

} // namespace vibrolan
