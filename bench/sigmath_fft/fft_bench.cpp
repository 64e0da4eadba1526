// FFT and ReFFT of 2^20 points against a straightforward radix-2 transform
// measured in the same run. The ratio "reference time / library time" is the
// figure of merit; hostrt blocks per call show the working memory taken.
#include "hostrt/hostrt.h"
#include "sigmath/transforms.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr int kLog2 = 20;
constexpr int kN = 1 << kLog2;

std::vector<double> signal(unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-1, 1);
    std::vector<double> v(kN);
    for (double &x : v)
        x = d(gen);
    return v;
}

// Textbook iterative radix-2: bit reversal, then log2(n) passes of butterflies
// with the twiddle factor advanced by a rotation recurrence.
void reference_fft(double *re, double *im, int n)
{
    for (int i = 0, j = 0; i < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
    }
    for (int len = 2; len <= n; len <<= 1) {
        const double ang = -2 * std::numbers::pi / len;
        const double wr_step = std::cos(ang), wi_step = std::sin(ang);
        for (int i = 0; i < n; i += len) {
            double wr = 1, wi = 0;
            for (int k = 0; k < len / 2; ++k) {
                const int a = i + k, b = i + k + len / 2;
                const double tr = re[b] * wr - im[b] * wi, ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
                const double nwr = wr * wr_step - wi * wi_step;
                wi = wr * wi_step + wi * wr_step;
                wr = nwr;
            }
        }
    }
}

void report_blocks(benchmark::State &state, int64_t blocks_before)
{
    state.counters["blocks_left"] = static_cast<double>(hrt_live_blocks() - blocks_before);
    state.SetItemsProcessed(state.iterations() * kN);
}

void BM_ReferenceRadix2_Complex(benchmark::State &state)
{
    const auto re0 = signal(1), im0 = signal(2);
    auto re = re0, im = im0;
    for (auto _ : state) {
        reference_fft(re.data(), im.data(), kN);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kN);
}

void BM_FFT(benchmark::State &state)
{
    const auto re0 = signal(1), im0 = signal(2);
    auto re = re0, im = im0;
    const int64_t live = hrt_live_blocks();
    for (auto _ : state) {
        if (FFT(re.data(), im.data(), kN) != 0)
            state.SkipWithError("FFT failed");
        benchmark::ClobberMemory();
    }
    report_blocks(state, live);
}

// The reference way to a real spectrum: the complex radix-2 transform of the
// signal with a zero imaginary part.
void BM_ReferenceRadix2_Real(benchmark::State &state)
{
    const auto x0 = signal(3);
    std::vector<double> x(kN), y(kN);
    for (auto _ : state) {
        state.PauseTiming();
        x = x0;
        std::fill(y.begin(), y.end(), 0.0);
        state.ResumeTiming();
        reference_fft(x.data(), y.data(), kN);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kN);
}

void BM_ReFFT(benchmark::State &state)
{
    const auto x0 = signal(3);
    std::vector<double> x(kN), y(kN);
    const int64_t live = hrt_live_blocks();
    for (auto _ : state) {
        state.PauseTiming();
        x = x0;
        state.ResumeTiming();
        if (ReFFT(x.data(), y.data(), kN) != 0)
            state.SkipWithError("ReFFT failed");
        benchmark::ClobberMemory();
    }
    report_blocks(state, live);
}

} // namespace

BENCHMARK(BM_ReferenceRadix2_Complex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FFT)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceRadix2_Real)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReFFT)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
