#include "base/errors.hpp"
#include "compute/detrend_poly.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace vibrolan;

TEST(DetrendPoly, RemovesAQuadraticOverTheAbscissa)
{
    // y = 2.385 - 0.0125 x + 3.5e-6 x² plus an alternating ripple, which a
    // quadratic cannot follow and must therefore be left behind in y.
    const std::size_t n = 200;
    std::vector<float> x(n), y(n), trend(n, -1);
    std::vector<double> quad(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = static_cast<float>(3000 + 15 * i);
        quad[i] = 2.385 - 0.0125 * x[i] + 3.5e-6 * x[i] * x[i];
        y[i] = static_cast<float>(quad[i] + (i % 2 ? 0.01 : -0.01));
    }
    DetrendPoly(x, y, trend);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_NEAR(trend[i], quad[i], 2e-3) << i;
        EXPECT_NEAR(y[i], i % 2 ? 0.01 : -0.01, 2e-3) << i;
    }
}

TEST(DetrendPoly, TooFewPointsLeaveTheOrdinateAndAZeroTrend)
{
    std::vector<float> x{1, 2}, y{5, 7}, trend{9, 9};
    DetrendPoly(x, y, trend);
    EXPECT_EQ(y, (std::vector<float>{5, 7}));
    EXPECT_EQ(trend, (std::vector<float>{0, 0}));

    std::vector<float> shortTrend(1);
    EXPECT_THROW(DetrendPoly(x, y, shortTrend), ValueError);
}
