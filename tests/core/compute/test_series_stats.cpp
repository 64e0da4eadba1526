#include "compute/series_stats.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace vibrolan;

namespace {

struct StatsCase {
    const char *name;
    std::vector<float> p;
    float min, max, mean;
    std::size_t posMin, posMax;
    double rms;
};

} // namespace

TEST(SeriesStats, TableOfSeries)
{
    const StatsCase cases[] = {
        {"empty series reads nothing", {}, 0, 0, 0, 0, 0, 0},
        {"one sample has mean 0", {5}, 5, 5, 0, 0, 0, 0},
        {"two samples", {2.5f, -1.5f}, -1.5f, 2.5f, 0.5f, 1, 0, std::sqrt(8.0)},
        {"ties keep the first position", {1, 3, 3, 2}, 1, 3, 2.25f, 0, 1, std::sqrt(2.75 / 3)},
        {"minimum found after a maximum", {4, 9, -2, -2, 9}, -2, 9, 3.6f, 2, 1, std::sqrt(121.2 / 4)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TSeriesStats s = SeriesStats(c.p);
        EXPECT_EQ(s.Min, c.min);
        EXPECT_EQ(s.Max, c.max);
        EXPECT_FLOAT_EQ(s.Mean, c.mean);
        EXPECT_EQ(s.PosMin, c.posMin);
        EXPECT_EQ(s.PosMax, c.posMax);
        EXPECT_NEAR(s.RMS, c.rms, 1e-5 * (1 + c.rms));
    }
}

TEST(SeriesStats, MeanIsRoundedToSingleBeforeTheDeviations)
{
    // 0.1 is not a Single; the deviations must use the stored Single mean, so
    // a constant series has exactly zero spread.
    const std::vector<float> p(1000, 0.1f);
    const TSeriesStats s = SeriesStats(p);
    EXPECT_EQ(s.Mean, 0.1f);
    EXPECT_EQ(s.RMS, 0.0f);
}
