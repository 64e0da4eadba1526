// The whole processing run on the simulator's `large` preset (five stages of
// 80 ... 130 blades, two pairs each), scaled to a number of pulse records
// (default 2e8). Reports, from one run, every figure against a baseline
// measured in the same run:
//   - the baseline: a tight sequential scan of the mapped file (every
//     record's channel and ticks), warm;
//   - the pulse pass alone in both forms (a walk per stage, and all stages
//     in one walk) as a ratio of the scan;
//   - the processing run by phases (pass, blade ordering and histograms,
//     stage computation), the stage computation alone on one thread and on
//     every core in blade revolutions per second;
//   - the peak memory against the mapped file plus the result series;
//   - with a cold cache (the file's pages dropped with posix_fadvise, which
//     needs no privileges; reported when the kernel kept them): the run's
//     pass against reading the file once (as `cat file > /dev/null`).
// The recording is generated into a temporary folder (or --dir DIR) and
// deleted afterwards unless --keep is given.
//
//   bench_run [--records N] [--dir DIR] [--keep] [--no-cold]
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "base/parallel_for.hpp"
#include "compute/stage_calc.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_image.hpp"
#include "recording/tindex.hpp"
#include "run/assemble_stage.hpp"
#include "run/processing_run.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// The baseline: every record of the pass range read once, in order, from a
// mapping of the file (a tight loop: about what memory allows).
double sequentialRead(const std::filesystem::path &file, std::uint64_t first, std::uint64_t end,
                      std::uint64_t &checksum)
{
    const vibrolan::RecordingImage image = vibrolan::RecordingImage::mapFile(file);
    const auto t0 = Clock::now();
    const std::uint8_t *p = image.bytes().data();
    std::uint64_t sum = 0;
    for (std::uint64_t k = first; k < end; ++k) {
        const vibrolan::TIndex r = vibrolan::loadRecord(p + 6 * k);
        sum += r.Ticks ^ r.Ch;
    }
    checksum += sum;
    return since(t0);
}

// The file's pages written out, so that mapping them costs what it costs a user.
void syncFile(const std::filesystem::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fdatasync(fd);
        ::close(fd);
    }
}

// Drops the file's pages from the page cache (no privileges needed for
// clean pages nobody maps); returns the part still resident afterwards.
double dropFromCache(const std::filesystem::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    (void)::fdatasync(fd);
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    struct stat st {};
    double resident = 1;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto length = static_cast<std::size_t>(st.st_size);
        void *map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
            std::vector<unsigned char> in((length + page - 1) / page);
            if (::mincore(map, length, in.data()) == 0) {
                std::size_t n = 0;
                for (unsigned char c : in)
                    n += c & 1;
                resident = static_cast<double>(n) / static_cast<double>(in.size());
            }
            ::munmap(map, length);
        }
    }
    ::close(fd);
    return resident;
}

// Reading the whole file once, as `cat file > /dev/null` does.
double readWholeFile(const std::filesystem::path &file)
{
    const auto t0 = Clock::now();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return since(t0);
}

// Bytes of the series a finished run keeps (every result series of every
// checked pair, its speeds and times).
double resultBytes(const vibrolan::TCfgDfm &cfg)
{
    double bytes = 0;
    for (std::size_t s = 0; s < cfg.CountStage; ++s) {
        const vibrolan::TStage &st = cfg.Stages[s];
        for (std::size_t p = 0; p < st.CountPairs; ++p) {
            const vibrolan::TPair &pair = st.Pairs[p];
            if (!pair.Checked)
                continue;
            bytes += 4.0 * static_cast<double>(pair.Freq.size() + pair.Time.size()) +
                     8.0 * static_cast<double>(pair.UTS_Time.size());
            for (std::size_t b = 0; b < st.CountBlade; ++b) {
                for (const auto *v : {&pair.Ampl[b], &pair.MiddleLine[b], &pair.Velocity[b], &pair.Stress[b],
                                      &pair.ResonanceCurve[b], &pair.StallingOscill[b]})
                    bytes += 4.0 * static_cast<double>(v->size());
                bytes += 4.0 * static_cast<double>(pair.CmprssResnceCurve[b].size());
            }
        }
    }
    return bytes;
}

