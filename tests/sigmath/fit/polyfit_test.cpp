#include "hostrt/hostrt.h"
#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include "sigmath/fit/least_squares_reference.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using fit_test::relativeError;

constexpr double kSentinel = -7.77e77;

// Vandermonde matrix with explicit products, independent of the runtime's pow.
std::vector<double> powers(const std::vector<double> &x, std::size_t k)
{
    std::vector<double> h;
    for (double xi : x) {
        double p = 1.0;
        for (std::size_t j = 0; j < k; ++j) {
            h.push_back(p);
            p *= xi;
        }
    }
    return h;
}

TEST(PolyFit, OrderZeroIsMeanAndPopulationVariance)
{
    const std::vector<double> x{0.3, 1.9, -2.2, 4.4, 0.0};
    const std::vector<double> y{2.385, -1.17, 3.94, 0.611, 5.02};
    double mean = 0.0;
    for (double v : y)
        mean += v;
    mean /= 5.0;
    double variance = 0.0;
    for (double v : y)
        variance += (v - mean) * (v - mean);
    variance /= 5.0;

    std::vector<double> fitted(5), coef(1);
    double mse = 0.0;
    ASSERT_EQ(PolyFit(x.data(), y.data(), 5, 0, fitted.data(), coef.data(), &mse), SM_NO_ERROR);
    EXPECT_NEAR(coef[0], mean, 1e-14);
    EXPECT_THAT(fitted, ::testing::Each(::testing::DoubleNear(mean, 1e-14)));
    EXPECT_NEAR(mse, variance, 1e-13);
}

TEST(PolyFit, ThreePointsAreInterpolatedExactly)
{
    const std::vector<double> x{-1.31, 0.47, 2.385};
    const double c0 = 0.913, c1 = -1.742, c2 = 0.388;
    std::vector<double> y;
    for (double v : x)
        y.push_back(c0 + c1 * v + c2 * v * v);
    std::vector<double> fitted(3), coef(3);
    double mse = -1.0;
    ASSERT_EQ(PolyFit(x.data(), y.data(), 3, 2, fitted.data(), coef.data(), &mse), SM_NO_ERROR);
    EXPECT_NEAR(coef[0], c0, 1e-12);
    EXPECT_NEAR(coef[1], c1, 1e-12);
    EXPECT_NEAR(coef[2], c2, 1e-12);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(fitted[i], y[i], 1e-12);
    EXPECT_LT(mse, 1e-24);
}

TEST(PolyFit, ValidationOrderAndCodesLeaveOutputsUntouched)
{
    struct Case {
        int32_t n;
        int32_t order;
        int32_t expected;
    } const cases[] = {
        {0, -1, SM_ERR_SAMPLES_GT_ZERO}, // the count is tested before the order
        {-5, 2, SM_ERR_SAMPLES_GT_ZERO},
        {5, -1, SM_ERR_ORDER_GE_ZERO},
        {5, 5, SM_ERR_SIZE_ORDER}, // order = n
        {3, 4, SM_ERR_SIZE_ORDER},
        {100, 90, SM_ERR_ORDER_POSITIVE}, // 91 coefficients: GenLSFit's limit
    };
    std::vector<double> x(100), y(100);
    for (int i = 0; i < 100; ++i) {
        x[i] = 0.01 * i - 0.37;
        y[i] = std::sin(2.385 * x[i]);
    }
    for (const auto &c : cases) {
        std::vector<double> fitted(100, kSentinel), coef(100, kSentinel);
        double mse = kSentinel;
        EXPECT_EQ(PolyFit(x.data(), y.data(), c.n, c.order, fitted.data(), coef.data(), &mse), c.expected)
            << "n=" << c.n << " order=" << c.order;
        EXPECT_THAT(fitted, ::testing::Each(kSentinel));
        EXPECT_THAT(coef, ::testing::Each(kSentinel));
        EXPECT_EQ(mse, kSentinel);
    }
}

