// Minimum, maximum, mean and sample RMS deviation of a per-revolution series.
#pragma once

#include <cstddef>
#include <span>

namespace vibrolan {

struct TSeriesStats {
    float Min = 0;
    float Max = 0;
    float Mean = 0;         // rounded to Single; 0 for fewer than two samples
    std::size_t PosMin = 0; // first position of the minimum
    std::size_t PosMax = 0; // first position of the maximum
    float RMS = 0;          // sample standard deviation around the Single mean
};

// Statistics of p. With one sample Min = Max = p[0] and Mean = RMS = 0 (the
// callers rely on a one-sample window having mean 0). An empty series, which
// callers never pass, yields all zeros without reading anything.
TSeriesStats SeriesStats(std::span<const float> p);

} // namespace vibrolan
