// Writing speed of the simulator on the `large` preset (scaled down by the
// first argument, default 0.02 of its 2000 s) against a baseline measured in
// the same run: the same number of bytes written with plain fwrite from a
// ready buffer. The simulator runs once on the calling thread alone and once
// with as many pulse threads as the machine has (the files are the same).
// Reports records per second by the wall clock and by the process's CPU
// time (on a machine shared with other work the wall clock mostly measures
// the others), and the ratio to the baseline.
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

struct Clocks {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double wallSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const double factor = argc > 1 ? std::atof(argv[1]) : 0.02;
    if (!(factor > 0)) {
        std::fprintf(stderr, "usage: bench_simulator [duration factor > 0]\n");
        return 2;
    }
    const auto dir = std::filesystem::temp_directory_path() / "vibrolan-bench-simulator";
    std::filesystem::create_directories(dir);

    const sim::Scenario sc = sim::scaledDuration(sim::preset("large"), factor);
    struct Run {
        unsigned threads;
        double wall, cpu;
        std::uint64_t records, bytes;
    };
    std::vector<Run> runs;
    for (unsigned threads : {1u, std::max(1u, std::thread::hardware_concurrency())}) {
        sim::SimulationOptions opt;
        opt.outDir = dir;
        opt.truth = false;
        opt.threads = threads;
        const Clocks c;
        const auto res = sim::simulate(sc, opt);
        runs.push_back({threads, c.wallSeconds(), c.cpuSeconds(), res.records,
                        static_cast<std::uint64_t>(std::filesystem::file_size(res.bld))});
    }
    const std::uint64_t bytes = runs.front().bytes;

    // Baseline: the same bytes through fwrite in 1 MiB blocks.
    std::vector<char> block(1 << 20, 'x');
    const auto baseFile = dir / "baseline.bin";
    const Clocks c;
    FILE *f = std::fopen(baseFile.c_str(), "wb");
    if (!f)
        return 1;
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        std::fwrite(block.data(), 1, n, f);
        left -= n;
    }
    std::fclose(f);
    const double baseWall = c.wallSeconds(), baseCpu = c.cpuSeconds();
    const double baseRecPerSec = static_cast<double>(bytes) / 6.0 / baseWall;

    std::printf("baseline fwrite of the same %.1f MB: %.3f s wall (%.3f s CPU) = %.3g records/s\n",
                bytes / 1e6, baseWall, baseCpu, baseRecPerSec);
    for (const Run &r : runs) {
        const double perWall = static_cast<double>(r.records) / r.wall;
        const double perCpu = static_cast<double>(r.records) / r.cpu;
        std::printf(
            "simulator, %u thread(s): %llu records in %.3f s wall = %.3g records/s (ratio to baseline "
            "%.4f); %.3f s CPU = %.3g records per CPU second\n",
            r.threads, static_cast<unsigned long long>(r.records), r.wall, perWall, perWall / baseRecPerSec,
            r.cpu, perCpu);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
