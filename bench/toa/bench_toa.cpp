// Triggering sampled signals into a recording, against a plain read of the
// same samples from the same file measured in the same run: "share_of_read"
// is the conversion's samples per second over the plain read's (the goal is
// 0.5 or more), "per_core" its samples per second and thread. Four channels
// (a tacho and three probes) of 2^23 samples, raw int16 and float32, in the
// page cache; the levels in volts (one pass) or in percent of the range (two).
#include "bench_timing.hpp"
#include "toa/toa_conversion.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace vibrolan;

namespace {

constexpr std::size_t kFrames = 1u << 23, kChannels = 4;

struct Workload {
    std::filesystem::path dir;
    std::filesystem::path sidecar[2]; // int16, float32
    ~Workload() { std::filesystem::remove_all(dir); }
};

// Bipolar pulses: a mark every 20000 samples on the tacho, 60 blades per
// revolution on the probes, on noise.
const Workload &workload()
{
    static const Workload w = [] {
        Workload out;
        // In memory where the machine offers it: the plain read then runs at
        // memory speed, and the commit of the small output costs no disk sync.
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        out.dir = base / ("vibrolan-bench-toa-" + std::to_string(::getpid()));
        std::filesystem::create_directories(out.dir);
        std::vector<std::int16_t> i16(kFrames * kChannels);
        std::vector<float> f32(kFrames * kChannels);
        std::uint64_t s = 1;
        for (std::size_t f = 0; f < kFrames; ++f)
            for (std::size_t c = 0; c < kChannels; ++c) {
                s = s * 6364136223846793005ULL + 1442695040888963407ULL;
                const double noise = (static_cast<double>(s >> 40) / 16777216.0 - 0.5) * 0.05;
                const double period = c == 0 ? 20000.0 : 20000.0 / 60;
                const double x = static_cast<double>(f) + 37.0 * c;
                const double u = (x - period * std::round(x / period)) / (c == 0 ? 40.0 : 6.0);
                const double v = u * std::exp(0.5 * (1 - u * u)) + noise;
                f32[f * kChannels + c] = static_cast<float>(v);
                i16[f * kChannels + c] = static_cast<std::int16_t>(std::lround(v * 20000));
            }
        const char *formats[2] = {"int16", "float32"};
        for (int k = 0; k < 2; ++k) {
            const auto bin = out.dir / (std::string(formats[k]) + ".bin");
            std::ofstream(bin, std::ios::binary)
                .write(k == 0 ? reinterpret_cast<const char *>(i16.data())
                              : reinterpret_cast<const char *>(f32.data()),
                       static_cast<std::streamsize>(kFrames * kChannels * (k == 0 ? 2 : 4)));
            out.sidecar[k] = out.dir / (std::string(formats[k]) + ".json");
            std::ofstream(out.sidecar[k])
                << R"({"format": ")" << formats[k] << R"(", "rate": 1e7, "channels": 4, "scale": )"
                << (k == 0 ? "0.00005" : "1") << ", \"data\": \"" << bin.filename().string() << "\"}";
        }
        return out;
    }();
    return w;
}

// Reads the data file in the conversion's blocks, touching nothing.
double plainReadSeconds(const std::filesystem::path &bin)
{
    std::vector<char> buf(std::size_t{1} << 20);
    return bench::bestSecondsOf([&] {
        const int fd = ::open(bin.c_str(), O_RDONLY);
        off_t at = 0;
        for (ssize_t n; (n = ::pread(fd, buf.data(), buf.size(), at)) > 0; at += n)
            benchmark::DoNotOptimize(buf.data());
        ::close(fd);
    });
}

// Args: format (0 int16, 1 float32), threads, percent levels (two passes).
void BM_Trigger(benchmark::State &state)
{
    const Workload &w = workload();
    const int format = static_cast<int>(state.range(0));
    const auto threads = static_cast<unsigned>(state.range(1));
    const bool percent = state.range(2) != 0;
    const auto bin = w.sidecar[format].parent_path() / (format == 0 ? "int16.bin" : "float32.bin");
    const double read = plainReadSeconds(bin);
    toa::ToaOptions o;
    o.inputs = {w.sidecar[format]};
    o.out = w.dir / "out.bld";
    o.writeLfm = false;
    o.threads = threads;
    o.recordDate = 45000;
    if (percent) {
        o.thresholds = {toa::Level{50, true}};
    } else {
        o.thresholds = {toa::Level{0, false}};
        o.hysteresis = toa::Level{0.3, false};
    }
    double total = 0;
    std::uint64_t records = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        records = toa::convertSignals(o).records;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double seconds = total / static_cast<double>(state.iterations());
    const double samples = static_cast<double>(kFrames * kChannels);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFrames * kChannels));
    state.counters["share_of_read"] = read / seconds;
    state.counters["samples_per_s"] = samples / seconds;
    state.counters["per_core"] = samples / seconds / threads;
    state.counters["read_samples_per_s"] = samples / read;
    state.counters["records"] = static_cast<double>(records);
}

} // namespace

BENCHMARK(BM_Trigger)
    ->ArgNames({"float", "threads", "percent"})
    ->Args({0, 1, 0})
    ->Args({0, 2, 0})
    ->Args({1, 1, 0})
    ->Args({1, 2, 0})
    ->Args({0, 2, 1})
    ->Args({1, 2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_MAIN();
