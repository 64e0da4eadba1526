// The modes file: the closed-form steady-state peaks with the mistuned
// natural frequencies, the transient peaks confirmed by the recorded true
// deflections, the stationary-frame frequency and nodal diameter of stall
// and flutter confirmed by demodulating the blades' motion, and the pairs'
// angles in the configuration.
#include "sim_test_support.hpp"

#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"
#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/modes_truth.hpp"
#include "sim/shaft.hpp"
#include "support/modes_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>

#include <sys/stat.h>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::filesystem::path dataFile(const char *name)
{
    return std::filesystem::path(VIBROLAN_TEST_DATA_DIR) / name;
}

// The largest response amplitude of a blade to engine order `eo` in the
// truth file within `halfWindowRpm` of a speed. Per revolution, the dynamic
// deflections at the pairs (the deflection minus that of the same
// revolution recorded without any resonance, `still`, which leaves the
// probes' separation and what the speed's change within a revolution makes
// of it) are fitted by Re(Z exp(i psi_k)), psi_k the forcing's phase at the
// pair's tip probe; |Z| is the amplitude of that revolution.
double recordedPeak(const sim::Scenario &sc, const std::vector<TruthLine> &truth,
                    const std::vector<TruthLine> &still, int blade, int eo, double rpm, double halfWindowRpm)
{
    const sim::StageSpec &st = sc.stages[0];
    const sim::StageGeometry geo = sim::stageGeometry(sc, 0);
    const std::size_t pairs = st.pairs.size(), b = static_cast<std::size_t>(blade - 1);
    std::vector<double> psi;
    for (const sim::PairGeometry &pg : geo.pairs)
        psi.push_back(kTwoPi * eo * (geo.offset[pg.tipProbe][b] + static_cast<double>(b) / st.blades));
    std::map<int, std::vector<const TruthLine *>> byPair, stillByPair;
    for (const TruthLine &t : truth)
        byPair[t.pair].push_back(&t);
    for (const TruthLine &t : still)
        stillByPair[t.pair].push_back(&t);
    double peak = 0;
    const std::size_t revs = byPair[1].size();
    for (std::size_t i = 0; i < revs; ++i) {
        if (std::abs(byPair[1][i]->speed - rpm) >= halfWindowRpm)
            continue;
        // Normal equations of x_k = a cos psi_k - c sin psi_k.
        double scc = 0, sss = 0, scs = 0, sxc = 0, sxs = 0;
        for (std::size_t k = 0; k < pairs; ++k) {
            const int pair = static_cast<int>(k) + 1;
            if (byPair[pair].size() != revs || stillByPair[pair].size() != revs)
                return NAN;
            const double x = byPair[pair][i]->ampl[b] - stillByPair[pair][i]->ampl[b];
            const double c = std::cos(psi[k]), sn = -std::sin(psi[k]);
            scc += c * c;
            sss += sn * sn;
            scs += c * sn;
            sxc += x * c;
            sxs += x * sn;
        }
        const double det = scc * sss - scs * scs;
        const double a = (sxc * sss - sxs * scs) / det, c = (sxs * scc - sxc * scs) / det;
        peak = std::max(peak, std::hypot(a, c));
    }
    return peak;
}

// The truth of the same scenario without resonance `m`.
std::vector<TruthLine> truthWithout(sim::Scenario sc, std::size_t m)
{
    auto &r = sc.stages[0].resonances;
    r.erase(r.begin() + static_cast<std::ptrdiff_t>(m));
    TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    return readTruth(sim::simulate(sc, opt).truth);
}

sim::SimulationResult simulateInto(const TempDir &dir, const sim::Scenario &sc)
{
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    return sim::simulate(sc, opt);
}

} // namespace

