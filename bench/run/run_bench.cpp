// The whole processing run on the simulator's `large` preset (five stages of
// 80 ... 130 blades, two pairs each), scaled to a number of pulse records
// (default 2e8). Reports, from one run:
//   - the pulse pass in records per second, against a plain sequential read
//     of the same mapped file (every record's channel and ticks, summed),
//     measured before and after the run; the pass walks the file once per
//     stage, so both the wall rate and the rate per walk are shown;
//   - the stage computation time (inside the run, with the ranges and
//     histograms, and alone, repeated on the same series);
//   - the peak memory: ru_maxrss (which counts the mapped file's pages the
//     pass touched) and the largest anonymous resident size seen during the run.
// The recording is generated into a temporary folder (or --dir DIR) and
// deleted afterwards unless --keep is given.
//
//   bench_run [--records N] [--dir DIR] [--keep]
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "base/parallel_for.hpp"
#include "compute/stage_calc.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_image.hpp"
#include "recording/tindex.hpp"
#include "run/processing_run.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Anonymous resident memory of the process in kB (0 when unknown).
long rssAnonKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("RssAnon:", 0) == 0)
            return std::atol(line.c_str() + 8);
    return 0;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Records per second of recording time, from the scenario: the tacho plus
// every probe seeing every blade once per revolution, at the mean speed.
double recordsPerSecond(const vibrolan::sim::Scenario &s)
{
    double revs = 0; // revolutions over the whole duration (piecewise linear speed)
    for (std::size_t i = 0; i + 1 < s.speed.size(); ++i)
        revs += (s.speed[i].rpm + s.speed[i + 1].rpm) / 2 / 60 * (s.speed[i + 1].timeS - s.speed[i].timeS);
    revs += s.speed.back().rpm / 60 * std::max(0.0, s.durationS - s.speed.back().timeS);
    double perRev = s.tacho.divisor;
    for (const auto &st : s.stages)
        perRev += static_cast<double>(st.probes.size()) * st.blades;
    return revs * perRev / s.durationS;
}

