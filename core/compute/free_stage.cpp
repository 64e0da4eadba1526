#include "compute/detrend_poly.hpp"
#include "compute/series_stats.hpp"
#include "compute/spike_filters.hpp"
#include "compute/stage_common.hpp"
#include "compute/stall_separation.hpp"

namespace vibrolan {

using namespace stage_detail;

void CalcFreeStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress)
{
    CheckStageInputs(cfg, stage);
    TStage &st = cfg.Stages[stage];
    const std::size_t blades = st.CountBlade;
    const bool dynamic = cfg.Mode == TMode::mdDynamic;
    const bool amplGuard = (cfg.mgNumPoint & kPointWordOn) != 0;
    const bool speedGuard = (cfg.thNumPoint & kPointWordOn) != 0;

    // Fresh result series; spike-protected displacement statistics.
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::size_t n = seriesLength(pair);
        for (std::size_t b = 0; b < blades; ++b) {
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
        }
    }

    // Swing, detrending, velocity and stress; in run-through mode the
    // resonance/stall split.
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::size_t n = seriesLength(pair);
        TPairSpeed speed(pair, cfg.dN);
        for (std::size_t b = 0; b < blades; ++b) {
            if (dynamic) {
                pair.ResonanceCurve[b] = TArrSingle(n);
                pair.CmprssResnceCurve[b] = std::vector<std::uint32_t>(kIntervalListBlock);
            }
            if (speedGuard)
                speed.filter([&](std::span<float> f) {
                    return SuppressSpikesCounted(f, cfg.thNumPoint, cfg.LoTaho, cfg.HiTaho).Changed;
                });
            const std::span<float> F = speed.series();
            const std::span<float> ampl = pair.AmplSeries(b).first(n);
            CalcStationarySwing(ampl, F, st.BIn, st.Diametr, st.KfSigma, cfg.b1, pair.stStallingOscill[b],
                                pair.stStress[b]);
            const std::span<const float> abscissa = dynamic ? std::span<const float>(F) : head(pair.Time, n);
            DetrendPoly(abscissa, ampl, head(pair.MiddleLine[b], n));
            CalcVelocityStress(ampl, pair.MiddleLine[b], F, st.BIn, st.Diametr, st.KfSigma, pair.Velocity[b],
                               pair.Stress[b]);
            if (dynamic)
                SeparateStall(pair.Stress[b], F, speed.plan(cfg.Method), pair.ResonanceCurve[b], cfg.dN,
                              pair.CountInterval, pair.CmprssResnceCurve[b], cfg.Method,
                              pair.StallingOscill[b]);
            if (progress)
                progress(static_cast<std::uint16_t>(b + 1));
        }
    }

    PairDeviations(st);
    StageAggregates(st);
}

} // namespace vibrolan