TEST(SimulatorModes, SteadyResponseRowsHoldTheClosedFormPeaks)
{
    TempDir dir;
    const sim::Scenario sc = sim::loadScenarioFile(dataFile("sim_runup_slow.json"));
    const auto res = simulateInto(dir, sc);
    const auto modes = readModes(res.modes);
    const sim::StageSpec &st = sc.stages[0];
    ASSERT_EQ(modes.size(), st.resonances.size() * static_cast<std::size_t>(st.blades));
    const auto truth = readTruth(res.truth);
    for (std::size_t m = 0; m < st.resonances.size(); ++m) {
        const sim::ResonanceSpec &r = st.resonances[m];
        const auto still = truthWithout(sc, m);
        double lo = INFINITY, hi = 0;
        for (int b = 1; b <= st.blades; ++b) {
            const ModeLine &row =
                modes[m * static_cast<std::size_t>(st.blades) + static_cast<std::size_t>(b - 1)];
            SCOPED_TRACE("mode " + std::to_string(m) + " blade " + std::to_string(b));
            EXPECT_EQ(row.stage, 1);
            EXPECT_EQ(row.blade, b);
            EXPECT_EQ(row.kind, "resonance");
            EXPECT_EQ(row.engineOrder, r.engineOrder);
            EXPECT_DOUBLE_EQ(row.damping, r.damping);
            // Mistuning within its +-1 %.
            EXPECT_LE(std::abs(row.naturalHz / r.naturalHz - 1), st.mistuning + 1e-9);
            lo = std::min(lo, row.naturalHz);
            hi = std::max(hi, row.naturalHz);
            const double peak = r.forcingMm / (2 * r.damping * std::sqrt(1 - r.damping * r.damping));
            const double rpm = 60 * row.naturalHz * std::sqrt(1 - 2 * r.damping * r.damping) / r.engineOrder;
            EXPECT_NEAR(row.amplitudeMm, peak, 1e-8);
            EXPECT_NEAR(row.speedRpm, rpm, 1e-3);
            EXPECT_NEAR(row.steadyAmplitudeMm, peak, 1e-8);
            EXPECT_NEAR(5500 + 100 * row.timeS, rpm, 1e-3); // the profile: 5500 rpm + 100 rpm/s
            EXPECT_TRUE(std::isnan(row.frequencyHz));
            // What the recording holds: the amplitude fitted across the pairs
            // revolution by revolution reaches the peak.
            const double recorded = recordedPeak(sc, truth, still, b, r.engineOrder, row.speedRpm, 100);
            EXPECT_GT(recorded, 0.98 * peak);
            EXPECT_LT(recorded, 1.02 * peak);
        }
        EXPECT_GT(hi - lo, 0.01 * r.naturalHz) << "the blades must be mistuned";
    }
}

TEST(SimulatorModes, TransientRowsShowTheSweepAndMatchTheRecording)
{
    TempDir dir;
    const sim::Scenario sc = sim::loadScenarioFile(dataFile("sim_runup_fast.json"));
    ASSERT_EQ(sc.response, sim::ResponseKind::Transient);
    const auto res = simulateInto(dir, sc);
    const auto modes = readModes(res.modes);
    const auto truth = readTruth(res.truth);
    ASSERT_EQ(modes.size(), 3u * 24u);
    std::vector<std::vector<TruthLine>> still;
    for (std::size_t m = 0; m < 3; ++m)
        still.push_back(truthWithout(sc, m));
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const ModeLine &row = modes[i];
        SCOPED_TRACE("EO " + std::to_string(row.engineOrder) + " blade " + std::to_string(row.blade));
        // At 1000 rpm/s the peaks come later and lower than the steady state's.
        EXPECT_LT(row.amplitudeMm, 0.95 * row.steadyAmplitudeMm);
        EXPECT_GT(row.amplitudeMm, 0.6 * row.steadyAmplitudeMm);
        EXPECT_GT(row.speedRpm, row.steadySpeedRpm + 10);
        EXPECT_NEAR(5000 + 1000 * row.timeS, row.speedRpm, 1e-2);
        // The recording's true deflections reach the transient peak, not the
        // steady one (a quarter higher); the free ringing that the sweep leaves
        // is no engine-order pattern and blurs the fit by a few per cent.
        const double recorded =
            recordedPeak(sc, truth, still[i / 24], row.blade, row.engineOrder, row.speedRpm, 150);
        EXPECT_GT(recorded, 0.95 * row.amplitudeMm);
        EXPECT_LT(recorded, 1.05 * row.amplitudeMm);
    }
}

