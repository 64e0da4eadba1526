// Asynchronous vibration of simulated runs against the simulator's truth
// (NAME.modes.csv): the recording goes through the real processing run, the
// analysis reads what the run left.
#include "identify/async_vibration.hpp"

#include "identify/async_spectrum.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "run/processing_run.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/modes_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <optional>
#include <thread>

using namespace vibrolan;
using namespace vibrolan::identify;
namespace fs = std::filesystem;

namespace {

struct SimRun {
    std::vector<test::ModeLine> modes;
    std::unique_ptr<TCfgDfm> cfg;
};

// `edit` changes the written configuration before the run (settings that
// describe the same recording in another way).
SimRun simulateAndRun(const sim::Scenario &sc, const test::TempDir &dir,
                      const std::function<void(TCfgDfm &)> &edit = {})
{
    SimRun out;
    sim::SimulationOptions so;
    so.outDir = dir.path();
    so.threads = 1;
    const sim::SimulationResult r = sim::simulate(sc, so);
    out.modes = test::readModes(r.modes);
    out.cfg = std::make_unique<TCfgDfm>();
    out.cfg->InitDefault();
    out.cfg->LoadFromFile(r.lfm);
    if (edit)
        edit(*out.cfg);
    RecordingMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = r.lfm;
    ProcessingRun(*out.cfg, inputs, sink, NumberFormat{}, {});
    return out;
}

// The deflection noise of a pair: the tip and the root pulse each carry the
// timing jitter, the tip moves pi D n / 60 per second.
double noiseMm(const sim::Scenario &sc, std::size_t stage, double rpm)
{
    return std::sqrt(2.0) * sc.faults.jitterNs * 1e-9 * std::numbers::pi * sc.stages[stage].diameterMm * rpm /
           60;
}

// A stage of `blades` blades with tip probes at `angles`, behind one root
// probe at 0 degrees or (ownRoots) each behind its own root probe two
// pitches before it.
sim::StageSpec stage(const std::string &name, int blades, double diameter, const std::vector<double> &angles,
                     int channel, bool ownRoots = false)
{
    sim::StageSpec st;
    st.name = name;
    st.blades = blades;
    st.diameterMm = diameter;
    st.pitchSeed = 7;
    st.probes.push_back({"K" + name, channel, sim::ProbeKind::Root, 0});
    int ch = channel + 1;
    for (std::size_t i = 0; i < angles.size(); ++i) {
        const std::string tip = "P" + name + std::to_string(i);
        std::string root = "K" + name;
        if (ownRoots && i > 0) {
            root = "R" + name + std::to_string(i);
            st.probes.push_back({root, ch++, sim::ProbeKind::Root, angles[i] - 2 * 360.0 / blades});
        }
        st.probes.push_back({tip, ch++, sim::ProbeKind::Tip, angles[i]});
        st.pairs.push_back({"Pa" + name + std::to_string(i), root, tip});
    }
    return st;
}

sim::Scenario steadyScenario(double seconds, double rpm)
{
    sim::Scenario sc;
    sc.name = "async";
    sc.seed = 5;
    sc.durationS = seconds;
    sc.speed = {{0, rpm}, {seconds, rpm * 1.003}};
    sc.faults.jitterNs = 20;
    return sc;
}

// Every stall or flutter component of the truth: one segment of its stage
// that covers it, with the frequency of every window of the track, the
// nodal diameter, the mean amplitude and the ends within the bounds.
void expectFound(const sim::Scenario &sc, const std::vector<test::ModeLine> &modes, const AsyncResult &res)
{
    for (const test::ModeLine &m : modes) {
        if (m.kind == "resonance" || m.blade != 1)
            continue;
        SCOPED_TRACE("stage " + std::to_string(m.stage) + " " + m.kind);
        const AsyncSegment *seg = nullptr;
        for (const AsyncSegment &s : res.segments)
            if (s.stage == m.stage - 1 && s.timeTo > m.timeFromS && s.timeFrom < m.timeToS) {
                EXPECT_EQ(seg, nullptr) << "the component is split";
                seg = &s;
            }
        ASSERT_NE(seg, nullptr);
        EXPECT_FALSE(seg->ambiguous);
        EXPECT_TRUE(seg->frequencyKnown);
        EXPECT_TRUE(seg->nodalDiameterKnown);
        EXPECT_EQ(seg->nodalDiameter, m.nodalDiameter);
        EXPECT_NEAR(seg->timeFrom, m.timeFromS, 1.0);
        EXPECT_NEAR(seg->timeTo, m.timeToS, 1.0);
        EXPECT_NEAR(seg->amplitudeMean, m.meanAmplitudeMm, 0.1 * m.meanAmplitudeMm);
        EXPECT_EQ(seg->blades, sc.stages[static_cast<std::size_t>(m.stage - 1)].blades);
        EXPECT_GT(seg->quality, 0.8);
        // The truth is linear in time between the segment's ends.
        auto truthAt = [&](double t) {
            return m.frequencyHz +
                   (m.frequencyEndHz - m.frequencyHz) * (t - m.timeFromS) / (m.timeToS - m.timeFromS);
        };
        EXPECT_NEAR(seg->frequencyHz, truthAt(0.5 * (seg->timeFrom + seg->timeTo)), 0.005 * m.frequencyHz);
        for (const AsyncTrackPoint &p : seg->track) {
            EXPECT_NEAR(p.frequencyHz, truthAt(p.time), 0.005 * truthAt(p.time)) << "at " << p.time << " s";
            EXPECT_EQ(p.nodalDiameter, m.nodalDiameter) << "at " << p.time << " s";
        }
    }
    int components = 0;
    for (const test::ModeLine &m : modes)
        components += m.kind != "resonance" && m.blade == 1 ? 1 : 0;
    EXPECT_EQ(static_cast<int>(res.segments.size()), components) << "segments where the truth has none";
}

void dump(const AsyncResult &r)
{
    for (const auto &s : r.segments) {
        std::printf("st%d %.2f..%.2f rpm %.0f fs %.3f (%.3f..%.3f) fr %.3f nd %d known %d/%d amb %d coh %.2f "
                    "A %.5f max %.5f bl %d q %.3f %s\n",
                    s.stage, s.timeFrom, s.timeTo, s.speedRpm, s.frequencyHz, s.frequencyFromHz,
                    s.frequencyToHz, s.rotorFrequencyHz, s.nodalDiameter, s.frequencyKnown,
                    s.nodalDiameterKnown, s.ambiguous, s.coherence, s.amplitudeMean, s.amplitudeMax, s.blades,
                    s.quality, s.remark.c_str());
        if (std::getenv("ASYNC_TRACK"))
            for (const auto &p : s.track)
                std::printf("   t %.2f rpm %.0f fs %.2f fr %.2f nd %d A %.4f sig %.1f\n", p.time, p.rpm,
                            p.frequencyHz, p.rotorFrequencyHz, p.nodalDiameter, p.amplitude, p.significance);
        for (const auto &a : s.alternatives)
            std::printf("   alt fr %.3f nd %d fs %.3f layout %d margin %.1f\n", a.rotorFrequencyHz,
                        a.nodalDiameter, a.frequencyHz, a.layoutAlias, a.margin);
    }
    for (const auto &l : r.layouts)
        std::printf("layout st%d pairs %d K %d max %.1f W %d windows %d\n", l.stage, l.pairs, l.aliasPeriod,
                    l.maxOrder, l.windowRevolutions, l.windows);
    for (const auto &n : r.notes)
        std::printf("note %s\n", n.c_str());
}

} // namespace