TEST(PolyFit, CubicThroughZeroUsesOneForTheZerothPower)
{
    // x = 0 contributes the row (1, 0, 0, 0): its fitted value is coef[0].
    const std::vector<double> x{-1.9, -0.83, 0.0, 0.57, 1.44, 2.385, 3.02};
    const std::vector<double> y{-4.1, 0.77, 1.3, 0.92, 2.6, 6.8, 13.9};
    std::vector<double> fitted(7), coef(4);
    double mse = 0.0;
    ASSERT_EQ(PolyFit(x.data(), y.data(), 7, 3, fitted.data(), coef.data(), &mse), SM_NO_ERROR);
    const fit_test::Reference ref = fit_test::solveReference(powers(x, 4), y, {}, 7, 4);
    EXPECT_LT(relativeError(coef.data(), ref.coef), 1e-9);
    EXPECT_LT(relativeError(fitted.data(), ref.fitted), 1e-9);
    EXPECT_NEAR(mse, ref.mse, 1e-9 * ref.mse);
    EXPECT_DOUBLE_EQ(fitted[2], coef[0]);
}

TEST(PolyFit, AgreesWithIndependentSolutionOnNoisyData)
{
    std::mt19937_64 gen(2385);
    std::uniform_real_distribution<double> xs(-1.7, 2.3);
    std::normal_distribution<double> noise(0.0, 0.21);
    for (int order = 1; order <= 5; ++order) {
        const std::size_t n = 60;
        std::vector<double> x(n), y(n);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = xs(gen);
            y[i] = 0.41 - 1.3 * x[i] + 0.77 * x[i] * x[i] - 0.19 * x[i] * x[i] * x[i] + noise(gen);
        }
        std::vector<double> fitted(n), coef(order + 1);
        double mse = 0.0;
        ASSERT_EQ(PolyFit(x.data(), y.data(), (int32_t)n, order, fitted.data(), coef.data(), &mse),
                  SM_NO_ERROR);
        const fit_test::Reference ref = fit_test::solveReference(powers(x, order + 1), y, {}, n, order + 1);
        EXPECT_LT(relativeError(coef.data(), ref.coef), 1e-9) << "order " << order;
        EXPECT_LT(relativeError(fitted.data(), ref.fitted), 1e-9) << "order " << order;
        EXPECT_NEAR(mse, ref.mse, 1e-9 * ref.mse) << "order " << order;
    }
}

TEST(PolyFit, IsGenLSFitsSvdPathBitForBit)
{
    std::mt19937_64 gen(731);
    std::uniform_real_distribution<double> xs(-2.385, 1.9);
    const std::size_t n = 257;
    std::vector<double> x(n), y(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = xs(gen);
        y[i] = std::cos(1.7 * x[i]) + 0.05 * xs(gen);
    }
    x[3] = 0.0;
    for (int order : {0, 2, 3, 6}) {
        const std::size_t k = order + 1;
        std::vector<double> h(n * k);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < k; ++j)
                h[i * k + j] = hrt_pow_FLTREG_(x[i], (double)j);
        std::vector<double> fitted(n), coef(k), viaFitted(n), viaCoef(k);
        double mse = 0.0, viaMse = 0.0;
        ASSERT_EQ(PolyFit(x.data(), y.data(), (int32_t)n, order, fitted.data(), coef.data(), &mse),
                  SM_NO_ERROR);
        ASSERT_EQ(GenLSFit(h.data(), (int32_t)n, (int32_t)k, y.data(), nullptr, 0, viaFitted.data(),
                           viaCoef.data(), nullptr, &viaMse),
                  SM_NO_ERROR);
        EXPECT_EQ(coef, viaCoef) << "order " << order;
        EXPECT_EQ(fitted, viaFitted) << "order " << order;
        EXPECT_EQ(mse, viaMse) << "order " << order;
    }
}