// The pulse pass alone over fresh series, in the plain form (a walk per
// stage) or the fast one (every stage in one walk). Stages with the tacho
// detector run without one (the large preset has none).
double passAlone(const std::filesystem::path &lfm, const std::filesystem::path &bld, bool plain)
{
    using namespace vibrolan;
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    for (std::size_t s = 0; s < cfg.CountStage; ++s)
        PreparePairStorage(cfg.Stages[s]);
    const RecordingImage image = RecordingImage::mapFile(bld);
    TPulsePass pass;
    pass.RecImage = image.bytes();
    pass.FirstRec = image.firstRecord();
    pass.RecCount = image.passEnd(cfg.CountSensors);
    pass.TickPeriod = image.header().tickPeriod();
    pass.SpeedFactor = image.header().speedFactor();
    NullMessageSink sink;
    const auto t0 = Clock::now();
    if (plain) {
        for (std::size_t s = 0; s < cfg.CountStage; ++s) {
            pass.TachoDivisor = cfg.Stages[s].TachoComb.divisor + 1;
            AssembleStage(cfg, s, pass, sink, NumberFormat{});
        }
    } else {
        std::vector<TStageTacho> tachos(cfg.CountStage);
        for (std::size_t s = 0; s < cfg.CountStage; ++s)
            tachos[s].Divisor = cfg.Stages[s].TachoComb.divisor + 1;
        AssembleStages(cfg, pass, tachos);
    }
    return since(t0);
}

struct RunFigures {
    double seconds = 0, passSeconds = 0, afterPassSeconds = 0;
    long anonPeakKb = 0;
};

