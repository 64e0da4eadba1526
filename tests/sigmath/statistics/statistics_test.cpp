// Descriptive statistics against long-double two-pass references, the
// median and sort rules, histogram edges, mode ties and the AC/DC estimate.
#include "sigmath/statistics.h"

#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

const std::vector<std::vector<double>> kData{
    {2.385},
    {2.385, -1.17, 9.02, 3.3, 0.001, -4.75, 6.125},
    {1e6 + 0.25, 1e6 - 0.5, 1e6 + 1.75, 1e6 - 2.0},
    {-0.3, -0.7, -0.11, -12.5, -3.0, -0.9},
};

struct Reference {
    long double mean, variance, rms;
    long double moment(const std::vector<double> &x, int order) const
    {
        long double s = 0;
        for (double v : x)
            s += std::pow(static_cast<long double>(v) - mean, order);
        return s / x.size();
    }
};

Reference reference(const std::vector<double> &x)
{
    long double s = 0, s2 = 0;
    for (double v : x) {
        s += v;
        s2 += static_cast<long double>(v) * v;
    }
    Reference r{s / x.size(), 0, std::sqrt(s2 / x.size())};
    long double d2 = 0;
    for (double v : x)
        d2 += (v - r.mean) * (v - r.mean);
    r.variance = d2 / x.size();
    return r;
}