// The baseline: every record of the pass range read once, in order.
double sequentialRead(const vibrolan::RecordingImage &image, std::uint64_t end, std::uint64_t &checksum)
{
    const auto t0 = Clock::now();
    const std::uint8_t *p = image.bytes().data();
    std::uint64_t sum = 0;
    for (std::uint64_t k = image.firstRecord(); k < end; ++k) {
        const vibrolan::TIndex r = vibrolan::loadRecord(p + 6 * k);
        sum += r.Ticks ^ r.Ch;
    }
    checksum += sum;
    return since(t0);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    double target = 2e8;
    std::filesystem::path dir;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--records" && i + 1 < argc)
            target = std::atof(argv[++i]);
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: bench_run [--records N] [--dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (!(target >= 1e4)) {
        std::fprintf(stderr, "bench_run: --records must be at least 10000\n");
        return 2;
    }
    const bool ownDir = dir.empty();
    if (ownDir)
        dir = std::filesystem::temp_directory_path() / ("vibrolan-bench-run-" + std::to_string(::getpid()));

    try {
        const sim::Scenario full = sim::preset("large");
        const double factor = target / (recordsPerSecond(full) * full.durationS);
        const sim::Scenario sc = sim::scaledDuration(full, factor);
        sim::SimulationOptions opt;
        opt.outDir = dir;
        opt.name = "large";
        opt.truth = false;
        std::printf("generating the large preset scaled by %.4f (%.1f s of recording) into %s\n", factor,
                    sc.durationS, dir.c_str());
        std::fflush(stdout);
        auto t0 = Clock::now();
        const sim::SimulationResult res = sim::simulate(sc, opt);
        const double genSeconds = since(t0);
        const auto bytes = std::filesystem::file_size(res.bld);
        std::printf("recording: %llu records (%.1f MB), %zu stages, generated in %.1f s\n",
                    static_cast<unsigned long long>(res.records), static_cast<double>(bytes) / 1e6,
                    sc.stages.size(), genSeconds);

        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(res.lfm);
        std::size_t pairs = 0, blades = 0;
        for (std::size_t s = 0; s < cfg.CountStage; ++s) {
            pairs += cfg.Stages[s].CountPairs;
            blades += static_cast<std::size_t>(cfg.Stages[s].CountPairs) * cfg.Stages[s].CountBlade;
        }

        std::uint64_t checksum = 0, passEnd = 0, firstRecord = 0;
        double baseBefore = 0, baseAfter = 0;
        {
            const RecordingImage image = RecordingImage::mapFile(res.bld);
            passEnd = image.passEnd(cfg.CountSensors);
            firstRecord = image.firstRecord();
            sequentialRead(image, passEnd, checksum); // warms the page cache like the run will find it
            baseBefore = sequentialRead(image, passEnd, checksum);
        }
        const auto passRecords = static_cast<double>(passEnd - firstRecord);

        // The run, timed at its phases.
        const long anonBefore = rssAnonKb();
        long anonPeak = anonBefore;
        Clock::time_point runStart = Clock::now(), passEndAt = runStart, computeEnd = runStart;
        std::uint64_t marks = 0;
        TRunCallbacks cb;
        cb.phase = [&](std::string_view caption) {
            anonPeak = std::max(anonPeak, rssAnonKb());
            if (caption.empty())
                passEndAt = Clock::now();
        };
        cb.pass = [&](std::int64_t, std::int64_t, double, double, double) {
            if ((++marks & 0x3FFF) == 0)
                anonPeak = std::max(anonPeak, rssAnonKb());
        };
        cb.blade = [&](std::uint16_t) {
            if ((++marks & 0xFF) == 0)
                anonPeak = std::max(anonPeak, rssAnonKb());
        };
        cb.report = [&](const TCfgDfm &) {
            computeEnd = Clock::now();
            anonPeak = std::max(anonPeak, rssAnonKb());
        };
        NullMessageSink sink;
        TRunInputs inputs;
        inputs.CfgFileName = res.lfm;
        runStart = Clock::now();
        const TRunResult run = ProcessingRun(cfg, inputs, sink, NumberFormat{}, cb);
        const double runSeconds = since(runStart);
        if (run.status != TRunStatus::Done) {
            std::fprintf(stderr, "bench_run: the run did not finish\n");
            return 1;
        }
        const double passSeconds = std::chrono::duration<double>(passEndAt - runStart).count();
        const double afterPassSeconds = std::chrono::duration<double>(computeEnd - passEndAt).count();
        anonPeak = std::max(anonPeak, rssAnonKb());

        long samples = 0, rejected = 0;
        for (std::size_t s = 0; s < cfg.CountStage; ++s)
            for (std::size_t p = 0; p < cfg.Stages[s].CountPairs; ++p) {
                samples += cfg.Stages[s].Pairs[p].Size;
                rejected += cfg.Stages[s].Pairs[p].SizeOfBad;
            }

        // The stage computation alone, on the same series (same sizes, same
        // windows), on one thread and on every core.
        t0 = Clock::now();
        const double cpu0 = processCpuSeconds();
        CalcStages(cfg, {}, TCalcOptions{1, {}});
        const double computeOneSeconds = since(t0);
        const double computeOneCpu = processCpuSeconds() - cpu0;
        t0 = Clock::now();
        CalcStages(cfg, {}, TCalcOptions{0, {}});
        const double computeSeconds = since(t0);

        {
            const RecordingImage image = RecordingImage::mapFile(res.bld);
            baseAfter = sequentialRead(image, passEnd, checksum);
        }
        const double baseSeconds = std::min(baseBefore, baseAfter);
        const double baseRate = passRecords / baseSeconds;
        const double stages = cfg.CountStage;
        const double wallRate = passRecords / passSeconds;
        const double walkRate = stages * passRecords / passSeconds;

        std::printf("configuration: %zu stages, %zu pairs, %zu blade series; %ld revolutions accepted, %ld "
                    "rejected over all pairs\n",
                    static_cast<std::size_t>(cfg.CountStage), pairs, blades, samples, rejected);
        std::printf("baseline sequential read of the mapped file: %.3f s before, %.3f s after the run; best "
                    "%.3g records/s (checksum %llx)\n",
                    baseBefore, baseAfter, baseRate, static_cast<unsigned long long>(checksum & 0xFFFF));
        std::printf("pulse pass (%g stages, one walk each, with blade ordering): %.3f s = %.3g records/s "
                    "of recording; %.3g records/s per walk\n",
                    stages, passSeconds, wallRate, walkRate);
        std::printf("ratio pass / baseline: %.3f (whole pass), %.3f (per walk)\n", wallRate / baseRate,
                    walkRate / baseRate);
        std::printf("after the pass in the run (ranges, histograms, stage computation): %.3f s\n",
                    afterPassSeconds);
        const double bladeRevs =
            static_cast<double>(samples) / static_cast<double>(pairs) * static_cast<double>(blades);
        std::printf("stage computation alone: %.3f s = %.3g blade revolutions/s on one thread; %.3f s = %.3g "
                    "blade revolutions/s on %u threads (ratio %.2f); one thread's CPU time %.3f s = %.3g blade "
                    "revolutions per CPU second\n",
                    computeOneSeconds, bladeRevs / computeOneSeconds, computeSeconds, bladeRevs / computeSeconds,
                    WorkerThreads(0), computeOneSeconds / computeSeconds, computeOneCpu, bladeRevs / computeOneCpu);
        std::printf("whole run: %.3f s\n", runSeconds);
        std::printf("peak memory: ru_maxrss %.1f MB (mapped file %.1f MB counts in it); anonymous resident "
                    "%.1f MB before the run, peak %.1f MB during it\n",
                    maxRssKb() / 1024.0, static_cast<double>(bytes) / 1e6, anonBefore / 1024.0,
                    anonPeak / 1024.0);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_run: %s\n", e.what());
        if (!keep && ownDir)
            std::filesystem::remove_all(dir);
        return 1;
    }
    if (!keep) {
        std::error_code ec;
        if (ownDir)
            std::filesystem::remove_all(dir, ec);
        else
            for (const char *f : {"large.bld", "large.lfm"})
                std::filesystem::remove(dir / f, ec);
    }
    return 0;
}
