#include "compute/detrend_poly.hpp"
#include "compute/series_ops.hpp"
#include "compute/series_stats.hpp"
#include "compute/spike_filters.hpp"
#include "compute/stage_common.hpp"
#include "compute/stall_separation.hpp"

#include <algorithm>

namespace vibrolan {

using namespace stage_detail;

void CalcBandagStage(TCfgDfm &cfg, std::size_t stage, const TBladeProgress &progress)
{
    CheckStageInputs(cfg, stage);
    TStage &st = cfg.Stages[stage];
    const std::size_t blades = st.CountBlade;
    const bool dynamic = cfg.Mode == TMode::mdDynamic;
    const bool amplGuard = (cfg.mgNumPoint & kPointWordOn) != 0;
    const bool speedGuard = (cfg.thNumPoint & kPointWordOn) != 0;
    constexpr double kNoInletAngle = 0; // shrouded rows: cos β = 1

    // Fresh result series in both modes; single-point spike repair.
    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::size_t n = seriesLength(pair);
        for (std::size_t b = 0; b < blades; ++b) {
            pair.MiddleLine[b] = TArrSingle(n);
            pair.Velocity[b] = TArrSingle(n);
            pair.Stress[b] = TArrSingle(n);
            pair.ResonanceCurve[b] = TArrSingle(n);
            pair.StallingOscill[b] = TArrSingle(n);
            pair.CmprssResnceCurve[b] = std::vector<std::uint32_t>(kIntervalListBlock);
            if (amplGuard)
                RepairSpikes(pair.AmplSeries(b).first(n), cfg.LoAmpl, cfg.HiAmpl);
        }
    }

    for (std::size_t p = 0; p < st.CountPairs; ++p) {
        TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const std::size_t n = seriesLength(pair);
        TPairSpeed speed(pair, cfg.dN);
        for (std::size_t b = 0; b < blades; ++b) {
            if (speedGuard)
                speed.filter([&](std::span<float> f) {
                    return RepairSpikesCounted(f, cfg.LoTaho, cfg.HiTaho).Changed;
                });
            const std::span<float> F = speed.series();
            const std::span<float> ampl = pair.AmplSeries(b).first(n);
            pair.Mean[b] = CalcStationarySwing(ampl, F, kNoInletAngle, st.Diametr, st.KfSigma, cfg.b1,
                                               pair.stStallingOscill[b], pair.stStress[b]);
            if (dynamic) {
                DetrendPoly(F, ampl, head(pair.MiddleLine[b], n));
                CalcVelocityStress(ampl, pair.MiddleLine[b], F, kNoInletAngle, st.Diametr, st.KfSigma,
                                   pair.Velocity[b], pair.Stress[b]);
                // The stress of a shrouded blade follows the displacement itself.
                ScaleSeries(ampl, st.KfSigma, pair.Stress[b]);
                SeparateStall(pair.Stress[b], F, speed.plan(cfg.Method), pair.ResonanceCurve[b], cfg.dN,
                              pair.CountInterval, pair.CmprssResnceCurve[b], cfg.Method,
                              pair.StallingOscill[b]);
                pair.RMS[b] = SeriesStats(ampl).RMS;
            } else {
                const TSeriesStats s = SeriesStats(ampl);
                pair.RMS[b] = s.RMS;
                pair.Mean[b] = s.Mean;
                DetrendPoly(head(pair.Time, n), ampl, head(pair.MiddleLine[b], n));
                CalcVelocityStress(ampl, pair.MiddleLine[b], F, kNoInletAngle, st.Diametr, st.KfSigma,
                                   pair.Velocity[b], pair.Stress[b]);
                pair.Astat[b] = pair.Mean[b];
            }
            if (progress)
                progress(static_cast<std::uint16_t>(b + 1));
        }
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
        // The stress of steady state follows the detrended displacement as well.
        for (std::size_t p = 0; p < st.CountPairs; ++p) {
            TPair &pair = st.Pairs[p];
            if (!pair.Checked)
                continue;
            const std::size_t n = seriesLength(pair);
            for (std::size_t b = 0; b < blades; ++b) {
                pair.Stress[b] = TArrSingle(n);
                if (n > 2)
                    ScaleSeries(pair.AmplSeries(b).first(n), st.KfSigma, pair.Stress[b]);
            }
        }
    }

    PairDeviations(st);
    StageAggregates(st);
}

} // namespace vibrolan
