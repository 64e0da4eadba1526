#include "base/errors.hpp"
#include "compute/detrend_poly.hpp"
#include "compute/series_stats.hpp"
#include "compute/spike_filters.hpp"
#include "compute/stage_calc.hpp"
#include "compute/stall_separation.hpp"
#include "stage_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

using namespace vibrolan;
using vibrolan::test::makeStage;

namespace {

constexpr double kPi = std::numbers::pi;

// Quasi-static middle line of blade b over speed F (rev/min), in mm.
double middle(std::size_t b, double F)
{
    return 1.5 + 0.25 * static_cast<double>(b) + 2e-4 * F - 3e-8 * F * F;
}

// A resonance of blade 0 at 4500 rev/min: a bump in the displacement.
double bump(double F) { return 0.05 * std::exp(-std::pow((F - 4500) / 120, 2)); }

} // namespace

TEST(CalcFreeStage, RunThroughRecoversTheMiddleLineAndLocatesTheResonance)
{
    const std::size_t n = 601; // 3000 .. 6000 rev/min in steps of 5
    auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 2, 1, n, 3000, 5,
                         [](std::size_t, std::size_t b, std::size_t i, double F) {
                             return middle(b, F) + (b == 0 ? bump(F) : (i % 2 ? 1e-3 : -1e-3));
                         });
    cfg->dN = 250;
    std::vector<std::uint16_t> seen;
    CalcStages(*cfg, [&](std::uint16_t b) { seen.push_back(b); });
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{1, 2}));

    const TStage &st = cfg->Stages[0];
    const TPair &pair = st.Pairs[0];
    const double cosBeta = std::cos(kPi * 30 / 180);

    // Blade 1: a quadratic plus a ripple the quadratic cannot follow.
    for (std::size_t i = 0; i < n; i += 37) {
        const double F = pair.Freq[i];
        const double ripple = i % 2 ? 1e-3 : -1e-3;
        EXPECT_NEAR(pair.MiddleLine[1][i], middle(1, F), 2e-5) << i;
        EXPECT_NEAR(pair.Ampl[1][i], ripple, 2e-5) << i;
        const double velocity = ripple / middle(1, F) * 600 * (kPi * F / 30) * cosBeta;
        EXPECT_NEAR(pair.Velocity[1][i], velocity, 1e-2 * std::fabs(velocity)) << i;
        EXPECT_EQ(pair.Stress[1][i], static_cast<float>(2.5 * pair.Velocity[1][i]));
    }

    // Blade 0: the resonance curve peaks at the resonance speed, the list of
    // interval points samples it there too.
    const auto &curve = pair.ResonanceCurve[0];
    const auto peak = std::max_element(curve.begin(), curve.end()) - curve.begin();
    EXPECT_NEAR(pair.Freq[static_cast<std::size_t>(peak)], 4500, 30);
    ASSERT_GT(pair.CountInterval, 3);
    std::size_t bestEntry = 0;
    for (std::int32_t k = 0; k < pair.CountInterval; ++k) {
        const std::size_t pos = pair.CmprssResnceCurve[0][static_cast<std::size_t>(k)];
        ASSERT_LT(pos, n);
        if (curve[pos] > curve[bestEntry])
            bestEntry = pos;
    }
    EXPECT_NEAR(pair.Freq[bestEntry], 4500, 130);
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(pair.StallingOscill[0][i], pair.Stress[0][i] - curve[i]) << i;
    // 3000 .. 6000 in steps of 250: twelve windows, the last ending on the top speed.
    EXPECT_EQ(pair.CountInterval, 2 * 13 + 1);

    // Statistics of the displacement before detrending, and the stationary swing.
    for (std::size_t b = 0; b < 2; ++b) {
        double sum = 0, lo = 1e9, hi = -1e9, fsum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double F = 3000 + 5.0 * static_cast<double>(i);
            const double a = middle(b, F) + (b == 0 ? bump(F) : (i % 2 ? 1e-3 : -1e-3));
            sum += a;
            lo = std::min(lo, a);
            hi = std::max(hi, a);
            fsum += F;
        }
        const double mean = sum / n;
        EXPECT_NEAR(pair.Mean[b], mean, 1e-5);
        const double swing = cosBeta * kPi * (fsum / n) * (hi - lo) * 1200 / std::fabs(120 * mean);
        EXPECT_NEAR(pair.stStallingOscill[b], swing, 1e-4 * swing);
    }
    EXPECT_NEAR(pair.MeanInPair, (pair.Mean[0] + pair.Mean[1]) / 2, 1e-6);
    EXPECT_FLOAT_EQ(pair.Deviation[0], pair.Mean[0] - pair.MeanInPair);
    EXPECT_DOUBLE_EQ(st.Correlation[0][0], 1.0);
}