TEST(AsyncVibration, DriftingStallAndFlutterOfTheExampleScenario)
{
    test::TempDir dir;
    const sim::Scenario sc = sim::loadScenarioFile(fs::path(VIBROLAN_TEST_DATA_DIR) / "sim_async.json");
    const SimRun run = simulateAndRun(sc, dir);
    const AsyncResult res = AnalyseAsynchronous(*run.cfg);
    dump(res);
    expectFound(sc, run.modes, res);
}

TEST(AsyncVibration, StagesOfManyLayoutsWithAndWithoutASynchronousResonance)
{
    struct Case {
        const char *label;
        int blades;
        std::vector<double> angles;
        std::optional<sim::StallSpec> stall;
        std::optional<sim::FlutterSpec> flutter;
        bool resonance;
        bool runUp;
        bool ownRoots;
    };
    const std::vector<Case> cases = {
        {"24 blades, 3 pairs (two behind their own root probes), backward stall",
         24,
         {1.5, 76.5, 196.5},
         sim::StallSpec{140, 0.08, 1.5, -2, 0.2, 0, 1.0, 3.5},
         {},
         false,
         false,
         true},
        {"120 blades, 8 pairs, flutter",
         120,
         {3.3, 9.3, 18.3, 27.3, 36.3, 45.3, 57.3, 66.3},
         {},
         sim::FlutterSpec{830, 0.07, 7, 1.2, 3.8},
         false,
         false,
         false},
        {"60 blades, 4 pairs, flutter through a run-up with a resonance",
         60,
         {6.6, 48.6, 96.6, 132.6},
         {},
         sim::FlutterSpec{350, 0.08, -5, 1.0, 4.0},
         true,
         true,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        sim::Scenario sc = steadyScenario(5, 6000);
        if (c.runUp)
            sc.speed = {{0, 5600}, {5, 6400}};
        sim::StageSpec st = stage("S", c.blades, 700, c.angles, 2, c.ownRoots);
        st.mistuning = 0.01;
        st.stall = c.stall;
        st.flutter = c.flutter;
        if (c.resonance)
            st.resonances = {{6, 6000 * 6 / 60.0 + 20, 0.004, 0.004}};
        sc.stages = {st};
        sim::validateScenario(sc);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir);
        for (const test::ModeLine &m : run.modes) {
            if (m.kind != "resonance") {
                ASSERT_GE(m.meanAmplitudeMm, 10 * noiseMm(sc, 0, sc.speed.back().rpm));
            }
        }
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        dump(res);
        expectFound(sc, run.modes, res);
    }
}