TEST(Moments, AgreeWithTwoPassReference)
{
    for (const auto &x : kData) {
        const auto n = static_cast<int32_t>(x.size());
        const Reference ref = reference(x);
        const double scale = std::max(1.0, static_cast<double>(ref.rms * ref.rms));
        double mean = 0, var = 0, mean2 = 0, sd = 0, rms = 0;
        ASSERT_EQ(Mean(x.data(), n, &mean), 0);
        ASSERT_EQ(Variance(x.data(), n, &mean2, &var), 0);
        EXPECT_EQ(mean2, mean);
        EXPECT_NEAR(mean, static_cast<double>(ref.mean), 1e-15 * scale);
        // One-pass variance loses digits to cancellation: bounded by the squares' rounding.
        EXPECT_NEAR(var, static_cast<double>(ref.variance), 1e-15 * scale);
        ASSERT_EQ(StdDev(x.data(), n, &mean2, &sd), 0);
        EXPECT_NEAR(sd * sd, static_cast<double>(ref.variance), 1e-15 * scale);
        ASSERT_EQ(RMS(x.data(), n, &rms), 0);
        EXPECT_NEAR(rms, static_cast<double>(ref.rms), 1e-15 * std::sqrt(scale));
        for (int order : {1, 2, 3, 4, 7}) {
            double m = 0;
            ASSERT_EQ(Moment(x.data(), n, order, &m), 0);
            const double expected = static_cast<double>(ref.moment(x, order));
            EXPECT_NEAR(m, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << "order " << order;
        }
    }
}

TEST(Moments, ConstantDataAndHighOrders)
{
    const std::vector<double> x(10, 0.1);
    double mean = 0, var = 0, sd = 0;
    ASSERT_EQ(Variance(x.data(), 10, &mean, &var), 0);
    EXPECT_LT(std::fabs(var), 1e-16); // zero or a rounding residue of either sign
    ASSERT_EQ(StdDev(x.data(), 10, &mean, &sd), 0);
    EXPECT_FALSE(std::isnan(sd));
    EXPECT_LT(sd, 1e-8);

    // A very high order must still finish quickly and agree with pow.
    const std::vector<double> y{1.001, 0.999, 1.0025, 0.9975};
    double m = 0;
    ASSERT_EQ(Moment(y.data(), 4, 2000000001, &m), 0);
    EXPECT_EQ(m, 0.0);                                       // |deviation| <= 0.0025 underflows
    const std::vector<double> z{3.485, 1.335, 2.685, 2.035}; // deviations about 1.1, -1.05, 0.3, -0.35
    ASSERT_EQ(Moment(z.data(), 4, 5001, &m), 0);
    const double expected = static_cast<double>(reference(z).moment(z, 5001));
    ASSERT_TRUE(std::isfinite(expected));
    EXPECT_NEAR(m / expected, 1.0, 1e-9);
}

TEST(Median, OddEvenAndInputKept)
{
    struct Case {
        std::vector<double> x;
        double median;
    };
    for (const Case &c : {Case{{3, 1, 2, 4}, 2.5}, Case{{5, 1, 3}, 3.0}, Case{{2.385}, 2.385},
                          Case{{-1.5, 7.25}, 2.875}, Case{{9, -2, 9, 4.5, 0.125, 3}, 3.75}}) {
        const auto copy = c.x;
        double m = 0;
        ASSERT_EQ(Median(c.x.data(), static_cast<int32_t>(c.x.size()), &m), 0);
        EXPECT_EQ(m, c.median);
        EXPECT_EQ(c.x, copy);
    }
}

TEST(Sort, AscendingDescendingInPlaceAndWithNaN)
{
    const std::vector<double> x{2.385, -1.5, 9.0, 0.0, -7.25, 2.385};
    std::vector<double> out(x.size());
    ASSERT_EQ(Sort(x.data(), 6, 0, out.data()), 0);
    EXPECT_EQ(out, (std::vector<double>{-7.25, -1.5, 0.0, 2.385, 2.385, 9.0}));
    ASSERT_EQ(Sort(x.data(), 6, -3, out.data()), 0);
    EXPECT_EQ(out, (std::vector<double>{9.0, 2.385, 2.385, 0.0, -1.5, -7.25}));
    auto inPlace = x;
    ASSERT_EQ(Sort(inPlace.data(), 6, 0, inPlace.data()), 0);
    EXPECT_TRUE(std::is_sorted(inPlace.begin(), inPlace.end()));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> withNaN{3.0, nan, -1.0, nan, 2.0};
    ASSERT_EQ(Sort(withNaN.data(), 5, 0, withNaN.data()), 0);
    EXPECT_EQ(withNaN[0], -1.0);
    EXPECT_EQ(withNaN[1], 2.0);
    EXPECT_EQ(withNaN[2], 3.0);
    EXPECT_TRUE(std::isnan(withNaN[3]) && std::isnan(withNaN[4]));
}

TEST(Histogram, EdgesTopAndOutsideValues)
{
    const std::vector<double> x{0.0, 1.99, 2.0, 5.0, 9.999, 10.0, 10.5, -0.1, 7.3};
    std::vector<int32_t> h(5, -1);
    std::vector<double> axis(5);
    ASSERT_EQ(Histogram(x.data(), 9, 0.0, 10.0, h.data(), axis.data(), 5), 0);
    EXPECT_EQ(axis, (std::vector<double>{1, 3, 5, 7, 9}));
    // 2.0 opens the second interval; 10 (= top) counts in the last; 10.5 and -0.1 are dropped.
    EXPECT_EQ(h, (std::vector<int32_t>{2, 1, 1, 1, 2}));

    // A value just below top whose interval index rounds up to one past the
    // end still counts in the last interval.
    const double below = std::nextafter(1.0, 0.0);
    std::vector<int32_t> h3(3);
    std::vector<double> a3(3);
    ASSERT_EQ(Histogram(&below, 1, -1.0, 1.0, h3.data(), a3.data(), 3), 0);
    EXPECT_EQ(h3, (std::vector<int32_t>{0, 0, 1}));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> odd{nan, std::numeric_limits<double>::infinity(), -1e308, 1e308};
    ASSERT_EQ(Histogram(odd.data(), 4, -1.0, 1.0, h3.data(), a3.data(), 3), 0);
    EXPECT_EQ(h3, (std::vector<int32_t>{0, 0, 0}));
}

TEST(Mode, TiesResolveToTheLowestInterval)
{
    struct Case {
        std::vector<double> x;
        double mode;
    };
    for (const Case &c : {Case{{1.1, 1.2, 5.5, 5.6}, 1.0}, Case{{5.5, 5.6, 1.1, 1.2, 8.8}, 1.0},
                          Case{{8.2, 8.9, 3.0, 8.0}, 9.0}, Case{{-4.0, 12.0}, 1.0}, Case{{10.0}, 9.0}}) {
        double mode = -1;
        ASSERT_EQ(Mode(c.x.data(), static_cast<int32_t>(c.x.size()), 0.0, 10.0, 5, &mode), 0);
        EXPECT_EQ(mode, c.mode);
    }
}

TEST(ACDCEstimator, SineOnOffsetAndConstantRecord)
{
    const int32_t n = 4096;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = 2.385 + 1.75 * std::sin(2 * std::numbers::pi * 37.3 * i / n + 0.4);
    double ac = 0, dc = 0;
    ASSERT_EQ(ACDCEstimator(x.data(), n, &ac, &dc), 0);
    EXPECT_NEAR(ac, 1.75 / std::sqrt(2.0), 2e-3);
    EXPECT_NEAR(dc, 2.385, 2e-3);

    // All samples equal: no AC at all, and never the root of a rounding residue.
    const std::vector<double> flat(10, 0.1);
    ASSERT_EQ(ACDCEstimator(flat.data(), 10, &ac, &dc), 0);
    EXPECT_EQ(ac, 0.0);
    EXPECT_NEAR(dc, 0.1, 1e-15);
}

TEST(Statistics, ArgumentErrorsInOrderWriteNothing)
{
    const std::vector<double> x{1.0, 2.0, 3.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::string name;
        std::function<int32_t(double *, int32_t *)> call;
        int32_t code;
    };
    const std::vector<Case> cases{
        {"Mean", [&](double *r, int32_t *) { return Mean(x.data(), 0, r); }, -20003},
        {"Variance", [&](double *r, int32_t *) { return Variance(x.data(), -1, r, r + 1); }, -20003},
        {"StdDev", [&](double *r, int32_t *) { return StdDev(x.data(), 0, r, r + 1); }, -20003},
        {"RMS", [&](double *r, int32_t *) { return RMS(x.data(), 0, r); }, -20003},
        {"Moment n first", [&](double *r, int32_t *) { return Moment(x.data(), 0, 0, r); }, -20003},
        {"Moment order", [&](double *r, int32_t *) { return Moment(x.data(), 3, 0, r); }, -20021},
        {"Median", [&](double *r, int32_t *) { return Median(x.data(), 0, r); }, -20003},
        {"Sort", [&](double *r, int32_t *) { return Sort(x.data(), 0, 0, r); }, -20003},
        {"ACDC", [&](double *r, int32_t *) { return ACDCEstimator(x.data(), 0, r, r + 1); }, -20003},
        {"Histogram base first",
         [&](double *r, int32_t *h) { return Histogram(x.data(), 0, 2.0, 2.0, h, r, 0); }, -20101},
        {"Histogram NaN base",
         [&](double *r, int32_t *h) { return Histogram(x.data(), 3, nan, 2.0, h, r, 2); }, -20101},
        {"Histogram n", [&](double *r, int32_t *h) { return Histogram(x.data(), 0, 0.0, 2.0, h, r, 2); },
         -20003},
        {"Histogram intervals",
         [&](double *r, int32_t *h) { return Histogram(x.data(), 3, 0.0, 2.0, h, r, 0); }, -20003},
        {"Mode intervals first", [&](double *r, int32_t *) { return Mode(x.data(), 3, 5.0, 1.0, 0, r); },
         -20003},
        {"Mode base", [&](double *r, int32_t *) { return Mode(x.data(), 0, 5.0, 1.0, 2, r); }, -20101},
        {"Mode n", [&](double *r, int32_t *) { return Mode(x.data(), 0, 0.0, 1.0, 2, r); }, -20003},
    };
    for (const auto &c : cases) {
        double results[4] = {2.385, 2.385, 2.385, 2.385};
        int32_t counts[4] = {7, 7, 7, 7};
        const int64_t live = hrt_live_blocks();
        EXPECT_EQ(c.call(results, counts), c.code) << c.name;
        EXPECT_EQ(hrt_live_blocks(), live) << c.name;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(results[i], 2.385) << c.name;
            EXPECT_EQ(counts[i], 7) << c.name;
        }
    }
}