vibrolan::TRunResult timedRun(vibrolan::TCfgDfm &cfg, const std::filesystem::path &lfm, RunFigures &f)
{
    using namespace vibrolan;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    long anonPeak = rssAnonKb();
    Clock::time_point runStart = Clock::now(), passEndAt = runStart, computeEnd = runStart;
    std::uint64_t ticks = 0;
    TRunCallbacks cb;
    cb.phase = [&](std::string_view caption) {
        anonPeak = std::max(anonPeak, rssAnonKb());
        if (caption.empty())
            passEndAt = Clock::now();
    };
    cb.pass = [&](std::int64_t, std::int64_t, double, double, double) {
        if ((++ticks & 0x3FFF) == 0)
            anonPeak = std::max(anonPeak, rssAnonKb());
    };
    cb.calc = [&](const TCalcPosition &) {
        if ((++ticks & 0xFF) == 0)
            anonPeak = std::max(anonPeak, rssAnonKb());
    };
    cb.report = [&](const TCfgDfm &) {
        computeEnd = Clock::now();
        anonPeak = std::max(anonPeak, rssAnonKb());
    };
    NullMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = lfm;
    runStart = Clock::now();
    TRunResult run = ProcessingRun(cfg, inputs, sink, NumberFormat{}, cb);
    f.seconds = since(runStart);
    f.passSeconds = std::chrono::duration<double>(passEndAt - runStart).count();
    f.afterPassSeconds = std::chrono::duration<double>(computeEnd - passEndAt).count();
    f.anonPeakKb = std::max(anonPeak, rssAnonKb());
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    double target = 2e8;
    std::filesystem::path dir;
    bool keep = false, cold = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--records" && i + 1 < argc)
            target = std::atof(argv[++i]);
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--keep")
            keep = true;
        else if (a == "--no-cold")
            cold = false;
        else {
            std::fprintf(stderr, "usage: bench_run [--records N] [--dir DIR] [--keep] [--no-cold]\n");
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
        syncFile(res.bld);
        const auto bytes = std::filesystem::file_size(res.bld);
        std::printf("recording: %llu records (%.1f MB), %zu stages, generated in %.1f s\n",
                    static_cast<unsigned long long>(res.records), static_cast<double>(bytes) / 1e6,
                    sc.stages.size(), genSeconds);

        std::uint64_t checksum = 0, passEnd = 0, firstRecord = 0;
        std::uint16_t countSensors = 0;
        {
            TCfgDfm cfg;
            cfg.InitDefault();
            cfg.LoadFromFile(res.lfm);
            countSensors = cfg.CountSensors;
            const RecordingImage image = RecordingImage::mapFile(res.bld);
            passEnd = image.passEnd(countSensors);
            firstRecord = image.firstRecord();
        }
        const auto passRecords = static_cast<double>(passEnd - firstRecord);
        auto baseline = [&] {
            double best = 1e300;
            for (int i = 0; i < 3; ++i) // the first also warms the page cache
                best = std::min(best, sequentialRead(res.bld, firstRecord, passEnd, checksum));
            return best;
        };
        const double baseBefore = baseline();

        // The run, timed at its phases, with its memory.
        TCfgDfm cfg;
        RunFigures warm;
        const TRunResult run = timedRun(cfg, res.lfm, warm);
        const long maxRssAfterRun = maxRssKb();
        if (run.status != TRunStatus::Done) {
            std::fprintf(stderr, "bench_run: the run did not finish\n");
            return 1;
        }
        std::size_t pairs = 0, blades = 0;
        long samples = 0, rejected = 0;
        for (std::size_t s = 0; s < cfg.CountStage; ++s)
            for (std::size_t p = 0; p < cfg.Stages[s].CountPairs; ++p) {
                const TPair &pair = cfg.Stages[s].Pairs[p];
                ++pairs;
                blades += cfg.Stages[s].CountBlade;
                samples += pair.Size;
                rejected += pair.SizeOfBad;
            }
        const double results = resultBytes(cfg);

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
        cfg.FreeData();

        // The pass alone in both forms, and the baseline again.
        const double plainPass = passAlone(res.lfm, res.bld, true);
        const double fastPass = passAlone(res.lfm, res.bld, false);
        const double baseAfter = baseline();
        const double baseSeconds = std::min(baseBefore, baseAfter);
        const double baseRate = passRecords / baseSeconds;

        const double bladeRevs =
            static_cast<double>(samples) / static_cast<double>(pairs) * static_cast<double>(blades);
        std::printf("configuration: %zu stages, %zu pairs, %zu blade series; %ld revolutions accepted, %ld "
                    "rejected over all pairs\n",
                    static_cast<std::size_t>(cfg.CountStage), pairs, blades, samples, rejected);
        std::printf(
            "baseline, a tight sequential scan of the mapped file (warm): %.3f s before, %.3f s after; "
            "best %.3g records/s (checksum %llx)\n",
            baseBefore, baseAfter, baseRate, static_cast<unsigned long long>(checksum & 0xFFFF));
        std::printf("pulse pass alone, a walk per stage: %.3f s = %.3g records/s = %.3f of the baseline\n",
                    plainPass, passRecords / plainPass, baseSeconds / plainPass);
        std::printf(
            "pulse pass alone, every stage in one walk: %.3f s = %.3g records/s = %.3f of the baseline "
            "(%.2f times the walk per stage)\n",
            fastPass, passRecords / fastPass, baseSeconds / fastPass, plainPass / fastPass);
        std::printf(
            "run: pass with blade ordering %.3f s (%.3f of the baseline); ranges, histograms and stage "
            "computation %.3f s; whole run %.3f s\n",
            warm.passSeconds, baseSeconds / warm.passSeconds, warm.afterPassSeconds, warm.seconds);
        std::printf(
            "stage computation alone: %.3f s = %.3g blade revolutions/s on one thread; %.3f s = %.3g "
            "blade revolutions/s on %u threads (ratio %.2f); one thread's CPU time %.3f s = %.3g blade "
            "revolutions per CPU second\n",
            computeOneSeconds, bladeRevs / computeOneSeconds, computeSeconds, bladeRevs / computeSeconds,
            WorkerThreads(0), computeOneSeconds / computeSeconds, computeOneCpu, bladeRevs / computeOneCpu);
        const double limitMb = (static_cast<double>(bytes) + results) * 1.1 / 1e6;
        std::printf(
            "memory: result series %.1f MB; ru_maxrss after the run %.1f MB against mapped file + results "
            "+ 10%% = %.1f MB (ratio %.3f); anonymous resident peak %.1f MB (%.3f of the results)\n",
            results / 1e6, maxRssAfterRun * 1024.0 / 1e6, limitMb, maxRssAfterRun * 1024.0 / 1e6 / limitMb,
            warm.anonPeakKb * 1024.0 / 1e6, warm.anonPeakKb * 1024.0 / results);

        if (cold) {
            const double left = dropFromCache(res.bld);
            const double catSeconds = readWholeFile(res.bld);
            const double leftAgain = dropFromCache(res.bld);
            TCfgDfm coldCfg;
            RunFigures c;
            timedRun(coldCfg, res.lfm, c);
            if (left > 0.05 || leftAgain > 0.05)
                std::printf("cold cache: the kernel kept %.0f%% of the file's pages; no cold figures\n",
                            100 * std::max(left, leftAgain));
            else
                std::printf(
                    "cold cache: reading the file once (cat) %.3f s = %.3g MB/s; the run's pass %.3f s "
                    "(%.3f of the read), whole run %.3f s\n",
                    catSeconds, static_cast<double>(bytes) / 1e6 / catSeconds, c.passSeconds,
                    catSeconds / c.passSeconds, c.seconds);
        }
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
