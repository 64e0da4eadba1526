#include "base/errors.hpp"
#include "compute/stall_separation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace vibrolan;

namespace {

const float kTiny = std::numeric_limits<float>::denorm_min();

std::vector<float> linearSpeed(float from, float step, std::size_t n)
{
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = from + step * static_cast<float>(i);
    return v;
}

struct Separation {
    std::vector<float> curve, stall;
    std::vector<std::uint32_t> list = std::vector<std::uint32_t>(kIntervalListBlock, 0xDEAD);
    std::int32_t count = -5;
};

Separation separate(const std::vector<float> &stress, const std::vector<float> &speed, double dN,
                    std::uint16_t method)
{
    Separation s;
    s.curve.assign(stress.size(), -7);
    s.stall.assign(stress.size(), -7);
    SeparateStall(stress, speed, s.curve, dN, s.count, s.list, method, s.stall);
    return s;
}

std::vector<std::uint32_t> entries(const Separation &s) { return {s.list.begin(), s.list.begin() + s.count}; }

} // namespace

TEST(FindWindowBounds, RisingFallingAndFlatSpeed)
{
    struct Case {
        const char *name;
        std::vector<float> speed;
        double bottom, top;
        TSpeedDirection dir;
        TWindowBounds expected;
    };
    using enum TSpeedDirection;
    const Case cases[] = {
        {"falling", {60, 50, 40, 30, 20}, 35, 55, Falling, {0, 2, 1}},
        {"falling, thresholds hit exactly", {60, 50, 40, 30, 20}, 30, 50, Falling, {0, 3, 2}},
        {"falling, nothing at least bottom keeps n - 1", {60, 50, 40}, 70, 80, Falling, {0, 2, 0}},
        {"falling, last crossing wins on a bump", {60, 40, 55, 30}, 45, 50, Falling, {2, 2, 2}},
        {"rising", {20, 30, 40, 50, 60}, 25, 45, Rising, {0, 2, 1}},
        {"rising, nothing at most bottom keeps n - 1", {20, 30, 40}, 10, 15, Rising, {2, 0, 0}},
        {"rising, last dip wins", {20, 30, 25, 50}, 26, 40, Rising, {2, 2, 2}},
        {"flat, falling", {30, 30, 30, 30}, 30, 30, Falling, {0, 3, 3}},
        {"flat, rising", {30, 30, 30, 30}, 30, 30, Rising, {3, 3, 3}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindWindowBounds(c.speed, c.bottom, c.top, c.dir), c.expected);
        EXPECT_EQ(TWindowFinder(c.speed).Find(c.bottom, c.top, c.dir), c.expected);
    }
}

TEST(FindWindowBounds, IndexedFinderAgreesWithTheFullScanOnRandomSeries)
{
    std::mt19937 rng(2385);
    std::normal_distribution<float> noise(0, 40);
    std::uniform_real_distribution<double> level(2500, 6500);
    for (int trial = 0; trial < 60; ++trial) {
        const std::size_t n = 1 + rng() % 700;
        std::vector<float> speed(n);
        float v = 3000 + static_cast<float>(rng() % 2000);
        const float drift = trial % 3 == 0 ? -3.f : (trial % 3 == 1 ? 3.f : 0.f);
        for (auto &s : speed) {
            v += drift + noise(rng);
            s = std::round(v / 10) * 10; // repeated values make ties
        }
        if (trial % 7 == 0)
            speed[rng() % n] = std::numeric_limits<float>::quiet_NaN();
        const TWindowFinder finder(speed);
        for (int q = 0; q < 40; ++q) {
            double a = level(rng), b = level(rng);
            if (a > b)
                std::swap(a, b);
            if (q % 10 == 0)
                a = b = speed[rng() % n]; // thresholds equal to a sample
            for (auto dir : {TSpeedDirection::Falling, TSpeedDirection::Rising})
                ASSERT_EQ(finder.Find(a, b, dir), FindWindowBounds(speed, a, b, dir))
                    << "trial " << trial << " query " << q;
        }
    }
}

TEST(PlanStallWindows, SamePlanWithTheIndexedAndThePlainFinder)
{
    std::mt19937 rng(77);
    std::normal_distribution<float> noise(0, 25);
    for (int trial = 0; trial < 20; ++trial) {
        const std::size_t n = 3 + rng() % 3000;
        const bool runDown = trial % 2 == 0;
        std::vector<float> speed(n);
        for (std::size_t i = 0; i < n; ++i) {
            const float ramp = 3000 + 3000 * static_cast<float>(i) / static_cast<float>(n);
            speed[i] = (runDown ? 9000 - ramp : ramp) + noise(rng);
        }
        const double dN = 50 + rng() % 900;
        const TStallPlan fast = PlanStallWindows(speed, dN);
        const TStallPlan plain = PlanStallWindows(speed, dN, [&](double lo, double hi, TSpeedDirection dir) {
            return FindWindowBounds(speed, lo, hi, dir);
        });
        ASSERT_EQ(fast.Windows.size(), plain.Windows.size()) << trial;
        for (std::size_t w = 0; w < fast.Windows.size(); ++w) {
            EXPECT_EQ(fast.Windows[w].Start, plain.Windows[w].Start);
            EXPECT_EQ(fast.Windows[w].Count, plain.Windows[w].Count);
            EXPECT_EQ(fast.Windows[w].Mid, plain.Windows[w].Mid);
            EXPECT_EQ(fast.Windows[w].Last, plain.Windows[w].Last);
        }
    }
}

