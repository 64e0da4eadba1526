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

// Every resonance of the truth whose peak is at least ten times the noise:
// found, with the right engine order and within the bounds.
void expectIdentified(const SimRun &run, const IdentifyResult &res, Bounds bounds, int &checked)
{
    for (const ModeLine &m : run.modes) {
        if (m.kind != "resonance" || m.amplitudeMm < 10 * noiseMm(run.scenario, m.speedRpm))
            continue;
        SCOPED_TRACE("stage " + std::to_string(m.stage) + " blade " + std::to_string(m.blade) + " EO " +
                     std::to_string(m.engineOrder) + " at " + std::to_string(m.naturalHz) + " Hz");
        const BladeResonance *best = nullptr;
        for (const BladeResonance &r : res.resonances)
            if (r.stage + 1 == m.stage && r.blade + 1 == m.blade &&
                (!best || std::fabs(r.frequencyHz - m.naturalHz) < std::fabs(best->frequencyHz - m.naturalHz)))
                best = &r;
        ASSERT_NE(best, nullptr) << "not identified";
        ++checked;
        EXPECT_EQ(best->engineOrder, m.engineOrder);
        EXPECT_NEAR(best->frequencyHz, m.naturalHz, bounds.frequency * m.naturalHz);
        EXPECT_NEAR(best->dampingRatio, m.damping, bounds.damping * m.damping);
        EXPECT_NEAR(best->amplitude, m.amplitudeMm, bounds.amplitude * m.amplitudeMm);
        EXPECT_NEAR(best->speedRpm, 60 * best->frequencyHz / best->engineOrder, 1e-9 * best->speedRpm);
        EXPECT_GT(best->quality, 0.5);
    }
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
// +-1 % mistuning and 20 ns timing jitter, 3 to 8 pairs at irregular angles.
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
        if (getenv("IDJIT"))
            sc.faults.jitterNs = atof(getenv("IDJIT"));
        TempDir dir;
        const SimRun run = simulateAndRun(std::move(sc), dir);
        const IdentifyResult res = IdentifyResonances(*run.cfg, {});
        for (const auto &x : res.resonances)
            std::printf("b%d eo%d (%d %.2f) f=%.3f z=%.5f A=%.5f q=%.3f n=%.2g sw=%.2g ok=%d\n", x.blade + 1,
                        x.engineOrder, x.eoRunnerUp, x.eoConfidence, x.frequencyHz, x.dampingRatio, x.amplitude,
                        x.quality, x.noise, x.sweepRate, x.sweepInRange);
        for (const auto &x : res.notIdentifiable)
            std::printf("NI b%d e%d %s\n", x.blade + 1, x.event, x.reason.c_str());
        int checked = 0;
        expectIdentified(run, res, c.bounds, checked);
        EXPECT_EQ(checked, 3 * 24);
        EXPECT_TRUE(res.notIdentifiable.empty());
    }
}