TEST(Statistics, AllocationFailureReturnsNoMemoryAndLeaksNothing)
{
    const std::vector<double> x{2.385, -1.0, 4.0, 0.5};
    struct Case {
        std::string name;
        std::function<int32_t(double *)> call;
        int32_t allocationsBeforeFailure;
    };
    const std::vector<Case> cases{
        {"Median", [&](double *r) { return Median(x.data(), 4, r); }, 0},
        {"ACDCEstimator", [&](double *r) { return ACDCEstimator(x.data(), 4, r, r + 1); }, 0},
        {"Mode first buffer", [&](double *r) { return Mode(x.data(), 4, -2.0, 5.0, 3, r); }, 0},
        {"Mode second buffer", [&](double *r) { return Mode(x.data(), 4, -2.0, 5.0, 3, r); }, 1},
        // Memory is taken before the histogram checks, and given back when they fail.
        {"Mode before checks", [&](double *r) { return Mode(x.data(), 4, 5.0, -2.0, 3, r); }, 1},
    };
    for (const auto &c : cases) {
        double results[2] = {2.385, 2.385};
        const int64_t live = hrt_live_blocks();
        hrt_fail_allocations_after(c.allocationsBeforeFailure);
        const int32_t rc = c.call(results);
        hrt_fail_allocations_after(-1);
        EXPECT_EQ(rc, -20001) << c.name;
        EXPECT_EQ(hrt_live_blocks(), live) << c.name;
        EXPECT_EQ(results[0], 2.385) << c.name;
        EXPECT_EQ(results[1], 2.385) << c.name;
    }
    const int64_t live = hrt_live_blocks();
    double r = 0;
    EXPECT_EQ(Mode(x.data(), 4, 5.0, -2.0, 3, &r), -20101);
    EXPECT_EQ(hrt_live_blocks(), live);
}

} // namespace
