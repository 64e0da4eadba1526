// PolyFit of order 2 on 10^3 .. 10^6 points, timed next to two baselines run on
// the same data in the same process: the plain loop that forms the
// normal-equation sums of a quadratic, and a memcpy of x and y. The counters
// give PolyFit's time as a multiple of each.
//
// GenLSFitAgreement fits a noisy quadratic on 10^6 points with every algorithm
// and reports the largest relative difference of the coefficients from an
// independent solution (normal equations in long double).
#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Data {
    std::vector<double> x, y;
    explicit Data(std::size_t n)
    {
        std::mt19937_64 gen(2385);
        std::uniform_real_distribution<double> xs(-1.7, 2.3);
        std::normal_distribution<double> noise(0.0, 0.21);
        for (std::size_t i = 0; i < n; ++i) {
            x.push_back(xs(gen));
            y.push_back(0.913 - 1.742 * x.back() + 0.388 * x.back() * x.back() + noise(gen));
        }
    }
};

template <class F> double bestSeconds(int repeats, F &&f)
{
    double best = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

// The sums a quadratic normal-equation solver needs: x^0..x^4 and x^0..x^2 * y.
void normalSums(const Data &d, double *sums)
{
    double s[8] = {};
    for (std::size_t i = 0; i < d.x.size(); ++i) {
        const double x = d.x[i];
        const double x2 = x * x;
        s[0] += x;
        s[1] += x2;
        s[2] += x2 * x;
        s[3] += x2 * x2;
        s[4] += d.y[i];
        s[5] += x * d.y[i];
        s[6] += x2 * d.y[i];
    }
    std::memcpy(sums, s, sizeof s);
}

void PolyFitQuadratic(benchmark::State &state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const Data d(n);
    std::vector<double> fitted(n), coef(3), copy(2 * n), sums(8);
    double mse = 0.0;

    const double sumsSeconds = bestSeconds(5, [&] {
        normalSums(d, sums.data());
        benchmark::DoNotOptimize(sums.data());
    });
    const double copySeconds = bestSeconds(5, [&] {
        std::memcpy(copy.data(), d.x.data(), n * sizeof(double));
        std::memcpy(copy.data() + n, d.y.data(), n * sizeof(double));
        benchmark::DoNotOptimize(copy.data());
    });

    double fitSeconds = 1e300;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const int32_t status =
            PolyFit(d.x.data(), d.y.data(), static_cast<int32_t>(n), 2, fitted.data(), coef.data(), &mse);
        fitSeconds = std::min(fitSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
        if (status != SM_NO_ERROR)
            state.SkipWithError(GetAnalysisErrorString(status));
        benchmark::DoNotOptimize(coef.data());
    }
    state.counters["fit_ms"] = fitSeconds * 1e3;
    state.counters["x_sums"] = fitSeconds / sumsSeconds;
    state.counters["x_memcpy"] = fitSeconds / copySeconds;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(PolyFitQuadratic)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

void GenLSFitAgreement(benchmark::State &state)
{
    const int32_t algorithm = static_cast<int32_t>(state.range(0));
    const std::size_t n = 1000000;
    const std::size_t k = 3;
    const Data d(n);
    std::vector<double> h(n * k);
    for (std::size_t i = 0; i < n; ++i) {
        h[i * k] = 1.0;
        h[i * k + 1] = d.x[i];
        h[i * k + 2] = d.x[i] * d.x[i];
    }
    // Independent reference: normal equations in long double, Cramer's rule.
    long double a[3][3] = {}, b[3] = {};
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t r = 0; r < k; ++r) {
            for (std::size_t c = 0; c < k; ++c)
                a[r][c] += (long double)h[i * k + r] * h[i * k + c];
            b[r] += (long double)h[i * k + r] * d.y[i];
        }
    auto det = [](long double m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const long double d0 = det(a);
    long double ref[3];
    for (std::size_t j = 0; j < k; ++j) {
        long double m[3][3];
        std::memcpy(m, a, sizeof m);
        for (std::size_t r = 0; r < k; ++r)
            m[r][j] = b[r];
        ref[j] = det(m) / d0;
    }

    std::vector<double> fitted(n), coef(k);
    double mse = 0.0;
    for (auto _ : state) {
        const int32_t status =
            GenLSFit(h.data(), static_cast<int32_t>(n), static_cast<int32_t>(k), d.y.data(), nullptr,
                     algorithm, fitted.data(), coef.data(), nullptr, &mse);
        if (status != SM_NO_ERROR)
            state.SkipWithError(GetAnalysisErrorString(status));
    }
    double diff = 0.0, scale = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
        diff = std::max(diff, (double)std::fabs(coef[j] - ref[j]));
        scale = std::max(scale, (double)std::fabs(ref[j]));
    }
    state.counters["max_rel_err"] = diff / scale;
}
BENCHMARK(GenLSFitAgreement)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