TEST(SimulatorModes, StallAndFlutterRowsDescribeThePatternTheCasingSees)
{
    // At constant speed blade b, which trails blade 0 by b/N of a turn (it
    // reaches every probe later), stands at the place theta - b/N and must
    // move as A sin(2 pi f t - 2 pi nd (theta - b/N) + c): demodulated with the file's
    // f and nd the blades' motion is coherent (|mean| = A/2), with the
    // opposite direction it is not.
    struct Case {
        const char *label;
        std::optional<sim::StallSpec> stall;
        std::optional<sim::FlutterSpec> flutter;
        int expectNd;
    };
    const double rpm = 6000, omega = rpm / 60;
    const std::vector<Case> cases = {
        {"stall cells travelling with the rotation on the rotor",
         sim::StallSpec{180, 0.05, 2, 3, 0.0},
         {},
         3},
        {"stall cells against the rotation, forward on the casing",
         sim::StallSpec{180, 0.05, 2, -3, 0.0},
         {},
         3},
        {"stall cells against the rotation, backward on the casing",
         sim::StallSpec{400, 0.05, 2, -2, 0.0},
         {},
         -2},
        {"flutter backward on the rotor", {}, sim::FlutterSpec{620, 0.04, 4, 0.0, {}}, -4},
        {"flutter forward on the rotor", {}, sim::FlutterSpec{620, 0.04, -9, 0.0, {}}, 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        sim::Scenario sc = sim::loadScenarioFile(dataFile("sim_async.json"));
        sc.speed = {{0, rpm}};
        sc.durationS = 4;
        sc.stages.resize(1);
        sim::StageSpec &st = sc.stages[0];
        st.stall = c.stall;
        st.flutter = c.flutter;
        sim::validateScenario(sc);
        const sim::Shaft shaft(sc.speed);
        const sim::BladeMotion motion(st, sc.seed);
        TempDir dir;
        {
            std::ofstream(dir / "m.csv") << sim::modesTruthCsv(sc, shaft, {&motion});
        }
        const auto rows = readModes(dir / "m.csv");
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(st.blades));
        const ModeLine &row = rows[0];
        EXPECT_EQ(row.kind, c.stall ? "stall" : "flutter");
        EXPECT_EQ(row.nodalDiameter, c.expectNd);
        EXPECT_DOUBLE_EQ(row.frequencyHz, row.frequencyEndHz);
        const double amplitude = c.stall ? c.stall->amplitudeMm : c.flutter->amplitudeMm;
        EXPECT_NEAR(row.amplitudeMm, amplitude, 1e-9);
        EXPECT_NEAR(row.meanAmplitudeMm, amplitude, 1e-9);
        auto coherence = [&](int nd) {
            std::complex<double> sum;
            int n = 0;
            for (int b = 0; b < st.blades; ++b)
                for (double t = 0.01; t < 3.9; t += 0.000917) {
                    const double x = motion.deflection(b, t, omega * t, rpm);
                    const double phase =
                        kTwoPi * (row.frequencyHz * t - nd * (omega * t - motion.bladePosition(b)));
                    sum += x * std::polar(1.0, -phase);
                    ++n;
                }
            return std::abs(sum) / n / (amplitude / 2);
        };
        EXPECT_GT(coherence(row.nodalDiameter), 0.99);
        EXPECT_LT(coherence(-row.nodalDiameter), 0.05);
    }
}