// Moves the tacho mark of pair k of stage 0 by `pitches` blade pitches
// (0 < pitches < blades) and gives the pair the blade numbering and skipped
// blades that process the same recording with it: the first root pulse after
// the moved mark is the one `pitches` positions on, and the tip pulses
// between the two marks no longer come first. Root and tip at `rootDeg`,
// `tipDeg`; blade b passes the stage's first root probe at (b + 0.5) / N of a
// revolution after the mark (the simulator's geometry, to its pitch spread).
void shiftTacho(TCfgDfm &cfg, int k, int pitches, double rootDeg, double tipDeg)
{
    TStage &st = cfg.Stages[0];
    TPair &pair = st.Pairs[static_cast<std::size_t>(k)];
    const int n = st.CountBlade;
    const double sigma = static_cast<double>(pitches) / n;
    auto frac = [](double x) { return x - std::floor(x); };
    const double tipLag = frac((tipDeg - rootDeg) / 360.0);
    int before = 0; // tip pulses in [mark, moved mark)
    for (int b = 0; b < n; ++b)
        before += frac((b + 0.5) / n + rootDeg / 360.0 + tipLag) < sigma ? 1 : 0;
    std::array<std::uint16_t, 256> numbering = pair.NumberBlade;
    for (int q = 0; q < n; ++q)
        pair.NumberBlade[static_cast<std::size_t>(q)] =
            numbering[static_cast<std::size_t>((q + pitches) % n)];
    pair.RebuildImpuls(static_cast<std::size_t>(n));
    const int skip = pair.SkipBlade + pitches - before;
    ASSERT_GE(skip, 0);
    pair.SkipBlade = static_cast<std::uint16_t>(skip);
    pair.TachoShift = static_cast<float>(360.0 * pitches / n);
}

