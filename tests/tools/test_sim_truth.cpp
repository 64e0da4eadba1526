// The written recording, read back with the recording readers by a small
// revolution reader of its own (tacho marks cut revolutions, one root and one
// tip arrival per blade), gives the true deflections of every blade within
// one tick quantum in every revolution without injected faults.
#include "sim_test_support.hpp"

#include "config/cfg_dfm.hpp"
#include "recording/recording_image.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

struct ReaderRevolution {
    bool complete = false;
    double startTime = 0; // seconds from the first record
    double quantum = 0;   // diameter * pi / revolution ticks
    std::vector<double> ampl;
};

// Every tacho pulse is a mark (one pulse per revolution). A revolution is
// complete when the root channel shows exactly one pulse per blade between
// its marks and the tip channel exactly as many, counting from the mark.
std::vector<ReaderRevolution> readRevolutions(const RecordingImage &img, const TCfgDfm &cfg, int stage,
                                              int pair)
{
    const TStage &st = cfg.Stages[stage];
    const TPair &pr = st.Pairs[pair];
    const int tacho = cfg.Sensors[st.TachoComb.sensNumber].Chan;
    const int root = cfg.Sensors[pr.Root].Chan;
    const int tip = cfg.Sensors[pr.Peak].Chan;
    const int n = st.CountBlade;
    const std::uint64_t first = img.firstRecord(), end = img.passEnd(cfg.CountSensors);

    std::vector<std::uint64_t> marks;
    for (std::uint64_t k = first; k < end; ++k)
        if (img.recordUnchecked(k).RCh() == tacho)
            marks.push_back(k);
    std::vector<ReaderRevolution> out;
    double elapsedTicks = 0;
    for (std::size_t m = 0; m + 1 < marks.size(); ++m) {
        const TIndex a = img.recordUnchecked(marks[m]), b = img.recordUnchecked(marks[m + 1]);
        const std::int64_t rev = b - a;
        ReaderRevolution r;
        r.startTime = elapsedTicks * img.tickPeriod();
        elapsedTicks += static_cast<double>(rev);
        r.quantum = st.Diametr * M_PI / static_cast<double>(rev);
        std::vector<std::uint32_t> roots, tips;
        int tipsInside = 0;
        for (std::uint64_t k = marks[m] + 1; k < end && tips.size() < std::size_t(pr.SkipBlade + n); ++k) {
            const TIndex x = img.recordUnchecked(k);
            if (k < marks[m + 1] && x.RCh() == root)
                roots.push_back(std::uint32_t{x.Ticks}); // packed: copied, not bound
            if (x.RCh() == tip) {
                tips.push_back(std::uint32_t{x.Ticks});
                tipsInside += k < marks[m + 1];
            }
        }
        r.complete = static_cast<int>(roots.size()) == n && tips.size() == std::size_t(pr.SkipBlade + n) &&
                     tipsInside >= n;
        if (r.complete)
            for (int blade = 0; blade < n; ++blade)
                r.ampl.push_back(st.Diametr * M_PI *
                                 static_cast<double>(Diff(tips[pr.SkipBlade + blade], roots[blade])) /
                                 static_cast<double>(rev));
        out.push_back(std::move(r));
    }
    return out;
}

