#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kSentinel = -7.77e77;

double decay(double x, double *c, int32_t) { return c[0] * std::exp(c[1] * x) + c[2]; }

double notANumber(double, double *, int32_t) { return std::numeric_limits<double>::quiet_NaN(); }

struct DecayData {
    std::vector<double> x, y;
    DecayData()
    {
        for (int i = 0; i < 40; ++i) {
            x.push_back(0.1 * i);
            y.push_back(2.385 * std::exp(-0.731 * x.back()) + 0.419);
        }
    }
};

double mseOf(const DecayData &d, std::vector<double> c)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < d.x.size(); ++i) {
        const double r = decay(d.x[i], c.data(), 3) - d.y[i];
        sum += r * r;
    }
    return sum / d.x.size();
}

TEST(NonLinearFit, ConvergesToTheGeneratingModel)
{
    const DecayData d;
    std::vector<double> coef{1.0, -0.2, 0.0};
    std::vector<double> fitted(d.x.size());
    double mse = -1.0;
    ASSERT_EQ(NonLinearFit(d.x.data(), d.y.data(), fitted.data(), 40, decay, coef.data(), 3, &mse),
              SM_NO_ERROR);
    EXPECT_NEAR(coef[0], 2.385, 1e-3);
    EXPECT_NEAR(coef[1], -0.731, 1e-3);
    EXPECT_NEAR(coef[2], 0.419, 1e-3);
    EXPECT_LT(mse, 1e-6);
    EXPECT_DOUBLE_EQ(mse, mseOf(d, coef));
    for (std::size_t i = 0; i < d.x.size(); ++i)
        EXPECT_DOUBLE_EQ(fitted[i], decay(d.x[i], coef.data(), 3));
}

TEST(NonLinearFitWithMaxIters, PassCountSemantics)
{
    const DecayData d;
    const std::vector<double> guess{1.0, -0.2, 0.0};
    std::vector<double> fitted(d.x.size());

    // 0 passes: the bound is reached at once; outputs come from the initial guess.
    std::vector<double> coef = guess;
    double mse = kSentinel;
    EXPECT_EQ(
        NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), 40, 0, decay, coef.data(), 3, &mse),
        SM_ERR_MAX_ITERATIONS);
    EXPECT_EQ(coef, guess);
    EXPECT_DOUBLE_EQ(mse, mseOf(d, guess));
    EXPECT_DOUBLE_EQ(fitted[7], decay(d.x[7], coef.data(), 3));

    // A negative bound runs no pass and is not a failure.
    mse = kSentinel;
    EXPECT_EQ(
        NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), 40, -1, decay, coef.data(), 3, &mse),
        SM_NO_ERROR);
    EXPECT_EQ(coef, guess);
    EXPECT_DOUBLE_EQ(mse, mseOf(d, guess));

    // Two passes are not enough here: -20062 with the improved coefficients written.
    EXPECT_EQ(
        NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), 40, 2, decay, coef.data(), 3, &mse),
        SM_ERR_MAX_ITERATIONS);
    EXPECT_LT(mse, mseOf(d, guess));
    EXPECT_DOUBLE_EQ(mse, mseOf(d, coef));

    // With room enough it ends by itself, exactly like the unbounded search.
    coef = guess;
    std::vector<double> free = guess;
    double freeMse = 0.0;
    EXPECT_EQ(NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), 40, 100000, decay, coef.data(),
                                       3, &mse),
              SM_NO_ERROR);
    ASSERT_EQ(NonLinearFit(d.x.data(), d.y.data(), fitted.data(), 40, decay, free.data(), 3, &freeMse),
              SM_NO_ERROR);
    EXPECT_EQ(coef, free);
    EXPECT_EQ(mse, freeMse);
}

TEST(NonLinearFit, EndsByItselfWhenTheModelIsNotANumber)
{
    const DecayData d;
    std::vector<double> coef{1.0, -0.2, 0.0};
    std::vector<double> fitted(d.x.size());
    double mse = 0.0;
    EXPECT_EQ(NonLinearFit(d.x.data(), d.y.data(), fitted.data(), 40, notANumber, coef.data(), 3, &mse),
              SM_NO_ERROR);
    EXPECT_TRUE(std::isnan(mse));
    EXPECT_THAT(coef, ::testing::ElementsAre(1.0, -0.2, 0.0)); // no step was ever accepted
    EXPECT_EQ(NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), 40, 500, notANumber,
                                       coef.data(), 3, &mse),
              SM_ERR_MAX_ITERATIONS);
}

TEST(NonLinearFit, ValidationOrderAndCodesLeaveOutputsUntouched)
{
    struct Case {
        int32_t n;
        int32_t k;
        int32_t expected;
    } const cases[] = {
        {0, 0, SM_ERR_SAMPLES_GT_ZERO},
        {5, 0, SM_ERR_SAMPLES_GT_ZERO},
        {-1, 3, SM_ERR_SAMPLES_GT_ZERO},
        {2, 3, SM_ERR_SIZE_ORDER},
    };
    const DecayData d;
    for (const auto &c : cases) {
        std::vector<double> coef{1.0, -0.2, 0.0};
        std::vector<double> fitted(40, kSentinel);
        double mse = kSentinel;
        EXPECT_EQ(NonLinearFit(d.x.data(), d.y.data(), fitted.data(), c.n, decay, coef.data(), c.k, &mse),
                  c.expected);
        EXPECT_EQ(NonLinearFitWithMaxIters(d.x.data(), d.y.data(), fitted.data(), c.n, 10, decay, coef.data(),
                                           c.k, &mse),
                  c.expected);
        EXPECT_THAT(fitted, ::testing::Each(kSentinel));
        EXPECT_EQ(mse, kSentinel);
        EXPECT_THAT(coef, ::testing::ElementsAre(1.0, -0.2, 0.0));
    }
}

} // namespace