TEST(SimulatorModes, DriftingStallSegmentAndFlutterFromTheExampleScenario)
{
    TempDir dir;
    const sim::Scenario sc = sim::loadScenarioFile(dataFile("sim_async.json"));
    const auto res = simulateInto(dir, sc);
    const auto rows = readModes(res.modes);
    ASSERT_EQ(rows.size(), 30u + 36u);
    const ModeLine &stall = rows.front(), &flutter = rows.back();
    EXPECT_EQ(stall.kind, "stall");
    EXPECT_EQ(flutter.kind, "flutter");
    EXPECT_EQ(flutter.stage, 2);
    EXPECT_EQ(flutter.blade, 36);
    // Stall: 180 Hz on the rotor drifting 1.5 Hz/s over 3 .. 9 s, three cells
    // travelling with the rotation on the rotor: the casing sees f + n * speed / 60.
    EXPECT_DOUBLE_EQ(stall.timeFromS, 3);
    EXPECT_DOUBLE_EQ(stall.timeToS, 9);
    EXPECT_NEAR(stall.frequencyHz, 3 * (6000 + 60 * 3.0 / 12) / 60 + 180, 1e-6);
    EXPECT_NEAR(stall.frequencyEndHz, 3 * (6000 + 60 * 9.0 / 12) / 60 + (180 + 1.5 * 6), 1e-6);
    EXPECT_EQ(stall.nodalDiameter, 3);
    // Envelope 0.06 (1 + 0.2 sin(2 pi t / 2)) over three whole periods.
    EXPECT_NEAR(stall.amplitudeMm, 0.072, 1e-7);
    EXPECT_NEAR(stall.meanAmplitudeMm, 0.06, 1e-7);
    // Flutter: 620 Hz, four diameters backward on the rotor: the casing sees
    // 620 - 4 * speed / 60 at 2 s and 10 s, travelling against the rotation.
    EXPECT_NEAR(flutter.frequencyHz, 620 - 4 * (6000 + 60 * 2.0 / 12) / 60, 1e-6);
    EXPECT_NEAR(flutter.frequencyEndHz, 620 - 4 * (6000 + 60 * 10.0 / 12) / 60, 1e-6);
    EXPECT_EQ(flutter.nodalDiameter, -4);
    // Outside its segment the stall is gone from the recording's truth.
    const auto truth = readTruth(res.truth);
    double ref = NAN, before = 0, during = 0, after = 0;
    for (const TruthLine &t : truth) {
        if (t.stage != 1 || t.pair != 1)
            continue;
        if (std::isnan(ref))
            ref = t.ampl[0];
        const double d = std::abs(t.ampl[0] - ref);
        double &slot = t.time < 2.9 ? before : t.time > 9.1 ? after : during;
        slot = std::max(slot, d);
    }
    EXPECT_LT(before, 1e-4);
    EXPECT_LT(after, 1e-4);
    EXPECT_GT(during, 0.05);
}

TEST(SimulatorModes, PairAnglesInTheConfigurationAreTheTipProbeAngles)
{
    TempDir dir;
    const sim::Scenario sc = sim::loadScenarioFile(dataFile("sim_runup_fast.json"));
    const auto res = simulateInto(dir, sc);
    TCfgDfm cfg;
    cfg.LoadFromFile(res.lfm);
    const sim::StageSpec &st = sc.stages[0];
    ASSERT_EQ(cfg.Stages[0].CountPairs, st.pairs.size());
    for (std::size_t k = 0; k < st.pairs.size(); ++k) {
        const auto probe = std::find_if(st.probes.begin(), st.probes.end(),
                                        [&](const sim::ProbeSpec &p) { return p.name == st.pairs[k].tip; });
        ASSERT_NE(probe, st.probes.end());
        EXPECT_FLOAT_EQ(cfg.Stages[0].Pairs[k].fi, static_cast<float>(probe->angleDeg)) << st.pairs[k].name;
    }
}

TEST(SimulatorModes, ModesFileIsReplacedOnlyByACompleteOne)
{
    TempDir dir;
    const auto modes = dir / "steady.modes.csv";
    {
        std::ofstream(modes) << "mine";
    }
    ::chmod(modes.c_str(), 0444);
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    EXPECT_THROW(sim::simulate(shortPreset("steady"), opt), FileError);
    EXPECT_EQ(fileBytes(modes), "mine");
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path(), modes) << "nothing else may be left";
    ::chmod(modes.c_str(), 0644);
    // Without the truth neither file is written.
    std::filesystem::remove(modes);
    opt.truth = false;
    const auto res = sim::simulate(shortPreset("steady"), opt);
    EXPECT_TRUE(res.modes.empty());
    EXPECT_FALSE(std::filesystem::exists(modes));
}
