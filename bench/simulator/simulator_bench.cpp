// Writing speed of the simulator on the `large` preset, scaled down by the
// first argument (default 0.1 of its 2000 s, some 4.8e7 records), into the
// folder of the second (default /tmp/sim-bench), against baselines measured
// in the same run into the same folder:
//   disk:       the same number of bytes written with write(2) in 8 MiB
//               blocks, then fdatasync, so the time includes the device;
//   disk, direct: the same with O_DIRECT, around the page cache: what the
//               device itself takes (the simulator writes its recording
//               that way where the file system allows it);
//   page cache: the same bytes through fwrite in 1 MiB blocks, no sync.
// The simulator runs on the calling thread alone and with as many pulse
// threads as the machine has (the files are the same), without the truth
// file; each run is timed by the wall clock, by the process's CPU time (on
// a machine shared with other work the wall clock also measures the
// others) and by the wall clock including an fdatasync of its recording,
// to compare with the disk baseline on equal terms. Everything is repeated
// for the rounds of the third argument (default 3) and reported as best and
// median. Every file is removed at the end.
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
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

// Seconds to write `bytes` with write(2) in 8 MiB blocks and fdatasync them;
// with `direct` through O_DIRECT, around the page cache (what the device
// itself takes; whole 4 KiB blocks only, a last partial one left out).
// -1 when the file cannot be written or refuses direct transfers.
double diskBaseline(const std::filesystem::path &file, std::uint64_t bytes, bool direct)
{
    constexpr std::size_t kBlock = 8 << 20;
    void *mem = nullptr;
    if (::posix_memalign(&mem, 4096, kBlock) != 0)
        return -1;
    std::unique_ptr<void, decltype(&std::free)> block(mem, &std::free);
    std::memset(mem, 'x', kBlock);
    const Clocks c;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (direct ? O_DIRECT : 0), 0644);
    if (fd < 0)
        return -1;
    for (std::uint64_t left = direct ? bytes / 4096 * 4096 : bytes; left > 0;) {
        const std::size_t n = left < kBlock ? static_cast<std::size_t>(left) : kBlock;
        const ssize_t w = ::write(fd, mem, n);
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

namespace {

struct Stats {
    double best = 0, median = 0;
};

// Best and median rate of `n` records over the given seconds.
Stats rates(double n, std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    return {n / seconds.front(), n / seconds[seconds.size() / 2]};
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const double factor = argc > 1 ? std::atof(argv[1]) : 0.1;
    const std::filesystem::path dir =
        std::filesystem::path(argc > 2 ? argv[2] : "/tmp/sim-bench") / "vibrolan-bench-simulator";
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (!(factor > 0) || rounds < 1 || rounds > 100 || argc > 4) {
        std::fprintf(stderr,
                     "usage: bench_simulator [duration factor > 0] [scratch folder] [rounds 1 .. 100]\n");
        return 2;
    }
    std::filesystem::create_directories(dir);
    const unsigned machine = std::max(1u, std::thread::hardware_concurrency());
    const std::vector<unsigned> threadCounts =
        machine > 1 ? std::vector<unsigned>{1u, machine} : std::vector<unsigned>{1u};
    struct Runs {
        std::vector<double> wall, cpu, syncWall;
    };
    std::vector<Runs> runs(threadCounts.size());
    std::vector<double> disk, direct, cache;
    std::uint64_t records = 0, bytes = 0;
    try {
        const sim::Scenario sc = sim::scaledDuration(sim::preset("large"), factor);
        // Rounds interleave the runs so that a change of the machine's load
        // falls on all of them alike.
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t k = 0; k < threadCounts.size(); ++k) {
                sim::SimulationOptions opt;
                opt.outDir = dir;
                opt.truth = false;
                opt.threads = threadCounts[k];
                const Clocks c;
                const auto res = sim::simulate(sc, opt);
                runs[k].wall.push_back(c.wallSeconds());
                runs[k].cpu.push_back(c.cpuSeconds());
                if (!syncFile(res.bld))
                    throw std::runtime_error("cannot sync " + res.bld.string());
                runs[k].syncWall.push_back(c.wallSeconds());
                records = res.records;
                bytes = static_cast<std::uint64_t>(std::filesystem::file_size(res.bld));
                std::filesystem::remove(res.bld);
            }
            disk.push_back(diskBaseline(dir / "disk.bin", bytes, false));
            std::filesystem::remove(dir / "disk.bin");
            direct.push_back(diskBaseline(dir / "direct.bin", bytes, true));
            std::filesystem::remove(dir / "direct.bin");
            cache.push_back(cacheBaseline(dir / "cache.bin", bytes));
            std::filesystem::remove(dir / "cache.bin");
            if (disk.back() <= 0 || cache.back() <= 0)
                throw std::runtime_error("the baseline files could not be written");
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_simulator: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);

    // The baselines write the recording's bytes; as records of 6 bytes.
    const double n = static_cast<double>(records), asRecords = static_cast<double>(bytes) / 6.0;
    const Stats d = rates(asRecords, disk), p = rates(asRecords, cache);
    const bool hasDirect = std::all_of(direct.begin(), direct.end(), [](double x) { return x > 0; });
    const Stats dd = hasDirect ? rates(asRecords, direct) : Stats{};
    std::printf("large preset x %g: %llu records, %.1f MB; %d round(s), best and median\n", factor,
                static_cast<unsigned long long>(records), static_cast<double>(bytes) / 1e6, rounds);
    std::printf("baseline disk (write(2) 8 MiB blocks + fdatasync): %.3g / %.3g records/s\n", d.best,
                d.median);
    if (hasDirect)
        std::printf("baseline disk, direct (O_DIRECT 8 MiB blocks + fdatasync): %.3g / %.3g records/s\n",
                    dd.best, dd.median);
    else
        std::printf("baseline disk, direct: the file system refuses direct transfers\n");
    std::printf("baseline page cache (fwrite 1 MiB blocks, no sync): %.3g / %.3g records/s\n", p.best,
                p.median);
    for (std::size_t k = 0; k < threadCounts.size(); ++k) {
        const Stats w = rates(n, runs[k].wall), c = rates(n, runs[k].cpu), ws = rates(n, runs[k].syncWall);
        std::printf("simulator, %u thread(s):\n", threadCounts[k]);
        std::printf(
            "  wall:            %.3g / %.3g records/s = %.3f / %.3f of disk, %.4f / %.4f of page cache\n",
            w.best, w.median, w.best / d.median, w.median / d.median, w.best / p.median, w.median / p.median);
        std::printf(
            "  CPU:             %.3g / %.3g records per CPU second = %.3f / %.3f of disk, %.4f / %.4f of "
            "page cache\n",
            c.best, c.median, c.best / d.median, c.median / d.median, c.best / p.median, c.median / p.median);
        std::printf("  wall, synced:    %.3g / %.3g records/s = %.3f / %.3f of disk", ws.best, ws.median,
                    ws.best / d.median, ws.median / d.median);
        if (hasDirect)
            std::printf(", %.3f / %.3f of disk direct", ws.best / dd.median, ws.median / dd.median);
        std::printf("\n");
    }
    std::printf("(ratios against the baselines' medians; CPU time is the whole process's, all threads)\n");
    return 0;
}
