#include "chart/plot_thinning.hpp"

namespace vibrolan::app {

ThinPlan PlanThinning(std::size_t n, const std::function<float(std::size_t)> &xAt, std::size_t limit)
{
    ThinPlan plan;
    if (n < 4 || limit == 0)
        return plan;
    const std::size_t span = n - 2;
    // Smallest c >= 1 with span div c <= limit.
    std::size_t c = span / (limit + 1) + 1;
    while (c > 1 && span / (c - 1) <= limit)
        --c;
    while (span / c > limit)
        ++c;
    plan.step = c;
    plan.count = span / c + 1;
    // The direction test reads point number (span div c) itself, not the last
    // taken point; for monotone curves both give the same answer.
    plan.reverse = !(xAt(0) < xAt(span / c));
    return plan;
}

std::vector<std::size_t> ThinnedIndices(const ThinPlan &plan)
{
    std::vector<std::size_t> out;
    out.reserve(plan.count);
    for (std::size_t k = 0; k < plan.count; ++k) {
        const std::size_t j = plan.reverse ? plan.count - 1 - k : k;
        out.push_back(j * plan.step);
    }
    return out;
}

} // namespace vibrolan::app