TEST(AsyncVibration, BladeNumberingTachoShiftAndRevolutionOffsetsOfTheConfiguration)
{
    // Where a blade passes a probe, in revolutions after the mark, follows
    // from the configuration: the pulse position of the blade in the pair's
    // numbering, the pair's tacho shift, the revolution by which the run
    // moved the blade's series (a pair that sees the blade earlier than the
    // first pair does), the tip lag.
    struct Case {
        const char *label;
        std::vector<double> tips, roots; // roots: NaN behind the stage's first root probe (0 degrees)
        std::vector<int> shiftPitches;   // per pair, 0: none
    };
    const double K = NAN;
    const std::vector<Case> cases = {
        {"the first pair behind its own root probe, its numbering turned",
         {146, 62, 255},
         {144, K, 252},
         {0, 0, 0}},
        {"a pair behind a root probe more than half a turn after the first pair's",
         {1.5, 40, 266},
         {K, K, 264},
         {0, 0, 0}},
        {"tacho shifts of their own on the pairs", {1.5, 74, 196}, {K, K, K}, {7, 0, 9}},
        {"all three at once", {146, 62, 255}, {144, K, 252}, {11, 4, 23}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        sim::Scenario sc = steadyScenario(4, 6000);
        sim::StageSpec st;
        st.name = "S";
        st.blades = 30;
        st.diameterMm = 700;
        st.pitchSeed = 7;
        st.probes.push_back({"K", 2, sim::ProbeKind::Root, 0});
        int ch = 3;
        for (std::size_t i = 0; i < c.tips.size(); ++i) {
            std::string root = "K";
            if (!std::isnan(c.roots[i])) {
                root = "R" + std::to_string(i);
                st.probes.push_back({root, ch++, sim::ProbeKind::Root, c.roots[i]});
            }
            const std::string tip = "P" + std::to_string(i);
            st.probes.push_back({tip, ch++, sim::ProbeKind::Tip, c.tips[i]});
            st.pairs.push_back({"Pa" + std::to_string(i), root, tip});
        }
        st.stall = sim::StallSpec{137, 0.08, 1.5, 3, 0.2, 0, 0.8, 3.6};
        sc.stages = {st};
        sim::validateScenario(sc);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir, [&](TCfgDfm &cfg) {
            for (std::size_t k = 0; k < c.tips.size(); ++k)
                if (c.shiftPitches[k] != 0)
                    shiftTacho(cfg, static_cast<int>(k), c.shiftPitches[k],
                               std::isnan(c.roots[k]) ? 0.0 : c.roots[k], c.tips[k]);
        });
        // The edited configuration still reads every revolution, and the
        // settings this case is about are there.
        bool numbered = false, shifted = false, offset = false;
        for (std::size_t k = 0; k < c.tips.size(); ++k) {
            const TPair &pair = run.cfg->Stages[0].Pairs[k];
            EXPECT_EQ(pair.SizeOfBad, 0) << "pair " << k;
            numbered = numbered || (k == 0 && pair.NumberBlade[0] != 0);
            shifted = shifted || pair.TachoShift != 0;
            for (int b = 0; b < st.blades; ++b)
                offset = offset || pair.AmplOffs[static_cast<std::size_t>(b)] != 0;
        }
        EXPECT_TRUE(numbered || shifted || offset);
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        dump(res);
        expectFound(sc, run.modes, res);
    }
}

