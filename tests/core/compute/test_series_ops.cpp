#include "base/errors.hpp"
#include "compute/series_ops.hpp"
#include "compute/sort_by_keys.hpp"
#include "compute/split_at.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

using namespace vibrolan;

TEST(SeriesOps, ElementWiseOperations)
{
    const std::vector<float> a{1.5f, -2.25f, 3};
    const std::vector<float> d{0.5f, 2.25f, -7};
    std::vector<float> out(3);

    AddSeries(a, d, out);
    EXPECT_EQ(out, (std::vector<float>{2, 0, -4}));
    SubConst(a, 1.5f, out);
    EXPECT_EQ(out, (std::vector<float>{0, -3.75f, 1.5f}));
    AbsDiff(a, d, out);
    EXPECT_EQ(out, (std::vector<float>{1, 4.5f, 10}));
    ScaleSeries(a, -2.0, out);
    EXPECT_EQ(out, (std::vector<float>{-3, 4.5f, -6}));

    // In place, as the shrouded computation uses it.
    std::vector<float> inPlace = a;
    ScaleSeries(inPlace, 0.5, inPlace);
    EXPECT_EQ(inPlace, (std::vector<float>{0.75f, -1.125f, 1.5f}));

    const std::vector<float> shortInput{1};
    EXPECT_THROW(AddSeries(shortInput, d, out), ValueError);
    EXPECT_THROW(AbsDiff(a, shortInput, out), ValueError);
}

TEST(SeriesOps, CorrelateWithoutMeanRemoval)
{
    const std::vector<float> a{1, 2, 3};
    const std::vector<float> twice{2, 4, 6};
    const std::vector<float> opposite{-1, -2, -3};
    const std::vector<float> orthogonal{2, -1, 0};
    const std::vector<float> shifted{11, 12, 13};
    const std::vector<float> zero{0, 0, 0};

    EXPECT_DOUBLE_EQ(Correlate(a, twice, 3), 1.0);
    EXPECT_DOUBLE_EQ(Correlate(a, opposite, 3), -1.0);
    EXPECT_DOUBLE_EQ(Correlate(a, orthogonal, 3), 0.0);
    // No mean is removed: a shifted copy is not perfectly correlated.
    EXPECT_NEAR(Correlate(a, shifted, 3), 74.0 / (std::sqrt(14.0) * std::sqrt(434.0)), 1e-12);
    // Zero denominator.
    EXPECT_EQ(Correlate(zero, a, 3), 1000000.0);
    EXPECT_EQ(Correlate(a, zero, 3), 1000000.0);
    EXPECT_EQ(Correlate(a, a, 0), 1000000.0);
    // Only the first n samples count.
    EXPECT_DOUBLE_EQ(Correlate(a, orthogonal, 1), 1.0);
    EXPECT_THROW(Correlate(a, a, 4), ValueError);
}

TEST(SeriesOps, ClampToSingleEdges)
{
    const float tiny = std::numeric_limits<float>::denorm_min();
    struct Case {
        double x;
        float expected;
    };
    const Case cases[] = {
        {-3, tiny},
        {0, tiny},
        {-0.0, tiny},
        {std::numeric_limits<double>::quiet_NaN(), tiny},
        {-std::numeric_limits<double>::infinity(), tiny},
        {1e-46, tiny},
        {1.401298464324817e-45, tiny},
        {1.0 / 3, 1.0f / 3},
        {1e30, 1e30f},
        {3.4028235e38, FLT_MAX},
        {3.5e38, FLT_MAX},
        {1e300, FLT_MAX},
        {std::numeric_limits<double>::infinity(), FLT_MAX},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(ClampToSingle(c.x), c.expected);
    }
}

TEST(SortByKeys, OrderAndTies)
{
    struct Case {
        const char *name;
        std::vector<std::int32_t> data;
        std::vector<std::uint16_t> keys;
        std::vector<std::int32_t> expected;
    };
    const Case cases[] = {
        {"empty", {}, {}, {}},
        {"single", {7}, {3}, {7}},
        {"reversed", {10, 20, 30, 40}, {4, 3, 2, 1}, {40, 30, 20, 10}},
        {"already ordered", {10, 20, 30}, {1, 2, 3}, {10, 20, 30}},
        {"equal keys keep their order", {10, 20, 30}, {5, 5, 5}, {10, 20, 30}},
        {"a smaller key passing equal ones reorders them", {1, 2, 3}, {2, 2, 1}, {3, 2, 1}},
        {"full 16-bit keys", {1, 2, 3}, {65535, 0, 32768}, {2, 3, 1}},
        {"extra keys are ignored", {1, 2}, {9, 8, 0}, {2, 1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int32_t> data = c.data;
        const std::vector<std::uint16_t> keysBefore = c.keys;
        SortByKeys(data, c.keys);
        EXPECT_EQ(data, c.expected);
        EXPECT_EQ(c.keys, keysBefore);
    }
    std::vector<std::int32_t> data{1, 2, 3};
    const std::vector<std::uint16_t> tooFew{1, 2};
    EXPECT_THROW(SortByKeys(data, tooFew), ValueError);
}

TEST(SplitAt, FirstOccurrence)
{
    struct Case {
        std::string s;
        char c;
        int pos;
        std::string before, after;
    };
    const Case cases[] = {
        {"12.5", '.', 3, "12", "5"},
        {"1.2.3", '.', 2, "1", "2.3"},
        {".5", '.', 1, "", "5"},
        {"5.", '.', 2, "5", ""},
        {"Ступень:2", ':', 15, "Ступень", "2"},
        {"none", '.', 0, "old1", "old2"},
        {"", '.', 0, "old1", "old2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.s);
        std::string before = "old1", after = "old2";
        EXPECT_EQ(SplitAt(c.s, before, after, c.c), c.pos);
        EXPECT_EQ(before, c.before);
        EXPECT_EQ(after, c.after);
    }
}
