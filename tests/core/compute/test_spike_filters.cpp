#include "compute/spike_filters.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace vibrolan;

namespace {

struct SuppressCase {
    const char *name;
    std::vector<float> in;
    std::uint16_t W;
    double lo, hi;
    std::vector<float> out;
    int code;
};

} // namespace

TEST(SuppressSpikes, WindowsAtHeadInnerAndTail)
{
    const SuppressCase cases[] = {
        {"inner spike between agreeing anchors", {0, 10, 0, 0}, 1, 0, 1, {0, 0, 0, 0}, 0},
        {"anchors that disagree protect the step", {0, 10, 10, 10}, 1, 0, 1, {0, 10, 10, 10}, 0},
        {"equal levels still filter, code -1", {0, 10, 0, 0}, 1, 1, 1, {0, 0, 0, 0}, -1},
        {"switch bit is ignored by the routine", {0, 10, 0, 0}, 0x8001, 0, 1, {0, 0, 0, 0}, 0},
        {"two-point burst with m = 2", {1, 1, 8, 9, 1, 1}, 2, 0, 1, {1, 1, 1, 1, 1, 1}, 0},
        {"head window reaching the first sample", {7, 1, 1, 1, 1}, 2, 0, 1, {7, 1, 1, 1, 1}, 0},
        {"head window with a spike after the first sample",
         {1, 9, 1.5f, 1, 1},
         2,
         0,
         1,
         {1, 1.25f, 1.5f, 1, 1},
         0},
        {"tail window catches a spike the inner windows miss",
         {0, 0, 0, 5, 9, 5.5f},
         2,
         0,
         1,
         {0, 0, 0, 5, 5.25f, 5.5f},
         0},
        {"each spike becomes the mean of its anchors",
         {0, 5, 0.5f, 5, 1},
         1,
         0,
         1,
         {0, 0.25f, 0.5f, 0.75f, 1},
         0},
        {"series shorter than a window is left alone", {0, 10}, 3, 0, 1, {0, 10}, 0},
        {"m = 0 has no points between anchors", {0, 10, 0}, 0, 0, 1, {0, 10, 0}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> p = c.in;
        EXPECT_EQ(SuppressSpikes(p, c.W, c.lo, c.hi), c.code);
        EXPECT_EQ(p, c.out);
    }
}

TEST(SuppressSpikes, EmptySeriesAndChangeCount)
{
    std::vector<float> empty;
    EXPECT_EQ(SuppressSpikes(empty, 3, 0, 1), 0);

    std::vector<float> p{0, 10, 0, 0, 20, 0};
    const auto r = SuppressSpikesCounted(p, 1, 0, 1);
    EXPECT_EQ(r.Changed, 2u);
    // A filtered series is left as it is by a second pass.
    EXPECT_EQ(SuppressSpikesCounted(p, 1, 0, 1).Changed, 0u);
}

TEST(RepairSpikes, ThresholdsAndSinglePointSpikes)
{
    struct Case {
        const char *name;
        std::vector<float> in;
        double lo, hi;
        std::vector<float> out;
        int code;
    };
    const Case cases[] = {
        {"isolated spike becomes the neighbours' mean", {1, 5, 1.2f}, 0.5, 2, {1, 1.1f, 1.2f}, 0},
        {"jump of exactly Hi counts, neighbours exactly Lo apart count",
         {1, 3, 1.5f},
         0.5,
         2,
         {1, 1.25f, 1.5f},
         0},
        {"jump below Hi stays", {1, 2.9f, 1}, 0.5, 2, {1, 2.9f, 1}, 0},
        {"a persisting step stays", {1, 5, 5, 5}, 0.5, 2, {1, 5, 5, 5}, 0},
        {"levels out of order leave the series", {1, 5, 1.2f}, 2, 0.5, {1, 5, 1.2f}, -1},
        {"equal levels leave the series", {1, 5, 1.2f}, 2, 2, {1, 5, 1.2f}, -1},
        {"two samples cannot hold a spike", {1, 5}, 0.5, 2, {1, 5}, 0},
        {"empty series returns 0 even with bad levels", {}, 2, 0.5, {}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> p = c.in;
        EXPECT_EQ(RepairSpikes(p, c.lo, c.hi), c.code);
        ASSERT_EQ(p.size(), c.out.size());
        for (std::size_t i = 0; i < p.size(); ++i)
            EXPECT_FLOAT_EQ(p[i], c.out[i]) << "at " << i;
    }
}