TEST(AsyncVibration, SegmentFrequencyOfADriftingComponentIsItsValueAtTheMiddle)
{
    // A stall drifting 6 Hz/s (rotating orders 1.15 ... 1.4) whose amplitude dips (modulation depth 0.85,
    // lowest at 3 s) in the later part of its segment: the windows of the
    // dip carry no reading, and those left are not spread evenly about the
    // segment's middle. The segment's frequency is the component's at the
    // middle of the segment, as the truth's line has it there.
    struct Case {
        const char *label;
        double hz, from, to, drift, depth;
    };
    const std::vector<Case> cases = {
        {"steady amplitude", 115, 0.3, 4.5, 6, 0.1},
        {"a dip after the middle", 115, 0.3, 4.5, 6, 0.85},
        {"a dip before the middle", 140, 1.6, 5.6, -6, 0.85},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        sim::Scenario sc = steadyScenario(6, 6000);
        sim::StageSpec st = stage("S", 24, 700, {1.5, 76.5, 196.5}, 2);
        st.stall = sim::StallSpec{c.hz, 0.1, 4, 2, c.depth, c.drift, c.from, c.to};
        sc.stages = {st};
        sim::validateScenario(sc);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir);
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        dump(res);
        const test::ModeLine &m = run.modes.front();
        ASSERT_EQ(res.segments.size(), 1u);
        const AsyncSegment &seg = res.segments[0];
        EXPECT_EQ(seg.nodalDiameter, m.nodalDiameter);
        const double middle = 0.5 * (seg.timeFrom + seg.timeTo);
        const double truth = m.frequencyHz + (m.frequencyEndHz - m.frequencyHz) * (middle - m.timeFromS) /
                                                 (m.timeToS - m.timeFromS);
        EXPECT_NEAR(seg.frequencyHz, truth, 0.001 * truth);
        // The track's line through the ends holds it too.
        const double t0 = seg.track.front().time, t1 = seg.track.back().time;
        EXPECT_NEAR(seg.frequencyFromHz +
                        (seg.frequencyToHz - seg.frequencyFromHz) * (middle - t0) / (t1 - t0),
                    seg.frequencyHz, 1e-9 * truth);
    }
}

TEST(AsyncVibration, LayoutsThatCannotTellTheOrdersApartAreReportedAmbiguous)
{
    // Two pairs three degrees apart: orders 1 ... 3 apart look the same to them.
    struct Case {
        const char *label;
        std::vector<double> angles;
        int aliasPeriod;
    };
    const std::vector<Case> cases = {
        {"two pairs close together", {1.5, 4.5}, 1},
        {"three pairs evenly spaced", {1.5, 121.5, 241.5}, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        sim::Scenario sc = steadyScenario(3, 6000);
        sim::StageSpec st = stage("S", 24, 700, c.angles, 2);
        st.flutter = sim::FlutterSpec{470, 0.08, 3, 0.5, {}};
        sc.stages = {st};
        sim::validateScenario(sc);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir);
        const test::ModeLine &m = run.modes.front();
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        dump(res);
        ASSERT_EQ(res.layouts.size(), 1u);
        EXPECT_EQ(res.layouts[0].aliasPeriod, c.aliasPeriod);
        ASSERT_EQ(res.segments.size(), 1u);
        const AsyncSegment &seg = res.segments[0];
        EXPECT_TRUE(seg.ambiguous);
        EXPECT_FALSE(seg.nodalDiameterKnown);
        EXPECT_NEAR(seg.timeFrom, m.timeFromS, 1.0);
        EXPECT_NEAR(seg.timeTo, m.timeToS, 1.0);
        EXPECT_FALSE(seg.remark.empty());
        // The truth is among the readings left open; a stationary frequency
        // is given only when every reading shares it, and then it is right.
        bool truthListed = std::fabs(seg.rotorFrequencyHz - 470) < 0.005 * 470;
        bool allShare = true;
        for (const AsyncAlternative &a : seg.alternatives) {
            truthListed = truthListed || (std::fabs(a.rotorFrequencyHz - 470) < 0.005 * 470 &&
                                          a.nodalDiameter == m.nodalDiameter);
            allShare = allShare && std::fabs(a.frequencyHz - m.frequencyHz) < 0.005 * m.frequencyHz;
        }
        EXPECT_TRUE(truthListed);
        EXPECT_EQ(seg.frequencyKnown, allShare);
        if (seg.frequencyKnown) {
            EXPECT_NEAR(seg.frequencyHz, m.frequencyHz, 0.005 * m.frequencyHz);
        }
    }
}

