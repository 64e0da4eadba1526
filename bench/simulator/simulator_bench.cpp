// Writing speed of the simulator on the `large` preset, scaled down by the
// first argument (default 0.05 of its 2000 s, some 2.4e7 records), into the
// folder of the second (default /tmp/sim-bench), against baselines measured
// in the same run into the same folder:
//   disk:       the same number of bytes written with write(2) in 8 MiB
//               blocks, then fdatasync, so the time includes the device;
//   page cache: the same bytes through fwrite in 1 MiB blocks, no sync.
// The simulator runs once on the calling thread alone and once with as many
// pulse threads as the machine has (the files are the same), without the
// truth file. Each run is timed by the wall clock and by the process's CPU
// time (on a machine shared with other work the wall clock also measures
// the others), and once more including an fdatasync of its recording, to
// compare with the disk baseline on equal terms. Every file is removed at
// the end.
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
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

bool syncFile(const std::filesystem::path &file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// Seconds to write `bytes` with write(2) in large blocks and fdatasync them.
double diskBaseline(const std::filesystem::path &file, std::uint64_t bytes)
{
    std::vector<char> block(8 << 20, 'x');
    const Clocks c;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        const ssize_t w = ::write(fd, block.data(), n);
        if (w <= 0) {
            ::close(fd);
            return -1;
        }
        left -= static_cast<std::uint64_t>(w);
    }
    const bool ok = ::fdatasync(fd) == 0;
    ::close(fd);
    return ok ? c.wallSeconds() : -1;
}

// Seconds to write `bytes` through fwrite into the page cache.
double cacheBaseline(const std::filesystem::path &file, std::uint64_t bytes)
{
    std::vector<char> block(1 << 20, 'x');
    const Clocks c;
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f)
        return -1;
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        if (std::fwrite(block.data(), 1, n, f) != n) {
            std::fclose(f);
            return -1;
        }
        left -= n;
    }
    const bool ok = std::fclose(f) == 0;
    return ok ? c.wallSeconds() : -1;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const double factor = argc > 1 ? std::atof(argv[1]) : 0.05;
    const std::filesystem::path dir =
        std::filesystem::path(argc > 2 ? argv[2] : "/tmp/sim-bench") / "vibrolan-bench-simulator";
    if (!(factor > 0) || argc > 3) {
        std::fprintf(stderr, "usage: bench_simulator [duration factor > 0] [scratch folder]\n");
        return 2;
    }
    std::filesystem::create_directories(dir);
    struct Run {
        unsigned threads;
        double wall, cpu, syncWall;
        std::uint64_t records, bytes;
    };
    std::vector<Run> runs;
    double diskSeconds = -1, cacheSeconds = -1;
    std::uint64_t bytes = 0;
    try {
        const sim::Scenario sc = sim::scaledDuration(sim::preset("large"), factor);
        for (unsigned threads : {1u, std::max(1u, std::thread::hardware_concurrency())}) {
            sim::SimulationOptions opt;
            opt.outDir = dir;
            opt.truth = false;
            opt.threads = threads;
            const Clocks c;
            const auto res = sim::simulate(sc, opt);
            const double wall = c.wallSeconds(), cpu = c.cpuSeconds();
            syncFile(res.bld);
            runs.push_back({threads, wall, cpu, c.wallSeconds(), res.records,
                            static_cast<std::uint64_t>(std::filesystem::file_size(res.bld))});
            std::filesystem::remove(res.bld);
        }
        bytes = runs.front().bytes;
        diskSeconds = diskBaseline(dir / "disk.bin", bytes);
        std::filesystem::remove(dir / "disk.bin");
        cacheSeconds = cacheBaseline(dir / "cache.bin", bytes);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_simulator: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    if (diskSeconds <= 0 || cacheSeconds <= 0) {
        std::fprintf(stderr, "bench_simulator: the baseline files could not be written\n");
        return 1;
    }
    const double records = static_cast<double>(bytes) / 6.0; // header bytes counted as records too
    const double disk = records / diskSeconds, cache = records / cacheSeconds;
    std::printf("large preset x %g: %.1f MB\n", factor, static_cast<double>(bytes) / 1e6);
    std::printf("baseline disk (write(2) 8 MiB blocks + fdatasync): %.3f s = %.3g records/s\n", diskSeconds,
                disk);
    std::printf("baseline page cache (fwrite 1 MiB blocks):          %.3f s = %.3g records/s\n", cacheSeconds,
                cache);
    for (const Run &r : runs) {
        const double n = static_cast<double>(r.records);
        std::printf("simulator, %u thread(s): %llu records\n", r.threads,
                    static_cast<unsigned long long>(r.records));
        std::printf("  wall %.3f s = %.3g records/s: %.3f of disk, %.4f of page cache\n", r.wall, n / r.wall,
                    n / r.wall / disk, n / r.wall / cache);
        std::printf("  CPU  %.3f s = %.3g records per CPU second: %.3f of disk, %.4f of page cache\n", r.cpu,
                    n / r.cpu, n / r.cpu / disk, n / r.cpu / cache);
        std::printf("  wall with fdatasync %.3f s = %.3g records/s: %.3f of disk\n", r.syncWall,
                    n / r.syncWall, n / r.syncWall / disk);
    }
    return 0;
}