TEST(CalcFreeStage, PairsBladesAndModes)
{
    const std::size_t n = 40;
    auto flatSwing = [](std::size_t p, std::size_t b, std::size_t i, double) {
        // Blade 2 is all zero: its middle line is 0 and so are velocity and stress.
        if (b == 2)
            return 0.0;
        return 1.0 + 0.1 * static_cast<double>(b) + (i % 2 ? 0.05 : -0.05) + 0.0 * static_cast<double>(p);
    };

    // Two equal enabled pairs: correlation 1, no deviation between them.
    {
        auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 3, 2, n, 3000, 10, flatSwing);
        CalcStages(*cfg);
        const TStage &st = cfg->Stages[0];
        EXPECT_DOUBLE_EQ(st.Correlation[1][0], 1.0);
        for (std::size_t b = 0; b < 3; ++b)
            EXPECT_EQ(st.dDeviation[b], 0.0f);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(st.Pairs[0].Velocity[2][i], 0.0f);
            EXPECT_EQ(st.Pairs[0].Stress[2][i], 0.0f);
        }
        // Symmetric swing (r = 1) within b1 = 0.5: stress written.
        EXPECT_NE(st.Pairs[0].stStress[0], 0.0f);
        EXPECT_FLOAT_EQ(st.Pairs[0].stStress[0], 2.5f * st.Pairs[0].stStallingOscill[0]);
    }

    // A disabled pair keeps its series and MeanInPair, but its old deviations
    // still enter the correlation and the largest deviation.
    {
        auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 3, 2, n, 3000, 10, flatSwing);
        TPair &off = cfg->Stages[0].Pairs[1];
        off.Checked = false;
        off.MeanInPair = 42;
        off.Deviation[0] = 1;
        off.Deviation[1] = 0;
        off.Deviation[2] = 0;
        const std::vector<float> ampl0 = off.Ampl[0];
        CalcStages(*cfg);
        const TStage &st = cfg->Stages[0];
        EXPECT_EQ(off.MeanInPair, 42);
        EXPECT_TRUE(off.MiddleLine[0].empty());
        EXPECT_EQ(off.Ampl[0], ampl0);
        const auto &dev = st.Pairs[0].Deviation;
        const double norm =
            std::sqrt(double(dev[0]) * dev[0] + double(dev[1]) * dev[1] + double(dev[2]) * dev[2]);
        EXPECT_NEAR(st.Correlation[1][0], dev[0] / norm, 1e-6);
        EXPECT_FLOAT_EQ(st.dDeviation[0], std::fabs(1 - dev[0]));
        EXPECT_FLOAT_EQ(st.dDeviation[1], std::fabs(dev[1]));
    }

    // Symmetric swing with b1 = 0: the strict test keeps the old stress.
    {
        auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 1, 1, n, 3000, 10, flatSwing);
        cfg->b1 = 0;
        cfg->Stages[0].Pairs[0].stStress[0] = -9;
        CalcStages(*cfg);
        EXPECT_EQ(cfg->Stages[0].Pairs[0].stStress[0], -9);
        EXPECT_GT(cfg->Stages[0].Pairs[0].stStallingOscill[0], 0);
    }

    // Steady state: detrended over time; no resonance curve, no list; the
    // stall series exists without values.
    {
        auto cfg = makeStage(TTypeStage::tsFree, TMode::mdStatic, 1, 1, n, 5000, 0,
                             [](std::size_t, std::size_t, std::size_t i, double) {
                                 const double t = 0.1 * static_cast<double>(i);
                                 return 2 + 0.3 * t - 0.01 * t * t + (i % 2 ? 1e-3 : -1e-3);
                             });
        cfg->dN = 0; // not used in steady state
        TPair &pair = cfg->Stages[0].Pairs[0];
        pair.CountInterval = 77;
        CalcStages(*cfg);
        EXPECT_TRUE(pair.ResonanceCurve[0].empty());
        EXPECT_TRUE(pair.CmprssResnceCurve[0].empty());
        EXPECT_EQ(pair.CountInterval, 77);
        EXPECT_EQ(pair.StallingOscill[0], std::vector<float>(n, 0.0f));
        for (std::size_t i = 0; i < n; ++i) {
            const double t = 0.1 * static_cast<double>(i);
            EXPECT_NEAR(pair.MiddleLine[0][i], 2 + 0.3 * t - 0.01 * t * t, 2e-4) << i;
        }
    }
}

