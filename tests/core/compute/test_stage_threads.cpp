// The stage computation on several threads against the plain loop on one:
// the same series bit for bit, also when the spike guard changes the pair's
// speed series again before later blades.
#include "stage_fixture.hpp"

#include "compute/spike_filters.hpp"
#include "compute/stage_calc.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

bool sameBits(const std::vector<float> &a, const std::vector<float> &b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), 4 * a.size()) == 0);
}

// Speeds with spikes that the guard (three points, 2 rev/min) removes over
// several passes: every pass that changes them gives the following blades
// other speeds.
std::unique_ptr<TCfgDfm> spikyStage(TTypeStage type, TMode mode)
{
    auto cfg = makeStage(
        type, mode, 9, 2, 400, 2900, 1.5F, [](std::size_t p, std::size_t b, std::size_t i, double f) {
            return 0.3 + 0.01 * static_cast<double>(b) + 1e-5 * f + 0.02 * std::sin(0.05 * i + b + p);
        });
    std::mt19937 gen(2385);
    std::uniform_int_distribution<int> at(0, 399);
    for (std::size_t p = 0; p < 2; ++p) {
        auto &f = cfg->Stages[0].Pairs[p].Freq;
        for (int k = 0; k < 40; ++k) {
            const int i = at(gen);
            f[i] += (k % 2 ? 9.0F : -7.0F);
            if (i + 1 < 400 && k % 3 == 0)
                f[i + 1] += 6.5F;
        }
    }
    cfg->thNumPoint = static_cast<std::uint16_t>(kPointWordOn | 3);
    cfg->LoTaho = 0.5;
    cfg->HiTaho = 2;
    cfg->mgNumPoint = static_cast<std::uint16_t>(kPointWordOn | 2);
    cfg->LoAmpl = 0.001;
    cfg->HiAmpl = 0.03;
    cfg->dN = 40;
    return cfg;
}

} // namespace

TEST(StageThreads, ThreadsAndPlannedFitsGiveThePlainLoopsSeries)
{
    for (const TTypeStage type : {TTypeStage::tsFree, TTypeStage::tsBandag})
        for (const TMode mode : {TMode::mdDynamic, TMode::mdStatic}) {
            // The guard must need several passes for the case to mean something.
            {
                auto probe = spikyStage(type, mode);
                std::vector<float> f = probe->Stages[0].Pairs[0].Freq;
                int changing = 0;
                for (int pass = 0; pass < 9; ++pass) {
                    const std::size_t changed =
                        type == TTypeStage::tsFree
                            ? SuppressSpikesCounted(f, probe->thNumPoint, probe->LoTaho, probe->HiTaho)
                                  .Changed
                            : RepairSpikesCounted(f, probe->LoTaho, probe->HiTaho).Changed;
                    changing += changed != 0 ? 1 : 0;
                }
                if (type == TTypeStage::tsFree)
                    ASSERT_GE(changing, 2);
            }
            auto plain = spikyStage(type, mode);
            std::vector<std::uint16_t> plainBlades;
            CalcStages(
                *plain, [&](std::uint16_t b) { plainBlades.push_back(b); }, TCalcOptions{1, {}, true});
            for (unsigned threads : {2U, 3U, 7U}) {
                auto fast = spikyStage(type, mode);
                std::vector<std::uint16_t> blades;
                std::vector<std::size_t> done;
                CalcStages(
                    *fast, [&](std::uint16_t b) { blades.push_back(b); },
                    TCalcOptions{threads, [&](const TCalcPosition &at) { done.push_back(at.Done); }, false});
                EXPECT_EQ(blades, plainBlades);
                ASSERT_EQ(done.size(), 18u);
                for (std::size_t i = 0; i < done.size(); ++i)
                    EXPECT_EQ(done[i], i + 1);
                for (std::size_t p = 0; p < 2; ++p) {
                    const TPair &a = plain->Stages[0].Pairs[p], &b = fast->Stages[0].Pairs[p];
                    EXPECT_TRUE(sameBits(a.Freq, b.Freq));
                    EXPECT_EQ(a.CountInterval, b.CountInterval);
                    for (std::size_t k = 0; k < 9; ++k) {
                        const std::string where = "pair " + std::to_string(p) + " blade " +
                                                  std::to_string(k) + " threads " + std::to_string(threads);
                        EXPECT_TRUE(sameBits(a.Ampl[k], b.Ampl[k])) << where;
                        EXPECT_TRUE(sameBits(a.MiddleLine[k], b.MiddleLine[k])) << where;
                        EXPECT_TRUE(sameBits(a.Velocity[k], b.Velocity[k])) << where;
                        EXPECT_TRUE(sameBits(a.Stress[k], b.Stress[k])) << where;
                        EXPECT_TRUE(sameBits(a.ResonanceCurve[k], b.ResonanceCurve[k])) << where;
                        EXPECT_TRUE(sameBits(a.StallingOscill[k], b.StallingOscill[k])) << where;
                        EXPECT_EQ(a.CmprssResnceCurve[k], b.CmprssResnceCurve[k]) << where;
                        EXPECT_EQ(std::memcmp(&a.Mean[k], &b.Mean[k], 4), 0) << where;
                        EXPECT_EQ(std::memcmp(&a.RMS[k], &b.RMS[k], 4), 0) << where;
                        EXPECT_EQ(std::memcmp(&a.stStress[k], &b.stStress[k], 4), 0) << where;
                    }
                }
                EXPECT_EQ(std::memcmp(&plain->Stages[0].Correlation, &fast->Stages[0].Correlation,
                                      sizeof(TMtxDouble)),
                          0);
            }
        }
}
