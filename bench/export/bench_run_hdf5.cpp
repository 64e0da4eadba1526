// Writing the whole run as one HDF5 file (chunked, shuffle + deflate) against
// writing the same bytes raw (every dataset's values one after the other,
// through a temporary file, fsync and rename, as the HDF5 save does), on the
// run of the simulator's `large` preset (five stages of 80 ... 130 blades,
// two pairs each), its duration scaled by --scale (1 = the full 2000 s run,
// about 300,000 revolutions per pair and 8 GB of series).
//
// Reports both times, the payload and file sizes and the ratio
// "hdf5_vs_raw" = raw time / HDF5 time (1 = as fast as the raw write).
// The recording and the files are written into --dir (default: a temporary
// folder) and deleted afterwards unless --keep is given.
//
//   bench_run_hdf5 [--scale F] [--dir DIR] [--keep]
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "base/unique_fd.hpp"
#include "export/run_hdf5.hpp"
#include "run/processing_run.hpp"
#include "scratch_options.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vibrolan;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// CPU seconds of the process so far (all threads).
double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// The raw counterpart of the HDF5 file: the same values, written in one
// stream through a temporary file that is synced and renamed into place.
class RawWriter {
public:
    explicit RawWriter(std::filesystem::path file) : file_(std::move(file)), temp_(file_.string() + ".tmp")
    {
        fd_ = UniqueFd(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd_.get() < 0)
            throw std::runtime_error("cannot create " + temp_.string());
        buffer_.reserve(kBuffer);
    }
    template <class T> void put(const T *v, std::size_t n)
    {
        const auto *p = reinterpret_cast<const char *>(v);
        std::size_t bytes = n * sizeof(T);
        total_ += bytes;
        while (bytes > 0) {
            const std::size_t take = std::min(bytes, kBuffer - buffer_.size());
            buffer_.insert(buffer_.end(), p, p + take);
            p += take;
            bytes -= take;
            if (buffer_.size() == kBuffer)
                flush();
        }
    }
    void commit()
    {
        flush();
        if (::fsync(fd_.get()) != 0 || ::close(fd_.release()) != 0 ||
            ::rename(temp_.c_str(), file_.c_str()) != 0)
            throw std::runtime_error("cannot write " + file_.string());
    }
    std::uint64_t total() const { return total_; }

private:
    static constexpr std::size_t kBuffer = std::size_t{8} << 20;
    void flush()
    {
        std::size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t w = ::write(fd_.get(), buffer_.data() + done, buffer_.size() - done);
            if (w <= 0)
                throw std::runtime_error("cannot write " + temp_.string());
            done += static_cast<std::size_t>(w);
        }
        buffer_.clear();
    }
    std::filesystem::path file_, temp_;
    UniqueFd fd_;
    std::vector<char> buffer_;
    std::uint64_t total_ = 0;
};

// Every value the HDF5 file holds, in its order.
std::uint64_t writeRaw(const TCfgDfm &cfg, const std::vector<std::pair<int, int>> &pairs,
                       const std::filesystem::path &file)
{
    RawWriter raw(file);
    std::vector<float> row;
    for (const auto &[s, p] : pairs) {
        const TStage &st = cfg.Stages[static_cast<std::size_t>(s)];
        const TPair &pair = st.Pairs[static_cast<std::size_t>(p)];
        const auto n = static_cast<std::size_t>(std::max(pair.Size, 0));
        raw.put(pair.Time.data(), n);
        raw.put(pair.Freq.data(), n);
        if (pair.UTS_Time.size() >= n)
            raw.put(pair.UTS_Time.data(), n);
        row.resize(n);
        for (std::size_t b = 0; b < st.CountBlade; ++b) {
            const auto a = pair.AmplSeries(b);
            for (std::size_t i = 0; i < n; ++i)
                row[i] = a[i] + pair.MiddleLine[b][i];
            raw.put(row.data(), n);
        }
        for (const auto *kind :
             {&pair.MiddleLine, &pair.Velocity, &pair.Stress, &pair.ResonanceCurve, &pair.StallingOscill})
            for (std::size_t b = 0; b < st.CountBlade; ++b)
                raw.put((*kind)[b].data(), n);
        for (const auto *stat : {&pair.Mean, &pair.RMS, &pair.lopmin, &pair.lopmax})
            raw.put(stat->data(), st.CountBlade);
    }
    raw.commit();
    return raw.total();
}

} // namespace