// The powers of float-held abscissas (the program's series) are formed
// directly; they must stay the runtime's pow bit for bit, over the whole float
// range and at the values where the runtime's pow has its own rules.
TEST(PolyFit, FloatAbscissasKeepTheRuntimesPowersBitForBit)
{
    std::mt19937_64 gen(2385);
    std::uniform_int_distribution<std::uint32_t> bitsOf;
    std::vector<double> special = {0.0,
                                   -0.0,
                                   1.0,
                                   -1.0,
                                   (double)std::numeric_limits<float>::denorm_min(),
                                   -(double)std::numeric_limits<float>::min(),
                                   (double)std::numeric_limits<float>::max(),
                                   -(double)std::numeric_limits<float>::max(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(),
                                   1.0 + 0x1p-30, // not a float: the runtime's pow
                                   3.4e38 * 4.0};
    for (int i = 0; i < 200000; ++i) {
        const float f = std::bit_cast<float>(bitsOf(gen));
        if (std::isfinite(f))
            special.push_back(f);
    }
    auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    // Every power through a fit of three points per value (order 2 uses x^0 .. x^2).
    for (std::size_t i = 0; i < special.size(); ++i) {
        const double x[3] = {special[i], 1.5, -2.385};
        const double y[3] = {0.25, -1.0, 3.0};
        double h[9];
        for (int r = 0; r < 3; ++r)
            for (int j = 0; j < 3; ++j)
                h[r * 3 + j] = hrt_pow_FLTREG_(x[r], (double)j);
        double fitted[3] = {}, coef[3] = {}, mse = 0, viaFitted[3] = {}, viaCoef[3] = {}, viaMse = 0;
        const int32_t a = PolyFit(x, y, 3, 2, fitted, coef, &mse);
        const int32_t b = GenLSFit(h, 3, 3, y, nullptr, 0, viaFitted, viaCoef, nullptr, &viaMse);
        ASSERT_EQ(a, b) << special[i];
        for (int r = 0; r < 3; ++r) {
            ASSERT_TRUE(same(fitted[r], viaFitted[r])) << special[i];
            ASSERT_TRUE(same(coef[r], viaCoef[r])) << special[i];
        }
        ASSERT_TRUE(same(mse, viaMse)) << special[i];
    }
}

// A fit planned once over the abscissas gives PolyFit's results bit for bit
// for every ordinate, and its status where PolyFit fails.
TEST(PolyFit, PlannedFitIsPolyFitBitForBit)
{
    std::mt19937_64 gen(1729);
    std::uniform_real_distribution<double> u(-2.385, 3.1);
    auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
               (std::isnan(a) && std::isnan(b));
    };
    struct Case {
        int n, order;
        bool floats; // abscissas a float holds, as the program's
    };
    for (const Case c : {Case{1, 0, true}, Case{3, 2, true}, Case{40, 2, true}, Case{5000, 2, true},
                         Case{257, 2, false}, Case{300, 4, false}, Case{60, 1, true}, Case{2, 2, true}}) {
        std::vector<double> x(c.n);
        for (int i = 0; i < c.n; ++i)
            x[i] = c.floats ? static_cast<float>(2900.0 + 40.0 * u(gen)) : u(gen);
        SigmathPolyPlan *plan = nullptr;
        const int32_t planStatus = PolyFitPlanCreate(x.data(), c.n, c.order, &plan);
        ASSERT_NE(plan, nullptr);
        for (int trial = 0; trial < 4; ++trial) {
            std::vector<double> y(c.n);
            for (double &v : y)
                v = trial == 3 ? 0.0 : static_cast<float>(u(gen) * 0.37);
            if (trial == 2 && c.n > 3)
                y[c.n / 2] = std::numeric_limits<double>::quiet_NaN();
            const std::size_t k = c.order + 1;
            std::vector<double> f1(c.n, kSentinel), f2(c.n, kSentinel), c1(k, kSentinel), c2(k, kSentinel);
            double m1 = kSentinel, m2 = kSentinel;
            const int32_t s1 = PolyFit(x.data(), y.data(), c.n, c.order, f1.data(), c1.data(), &m1);
            const int32_t s2 = PolyFitPlanned(plan, y.data(), f2.data(), c2.data(), &m2);
            ASSERT_EQ(s1, s2) << c.n << " " << c.order;
            EXPECT_EQ(s1, planStatus);
            for (int i = 0; i < c.n; ++i)
                ASSERT_TRUE(same(f1[i], f2[i])) << c.n << " " << c.order << " trial " << trial << " at " << i;
            for (std::size_t j = 0; j < k; ++j)
                ASSERT_TRUE(same(c1[j], c2[j])) << c.n << " " << c.order << " trial " << trial;
            ASSERT_TRUE(same(m1, m2));
        }
        PolyFitPlanFree(plan);
    }
}

} // namespace