TEST(AsyncVibration, SteadyNoiseAndSynchronousResonancesGiveNoDetection)
{
    // A hundred seeds of timing noise at steady speed, small recordings (a
    // 24-blade stage with three pairs, five windows each).
    int detections = 0;
    for (std::uint64_t seed = 1; seed <= 100; ++seed) {
        sim::Scenario sc = steadyScenario(1.7, 6000);
        sc.seed = seed;
        sc.stages = {stage("S", 24, 700, {1.5, 76.5, 196.5}, 2, true)};
        sim::validateScenario(sc);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir);
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        ASSERT_EQ(res.layouts.size(), 1u);
        ASSERT_GE(res.layouts[0].windows, 4);
        detections += static_cast<int>(res.segments.size());
    }
    EXPECT_EQ(detections, 0);
    // Run-ups through synchronous resonances (several of them, mistuned) and nothing else.
    for (const char *file : {"sim_runup_slow.json", "sim_runup_fast.json"}) {
        SCOPED_TRACE(file);
        const sim::Scenario sc = sim::loadScenarioFile(fs::path(VIBROLAN_TEST_DATA_DIR) / file);
        test::TempDir dir;
        const SimRun run = simulateAndRun(sc, dir);
        const AsyncResult res = AnalyseAsynchronous(*run.cfg);
        dump(res);
        EXPECT_TRUE(res.segments.empty());
    }
}