TEST(SeparateStall, RunDownInThreeWindowsRecoversAQuadraticStress)
{
    // 6000 -> 3000 rev/min in 10 rev/min steps, dN = 1000: windows
    // [0 .. 100], [99 .. 200], [199 .. 300] with midpoints 50, 150, 250.
    const std::size_t n = 301;
    const auto speed = linearSpeed(6000, -10, n);
    struct Case {
        const char *name;
        double a, b, c; // stress = a + b F + c F²
        std::vector<std::uint32_t> list;
    };
    const Case cases[] = {
        {"curve falls with the speed: ends stay", 0, 0, 1e-6, {0, 50, 100, 150, 200, 250, 300}},
        // 1e-6 (9000 - F)²: the curve rises as the speed falls, so the window
        // ends move one sample on.
        {"curve rises as the speed falls: ends move", 81, -0.018, 1e-6, {0, 50, 101, 150, 201, 250, 300}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> stress(n);
        for (std::size_t i = 0; i < n; ++i)
            stress[i] = static_cast<float>(c.a + c.b * speed[i] + c.c * speed[i] * speed[i]);
        const Separation s = separate(stress, speed, 1000, kMethodPolynomial);
        EXPECT_EQ(s.count, 7);
        EXPECT_EQ(entries(s), c.list);
        EXPECT_EQ(s.list.size(), kIntervalListBlock);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(s.curve[i], stress[i], 1e-3) << i;
            EXPECT_NEAR(s.stall[i], 0, 1e-3) << i;
            EXPECT_EQ(s.stall[i], stress[i] - s.curve[i]);
        }
    }
}

TEST(SeparateStall, RunUpEndsOnASingleSampleWindow)
{
    // 3000 -> 6000 rev/min: the walk reaches 6000 exactly and adds a last
    // window holding only the top sample, which cannot be fitted; the curve
    // keeps the previous window's fit there.
    const std::size_t n = 301;
    const auto speed = linearSpeed(3000, 10, n);
    std::vector<float> stress(n);
    for (std::size_t i = 0; i < n; ++i)
        stress[i] = static_cast<float>(2.385 + 1e-3 * speed[i] + 2e-7 * speed[i] * speed[i]);
    const Separation s = separate(stress, speed, 1000, kMethodPolynomial);
    EXPECT_EQ(s.count, 9);
    EXPECT_EQ(entries(s), (std::vector<std::uint32_t>{0, 50, 100, 150, 200, 250, 300, 300, 300}));
    for (std::size_t i = 0; i < n; ++i)
        EXPECT_NEAR(s.stall[i], 0, 1e-3) << i;
}

TEST(SeparateStall, SpeedRangeNarrowerThanTheStepIsOneWindow)
{
    const std::size_t n = 40;
    std::vector<float> stress(n);
    for (std::size_t i = 0; i < n; ++i)
        stress[i] = static_cast<float>(1 + i % 3);
    for (const float step : {-10.f, 10.f}) {
        SCOPED_TRACE(step);
        const auto speed = linearSpeed(step < 0 ? 6000.f : 5600.f, step, n);
        const Separation s = separate(stress, speed, 1000, kMethodPolynomial);
        EXPECT_EQ(s.count, 3);
        EXPECT_EQ(s.list[2], n - 1);
        // One quadratic over all samples: the residual has zero sum.
        double sum = 0;
        for (float v : s.stall)
            sum += v;
        EXPECT_NEAR(sum, 0, 1e-3);
    }
    const TStallPlan plan = PlanStallWindows(linearSpeed(6000, -10, n), 1000);
    ASSERT_EQ(plan.Windows.size(), 1u);
    EXPECT_EQ(plan.Windows[0].Start, 0u);
    EXPECT_EQ(plan.Windows[0].Count, n);
}

TEST(SeparateStall, NegativeFitIsStoredAsTheSmallestSingle)
{
    const std::size_t n = 50;
    const auto speed = linearSpeed(4000, 5, n);
    const std::vector<float> stress(n, -2.5f);
    const Separation s = separate(stress, speed, 1000, kMethodPolynomial);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(s.curve[i], kTiny) << i;
        EXPECT_EQ(s.stall[i], -2.5f) << i;
    }
}

