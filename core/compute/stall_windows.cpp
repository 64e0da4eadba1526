#include "compute/stall_windows.hpp"

#include "base/errors.hpp"
#include "base/plain_number.hpp"
#include "compute/series_stats.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace vibrolan {

namespace {

// Largest i for which pred(i) holds, given that pred holds on a prefix.
template <typename Pred> std::optional<std::size_t> lastOfPrefix(std::size_t n, Pred pred)
{
    std::size_t lo = 0, hi = n; // first index where pred fails lies in [lo, hi]
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (pred(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0)
        return std::nullopt;
    return lo - 1;
}

} // namespace

TWindowBounds FindWindowBounds(std::span<const float> speed, double bottom, double top, TSpeedDirection dir)
{
    const std::size_t n = speed.size();
    const double middle = (top + bottom) / 2;
    TWindowBounds r;
    if (dir == TSpeedDirection::Falling) {
        r.End = n == 0 ? 0 : n - 1;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = speed[i];
            if (v > top)
                r.Start = i;
            if (v >= bottom)
                r.End = i;
            if (v >= middle)
                r.Mid = i;
        }
    } else {
        r.Start = n == 0 ? 0 : n - 1;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = speed[i];
            if (v <= bottom)
                r.Start = i;
            if (v <= top)
                r.End = i;
            if (v <= middle)
                r.Mid = i;
        }
    }
    return r;
}

TWindowFinder::TWindowFinder(std::span<const float> speed)
    : n_(speed.size()), suffixMax_(speed.size() + 1), suffixMin_(speed.size() + 1)
{
    suffixMax_[n_] = -std::numeric_limits<float>::infinity();
    suffixMin_[n_] = std::numeric_limits<float>::infinity();
    for (std::size_t i = n_; i-- > 0;) {
        // A NaN never satisfies a threshold test, so it must not enter the extremes.
        suffixMax_[i] = speed[i] > suffixMax_[i + 1] ? speed[i] : suffixMax_[i + 1];
        suffixMin_[i] = speed[i] < suffixMin_[i + 1] ? speed[i] : suffixMin_[i + 1];
    }
}

TWindowBounds TWindowFinder::Find(double bottom, double top, TSpeedDirection dir) const
{
    const double middle = (top + bottom) / 2;
    TWindowBounds r;
    // "Last position whose speed passes a threshold" is the last position
    // whose suffix extreme passes it: the suffix extremes are monotone.
    if (dir == TSpeedDirection::Falling) {
        auto lastAbove = [&](double t) {
            return lastOfPrefix(n_, [&](std::size_t i) { return static_cast<double>(suffixMax_[i]) > t; });
        };
        auto lastAtLeast = [&](double t) {
            return lastOfPrefix(n_, [&](std::size_t i) { return static_cast<double>(suffixMax_[i]) >= t; });
        };
        r.Start = lastAbove(top).value_or(0);
        r.End = lastAtLeast(bottom).value_or(n_ == 0 ? 0 : n_ - 1);
        r.Mid = lastAtLeast(middle).value_or(0);
    } else {
        auto lastAtMost = [&](double t) {
            return lastOfPrefix(n_, [&](std::size_t i) { return static_cast<double>(suffixMin_[i]) <= t; });
        };
        r.Start = lastAtMost(bottom).value_or(n_ == 0 ? 0 : n_ - 1);
        r.End = lastAtMost(top).value_or(0);
        r.Mid = lastAtMost(middle).value_or(0);
    }
    return r;
}

void CheckStallStep(double dN)
{
    if (!(dN > 0) || !std::isfinite(dN))
        throw ValueError("the speed step dN must be a positive number of rev/min, got " + PlainGeneral(dN));
}

void CheckStallRange(std::span<const float> speed, double dN)
{
    CheckStallStep(dN);
    if (speed.size() <= 2)
        return;
    const TSeriesStats s = SeriesStats(speed);
    const double windows = (static_cast<double>(s.Max) - static_cast<double>(s.Min)) / dN;
    if (!(windows <= kMaxStallWindows))
        throw ValueError("the rotation speed range " + PlainGeneral(s.Min) + " .. " + PlainGeneral(s.Max) +
                         " rev/min cannot be walked in steps of " + PlainGeneral(dN) + " rev/min");
}

TStallPlan PlanStallWindows(std::span<const float> speed, double dN)
{
    CheckStallRange(speed, dN);
    const TWindowFinder finder(speed);
    return PlanStallWindows(speed, dN, [&finder](double bottom, double top, TSpeedDirection dir) {
        return finder.Find(bottom, top, dir);
    });
}

TStallPlan PlanStallWindows(std::span<const float> speed, double dN, const TWindowFinderFn &find)
{
    CheckStallRange(speed, dN);
    TStallPlan plan;
    const std::size_t n = speed.size();
    plan.n = n;
    if (n <= 2)
        return plan;

    const TSeriesStats s = SeriesStats(speed);
    const double fmin = s.Min;
    const double fmax = s.Max;
    auto addWindow = [&](std::size_t start, std::size_t end, std::size_t mid, std::size_t last) {
        TStallWindow w;
        w.Start = start;
        const std::size_t length = (end > start ? end - start : start - end) + 1;
        w.Count = std::min(length, n - start);
        w.Mid = static_cast<std::uint32_t>(mid);
        w.Last = static_cast<std::uint32_t>(last);
        plan.Windows.push_back(w);
    };
    auto noProgress = [&]() {
        return ValueError("the speed step " + PlainGeneral(dN) + " rev/min is too small for speeds near " +
                          PlainGeneral(fmax) + " rev/min");
    };

    if (s.PosMax < s.PosMin) { // a run-down
        double top = fmax;
        for (;;) {
            double bottom = top - dN;
            const bool last = bottom <= fmin;
            if (last)
                bottom = fmin;
            const TWindowBounds b = find(bottom, top, TSpeedDirection::Falling);
            addWindow(b.Start, b.End, b.Mid, b.End);
            if (last)
                break;
            if (top - dN == top)
                throw noProgress();
            top -= dN;
        }
    } else {
        double low = fmin;
        for (;;) {
            const double bottom = low;
            double top = low + dN;
            const bool last = top > fmax;
            if (last)
                top = fmax;
            const TWindowBounds b = find(bottom, top, TSpeedDirection::Rising);
            // The entry is one before the window's top position; at position 0
            // that would wrap the unsigned list entry, so it stays 0.
            addWindow(b.Start, b.End, b.Mid, b.End == 0 ? 0 : b.End - 1);
            if (last)
                break;
            if (low + dN == low)
                throw noProgress();
            low += dN;
        }
    }
    return plan;
}

} // namespace vibrolan