TEST(AsyncVibration, ResultsDoNotDependOnTheNumberOfThreads)
{
    // The example scenario's two stages plus a third of another layout, on
    // one thread and on several: the same segments to the last bit, and the
    // progress told on the calling thread only, rising to the total.
    test::TempDir dir;
    sim::Scenario sc = sim::loadScenarioFile(fs::path(VIBROLAN_TEST_DATA_DIR) / "sim_async.json");
    sim::StageSpec third = stage("S3", 24, 700, {1.5, 76.5, 196.5}, 20, true);
    third.stall = sim::StallSpec{140, 0.08, 1.5, -2, 0.2, 0, 2.0, 7.0};
    sc.stages.push_back(third);
    sim::validateScenario(sc);
    const SimRun run = simulateAndRun(sc, dir);
    auto analyse = [&](unsigned threads) {
        AsyncOptions o;
        o.threads = threads;
        std::int64_t last = -1, total = 0;
        bool calling = true, rising = true;
        const auto caller = std::this_thread::get_id();
        AsyncResult r = AnalyseAsynchronous(*run.cfg, o, [&](std::int64_t done, std::int64_t all) {
            calling = calling && std::this_thread::get_id() == caller;
            rising = rising && done >= last;
            last = done;
            total = all;
        });
        EXPECT_TRUE(calling) << threads << " threads";
        EXPECT_TRUE(rising) << threads << " threads";
        EXPECT_EQ(last, total) << threads << " threads";
        return r;
    };
    const AsyncResult one = analyse(1);
    ASSERT_EQ(one.segments.size(), 3u);
    for (unsigned threads : {2u, 3u, 0u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const AsyncResult r = analyse(threads);
        ASSERT_EQ(r.segments.size(), one.segments.size());
        EXPECT_EQ(r.notes, one.notes);
        ASSERT_EQ(r.layouts.size(), one.layouts.size());
        for (std::size_t i = 0; i < r.layouts.size(); ++i) {
            EXPECT_EQ(r.layouts[i].stage, one.layouts[i].stage);
            EXPECT_EQ(r.layouts[i].windows, one.layouts[i].windows);
        }
        for (std::size_t i = 0; i < r.segments.size(); ++i) {
            const AsyncSegment &a = r.segments[i], &b = one.segments[i];
            EXPECT_EQ(a.stage, b.stage);
            EXPECT_EQ(a.timeFrom, b.timeFrom);
            EXPECT_EQ(a.timeTo, b.timeTo);
            EXPECT_EQ(a.frequencyHz, b.frequencyHz);
            EXPECT_EQ(a.rotorFrequencyHz, b.rotorFrequencyHz);
            EXPECT_EQ(a.nodalDiameter, b.nodalDiameter);
            EXPECT_EQ(a.amplitudeMean, b.amplitudeMean);
            EXPECT_EQ(a.amplitudeMax, b.amplitudeMax);
            EXPECT_EQ(a.bladeMean, b.bladeMean);
            EXPECT_EQ(a.blades, b.blades);
            EXPECT_EQ(a.quality, b.quality);
            EXPECT_EQ(a.alternatives.size(), b.alternatives.size());
            ASSERT_EQ(a.track.size(), b.track.size());
            for (std::size_t w = 0; w < a.track.size(); ++w) {
                EXPECT_EQ(a.track[w].frequencyHz, b.track[w].frequencyHz);
                EXPECT_EQ(a.track[w].amplitude, b.track[w].amplitude);
            }
        }
    }
}

TEST(AsyncVibration, RevolutionSpectrumPowersAgainstTheDirectTransform)
{
    // One series and two at once (one complex transform): every bin's power
    // that of the transform summed term by term, added to what was there.
    struct Case {
        int size;
        double cyclesA, cyclesB;
    };
    for (const Case &c : {Case{16, 3.3, 5.0}, Case{32, 7.25, 2.5}, Case{256, 100.4, 31.0}}) {
        SCOPED_TRACE(c.size);
        const auto n = static_cast<std::size_t>(c.size);
        std::vector<double> a(n), b(n);
        for (std::size_t i = 0; i < n; ++i) {
            a[i] = std::cos(2 * std::numbers::pi * c.cyclesA * i / c.size) + 0.1 * std::sin(0.7 * i * i);
            b[i] = 0.5 * std::sin(2 * std::numbers::pi * c.cyclesB * i / c.size + 0.3) - 0.2;
        }
        auto direct = [&](const std::vector<double> &x, std::size_t bin) {
            std::complex<double> s = 0;
            for (std::size_t i = 0; i < n; ++i)
                s += x[i] * std::polar(1.0, -2 * std::numbers::pi * bin * i / c.size);
            return std::norm(s);
        };
        RevolutionSpectrum fft(c.size);
        std::vector<double> one(n / 2 + 1, 1.0), pa(n / 2 + 1, 1.0), pb(n / 2 + 1, 1.0);
        fft.addPower(a, one.data());
        fft.addPowers(a, b, pa.data(), pb.data());
        for (std::size_t bin = 0; bin <= n / 2; ++bin) {
            const double ea = direct(a, bin), eb = direct(b, bin);
            EXPECT_NEAR(one[bin], 1 + ea, 1e-9 * (1 + ea)) << "bin " << bin;
            EXPECT_NEAR(pa[bin], 1 + ea, 1e-9 * (1 + ea)) << "bin " << bin;
            EXPECT_NEAR(pb[bin], 1 + eb, 1e-9 * (1 + eb)) << "bin " << bin;
        }
    }
}

TEST(AsyncVibration, BadOptionsAreRefused)
{
    TCfgDfm cfg;
    cfg.InitDefault();
    for (AsyncOptions o :
         {AsyncOptions{.falseAlarm = 0}, AsyncOptions{.falseAlarm = 0.7}, AsyncOptions{.windowSeconds = -1},
          AsyncOptions{.maxOrder = -2}, AsyncOptions{.aliasMargin = NAN}, AsyncOptions{.minWindows = 0}})
        EXPECT_THROW(AnalyseAsynchronous(cfg, o), ValueError);
    // Nothing analysed: no checked pair with samples.
    EXPECT_THROW(AnalyseAsynchronous(cfg), ValueError);
}

TEST(AsyncVibration, DetectionThresholdAndAliasPeriod)
{
    // F(2, large) tends to chi-square(2) / 2: P(F > x) = exp(-x).
    EXPECT_NEAR(DetectionThreshold(2, 1e7, 1, 1e-6), -std::log(1e-6), 1e-3);
    // Bonferroni over the bins.
    EXPECT_NEAR(DetectionThreshold(2, 1e7, 10, 1e-6), -std::log(1e-7), 1e-3);
    EXPECT_EQ(AliasPeriod({0, 90, 180}, 10), 4);
    EXPECT_EQ(AliasPeriod({0, 3}, 10), 1);
    EXPECT_EQ(AliasPeriod({5}, 10), 1);
    EXPECT_EQ(AliasPeriod({0, 72, 144, 216, 288}, 1), 5);
}
