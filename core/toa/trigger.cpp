#include "toa/trigger.hpp"

#include <algorithm>
#include <cmath>

namespace vibrolan::toa {

namespace {

constexpr std::int64_t kChunk = 32;

// The first i in [i, to) with p[i] >= level, else `to`. Whole chunks are
// tested with a branch-free comparison the compiler turns into vector code;
// the pulses are sparse, so almost every chunk is passed over at once.
std::int64_t findAtOrAbove(const float *p, std::int64_t i, std::int64_t to, float level)
{
    for (; i + kChunk <= to; i += kChunk) {
        int any = 0;
        for (std::int64_t k = 0; k < kChunk; ++k)
            any |= p[i + k] >= level ? 1 : 0;
        if (any != 0)
            break;
    }
    for (; i < to; ++i)
        if (p[i] >= level)
            return i;
    return to;
}

// The first i in [i, to) with p[i] < level, else `to`.
std::int64_t findBelow(const float *p, std::int64_t i, std::int64_t to, float level)
{
    for (; i + kChunk <= to; i += kChunk) {
        int any = 0;
        for (std::int64_t k = 0; k < kChunk; ++k)
            any |= p[i + k] < level ? 1 : 0;
        if (any != 0)
            break;
    }
    for (; i < to; ++i)
        if (p[i] < level)
            return i;
    return to;
}

} // namespace

float *SampleWindow::extend(std::int64_t settledUpTo, std::size_t n)
{
    const std::int64_t from = std::clamp<std::int64_t>(settledUpTo - keep_, begin_, end());
    const auto drop = static_cast<std::size_t>(from - begin_);
    std::copy(data_.begin() + static_cast<std::ptrdiff_t>(drop),
              data_.begin() + static_cast<std::ptrdiff_t>(used_), data_.begin());
    used_ -= drop;
    begin_ = from;
    if (data_.size() < used_ + n)
        data_.resize(used_ + n); // grows to its largest size once; no filling after that
    float *room = data_.data() + used_;
    used_ += n;
    return room;
}

void SampleWindow::advance(std::int64_t settledUpTo, std::span<const float> block)
{
    std::copy(block.begin(), block.end(), extend(settledUpTo, block.size()));
}

double crossingLinear(float y0, float y1, double level)
{
    const double d = static_cast<double>(y1) - y0;
    const double u = d > 0 ? (level - y0) / d : 1.0;
    return std::clamp(u, 0.0, 1.0);
}

double crossingCubic(float ym1, float y0, float y1, float y2, double level)
{
    // The interpolating cubic through (-1, ym1), (0, y0), (1, y1), (2, y2).
    const double a = ym1, b = y0, c = y1, d = y2;
    const double c0 = b - level;
    const double c1 = -a / 3 - b / 2 + c - d / 6;
    const double c2 = a / 2 - b + c / 2;
    const double c3 = -a / 6 + b / 2 - c / 2 + d / 6;
    auto p = [&](double u) { return ((c3 * u + c2) * u + c1) * u + c0; };
    // p(0) < 0 <= p(1): Newton from the linear estimate, kept inside a
    // bracket that bisection narrows whenever a step would leave it.
    double lo = 0, hi = 1, u = crossingLinear(y0, y1, level);
    for (int it = 0; it < 40; ++it) {
        const double v = p(u);
        if (v < 0)
            lo = u;
        else
            hi = u;
        const double dv = (3 * c3 * u + 2 * c2) * u + c1;
        double next = dv > 0 ? u - v / dv : 0.5 * (lo + hi);
        if (!(next > lo && next < hi))
            next = 0.5 * (lo + hi);
        if (std::fabs(next - u) < 1e-12)
            return next;
        u = next;
    }
    return u;
}

double ChannelTrigger::crossing(const SampleWindow &w, std::int64_t i, double level) const
{
    // y[i-1] < level <= y[i]
    const float y0 = w.at(i - 1), y1 = w.at(i);
    if (t_.interpolation == Interpolation::Cubic && i - 2 >= w.begin() && i + 1 < w.end())
        return static_cast<double>(i - 1) + crossingCubic(w.at(i - 2), y0, y1, w.at(i + 1), level);
    return static_cast<double>(i - 1) + crossingLinear(y0, y1, level);
}

std::optional<double> ChannelTrigger::constantFraction(const SampleWindow &w, std::int64_t peakAt,
                                                       float peak) const
{
    const double level = t_.baseline + *t_.fraction * (static_cast<double>(peak) - t_.baseline);
    const std::int64_t lowest = std::max(w.begin() + 1, peakAt - t_.maxWidth);
    for (std::int64_t k = peakAt; k >= lowest; --k)
        if (w.at(k - 1) < level && w.at(k) >= level)
            return crossing(w, k, level);
    return std::nullopt;
}

void ChannelTrigger::process(const SampleWindow &w, std::int64_t to, std::vector<Arrival> &out)
{
    const float *p = w.data() - w.begin(); // indexed by the global sample number
    const auto level = static_cast<float>(t_.level), rearm = static_cast<float>(t_.rearm);
    std::int64_t i = std::max(next_, w.begin() + 1);
    while (i < to) {
        if (!armed_) {
            i = findBelow(p, std::max(i, deadUntil_), to, rearm);
            if (i >= to)
                break;
            armed_ = true;
            ++i;
            continue;
        }
        i = findAtOrAbove(p, i, to, level);
        if (i >= to)
            break;
        // A pulse: y[i-1] < level <= y[i]. Its peak lies before it falls
        // below the re-arm level, or below the level once it has risen a
        // hysteresis above it (noise on the edge around the level does not
        // end it), or maxWidth on.
        const std::int64_t end = std::min(i + t_.maxWidth, w.end());
        const float clear = level + (level - rearm);
        float peak = p[i];
        std::int64_t peakAt = i;
        for (std::int64_t j = i + 1; j < end && p[j] >= rearm && (p[j] >= level || peak < clear); ++j)
            if (p[j] > peak) {
                peak = p[j];
                peakAt = j;
            }
        // The peak between its samples: the parabola through the highest
        // sample and its neighbours (the constant fraction is taken of it).
        if (peakAt > w.begin() && peakAt + 1 < end) {
            const double a = p[peakAt - 1], b = p[peakAt], c = p[peakAt + 1];
            const double curve = a - 2 * b + c;
            if (b > a && b > c) // a strict top (a flat, clipped one stays as it is)
                peak = static_cast<float>(b - (a - c) * (a - c) / (8 * curve));
        }
        std::optional<double> time =
            t_.fraction ? constantFraction(w, peakAt, peak) : std::optional<double>(crossing(w, i, t_.level));
        if (time)
            out.push_back({*time, peak});
        else
            ++untimed_;
        armed_ = false;
        deadUntil_ = i + t_.minSpacing;
        ++i;
    }
    next_ = std::max(next_, to);
}

} // namespace vibrolan::toa
