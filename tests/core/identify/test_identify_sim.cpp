// Identification of simulated run-ups against the simulator's truth of every
// blade's modes (NAME.modes.csv): the recording goes through the real
// processing run, the identification reads what the run left.
#include "identify/identify.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "run/processing_run.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/modes_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

using namespace vibrolan;
using namespace vibrolan::identify;
using vibrolan::test::ModeLine;
using vibrolan::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct SimRun {
    sim::Scenario scenario;
    std::vector<ModeLine> modes;
    std::unique_ptr<TCfgDfm> cfg;
};

SimRun simulateAndRun(sim::Scenario sc, const TempDir &dir)
{
    SimRun out;
    sim::SimulationOptions so;
    so.outDir = dir.path();
    so.threads = 1;
    const sim::SimulationResult r = sim::simulate(sc, so);
    out.modes = test::readModes(r.modes);
    out.scenario = std::move(sc);
    out.cfg = std::make_unique<TCfgDfm>();
    out.cfg->InitDefault();
    out.cfg->LoadFromFile(r.lfm);
    RecordingMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = r.lfm;
    ProcessingRun(*out.cfg, inputs, sink, NumberFormat{}, {});
    return out;
}

sim::Scenario scenarioFile(const char *name, sim::ResponseKind response)
{
    sim::Scenario s = sim::loadScenarioFile(fs::path(VIBROLAN_TEST_DATA_DIR) / name);
    s.response = response;
    return s;
}

// The deflection noise of a pair: the tip and the root pulse each carry the
// timing jitter, the tip moves pi D n / 60 per second.
double noiseMm(const sim::Scenario &sc, double rpm)
{
    const double tip = std::numbers::pi * sc.stages[0].diameterMm * rpm / 60;
    return std::sqrt(2.0) * sc.faults.jitterNs * 1e-9 * tip;
}

struct Bounds {
    double frequency, damping, amplitude; // relative
};

// The truth's resonance rows whose peak is at least ten times the noise.
std::vector<const ModeLine *> visibleModes(const SimRun &run)
{
    std::vector<const ModeLine *> v;
    for (const ModeLine &m : run.modes)
        if (m.kind == "resonance" && m.amplitudeMm >= 10 * noiseMm(run.scenario, m.speedRpm))
            v.push_back(&m);
    return v;
}

// The identified resonance of the truth row's blade nearest its frequency.
const BladeResonance *match(const IdentifyResult &res, const ModeLine &m)
{
    const BladeResonance *best = nullptr;
    for (const BladeResonance &r : res.resonances)
        if (r.stage + 1 == m.stage && r.blade + 1 == m.blade &&
            (!best || std::fabs(r.frequencyHz - m.naturalHz) < std::fabs(best->frequencyHz - m.naturalHz)))
            best = &r;
    return best;
}

struct Worst {
    double frequency = 0, damping = 0, amplitude = 0;
};

// Every visible resonance found, with the right engine order and within the
// bounds; nothing found that the truth does not have.
Worst expectIdentified(const SimRun &run, const IdentifyResult &res, Bounds bounds)
{
    Worst worst;
    const auto modes = visibleModes(run);
    for (const ModeLine *m : modes) {
        SCOPED_TRACE("stage " + std::to_string(m->stage) + " blade " + std::to_string(m->blade) + " EO " +
                     std::to_string(m->engineOrder) + " at " + std::to_string(m->naturalHz) + " Hz");
        const BladeResonance *r = match(res, *m);
        if (!r) {
            ADD_FAILURE() << "not identified";
            continue;
        }
        EXPECT_EQ(r->engineOrder, m->engineOrder);
        EXPECT_NEAR(r->frequencyHz, m->naturalHz, bounds.frequency * m->naturalHz);
        EXPECT_NEAR(r->dampingRatio, m->damping, bounds.damping * m->damping);
        EXPECT_NEAR(r->amplitude, m->amplitudeMm, bounds.amplitude * m->amplitudeMm);
        EXPECT_NEAR(r->speedRpm, 60 * r->frequencyHz / r->engineOrder, 1e-9 * r->speedRpm);
        EXPECT_GT(r->quality, 0.5);
        worst.frequency = std::max(worst.frequency, std::fabs(r->frequencyHz / m->naturalHz - 1));
        worst.damping = std::max(worst.damping, std::fabs(r->dampingRatio / m->damping - 1));
        worst.amplitude = std::max(worst.amplitude, std::fabs(r->amplitude / m->amplitudeMm - 1));
    }
    EXPECT_EQ(res.resonances.size(), modes.size()) << "resonances the truth does not have";
    EXPECT_TRUE(res.notIdentifiable.empty()) << res.notIdentifiable.front().reason;
    return worst;
}

