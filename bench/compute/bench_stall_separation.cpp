// SeparateStall over one sensor pair of kBlades blades x kSamples revolutions
// (a noisy run-down 9000 -> 3000 rev/min). The straightforward way scans the
// whole speed series for every window of every blade; the optimised way finds
// the windows once per pair from suffix extremes. Both are measured in the
// same run; the counter "x_straightforward" is how many times longer the
// straightforward way takes. The results are compared sample for sample.
#include "compute/stall_separation.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

using namespace vibrolan;

namespace {

constexpr std::size_t kBlades = 8;
constexpr std::size_t kSamples = 100000;

struct PairData {
    std::vector<float> speed;
    std::vector<std::vector<float>> stress;
};

const PairData &pairData()
{
    static const PairData data = [] {
        PairData d;
        std::mt19937 rng(2385);
        std::normal_distribution<double> noise(0, 1);
        d.speed.resize(kSamples);
        for (std::size_t i = 0; i < kSamples; ++i)
            d.speed[i] = static_cast<float>(9000 - 6000 * static_cast<double>(i) / kSamples + 4 * noise(rng));
        d.stress.assign(kBlades, std::vector<float>(kSamples));
        for (std::size_t b = 0; b < kBlades; ++b)
            for (std::size_t i = 0; i < kSamples; ++i) {
                const double F = d.speed[i];
                d.stress[b][i] = static_cast<float>(
                    20 + 5 * std::exp(-std::pow((F - 4000 - 300 * b) / 150, 2)) + noise(rng));
            }
        return d;
    }();
    return data;
}

struct PairResult {
    std::vector<std::vector<float>> curve, stall;
    std::vector<std::vector<std::uint32_t>> lists;
    std::int32_t count = 0;
};

PairResult newResult()
{
    PairResult r;
    r.curve.assign(kBlades, std::vector<float>(kSamples));
    r.stall.assign(kBlades, std::vector<float>(kSamples));
    r.lists.assign(kBlades, std::vector<std::uint32_t>(kIntervalListBlock));
    return r;
}

void separatePair(double dN, bool straightforward, PairResult &r)
{
    const PairData &d = pairData();
    const std::span<const float> speed(d.speed);
    TStallPlan shared;
    if (!straightforward)
        shared = PlanStallWindows(speed, dN);
    for (std::size_t b = 0; b < kBlades; ++b) {
        TStallPlan own;
        if (straightforward)
            own = PlanStallWindows(speed, dN, [&](double lo, double hi, TSpeedDirection dir) {
                return FindWindowBounds(speed, lo, hi, dir);
            });
        SeparateStall(d.stress[b], speed, straightforward ? own : shared, r.curve[b], dN, r.count, r.lists[b],
                      kMethodPolynomial, r.stall[b]);
    }
}

double secondsOf(double dN, bool straightforward, PairResult &r)
{
    const auto t0 = std::chrono::steady_clock::now();
    separatePair(dN, straightforward, r);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_SeparateStallPair(benchmark::State &state)
{
    const double dN = static_cast<double>(state.range(0));
    PairResult fast = newResult();
    PairResult plain = newResult();

    double baseline = 1e300;
    for (int k = 0; k < 2; ++k)
        baseline = std::min(baseline, secondsOf(dN, true, plain));

    double total = 0;
    for (auto _ : state) {
        total += secondsOf(dN, false, fast);
        benchmark::DoNotOptimize(fast.curve.data());
    }
    if (fast.curve != plain.curve || fast.stall != plain.stall || fast.lists != plain.lists ||
        fast.count != plain.count) {
        std::fprintf(stderr, "optimised and straightforward window finding disagree (dN = %g)\n", dN);
        std::abort();
    }
    state.counters["windows"] = static_cast<double>(fast.count / 2);
    state.counters["x_straightforward"] = baseline / (total / static_cast<double>(state.iterations()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBlades * kSamples));
}

// The window finding alone: one plain plan per blade against one indexed plan per pair.
void BM_FindWindowsPair(benchmark::State &state)
{
    const double dN = static_cast<double>(state.range(0));
    const std::span<const float> speed(pairData().speed);
    TStallPlan plain;
    double baseline = 1e300;
    for (int k = 0; k < 2; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        for (std::size_t b = 0; b < kBlades; ++b)
            plain = PlanStallWindows(speed, dN, [&](double lo, double hi, TSpeedDirection dir) {
                return FindWindowBounds(speed, lo, hi, dir);
            });
        baseline =
            std::min(baseline, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    TStallPlan fast;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        fast = PlanStallWindows(speed, dN);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(fast.Windows.data());
    }
    state.counters["windows"] = static_cast<double>(fast.Windows.size());
    state.counters["x_straightforward"] = baseline / (total / static_cast<double>(state.iterations()));
}

} // namespace

BENCHMARK(BM_FindWindowsPair)->Arg(200)->Arg(50)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SeparateStallPair)->Arg(200)->Arg(50)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