TEST(SeparateStall, MoreThan1023WindowsAreAllKept)
{
    const std::size_t n = 20001;
    const auto speed = linearSpeed(0, 1, n); // 0 .. 20000 rev/min
    const std::vector<float> stress(n, 1.0f);
    const Separation s = separate(stress, speed, 10, kMethodPolynomial);
    // 2000 windows of 10 rev/min plus the single-sample one at the top.
    EXPECT_EQ(s.count, 2 * 2001 + 1);
    EXPECT_GE(s.list.size(), static_cast<std::size_t>(s.count));
    EXPECT_EQ(s.list.size() % kIntervalListBlock, 0u);
    for (std::int32_t k = 1; k + 2 < s.count; k += 2) {
        EXPECT_EQ(s.list[static_cast<std::size_t>(k)], 5u + 10u * static_cast<std::uint32_t>(k / 2));
        ASSERT_LT(s.list[static_cast<std::size_t>(k) + 1], n);
    }
    EXPECT_EQ(s.list[static_cast<std::size_t>(s.count) - 1], n - 1);
}

TEST(SeparateStall, RunningMeanWindows)
{
    const std::size_t n = 12;
    std::vector<float> stress(n);
    for (std::size_t i = 0; i < n; ++i)
        stress[i] = static_cast<float>(i * i) + 0.5f;
    const auto speed = linearSpeed(3000, 10, n);
    auto mean = [&](std::size_t from, std::size_t to) {
        if (from == to)
            return 0.0; // a one-sample window has mean 0
        double sum = 0;
        for (std::size_t k = from; k <= to; ++k)
            sum += stress[k];
        return sum / static_cast<double>(to - from + 1);
    };
    struct Case {
        double dN;
        // window per i = 1 .. n - 2
        std::vector<std::pair<std::size_t, std::size_t>> windows;
    };
    const Case cases[] = {
        // W = 0, T = 1.6: only i = 1 averages from the start; the tail rule
        // still averages i .. n - 1 for i = n - 2.
        {0.3, {{0, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}, {10, 11}}},
        // W = 2, T = 5.
        {2, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {3, 7}, {4, 8}, {5, 11}, {6, 11}, {7, 11}, {8, 11}}},
        // 2.5 rounds to W = 2 (halves to even), T = 6.
        {2.5, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {4, 11}, {5, 11}, {6, 11}, {7, 11}, {8, 11}}},
        // 1.5 rounds to W = 2, T = 4.
        {1.5, {{0, 1}, {0, 2}, {0, 3}, {2, 6}, {3, 7}, {4, 8}, {5, 9}, {6, 11}, {7, 11}, {8, 11}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dN);
        Separation s = separate(stress, speed, c.dN, 1);
        EXPECT_EQ(s.count, -5);        // the list is not touched
        EXPECT_EQ(s.list[0], 0xDEADu); // ...
        EXPECT_EQ(s.curve[0], 0);
        EXPECT_EQ(s.curve[n - 1], 0);
        EXPECT_EQ(s.stall[0], stress[0]);
        EXPECT_EQ(s.stall[n - 1], stress[n - 1]);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const auto [from, to] = c.windows[i - 1];
            EXPECT_FLOAT_EQ(s.curve[i], static_cast<float>(mean(from, to))) << i;
            EXPECT_EQ(s.stall[i], stress[i] - s.curve[i]) << i;
        }
    }
}

TEST(SeparateStall, RefusesABadStepAndSkipsTinySeries)
{
    const auto speed = linearSpeed(3000, 10, 20);
    const std::vector<float> stress(20, 1.0f);
    for (const double dN :
         {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        for (const std::uint16_t method : {0, 1}) {
            SCOPED_TRACE(dN);
            Separation s;
            s.curve.assign(20, -7);
            s.stall.assign(20, -7);
            EXPECT_THROW(SeparateStall(stress, speed, s.curve, dN, s.count, s.list, method, s.stall),
                         ValueError);
            EXPECT_EQ(s.curve[3], -7);
            EXPECT_EQ(s.count, -5);
        }
    }
    // Too small a step for the speed range would mean millions of windows.
    Separation tooFine;
    tooFine.curve.assign(20, -7);
    tooFine.stall.assign(20, -7);
    EXPECT_THROW(
        SeparateStall(stress, speed, tooFine.curve, 1e-6, tooFine.count, tooFine.list, 0, tooFine.stall),
        ValueError);
    EXPECT_EQ(tooFine.curve[3], -7);

    for (const std::size_t n : {0u, 1u, 2u}) {
        const std::vector<float> few(n, 3.0f);
        const Separation s = separate(few, std::vector<float>(n, 3000), 100, 0);
        EXPECT_EQ(s.count, -5);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(s.curve[i], -7);
            EXPECT_EQ(s.stall[i], -7);
        }
    }
}