int main(int argc, char **argv)
{
    const auto options = bench::parseScratchOptions(argc, argv, "bench_run_hdf5", "--scale", 1.0);
    if (!options)
        return 2;
    const double scale = options->size;
    std::filesystem::path dir = options->dir;
    const bool keep = options->keep;
    if (!(scale > 0) || scale > 1) {
        std::fprintf(stderr, "bench_run_hdf5: --scale must lie in (0, 1]\n");
        return 2;
    }
    const bool ownDir = dir.empty();
    if (ownDir)
        dir = std::filesystem::temp_directory_path() / ("vibrolan-bench-hdf5-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    int status = 0;
    try {
        auto t0 = Clock::now();
        sim::SimulationOptions opt;
        opt.outDir = dir;
        opt.name = "large";
        opt.truth = false;
        const auto sc = sim::scaledDuration(sim::preset("large"), scale);
        const sim::SimulationResult sim = sim::simulate(sc, opt);
        std::printf("recording: %.1f s, %llu records, generated in %.1f s\n", sc.durationS,
                    static_cast<unsigned long long>(sim.records), since(t0));

        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(sim.lfm);
        NullMessageSink sink;
        TRunInputs inputs;
        inputs.CfgFileName = sim.lfm;
        t0 = Clock::now();
        const TRunResult run = ProcessingRun(cfg, inputs, sink, NumberFormat{});
        std::printf("run: %zu pairs in %.1f s\n", run.CheckedPairs.size(), since(t0));
        // The recording is not needed any more: its pages leave the cache.
        if (!keep)
            std::filesystem::remove(sim.bld);

        TRunHdf5Info info;
        info.ProgramVersion = "bench";
        info.ConfigFile = sim.lfm;
        info.TickPeriod = run.TickPeriod;
        info.RevCount = run.RevCount;
        info.Pairs = run.CheckedPairs;
        const auto h5 = dir / "large.h5";
        const auto rawFile = dir / "large.raw";
        // Raw first and last, the HDF5 file between: neither profits from the other's cache.
        t0 = Clock::now();
        const std::uint64_t bytes = writeRaw(cfg, run.CheckedPairs, rawFile);
        const double raw1 = since(t0);
        t0 = Clock::now();
        const double cpu0 = cpuSeconds();
        SaveRunHdf5(cfg, info, h5);
        const double hdf5 = since(t0);
        const double hdf5Cpu = cpuSeconds() - cpu0;
        t0 = Clock::now();
        writeRaw(cfg, run.CheckedPairs, rawFile);
        const double raw2 = since(t0);
        const double raw = std::min(raw1, raw2);
        const auto fileBytes = std::filesystem::file_size(h5);
        std::printf("payload: %.1f MB; HDF5 file %.1f MB (%.0f %% of the payload)\n",
                    static_cast<double>(bytes) / 1e6, static_cast<double>(fileBytes) / 1e6,
                    100.0 * static_cast<double>(fileBytes) / static_cast<double>(bytes));
        std::printf("raw write: %.2f s (%.0f MB/s); HDF5 write: %.2f s (%.0f MB/s of payload)\n", raw,
                    static_cast<double>(bytes) / 1e6 / raw, hdf5, static_cast<double>(bytes) / 1e6 / hdf5);
        std::printf("HDF5 write: %.2f CPU seconds on %u hardware threads\n", hdf5Cpu,
                    std::thread::hardware_concurrency());
        std::printf("hdf5_vs_raw: %.2f (goal >= 0.50)\n", raw / hdf5);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_run_hdf5: %s\n", e.what());
        status = 1;
    }
    if (!keep) {
        std::error_code ec;
        if (ownDir)
            std::filesystem::remove_all(dir, ec);
        else
            for (const char *f : {"large.h5", "large.raw", "large.bld", "large.lfm"})
                std::filesystem::remove(dir / f, ec);
    }
    return status;
}
