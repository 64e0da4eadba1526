// Wall time of a workload for the ratios the benchmarks report.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace vibrolan::bench {

// Best of three runs of `f`, in seconds.
inline double bestSecondsOf(const std::function<void()> &f)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

} // namespace vibrolan::bench