struct SimCase {
    const char *name;
    const char *file;
    int pairs; // pairs kept (the file's first ones), or more: probes added at irregular angles
    Bounds bounds;
};

void setPairs(sim::Scenario &sc, int pairs)
{
    sim::StageSpec &st = sc.stages[0];
    const double extra[] = {228.6, 331.2, 163.9, 17.6};
    int channel = 20;
    for (std::size_t i = 0; static_cast<int>(st.pairs.size()) < pairs; ++i) {
        const std::string probe = "X" + std::to_string(i + 1);
        st.probes.push_back({probe, channel++, sim::ProbeKind::Tip, extra[i]});
        st.pairs.push_back({"PaX" + std::to_string(i + 1), st.pairs.front().root, probe});
    }
    st.pairs.resize(static_cast<std::size_t>(pairs));
}

} // namespace

// Slow (100 rpm/s) and fast (1000 rpm/s) run-ups with three resonances,
// +-1 % mistuning and 20 ns timing jitter, 3 to 8 pairs at irregular angles,
// the blades answering with their transient response.
TEST(IdentifySimulated, EveryBladeAndResonanceWithinTheBounds)
{
    const SimCase cases[] = {
        {"slow, 4 pairs", "sim_runup_slow.json", 4, {0.001, 0.15, 0.05}},
        {"slow, 3 pairs", "sim_runup_slow.json", 3, {0.001, 0.15, 0.05}},
        {"fast, 6 pairs", "sim_runup_fast.json", 6, {0.002, 0.25, 0.10}},
        {"fast, 8 pairs", "sim_runup_fast.json", 8, {0.002, 0.25, 0.10}},
    };
    for (const SimCase &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario sc = scenarioFile(c.file, sim::ResponseKind::Transient);
        setPairs(sc, c.pairs);
        TempDir dir;
        const SimRun run = simulateAndRun(std::move(sc), dir);
        ASSERT_EQ(visibleModes(run).size(), 3u * 24u)
            << "every resonance of every blade stands out of the noise";
        const Worst w = expectIdentified(run, IdentifyResonances(*run.cfg, {}), c.bounds);
        std::printf("%s: worst frequency %.4f %%, damping %.2f %%, amplitude %.2f %%\n", c.name,
                    100 * w.frequency, 100 * w.damping, 100 * w.amplitude);
    }
}

// The same fast run-up fitted with the plain steady-state response: the
// sweep moves the peak, and the steady-state model reads the move as a
// different natural frequency, beyond the fast-sweep bound.
TEST(IdentifySimulated, SteadyStateModelFailsTheFastSweep)
{
    TempDir dir;
    const SimRun run = simulateAndRun(scenarioFile("sim_runup_fast.json", sim::ResponseKind::Transient), dir);
    IdentifyOptions steady;
    steady.sweptModel = false;
    const IdentifyResult swept = IdentifyResonances(*run.cfg, {}),
                         plain = IdentifyResonances(*run.cfg, steady);
    int sweptOut = 0, plainOut = 0, compared = 0;
    double plainWorst = 0;
    for (const ModeLine *m : visibleModes(run)) {
        const BladeResonance *a = match(swept, *m), *b = match(plain, *m);
        ASSERT_NE(a, nullptr);
        if (!b || b->engineOrder != m->engineOrder)
            continue;
        ++compared;
        const double ea = std::fabs(a->frequencyHz / m->naturalHz - 1),
                     eb = std::fabs(b->frequencyHz / m->naturalHz - 1);
        sweptOut += ea > 0.002 ? 1 : 0;
        plainOut += eb > 0.002 ? 1 : 0;
        plainWorst = std::max(plainWorst, eb);
    }
    std::printf("steady-state model: %d of %d resonances beyond 0.2 %% (worst %.3f %%), swept model: %d\n",
                plainOut, compared, 100 * plainWorst, sweptOut);
    EXPECT_EQ(sweptOut, 0);
    EXPECT_GT(compared, 24);
    EXPECT_GT(plainOut, compared / 2);
}
