// Resonance identification of a large run: the five stages of the `large`
// preset (80 ... 130 blades), each with four pairs at irregular angles (0.25,
// 4.25, 10.25 and 17.25 pitches after the root probe) and
// two resonances (EO 3 + i and EO 8 + i of stage i), 20 ns timing jitter,
// the sweep of the preset (8000 -> 10000 rpm) over --seconds (default 60).
// Reports, from one run: the processing run's time (the baseline), the
// identification's time, milliseconds per blade and resonance identified,
// the identification's share of the run, and how many of the simulated
// resonances it found (with the engine order right).
// Goals: at most 5 ms per blade and resonance, at most 10 % added to the run.
//
//   bench_identify [--seconds S] [--dir DIR] [--keep]
#include "bench_timing.hpp"
#include "scratch_options.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "identify/identify.hpp"
#include "run/processing_run.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

vibrolan::sim::Scenario largeWithResonances(double seconds)
{
    using namespace vibrolan::sim;
    Scenario s = preset("large");
    s = scaledDuration(s, seconds / s.durationS);
    s.faults.jitterNs = 20;
    s.truthEvery = 1000;
    int channel = 40;
    for (std::size_t i = 0; i < s.stages.size(); ++i) {
        StageSpec &st = s.stages[i];
        const double pitch = 360.0 / st.blades, base = st.probes.front().angleDeg;
        // Two more tip probes, 4.25 and 17.25 pitches after the root probe (the
        // preset's are at 0.25 and 10.25: the assembly takes tips within a
        // score of pitches after their root).
        for (double pitches : {4.25, 17.25}) {
            const double angle = base + pitches * pitch;
            const std::string name = "X" + std::to_string(channel);
            st.probes.push_back({name, channel++, ProbeKind::Tip, angle});
            st.pairs.push_back({"Pa" + name, st.probes.front().name, name});
        }
        const int eo2 = 8 + static_cast<int>(i);
        st.resonances.push_back({eo2, 8700.0 * eo2 / 60, 0.008, 0.004});
        st.mistuning = 0.01;
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const auto options = bench::parseScratchOptions(argc, argv, "bench_identify", "--seconds", 60);
    if (!options)
        return 2;
    const double seconds = options->size;
    std::filesystem::path dir = options->dir;
    const bool keep = options->keep;
    if (!(seconds >= 5)) {
        std::fprintf(stderr, "bench_identify: --seconds must be at least 5\n");
        return 2;
    }
    const bool ownDir = dir.empty();
    if (ownDir)
        dir = std::filesystem::temp_directory_path() /
              ("vibrolan-bench-identify-" + std::to_string(::getpid()));
    try {
        const sim::Scenario sc = largeWithResonances(seconds);
        sim::SimulationOptions so;
        so.outDir = dir;
        so.name = "large";
        const auto t0 = Clock::now();
        const sim::SimulationResult r = sim::simulate(sc, so);
        std::printf("recording: %.0f s, %.3g records, simulated in %.1f s\n", r.seconds,
                    static_cast<double>(r.records), since(t0));

        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(r.lfm);
        RecordingMessageSink sink;
        TRunInputs inputs;
        inputs.CfgFileName = r.lfm;
        const auto t1 = Clock::now();
        const std::clock_t c1 = std::clock();
        ProcessingRun(cfg, inputs, sink, NumberFormat{}, {});
        const double runS = since(t1), runCpu = static_cast<double>(std::clock() - c1) / CLOCKS_PER_SEC;

        identify::IdentifyResult res;
        const std::clock_t c2 = std::clock();
        const double idS = bench::bestSecondsOf([&] { res = identify::IdentifyResonances(cfg, {}); });
        // The processor time of one identification (the machine may be shared: wall time is not all ours).
        const double idCpu = static_cast<double>(std::clock() - c2) / CLOCKS_PER_SEC / 3;
        std::size_t expected = 0, right = 0;
        for (std::size_t i = 0; i < sc.stages.size(); ++i) {
            expected += sc.stages[i].resonances.size() * static_cast<std::size_t>(sc.stages[i].blades);
            for (const auto &x : res.resonances)
                if (x.stage == static_cast<int>(i))
                    for (const auto &m : sc.stages[i].resonances)
                        right += x.engineOrder == m.engineOrder && std::fabs(x.frequencyHz / m.naturalHz -
                                                                             1) < 2 * sc.stages[i].mistuning
                                     ? 1
                                     : 0;
        }
        const double perMs = 1e3 * idS / std::max<std::size_t>(1, res.resonances.size());
        std::printf("processing run (baseline): %.2f s (processor %.2f s)\n", runS, runCpu);
        std::printf("identification: %.3f s (best of 3) for %zu blade resonances (%zu of %zu simulated found "
                    "with the right engine order), %zu not identifiable\n",
                    idS, res.resonances.size(), right, expected, res.notIdentifiable.size());
        std::printf("per blade and resonance: %.2f ms, processor %.2f ms (goal <= 5 ms)\n", perMs,
                    1e3 * idCpu / std::max<std::size_t>(1, res.resonances.size()));
        std::printf("identification / processing run: %.1f %%, processor %.1f %% (goal <= 10 %%)\n",
                    100 * idS / runS, 100 * idCpu / runCpu);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_identify: %s\n", e.what());
        if (ownDir && !keep)
            std::filesystem::remove_all(dir);
        return 1;
    }
    if (ownDir && !keep)
        std::filesystem::remove_all(dir);
    return 0;
}
