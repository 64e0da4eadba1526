#include "identify/async_spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vibrolan::identify {

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;
}

AsyncWindows MakeAsyncWindows(const StageSamples &st, int size)
{
    AsyncWindows w;
    w.size = size;
    const std::size_t R = st.revolutions();
    w.revolution.resize(R);
    long n = 0;
    for (std::size_t r = 0; r < R; ++r) {
        w.revolution[r] = n;
        n += std::max(1, st.step[r]);
    }
    std::size_t r = 0;
    for (long first = 0; r < R; first += size) {
        const std::size_t from = r;
        while (r < R && w.revolution[r] < first + size)
            ++r;
        if (w.revolution[R - 1] < first + size - 1)
            break; // the tail does not fill a window
        if (r == from)
            continue;
        w.from.push_back(static_cast<int>(from));
        w.to.push_back(static_cast<int>(r));
        w.first.push_back(first);
        w.timeFrom.push_back(st.time[from]);
        w.timeTo.push_back(st.time[r - 1] + 60.0 / st.rpm[r - 1]);
        double rpm = 0;
        for (std::size_t q = from; q < r; ++q)
            rpm += st.rpm[q];
        w.rpm.push_back(rpm / static_cast<double>(r - from));
    }
    w.taper.resize(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        w.taper[static_cast<std::size_t>(i)] = 0.5 * (1 - std::cos(kTwoPi * (i + 0.5) / size));
        w.taperSum += w.taper[static_cast<std::size_t>(i)];
    }
    return w;
}

int PrepareSeries(const AsyncWindows &w, const std::vector<double> &y, std::size_t P, std::size_t k,
                  std::size_t j, std::vector<double> &x, double &sumSq, std::size_t firstRow)
{
    const auto W = static_cast<std::size_t>(w.size);
    x.assign(W, 0.0);
    sumSq = 0;
    const auto from = static_cast<std::size_t>(w.from[j]), to = static_cast<std::size_t>(w.to[j]);
    // Grid revolutions of the window in its slots: every slot when the window
    // holds W of them (their numbers increase within it), else by number.
    const bool everySlot = to - from == W;
    const double *row = y.data() + (from - firstRow) * P + k;
    auto slotOf = [&](std::size_t r) {
        return everySlot ? r - from : static_cast<std::size_t>(w.revolution[r] - w.first[j]);
    };
    // The line through the present samples, over their slots.
    double s0 = 0, s1 = 0, s2 = 0, sy = 0, sxy = 0;
    int present = 0;
    for (std::size_t r = from; r < to; ++r) {
        const double v = row[(r - from) * P];
        if (std::isnan(v))
            continue;
        const auto u = static_cast<double>(slotOf(r));
        s0 += 1;
        s1 += u;
        s2 += u * u;
        sy += v;
        sxy += u * v;
        ++present;
    }
    if (4 * present < 3 * w.size)
        return 0;
    const double det = s0 * s2 - s1 * s1;
    const double slope = det > 0 ? (s0 * sxy - s1 * sy) / det : 0;
    const double icpt = (sy - slope * s1) / s0;
    for (std::size_t r = from; r < to; ++r) {
        const double v = row[(r - from) * P];
        if (std::isnan(v))
            continue;
        const std::size_t u = slotOf(r);
        const double d = v - icpt - slope * static_cast<double>(u);
        sumSq += d * d;
        x[u] = d * w.taper[u];
    }
    return present;
}

RevolutionSpectrum::RevolutionSpectrum(int size) : n_(size), work_(static_cast<std::size_t>(size))
{
    const auto n = static_cast<std::size_t>(size);
    twiddle_.resize(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i)
        twiddle_[i] = std::polar(1.0, -kTwoPi * static_cast<double>(i) / static_cast<double>(n));
    reverse_.resize(n);
    int bits = 0;
    while ((1 << bits) < size)
        ++bits;
    for (int i = 0; i < size; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b))
                r |= 1 << (bits - 1 - b);
        reverse_[static_cast<std::size_t>(i)] = r;
    }
}

void RevolutionSpectrum::transform()
{
    const auto n = static_cast<std::size_t>(n_);
    // Iterative radix-2 decimation in time.
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t half = len / 2, step = n / len;
        for (std::size_t s = 0; s < n; s += len)
            for (std::size_t i = 0; i < half; ++i) {
                const std::complex<double> t = twiddle_[i * step] * work_[s + i + half];
                work_[s + i + half] = work_[s + i] - t;
                work_[s + i] += t;
            }
    }
}

void RevolutionSpectrum::addPower(const std::vector<double> &x, double *power)
{
    const auto n = static_cast<std::size_t>(n_);
    for (std::size_t i = 0; i < n; ++i)
        work_[static_cast<std::size_t>(reverse_[i])] = x[i];
    transform();
    for (std::size_t i = 0; i <= n / 2; ++i)
        power[i] += std::norm(work_[i]);
}

void RevolutionSpectrum::addPowers(const std::vector<double> &a, const std::vector<double> &b, double *powerA,
                                   double *powerB)
{
    const auto n = static_cast<std::size_t>(n_);
    for (std::size_t i = 0; i < n; ++i)
        work_[static_cast<std::size_t>(reverse_[i])] = {a[i], b[i]};
    transform();
    // Z = A + i B with A, B the transforms of real series: A_i = (Z_i + conj Z_{n-i}) / 2,
    // B_i = (Z_i - conj Z_{n-i}) / 2i.
    for (std::size_t i = 0; i <= n / 2; ++i) {
        const std::complex<double> z = work_[i], w = std::conj(work_[(n - i) % n]);
        powerA[i] += 0.25 * std::norm(z + w);
        powerB[i] += 0.25 * std::norm(z - w);
    }
}

std::complex<double> TransformAt(const std::vector<double> &x, double alpha)
{
    return TransformAt(x, std::polar(1.0, -kTwoPi * alpha));
}

std::complex<double> TransformAt(const std::vector<double> &x, std::complex<double> step)
{
    std::complex<double> ph = 1, sum = 0;
    for (double v : x) {
        sum += v * ph;
        ph *= step;
    }
    return sum;
}

} // namespace vibrolan::identify
