// Writing speed of the simulator on the `large` preset (scaled down by the
// first argument, default 0.02 of its 2000 s) against a baseline measured in
// the same run: the same number of bytes written with plain fwrite from a
// ready buffer. Reports records per second and the ratio to the baseline.
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

double seconds(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char **argv)
{
    using namespace vibrolan;
    const double factor = argc > 1 ? std::atof(argv[1]) : 0.02;
    const auto dir = std::filesystem::temp_directory_path() / "vibrolan-bench-simulator";
    std::filesystem::create_directories(dir);

    sim::Scenario sc = sim::scaledDuration(sim::preset("large"), factor);
    sim::SimulationOptions opt;
    opt.outDir = dir;
    opt.truth = false;
    auto t0 = std::chrono::steady_clock::now();
    const auto res = sim::simulate(sc, opt);
    const double simSeconds = seconds(t0);
    const auto bytes = std::filesystem::file_size(res.bld);

    // Baseline: the same bytes through fwrite in 1 MiB blocks.
    std::vector<char> block(1 << 20, 'x');
    const auto baseFile = dir / "baseline.bin";
    t0 = std::chrono::steady_clock::now();
    FILE *f = std::fopen(baseFile.c_str(), "wb");
    if (!f)
        return 1;
    for (std::uintmax_t left = bytes; left > 0;) {
        const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
        std::fwrite(block.data(), 1, n, f);
        left -= n;
    }
    std::fclose(f);
    const double baseSeconds = seconds(t0);

    const double recPerSec = static_cast<double>(res.records) / simSeconds;
    const double baseRecPerSec = static_cast<double>(bytes) / 6.0 / baseSeconds;
    std::printf("simulator: %llu records (%.1f MB) in %.3f s = %.3g records/s\n",
                static_cast<unsigned long long>(res.records), bytes / 1e6, simSeconds, recPerSec);
    std::printf("baseline fwrite of the same bytes: %.3f s = %.3g records/s\n", baseSeconds, baseRecPerSec);
    std::printf("ratio simulator / baseline: %.3f\n", recPerSec / baseRecPerSec);
    std::filesystem::remove_all(dir);
    return 0;
}