TEST(CalcStages, SkipsOtherStageKindsAndRefusesBadInputBeforeWriting)
{
    const std::size_t n = 30;
    auto ampl = [](std::size_t, std::size_t, std::size_t i, double) {
        return 1 + 0.01 * static_cast<double>(i % 5);
    };
    for (const TTypeStage kind : {TTypeStage::tsLink, TTypeStage::tsAviaEng}) {
        auto cfg = makeStage(kind, TMode::mdDynamic, 2, 1, n, 3000, 10, ampl);
        const std::vector<float> before = cfg->Stages[0].Pairs[0].Ampl[1];
        CalcStages(*cfg);
        EXPECT_EQ(cfg->Stages[0].Pairs[0].Ampl[1], before);
        EXPECT_TRUE(cfg->Stages[0].Pairs[0].MiddleLine[1].empty());
    }

    struct Case {
        const char *name;
        std::function<void(TCfgDfm &)> spoil;
    };
    const Case cases[] = {
        {"zero speed step", [](TCfgDfm &c) { c.dN = 0; }},
        {"negative speed step", [](TCfgDfm &c) { c.dN = -100; }},
        {"speed step far too fine", [](TCfgDfm &c) { c.dN = 1e-6; }},
        {"series shorter than Size", [](TCfgDfm &c) { c.Stages[1].Pairs[0].Ampl[1].resize(n - 1); }},
        {"speed shorter than Size", [](TCfgDfm &c) { c.Stages[1].Pairs[0].Freq.resize(3); }},
        {"negative Size", [](TCfgDfm &c) { c.Stages[1].Pairs[0].Size = -1; }},
        {"too many blades", [](TCfgDfm &c) { c.Stages[1].CountBlade = 256; }},
        {"too many pairs", [](TCfgDfm &c) { c.Stages[1].CountPairs = 17; }},
        {"too many stages", [](TCfgDfm &c) { c.CountStage = 6; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Stage 1 is fine, stage 2 is spoiled: stage 1 must not be computed either.
        auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 2, 1, n, 3000, 10, ampl);
        cfg->CountStage = 2;
        cfg->Stages[1] = cfg->Stages[0];
        c.spoil(*cfg);
        EXPECT_THROW(CalcStages(*cfg), ValueError);
        EXPECT_TRUE(cfg->Stages[0].Pairs[0].MiddleLine[0].empty());
        EXPECT_EQ(cfg->Stages[0].Pairs[0].Ampl[0][1], 1.01f);
    }
}

TEST(CalcFreeStage, SpikeProtectionAndWindowReuseChangeNoResult)
{
    // Noisy run-down with spikes in the displacement and in the speed; the
    // speed filter is applied again before every blade.
    const std::size_t n = 1500;
    std::mt19937 rng(4);
    std::normal_distribution<double> noise(0, 1);
    auto cfg = makeStage(TTypeStage::tsFree, TMode::mdDynamic, 4, 1, n, 6000, -2,
                         [&](std::size_t, std::size_t b, std::size_t i, double F) {
                             const double spike = (i % 97 == 13) ? 3.0 : 0.0;
                             return middle(b, F) + 0.01 * noise(rng) + spike;
                         });
    cfg->dN = 150;
    cfg->mgNumPoint = 0x8000 | 2;
    cfg->LoAmpl = 0;
    cfg->HiAmpl = 0.5;
    cfg->thNumPoint = 0x8000 | 3;
    cfg->LoTaho = 0;
    cfg->HiTaho = 40;
    TPair &pair = cfg->Stages[0].Pairs[0];
    for (std::size_t i = 0; i < n; ++i)
        pair.Freq[i] += static_cast<float>(3 * noise(rng)) + ((i % 211 == 5) ? 400.f : 0.f);

    // The plain sequence: filter the speed before every blade, scan the whole
    // speed series for every window.
    TCfgDfm oracle = *cfg;
    {
        TStage &st = oracle.Stages[0];
        TPair &op = st.Pairs[0];
        for (std::size_t b = 0; b < 4; ++b)
            SuppressSpikes(op.Ampl[b], oracle.mgNumPoint, oracle.LoAmpl, oracle.HiAmpl);
        for (std::size_t b = 0; b < 4; ++b) {
            SuppressSpikes(op.Freq, oracle.thNumPoint, oracle.LoTaho, oracle.HiTaho);
            op.MiddleLine[b].assign(n, 0);
            op.Velocity[b].assign(n, 0);
            op.Stress[b].assign(n, 0);
            op.ResonanceCurve[b].assign(n, 0);
            op.StallingOscill[b].assign(n, 0);
            op.CmprssResnceCurve[b].assign(kIntervalListBlock, 0);
            DetrendPoly(op.Freq, op.Ampl[b], op.MiddleLine[b]);
            CalcVelocityStress(op.Ampl[b], op.MiddleLine[b], op.Freq, st.BIn, st.Diametr, st.KfSigma,
                               op.Velocity[b], op.Stress[b]);
            const std::span<const float> speed(op.Freq);
            const TStallPlan plan =
                PlanStallWindows(speed, oracle.dN, [&](double lo, double hi, TSpeedDirection d) {
                    return FindWindowBounds(speed, lo, hi, d);
                });
            SeparateStall(op.Stress[b], op.Freq, plan, op.ResonanceCurve[b], oracle.dN, op.CountInterval,
                          op.CmprssResnceCurve[b], oracle.Method, op.StallingOscill[b]);
        }
    }

    CalcStages(*cfg);
    const TPair &op = oracle.Stages[0].Pairs[0];
    EXPECT_EQ(pair.Freq, op.Freq);
    EXPECT_EQ(pair.CountInterval, op.CountInterval);
    for (std::size_t b = 0; b < 4; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(pair.Ampl[b], op.Ampl[b]);
        EXPECT_EQ(pair.ResonanceCurve[b], op.ResonanceCurve[b]);
        EXPECT_EQ(pair.StallingOscill[b], op.StallingOscill[b]);
        EXPECT_EQ(pair.CmprssResnceCurve[b], op.CmprssResnceCurve[b]);
        // The displacement spikes were removed before the statistics.
        EXPECT_LT(SeriesStats(pair.Ampl[b]).Max, 0.2f);
    }
}
