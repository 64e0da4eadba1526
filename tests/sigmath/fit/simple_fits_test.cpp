#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include "sigmath/fit/least_squares_reference.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double kSentinel = -7.77e77;

TEST(LinFit, ExactLinesAreRecovered)
{
    struct Line {
        double slope;
        double intercept;
    } const lines[] = {{2.0, 1.0}, {2.385, -0.731}, {-0.0417, 19.3}};
    const std::vector<double> x{-3.2, -1.1, 0.0, 0.4, 2.9, 7.75};
    for (const Line &l : lines) {
        std::vector<double> y;
        for (double v : x)
            y.push_back(l.slope * v + l.intercept);
        std::vector<double> fitted(x.size());
        double slope = 0.0, intercept = 0.0, mse = -1.0;
        ASSERT_EQ(LinFit(x.data(), y.data(), (int32_t)x.size(), fitted.data(), &slope, &intercept, &mse),
                  SM_NO_ERROR);
        EXPECT_NEAR(slope, l.slope, 1e-13);
        EXPECT_NEAR(intercept, l.intercept, 1e-13);
        EXPECT_LT(mse, 1e-26);
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_NEAR(fitted[i], y[i], 1e-12);
    }
}

TEST(LinFit, NoisyDataMatchesIndependentSolution)
{
    const std::vector<double> x{0.13, 0.92, 1.77, 2.385, 3.01, 4.4, 5.9};
    const std::vector<double> y{1.2, 2.9, 4.1, 5.7, 6.2, 9.8, 12.1};
    std::vector<double> h;
    for (double v : x) {
        h.push_back(v);
        h.push_back(1.0);
    }
    const fit_test::Reference ref = fit_test::solveReference(h, y, {}, 7, 2);
    std::vector<double> fitted(7);
    double slope = 0.0, intercept = 0.0, mse = 0.0;
    ASSERT_EQ(LinFit(x.data(), y.data(), 7, fitted.data(), &slope, &intercept, &mse), SM_NO_ERROR);
    EXPECT_NEAR(slope, ref.coef[0], 1e-12);
    EXPECT_NEAR(intercept, ref.coef[1], 1e-12);
    EXPECT_NEAR(mse, ref.mse, 1e-12);
}

TEST(LinFit, TooFewPointsAndEqualAbscissae)
{
    const std::vector<double> x{1.5, 1.5, 1.5};
    const std::vector<double> y{0.2, 0.9, 1.4};
    std::vector<double> fitted(3, kSentinel);
    double slope = kSentinel, intercept = kSentinel, mse = kSentinel;
    for (int32_t n : {1, 0, -2}) {
        EXPECT_EQ(LinFit(x.data(), y.data(), n, fitted.data(), &slope, &intercept, &mse),
                  SM_ERR_SAMPLES_GE_TWO);
        EXPECT_THAT(fitted, ::testing::Each(kSentinel));
        EXPECT_EQ(slope, kSentinel);
        EXPECT_EQ(mse, kSentinel);
    }
    // No code names a vertical line: the results are simply not finite.
    EXPECT_EQ(LinFit(x.data(), y.data(), 3, fitted.data(), &slope, &intercept, &mse), SM_NO_ERROR);
    EXPECT_FALSE(std::isfinite(slope));
}

TEST(ExpFit, RecoversAmplitudeAndDampingForEitherSign)
{
    const std::vector<double> x{-0.6, 0.0, 0.35, 1.2, 2.385, 3.7};
    for (double amplitude : {1.73, -0.482}) {
        const double damping = -0.417;
        std::vector<double> y;
        for (double v : x)
            y.push_back(amplitude * std::exp(damping * v));
        const std::vector<double> original = y;
        std::vector<double> fitted(x.size());
        double a = 0.0, d = 0.0, mse = -1.0;
        ASSERT_EQ(ExpFit(x.data(), y.data(), (int32_t)x.size(), fitted.data(), &a, &d, &mse), SM_NO_ERROR);
        EXPECT_NEAR(a, amplitude, 1e-12);
        EXPECT_NEAR(d, damping, 1e-12);
        EXPECT_LT(mse, 1e-24);
        for (std::size_t i = 0; i < x.size(); ++i)
            EXPECT_NEAR(fitted[i], original[i], 1e-12);
        EXPECT_EQ(y, original); // negated for the fit and restored bit for bit
    }
}

