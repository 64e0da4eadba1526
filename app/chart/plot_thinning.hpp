// Which points of a long curve a chart series receives. A series takes at
// most about `limit` points: the curve is sampled with the smallest integer
// step that keeps (n - 2) div step within the limit. The last point is never
// taken and curves of three points or fewer give nothing; these are the
// drawing rules the plots were always made with, so we keep them.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace vibrolan::app {

inline constexpr std::size_t kPlotPointLimit = 100000;

struct ThinPlan {
    std::size_t step = 0;  // 0: nothing is drawn
    std::size_t count = 0; // points taken: indexes step * k, k = 0 .. count - 1
    bool reverse = false;  // added from the last taken point back to the first
};

// xAt(i) gives the x value of point i; it is read at two indexes only.
ThinPlan PlanThinning(std::size_t n, const std::function<float(std::size_t)> &xAt,
                      std::size_t limit = kPlotPointLimit);

// The source indexes in the order they are added to the series.
std::vector<std::size_t> ThinnedIndices(const ThinPlan &plan);

} // namespace vibrolan::app