void checkAgainstTruth(const std::string &label, const sim::Scenario &sc)
{
    SCOPED_TRACE(label);
    TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    const auto res = sim::simulate(sc, opt);
    const RecordingImage img = RecordingImage::mapFile(res.bld);
    TCfgDfm cfg;
    cfg.LoadFromFile(res.lfm);
    const auto truth = readTruth(res.truth);
    const double noiseTicks = 6 * std::sqrt(2.0) * sc.faults.jitterNs * 1e-9 / img.tickPeriod();

    std::map<std::pair<int, int>, std::vector<const TruthLine *>> byPair;
    for (const auto &t : truth)
        byPair[{t.stage - 1, t.pair - 1}].push_back(&t);
    ASSERT_EQ(byPair.size(), res.pairs.size());

    for (const auto &[key, rows] : byPair) {
        SCOPED_TRACE("stage " + std::to_string(key.first + 1) + " pair " + std::to_string(key.second + 1));
        const auto revs = readRevolutions(img, cfg, key.first, key.second);
        // The assembly starts at the second mark and times its revolutions
        // from there; a truth row belongs to the revolution starting then.
        ASSERT_GE(revs.size(), 2u);
        std::size_t complete = 0;
        for (std::size_t i = 1; i < revs.size(); ++i)
            complete += revs[i].complete;
        if (!sc.faults.any()) {
            ASSERT_EQ(complete, revs.size() - 1) << "no revolution of a clean recording may be incomplete";
            ASSERT_EQ(rows.size(), complete);
        }
        std::size_t checked = 0, j = 1;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TruthLine &t = *rows[i];
            ASSERT_EQ(t.sample, static_cast<long>(i));
            while (j < revs.size() && revs[j].startTime - revs[1].startTime < t.time - 1e-6)
                ++j;
            ASSERT_LT(j, revs.size()) << "no revolution starts at " << t.time << " s";
            ASSERT_NEAR(revs[j].startTime - revs[1].startTime, t.time, 1e-6) << "revolution " << i;
            if (t.fault)
                continue;
            const ReaderRevolution &r = revs[j];
            ASSERT_TRUE(r.complete) << "revolution " << i;
            ASSERT_EQ(r.ampl.size(), t.ampl.size());
            const double tol = r.quantum * (1 + noiseTicks) + 2e-6;
            for (std::size_t b = 0; b < t.ampl.size(); ++b)
                ASSERT_NEAR(r.ampl[b], t.ampl[b], tol) << "revolution " << i << " blade " << b + 1;
            ++checked;
        }
        EXPECT_GT(checked, rows.size() * 9 / 10);
    }
}

void checkAgainstTruth(const std::string &presetName)
{
    checkAgainstTruth(presetName, shortPreset(presetName));
}

} // namespace

TEST(SimulatorTruth, ReaderRecoversTrueDeflectionsWithinOneTickQuantum)
{
    for (const char *name : {"runup", "steady", "large"})
        checkAgainstTruth(name);
}

TEST(SimulatorTruth, ArrivalsOfTheGeneralSolverToo)
{
    // The transient response, a drifting stall in a segment and a flutter:
    // every arrival from the fixed point on the full motion model.
    const std::filesystem::path data(VIBROLAN_TEST_DATA_DIR);
    for (const char *file : {"sim_runup_fast.json", "sim_async.json"}) {
        sim::Scenario sc = sim::loadScenarioFile(data / file);
        sc.faults = {};
        checkAgainstTruth(file, sc);
    }
}

TEST(SimulatorTruth, FaultyRecordingStillMatchesInEveryCleanRevolution)
{
    // Spurious and missing pulses make some revolutions incomplete; the ones
    // the truth marks clean agree within the tick quantum widened by the noise.
    checkAgainstTruth("faults");
}

TEST(SimulatorTruth, TruthFollowsTheModelledMotion)
{
    // A blade row with only a quasi-static deflection c * rpm^2 at constant
    // speed: the truth is the probe separation plus that deflection.
    sim::Scenario s = sim::preset("steady");
    s = sim::scaledDuration(s, 0.05);
    s.timeCode = {};
    s.speed = {{0, 6000}};
    s.stages.resize(1);
    s.stages[0].resonances.clear();
    s.stages[0].staticCoeff = 3e-8;
    TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    const auto res = sim::simulate(s, opt);
    const auto truth = readTruth(res.truth);
    ASSERT_FALSE(truth.empty());
    const double d = s.stages[0].diameterMm;
    const double expected1 = M_PI * d * 3.2 / 360 + 3e-8 * 6000 * 6000; // pair Pa1: K1 20 deg, P1 23.2 deg
    for (const auto &t : truth) {
        if (t.pair != 1)
            continue;
        EXPECT_NEAR(t.speed, 6000, 1e-6);
        for (double a : t.ampl)
            EXPECT_NEAR(a, expected1, 1e-5);
    }
}
