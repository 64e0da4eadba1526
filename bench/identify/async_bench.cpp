// The asynchronous-vibration step on a run of the simulator's `large` preset
// (five stages of 80 ... 130 blades at 8000 ... 10000 rev/min) with a
// drifting stall on every stage, scaled in duration (default 0.02 of its
// 2000 s). Reports, from one run: the processing run's time, the
// asynchronous step's time and their ratio (goal: at most 0.10), and what
// the step found against the simulator's truth.
//
//   bench_async [--scale F] [--dir DIR] [--keep]
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "identify/async_vibration.hpp"
#include "run/processing_run.hpp"
#include "scratch_options.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const auto options = bench::parseScratchOptions(argc, argv, "bench_async", "--scale", 0.02);
    if (!options)
        return 2;
    const double scale = options->size;
    std::filesystem::path dir = options->dir;
    const bool keep = options->keep;
    if (!(scale > 0 && scale <= 1)) {
        std::fprintf(stderr, "bench_async: --scale must lie in (0, 1]\n");
        return 2;
    }
    const bool ownDir = dir.empty();
    if (ownDir)
        dir = std::filesystem::temp_directory_path() / ("vibrolan-bench-async-" + std::to_string(::getpid()));
    try {
        sim::Scenario sc = sim::preset("large");
        sc.faults.jitterNs = 20;
        // A stall on every stage over the middle half of the run, drifting slowly.
        for (std::size_t s = 0; s < sc.stages.size(); ++s) {
            sim::StallSpec st;
            st.freqHz = 55 + 10.0 * static_cast<double>(s);
            st.amplitudeMm = 0.08;
            st.nodalDiameters = -2 - static_cast<int>(s);
            st.modulationDepth = 0.2;
            st.modulationPeriodS = 7;
            st.driftHzPerS = 0.002;
            st.fromS = 0.25 * sc.durationS;
            st.toS = 0.75 * sc.durationS;
            sc.stages[s].stall = st;
        }
        sc = sim::scaledDuration(sc, scale);
        sim::SimulationOptions opt;
        opt.outDir = dir;
        opt.name = "large_stall";
        std::printf("generating the large preset with stall, scaled by %.4f (%.1f s) into %s\n", scale,
                    sc.durationS, dir.c_str());
        std::fflush(stdout);
        const sim::SimulationResult res = sim::simulate(sc, opt);

        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(res.lfm);
        NullMessageSink sink;
        TRunInputs inputs;
        inputs.CfgFileName = res.lfm;
        auto t0 = Clock::now();
        const TRunResult run = ProcessingRun(cfg, inputs, sink, NumberFormat{}, {});
        const double runSeconds = since(t0);
        if (run.status != TRunStatus::Done) {
            std::fprintf(stderr, "bench_async: the run did not finish\n");
            return 1;
        }
        t0 = Clock::now();
        const identify::AsyncResult ar = identify::AnalyseAsynchronous(cfg);
        const double asyncSeconds = since(t0);

        long revolutions = 0, blades = 0;
        for (std::size_t s = 0; s < cfg.CountStage; ++s) {
            revolutions += cfg.Stages[s].Pairs[0].Size;
            blades += cfg.Stages[s].CountBlade;
        }
        std::printf("run: %.2f s (%ld revolutions over %zu stages, %ld blades)\n", runSeconds, revolutions,
                    static_cast<std::size_t>(cfg.CountStage), blades);
        std::printf("asynchronous step: %.3f s\n", asyncSeconds);
        std::printf("ratio asynchronous / run: %.3f (goal <= 0.10)\n", asyncSeconds / runSeconds);
        for (const auto &seg : ar.segments)
            std::printf("  stage %d: %.1f ... %.1f s, %.2f Hz, nd %s, amplitude %.4f mm, %d blades%s\n",
                        seg.stage + 1, seg.timeFrom, seg.timeTo, seg.frequencyHz,
                        seg.nodalDiameterKnown ? std::to_string(seg.nodalDiameter).c_str() : "?",
                        seg.amplitudeMean, seg.blades, seg.ambiguous ? " (ambiguous)" : "");
        for (std::size_t s = 0; s < sc.stages.size(); ++s) {
            const auto &st = *sc.stages[s].stall;
            std::printf("  truth stage %zu: %.1f ... %.1f s, rotor %.2f Hz, n %d, amplitude %.4f mm\n", s + 1,
                        *st.fromS, *st.toS, st.freqHz, st.nodalDiameters, st.amplitudeMm);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_async: %s\n", e.what());
        if (ownDir && !keep)
            std::filesystem::remove_all(dir);
        return 1;
    }
    if (ownDir && !keep)
        std::filesystem::remove_all(dir);
    return 0;
}
