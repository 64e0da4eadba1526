// Unpacking a compressed recording of 10^7 records, against a plain memory
// copy of the unpacked image measured in the same run (ratio "x_memcpy"), and
// the dictionary decoding of one block's channel lane against the
// straightforward linear-search coder (ratio "x_linear_search").
#include "bench_timing.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/bldx_encoder.hpp"
#include "recording/lzw_lex.hpp"
#include "recording/recording_header.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>

using namespace vibrolan;

namespace {

constexpr std::size_t kRecords = 10'000'000;

struct Workload {
    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> image;
};

const Workload &workload()
{
    static const Workload w = [] {
        RecordingHeader h;
        h.RecorderCode = 1200;
        h.channels = {{1, 0, "T", 4}, {2, 0, "R", 0}, {3, 0, "P", 1}};
        std::vector<TIndex> recs;
        recs.reserve(kRecords);
        std::mt19937 rng(1);
        std::uint32_t t = 0;
        // 40 blades on two sensors and a tacho: an irregular but repeating channel pattern.
        for (std::size_t i = 0; i < kRecords; ++i) {
            const std::size_t k = i % 81;
            const std::uint8_t ch = k == 0 ? 0 : static_cast<std::uint8_t>(1 + (k + (rng() % 16 == 0)) % 2);
            t += 900 + rng() % 200;
            recs.push_back({ch, 0, t});
        }
        Workload out;
        out.packed = compressRecords(buildRecordingHeader(h), recs);
        NullMessageSink sink;
        out.image = unpackRecordingImage(out.packed, sink).image;
        return out;
    }();
    return w;
}

using vibrolan::bench::bestSecondsOf;

void BM_MemcpyImage(benchmark::State &state)
{
    const auto &w = workload();
    std::vector<std::uint8_t> copy(w.image.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), w.image.data(), w.image.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}

void BM_UnpackRecording(benchmark::State &state)
{
    const auto &w = workload();
    std::vector<std::uint8_t> copy(w.image.size());
    const double memcpySeconds = bestSecondsOf([&] {
        std::memcpy(copy.data(), w.image.data(), w.image.size());
        benchmark::DoNotOptimize(copy.data());
    });
    NullMessageSink sink;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto r = unpackRecordingImage(w.packed, sink);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(r.image.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / memcpySeconds;
    state.counters["compression"] =
        static_cast<double>(w.image.size()) / static_cast<double>(w.packed.size());
}

// The channel lane of the first block, decoded by the linear-search coder.
std::size_t referenceLane(std::span<const std::uint8_t> lane)
{
    TLzwLex lex;
    for (std::size_t i = 0; i < 12; ++i)
        lex.push(lane[i]);
    std::size_t produced = 12;
    for (std::size_t c = 12; c < lane.size(); ++c) {
        const std::uint8_t q = lane[c];
        for (int j = 0, len = lex.getlength(q); j < len; ++j) {
            lex.Expand(lex.LongestStringCode());
            lex.push(lex.Getsymbol(q, j));
            ++produced;
        }
    }
    return produced;
}

void BM_ChannelLaneFirstBlock(benchmark::State &state)
{
    const auto &w = workload();
    std::uint32_t headLength;
    std::memcpy(&headLength, w.packed.data() + 6, 4);
    const auto view = *parseBldxBlock(std::span(w.packed).subspan(headLength));
    std::vector<std::uint8_t> out(6 * view.records());
    const double linear = bestSecondsOf([&] { benchmark::DoNotOptimize(referenceLane(view.channel)); });
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(decodeBldxBlock(view, out.data()));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * view.records()));
    state.counters["x_linear_search"] = total / static_cast<double>(state.iterations()) / linear;
}

} // namespace

BENCHMARK(BM_MemcpyImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnpackRecording)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChannelLaneFirstBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
