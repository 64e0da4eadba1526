// Signals to recording to analysis: the simulator writes a recording of a
// known blade motion and, from the same motion, the sampled probe signals;
// the signals are triggered into a second recording, and the whole analysis
// run on each gives the deflections of every blade and revolution. Those of
// the triggered recording stay within one tick quantum plus the triggering
// error of the truth, and of the simulator's own recording.
#include "support/temp_dir.hpp"
#include "support/truth_file.hpp"
#include "tools/toa_test_support.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "run/processing_run.hpp"
#include "sim/simulator.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

// Per blade, the deflection series of the pair, as the run assembled it
// (taken when its pass is over and the blades are in order).
struct Deflections {
    std::vector<std::vector<float>> ampl;
    std::vector<int> offset;
    std::vector<float> freq;
    double diametr = 0, speedFactor = 0;
};

Deflections analyse(const std::filesystem::path &lfm, const std::filesystem::path &recording)
{
    Deflections d;
    auto cfg = std::make_unique<TCfgDfm>();
    cfg->InitDefault();
    cfg->LoadFromFile(lfm);
    cfg->FileName = recording.string();
    TRunCallbacks cb;
    cb.phase = [&](std::string_view caption) {
        if (!caption.empty() || !d.ampl.empty())
            return;
        const TStage &st = cfg->Stages[0];
        const TPair &pr = st.Pairs[0];
        d.diametr = st.Diametr;
        const std::size_t n = pr.Size > 0 ? static_cast<std::size_t>(pr.Size) + 1 : 0;
        d.freq.assign(pr.Freq.begin(), pr.Freq.begin() + static_cast<long>(std::min(n, pr.Freq.size())));
        for (std::size_t b = 0; b < st.CountBlade; ++b) {
            const auto s = pr.AmplSeries(b);
            d.ampl.emplace_back(s.begin(), s.begin() + std::min<long>(static_cast<long>(s.size()), pr.Size));
            d.offset.push_back(pr.AmplOffs[b] / 4);
        }
    };
    RecordingMessageSink sink;
    TRunInputs in;
    in.CfgFileName = lfm;
    const TRunResult r = ProcessingRun(*cfg, in, sink, NumberFormat{}, cb);
    EXPECT_EQ(r.status, TRunStatus::Done);
    d.speedFactor = 60.0 / r.TickPeriod;
    return d;
}

TEST(ToaEndToEnd, DeflectionsFromTriggeredSignalsMatchTheDirectRecording)
{
    TempDir dir;
    const sim::Scenario sc = sim::parseScenario(R"({"name": "e2e", "duration_s": 2.0, "seed": 3,
        "speed": {"points": [[0, 2500], [2.0, 3500]]},
        "stages": [{"name": "S1", "blades": 24, "diameter_mm": 800, "static_coeff": 2e-8,
          "resonances": [{"eo": 5, "natural_hz": 250, "forcing_mm": 0.05}],
          "probes": [{"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
                     {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 23.2}],
          "pairs": [{"name": "Pa1", "root": "K1", "tip": "P1"}]}]})");
    sim::SimulationOptions so;
    so.outDir = dir / "sim";
    so.name = "e2e";
    const sim::SimulationResult direct = sim::simulate(sc, so);

    sim::RawSignalOptions ro;
    ro.outDir = dir / "sig";
    ro.sampleRate = 2e6;
    ro.snrDb = 50;
    ro.halfHeightRpm = 6000; // the pulses lose a third of their height over the run
    const sim::RawSignalResult sig = sim::writeRawSignals(sc, ro);

    toa::ToaOptions to;
    to.inputs = {sig.sidecar};
    to.out = dir / "sig" / "toa.bld";
    to.thresholds = {toa::Level{0, false}};
    to.hysteresis = toa::Level{0.2, false};
    to.pairs = {{"K1", "P1"}};
    to.diameterMm = 800;
    const toa::ToaResult tr = toa::convertSignals(to);
    ASSERT_EQ(tr.channels.size(), 3u);
    EXPECT_EQ(tr.blades, 24); // estimated from the pulses per revolution

    const Deflections a = analyse(direct.lfm, direct.bld);
    const Deflections b = analyse(direct.lfm, tr.bld);
    ASSERT_EQ(a.ampl.size(), 24u);
    ASSERT_EQ(b.ampl.size(), 24u);
    const auto truth = readTruth(direct.truth);
    ASSERT_FALSE(truth.empty());

    // Triggering error of one pulse time: the noise over the zero-crossing
    // slope height sqrt(e) / width, the slowest (widest, highest) pulse
    // the bound; the deflection takes the difference of the two probes' times.
    double sigmaT = 0;
    for (const auto &[name, list] : readArrivals(sig.arrivals))
        for (const auto &x : list)
            if (name != "O")
                sigmaT = std::max(sigmaT, sig.noiseRms * x.width / (x.height * std::sqrt(std::exp(1.0))));
    std::size_t checked = 0;
    double worstTruth = 0, worstDirect = 0;
    for (const TruthLine &row : truth) {
        const auto i = static_cast<std::size_t>(row.sample);
        if (i >= b.freq.size() || i >= a.freq.size())
            continue; // the triggered recording ends with the signals, a revolution earlier
        const double tipSpeed = 800 * 3.14159265358979 * row.speed / 60; // mm/s
        const double quantum = 800 * 3.14159265358979 * b.freq[i] / b.speedFactor;
        const double trigger = 5 * std::sqrt(2.0) * sigmaT * tipSpeed;
        for (std::size_t bl = 0; bl < 24; ++bl) {
            const long ka = row.sample - a.offset[bl], kb = row.sample - b.offset[bl];
            if (ka < 0 || kb < 0 || ka >= static_cast<long>(a.ampl[bl].size()) ||
                kb >= static_cast<long>(b.ampl[bl].size()))
                continue;
            const double fromSignals = b.ampl[bl][static_cast<std::size_t>(kb)];
            const double fromRecording = a.ampl[bl][static_cast<std::size_t>(ka)];
            ASSERT_NEAR(fromSignals, row.ampl.at(bl), quantum + trigger)
                << "blade " << bl + 1 << " sample " << i;
            // Both round to the counter: one quantum each.
            ASSERT_NEAR(fromSignals, fromRecording, 2 * quantum + trigger)
                << "blade " << bl + 1 << " sample " << i;
            worstTruth = std::max(worstTruth, std::fabs(fromSignals - row.ampl.at(bl)) / (quantum + trigger));
            worstDirect =
                std::max(worstDirect, std::fabs(fromSignals - fromRecording) / (2 * quantum + trigger));
        }
        ++checked;
    }
    std::cout << checked << " revolutions; worst deviation as a share of the bound: from the truth "
              << worstTruth << ", from the direct recording " << worstDirect << " (tick quantum "
              << 800 * 3.14159265358979 * 3000 / b.speedFactor * 1e3 << " um at 3000 rpm, triggering sigma "
              << sigmaT * 1e9 << " ns)\n";
    EXPECT_GT(checked, 80u);
}

} // namespace