TEST(ExpFit, RejectsZeroOrMixedSignsAndRestoresY)
{
    const std::vector<double> x{0.1, 0.7, 1.3, 2.2};
    const std::vector<std::vector<double>> bad = {
        {0.0, 1.2, 2.3, 3.1},     // y[0] = 0
        {-1.5, -0.7, 0.4, -2.2},  // negative first, then a positive
        {1.5, 0.7, -0.4, 2.2},    // positive first, then a negative
        {-1.5, -0.7, -0.0, -2.2}, // a zero inside a negative series
        {1.5, NAN, 0.4, 2.2},     // not a number is not positive
    };
    for (const auto &values : bad) {
        std::vector<double> y = values;
        std::vector<double> fitted(4, kSentinel);
        double a = kSentinel, d = kSentinel, mse = kSentinel;
        EXPECT_EQ(ExpFit(x.data(), y.data(), 4, fitted.data(), &a, &d, &mse), SM_ERR_SIGN);
        for (std::size_t i = 0; i < y.size(); ++i)
            EXPECT_TRUE(std::memcmp(&y[i], &values[i], sizeof(double)) == 0) << "y[" << i << "] changed";
        EXPECT_THAT(fitted, ::testing::Each(kSentinel));
        EXPECT_EQ(mse, kSentinel);
        // Amplitude and damping are cleared before the checks.
        EXPECT_EQ(a, 0.0);
        EXPECT_EQ(d, 0.0);
    }
    std::vector<double> y{2.0};
    double a = kSentinel, d = kSentinel, mse = kSentinel;
    EXPECT_EQ(ExpFit(x.data(), y.data(), 1, nullptr, &a, &d, &mse), SM_ERR_SAMPLES_GE_TWO);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(mse, kSentinel);
}

TEST(Evaluators, PolynomialAndLinearValues)
{
    const std::vector<double> x{-2.385, -0.5, 0.0, 1.75, 3.2, 0.0625};
    const std::vector<double> coef{0.91, -1.3, 0.44, 0.071};
    std::vector<double> out(x.size(), kSentinel);
    ASSERT_EQ(PolyEv1D(x.data(), (int32_t)x.size(), coef.data(), 4, out.data()), SM_NO_ERROR);
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(out[i], 0.91 + x[i] * (-1.3 + x[i] * (0.44 + x[i] * 0.071)), 1e-13);

    // 2-D: the same values as a 2 x 3 array, evaluated in place.
    std::vector<double> grid = x;
    ASSERT_EQ(PolyEv2D(grid.data(), 2, 3, coef.data(), 4, grid.data()), SM_NO_ERROR);
    EXPECT_EQ(grid, out);

    ASSERT_EQ(LinEv1D(x.data(), (int32_t)x.size(), -0.37, 2.2, out.data()), SM_NO_ERROR);
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_DOUBLE_EQ(out[i], -0.37 * x[i] + 2.2);
    grid = x;
    ASSERT_EQ(LinEv2D(grid.data(), 3, 2, -0.37, 2.2, grid.data()), SM_NO_ERROR);
    EXPECT_EQ(grid, out);

    // A single coefficient is a constant.
    ASSERT_EQ(PolyEv1D(x.data(), 2, coef.data(), 1, out.data()), SM_NO_ERROR);
    EXPECT_EQ(out[0], 0.91);
    EXPECT_EQ(out[1], 0.91);
}

TEST(Evaluators, CountsBelowOneAreRejectedWithoutWriting)
{
    const std::vector<double> x{1.0, 2.0};
    const std::vector<double> coef{1.0, 2.0};
    std::vector<double> out(2, kSentinel);
    const int32_t codes[] = {
        PolyEv1D(x.data(), 0, coef.data(), 2, out.data()),
        PolyEv1D(x.data(), 2, coef.data(), 0, out.data()),
        PolyEv2D(x.data(), 0, 2, coef.data(), 2, out.data()),
        PolyEv2D(x.data(), 2, -1, coef.data(), 2, out.data()),
        PolyEv2D(x.data(), 1, 2, coef.data(), 0, out.data()),
        LinEv1D(x.data(), -4, 1.0, 2.0, out.data()),
        LinEv2D(x.data(), 0, 1, 1.0, 2.0, out.data()),
        LinEv2D(x.data(), 1, 0, 1.0, 2.0, out.data()),
    };
    for (int32_t code : codes)
        EXPECT_EQ(code, SM_ERR_SAMPLES_GT_ZERO);
    EXPECT_THAT(out, ::testing::Each(kSentinel));
}

} // namespace
