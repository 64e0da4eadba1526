#include "compute/stall_separation.hpp"

#include "base/errors.hpp"
#include "compute/series_ops.hpp"
#include "compute/series_stats.hpp"

#include <sigmath/fit.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace vibrolan {

namespace {

// fits: the windows planned beforehand, or none (each window fitted on its own).
void fitWindows(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
                const TStallFits *fits, std::span<float> curve)
{
    std::vector<double> x, y, fitted;
    std::array<double, 3> coef{};
    double mse = 0;
    for (std::size_t k = 0; k < plan.Windows.size(); ++k) {
        const TStallWindow &w = plan.Windows[k];
        y.assign(stress.begin() + static_cast<std::ptrdiff_t>(w.Start),
                 stress.begin() + static_cast<std::ptrdiff_t>(w.Start + w.Count));
        // A window too short for a quadratic is refused by the fit, which then
        // writes nothing. Handing it the curve as it stands keeps an earlier
        // window's fit there (samples no fit reached read 0, clamped below).
        fitted.assign(curve.begin() + static_cast<std::ptrdiff_t>(w.Start),
                      curve.begin() + static_cast<std::ptrdiff_t>(w.Start + w.Count));
        if (fits) {
            (void)fits->Windows[k].Fit(y.data(), fitted.data(), coef.data(), &mse);
        } else {
            x.assign(speed.begin() + static_cast<std::ptrdiff_t>(w.Start),
                     speed.begin() + static_cast<std::ptrdiff_t>(w.Start + w.Count));
            (void)PolyFit(x.data(), y.data(), static_cast<std::int32_t>(w.Count), 2, fitted.data(),
                          coef.data(), &mse);
        }
        for (std::size_t i = 0; i < w.Count; ++i)
            curve[w.Start + i] = ClampToSingle(fitted[i]);
    }
}

void writeIntervals(const TStallPlan &plan, std::span<const float> curve, std::int32_t &CountInterval,
                    std::vector<std::uint32_t> &intervals)
{
    const std::size_t n = plan.n;
    std::size_t k = 0;
    for (const TStallWindow &w : plan.Windows) {
        if (k + 2 >= intervals.size())
            intervals.resize(intervals.size() + kIntervalListBlock, 0);
        intervals[++k] = w.Mid;
        intervals[++k] = w.Last;
    }
    intervals[0] = 0;
    CountInterval = static_cast<std::int32_t>(k + 1);
    intervals[k] = static_cast<std::uint32_t>(n - 1);

    // Move a window end one sample on when the curve is larger there. An end
    // on the last sample has no next one to compare with and stays.
    for (std::size_t m = 2; m < k; m += 2) {
        const std::size_t pos = intervals[m];
        if (pos + 1 < n && std::fabs(curve[pos + 1]) > std::fabs(curve[pos]))
            intervals[m] = static_cast<std::uint32_t>(pos + 1);
    }
}

void runningMean(std::span<const float> stress, double dN, std::span<float> curve)
{
    const std::size_t n = stress.size();
    const double W = std::nearbyint(dN); // ties to even in the default rounding mode
    const double T = 2 * dN + 1;
    const double lastIndex = static_cast<double>(n - 1);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double di = static_cast<double>(i);
        std::size_t from, to;
        if (di < T) {
            from = 0;
            to = i;
        } else {
            // Here i >= 2*dN + 1 > W, so the window never starts before 0.
            const auto w = static_cast<std::size_t>(W);
            from = i - w;
            to = di > lastIndex - T ? n - 1 : i + w;
        }
        curve[i] = SeriesStats(stress.subspan(from, to - from + 1)).Mean;
    }
}

} // namespace

TStallFits PlanStallFits(std::span<const float> speed, const TStallPlan &plan)
{
    TStallFits fits;
    fits.Windows.reserve(plan.Windows.size());
    for (const TStallWindow &w : plan.Windows)
        fits.Windows.emplace_back(speed.subspan(w.Start, w.Count), 2);
    return fits;
}

namespace {

void separate(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
              const TStallFits *fits, std::span<float> curve, double dN, std::int32_t &CountInterval,
              std::vector<std::uint32_t> &intervals, std::uint16_t method, std::span<float> stall)
{
    CheckStallStep(dN);
    const std::size_t n = stress.size();
    if (speed.size() < n || curve.size() < n || stall.size() < n)
        throw ValueError("SeparateStall: speed, curve or stall series shorter than the stress series");
    if (n <= 2)
        return;

    std::fill(curve.begin(), curve.begin() + static_cast<std::ptrdiff_t>(n), 0.0f);
    if (method == kMethodPolynomial) {
        if (plan.n != n)
            throw ValueError("SeparateStall: the speed windows were found for another series");
        if (fits && fits->Windows.size() != plan.Windows.size())
            throw ValueError("SeparateStall: the window fits were planned for other windows");
        fitWindows(stress, speed, plan, fits, curve);
        writeIntervals(plan, curve, CountInterval, intervals);
    } else {
        runningMean(stress, dN, curve);
    }
    for (std::size_t i = 0; i < n; ++i)
        stall[i] = stress[i] - curve[i];
}

} // namespace

void SeparateStall(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
                   std::span<float> curve, double dN, std::int32_t &CountInterval,
                   std::vector<std::uint32_t> &intervals, std::uint16_t method, std::span<float> stall)
{
    separate(stress, speed, plan, nullptr, curve, dN, CountInterval, intervals, method, stall);
}

void SeparateStall(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
                   const TStallFits &fits, std::span<float> curve, double dN, std::int32_t &CountInterval,
                   std::vector<std::uint32_t> &intervals, std::uint16_t method, std::span<float> stall)
{
    separate(stress, speed, plan, &fits, curve, dN, CountInterval, intervals, method, stall);
}

void SeparateStall(std::span<const float> stress, std::span<const float> speed, std::span<float> curve,
                   double dN, std::int32_t &CountInterval, std::vector<std::uint32_t> &intervals,
                   std::uint16_t method, std::span<float> stall)
{
    CheckStallStep(dN);
    const std::size_t n = stress.size();
    if (speed.size() < n)
        throw ValueError("SeparateStall: speed series shorter than the stress series");
    TStallPlan plan;
    if (method == kMethodPolynomial && n > 2)
        plan = PlanStallWindows(speed.first(n), dN);
    else
        plan.n = n;
    SeparateStall(stress, speed, plan, curve, dN, CountInterval, intervals, method, stall);
}

} // namespace vibrolan
