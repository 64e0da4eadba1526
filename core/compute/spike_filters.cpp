#include "compute/spike_filters.hpp"

#include <cmath>

namespace vibrolan {

namespace {

// Replaces the points p[from .. to] lying farther than hi from the mean of the
// anchors a and b, provided the anchors agree within hi.
void filterWindow(std::span<float> p, float a, float b, std::size_t from, std::size_t to, double hi,
                  std::size_t &changed)
{
    if (!(std::fabs(static_cast<double>(b) - static_cast<double>(a)) <= hi))
        return;
    const double f = (static_cast<double>(a) + static_cast<double>(b)) / 2;
    const float fs = static_cast<float>(f);
    for (std::size_t k = from; k <= to; ++k) {
        if (std::fabs(static_cast<double>(p[k]) - f) > hi) {
            if (p[k] != fs)
                ++changed;
            p[k] = fs;
        }
    }
}

} // namespace

TSpikeFilterResult SuppressSpikesCounted(std::span<float> p, std::uint16_t W, double Lo, double Hi)
{
    TSpikeFilterResult r;
    r.Code = (Lo < Hi) ? kSpikesDone : kSpikesLevelsOutOfOrder;
    const std::size_t n = p.size();
    if (n == 0)
        return r;
    const std::size_t m = W & kPointWordLength;
    const std::size_t e = m + 1;

    // Head windows: the near anchor is always p[0]; the far anchor p[j]
    // (j = i + e for i = -m .. 0, i.e. j = 1 .. e) must lie inside the series.
    for (std::size_t j = 1; j <= e && j < n; ++j)
        filterWindow(p, p[0], p[j], 0, j - 1, Hi, r.Changed);

    // Inner windows: anchors p[i] and p[i + e], points strictly between.
    if (n > e) {
        for (std::size_t i = 0; i + e <= n - 1; ++i)
            filterWindow(p, p[i], p[i + e], i + 1, i + m, Hi, r.Changed);
    }

    // Tail windows: the far anchor is the last sample.
    if (n > e) {
        for (std::size_t i = n - e; i <= n - 2; ++i)
            filterWindow(p, p[i], p[n - 1], i + 1, n - 1, Hi, r.Changed);
    }
    return r;
}

int SuppressSpikes(std::span<float> p, std::uint16_t W, double Lo, double Hi)
{
    return SuppressSpikesCounted(p, W, Lo, Hi).Code;
}

TSpikeFilterResult RepairSpikesCounted(std::span<float> p, double Lo, double Hi)
{
    TSpikeFilterResult r;
    const std::size_t n = p.size();
    if (n == 0)
        return r;
    if (!(Lo < Hi)) {
        r.Code = kSpikesLevelsOutOfOrder;
        return r;
    }
    for (std::size_t i = 0; i + 2 < n; ++i) {
        const double a = p[i];
        const double c = p[i + 2];
        if (std::fabs(static_cast<double>(p[i + 1]) - a) >= Hi && std::fabs(c - a) <= Lo) {
            const float v = static_cast<float>((a + c) / 2);
            if (p[i + 1] != v)
                ++r.Changed;
            p[i + 1] = v;
        }
    }
    return r;
}

int RepairSpikes(std::span<float> p, double Lo, double Hi) { return RepairSpikesCounted(p, Lo, Hi).Code; }

} // namespace vibrolan
