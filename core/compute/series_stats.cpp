#include "compute/series_stats.hpp"

#include <cmath>

namespace vibrolan {

TSeriesStats SeriesStats(std::span<const float> p)
{
    TSeriesStats s;
    const std::size_t n = p.size();
    if (n == 0)
        return s;
    s.Min = s.Max = p[0];
    if (n == 1)
        return s;

    double sum = p[0];
    for (std::size_t i = 1; i < n; ++i) {
        sum += p[i];
        // Strict comparisons: ties keep the first position.
        if (p[i] > s.Max) {
            s.Max = p[i];
            s.PosMax = i;
        } else if (p[i] < s.Min) {
            s.Min = p[i];
            s.PosMin = i;
        }
    }
    s.Mean = static_cast<float>(sum / static_cast<double>(n));

    const double mean = s.Mean; // the stored Single mean, as the deviations use it
    double squares = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(p[i]) - mean;
        squares += d * d;
    }
    s.RMS = static_cast<float>(std::sqrt(squares / static_cast<double>(n - 1)));
    return s;
}

} // namespace vibrolan
