#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include "sigmath/fit/least_squares_reference.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

using fit_test::relativeError;

constexpr double kSentinel = -7.77e77;

struct Outputs {
    std::vector<double> fitted;
    std::vector<double> coef;
    std::vector<double> covariance;
    double mse = kSentinel;
    Outputs(std::size_t n, std::size_t k)
        : fitted(n, kSentinel), coef(k, kSentinel), covariance(k * k, kSentinel)
    {
    }
    bool untouched() const
    {
        auto same = [](const std::vector<double> &v) {
            for (double x : v)
                if (x != kSentinel)
                    return false;
            return true;
        };
        return same(fitted) && same(coef) && same(covariance) && mse == kSentinel;
    }
};

class GenLSFitAgreement : public ::testing::TestWithParam<std::tuple<int, bool, int>> {};

TEST_P(GenLSFitAgreement, MatchesIndependentSolutionWithCovariance)
{
    const auto [algorithm, weighted, size] = GetParam();
    // From a single observation to the largest number of coefficients.
    const std::size_t shapes[][2] = {{1, 1}, {5, 5}, {7, 3}, {40, 6}, {300, 12}, {120, 90}};
    const std::size_t n = shapes[size][0];
    const std::size_t k = shapes[size][1];
    const fit_test::Problem p =
        fit_test::randomProblem(n, k, 1000u + 17u * size + (weighted ? 1u : 0u), weighted);
    const fit_test::Reference ref = fit_test::solveReference(p.h, p.y, p.stdDev, n, k);

    Outputs out(n, k);
    const int32_t status =
        GenLSFit(p.h.data(), (int32_t)n, (int32_t)k, p.y.data(), weighted ? p.stdDev.data() : nullptr,
                 algorithm, out.fitted.data(), out.coef.data(), out.covariance.data(), &out.mse);
    ASSERT_EQ(status, SM_NO_ERROR);
    EXPECT_LT(relativeError(out.coef.data(), ref.coef), 1e-9);
    EXPECT_LT(relativeError(out.fitted.data(), ref.fitted), 1e-9);
    EXPECT_LT(relativeError(out.covariance.data(), ref.covariance), 1e-9);
    // The mean squared error is always the unweighted one.
    if (n > k) {
        EXPECT_NEAR(out.mse, ref.mse, 1e-9 * ref.mse);
        EXPECT_GT(out.mse, 1e-4); // the problem really has a residual
    } else {
        EXPECT_LT(out.mse, 1e-20); // square systems are solved exactly
    }

    if (!weighted) {
        std::vector<double> coefOnly(k, kSentinel);
        ASSERT_EQ(GenLSFitCoef(p.h.data(), (int32_t)n, (int32_t)k, p.y.data(), coefOnly.data(), algorithm),
                  SM_NO_ERROR);
        EXPECT_LT(relativeError(coefOnly.data(), ref.coef), 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryAlgorithm, GenLSFitAgreement,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Bool(),
                                            ::testing::Range(0, 6)),
                         [](const auto &info) {
                             return "alg" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "_weighted" : "_plain") + "_size" +
                                    std::to_string(std::get<2>(info.param));
                         });

TEST(GenLSFit, WithoutCovarianceGivesTheSameFit)
{
    const fit_test::Problem p = fit_test::randomProblem(25, 4, 77u, true);
    for (int algorithm = 0; algorithm < 6; ++algorithm) {
        Outputs with(25, 4);
        Outputs without(25, 4);
        ASSERT_EQ(GenLSFit(p.h.data(), 25, 4, p.y.data(), p.stdDev.data(), algorithm, with.fitted.data(),
                           with.coef.data(), with.covariance.data(), &with.mse),
                  SM_NO_ERROR);
        ASSERT_EQ(GenLSFit(p.h.data(), 25, 4, p.y.data(), p.stdDev.data(), algorithm, without.fitted.data(),
                           without.coef.data(), nullptr, &without.mse),
                  SM_NO_ERROR);
        EXPECT_EQ(with.coef, without.coef) << "algorithm " << algorithm;
        EXPECT_EQ(with.mse, without.mse) << "algorithm " << algorithm;
    }
}

struct ValidationCase {
    int32_t n;
    int32_t k;
    int32_t algorithm;
    int32_t expected;
};

TEST(GenLSFit, ValidationOrderAndCodesLeaveOutputsUntouched)
{
    const ValidationCase cases[] = {
        {0, 0, 9, SM_ERR_SAMPLES_GT_ZERO}, // n first, whatever else is wrong
        {-3, 2, 0, SM_ERR_SAMPLES_GT_ZERO},
        {3, 4, 9, SM_ERR_SIZE_ORDER}, // k > n before the k range and the
                                      // selector
        {50, 91, 0, SM_ERR_SIZE_ORDER},
        {100, 91, 0, SM_ERR_ORDER_POSITIVE}, // at most 90 coefficients
        {5, 0, 9, SM_ERR_ORDER_POSITIVE},
        {5, -1, 0, SM_ERR_ORDER_POSITIVE},
        {5, 2, 6, SM_ERR_SELECTION},
        {5, 2, -1, SM_ERR_SELECTION},
    };
    const fit_test::Problem p = fit_test::randomProblem(100, 91, 5u, true);
    for (const ValidationCase &c : cases) {
        Outputs out(100, 91);
        EXPECT_EQ(GenLSFit(p.h.data(), c.n, c.k, p.y.data(), p.stdDev.data(), c.algorithm, out.fitted.data(),
                           out.coef.data(), out.covariance.data(), &out.mse),
                  c.expected)
            << "n=" << c.n << " k=" << c.k << " algorithm=" << c.algorithm;
        EXPECT_TRUE(out.untouched());
        EXPECT_EQ(GenLSFitCoef(p.h.data(), c.n, c.k, p.y.data(), out.coef.data(), c.algorithm), c.expected);
        EXPECT_TRUE(out.untouched());
    }
}

// Columns 1 and 2 are equal: every normal matrix and covariance is exactly singular.
struct SingularProblem {
    std::vector<double> h{1.0, 2.385, 2.385, 1.0, -0.731, -0.731, 1.0, 4.118, 4.118, 1.0, 0.259, 0.259};
    std::vector<double> y{3.1, -0.4, 7.9, 1.2};
};

TEST(GenLSFit, SingularCovarianceFailsBeforeAnyOutputIsWritten)
{
    const SingularProblem p;
    for (int algorithm = 0; algorithm < 6; ++algorithm) {
        Outputs out(4, 3);
        EXPECT_EQ(GenLSFit(p.h.data(), 4, 3, p.y.data(), nullptr, algorithm, out.fitted.data(),
                           out.coef.data(), out.covariance.data(), &out.mse),
                  SM_ERR_SINGULAR)
            << "algorithm " << algorithm;
        EXPECT_TRUE(out.untouched()) << "algorithm " << algorithm;
    }
}

TEST(GenLSFit, SingularNormalEquationsWithoutCovariance)
{
    // A zero column makes a diagonal element of N, and so of its factors, exactly zero.
    SingularProblem p;
    for (std::size_t i = 2; i < p.h.size(); i += 3)
        p.h[i] = 0.0;
    for (int algorithm : {4, 5}) {
        Outputs out(4, 3);
        EXPECT_EQ(GenLSFit(p.h.data(), 4, 3, p.y.data(), nullptr, algorithm, out.fitted.data(),
                           out.coef.data(), nullptr, &out.mse),
                  SM_ERR_SINGULAR);
        EXPECT_TRUE(out.untouched()) << "algorithm " << algorithm;
    }
    // The coefficient-only variant keeps the LU test but skips the Cholesky one.
    std::vector<double> coef(3, kSentinel);
    EXPECT_EQ(GenLSFitCoef(p.h.data(), 4, 3, p.y.data(), coef.data(), 4), SM_ERR_SINGULAR);
    EXPECT_THAT(coef, ::testing::Each(kSentinel));
    EXPECT_EQ(GenLSFitCoef(p.h.data(), 4, 3, p.y.data(), coef.data(), 5), SM_NO_ERROR);
    EXPECT_FALSE(std::isfinite(coef[2]));
}

TEST(GenLSFit, SvdThatCannotConvergeReportsMinus20003AndWritesNothing)
{
    // A NaN entry poisons the bidiagonal form: no singular value converges.
    std::vector<double> h{1.0, 0.5, 1.0, std::numeric_limits<double>::quiet_NaN(), 1.0, 2.25};
    const std::vector<double> y{0.3, 1.7, 2.9};
    Outputs out(3, 2);
    EXPECT_EQ(
        GenLSFit(h.data(), 3, 2, y.data(), nullptr, 0, out.fitted.data(), out.coef.data(), nullptr, &out.mse),
        SM_ERR_SAMPLES_GT_ZERO);
    EXPECT_TRUE(out.untouched());
}

TEST(GenLSFit, ZeroStdDevObservationsAreLeftOutOfTheCovariance)
{
    const fit_test::Problem p = fit_test::randomProblem(30, 3, 31u, true);
    std::vector<double> sd = p.stdDev;
    sd[4] = 0.0;
    // Reference: the covariance of the problem without observation 4.
    fit_test::Problem reduced = p;
    reduced.h.erase(reduced.h.begin() + 12, reduced.h.begin() + 15);
    reduced.y.erase(reduced.y.begin() + 4);
    reduced.stdDev.erase(reduced.stdDev.begin() + 4);
    const fit_test::Reference ref = fit_test::solveReference(reduced.h, reduced.y, reduced.stdDev, 29, 3);
    for (int algorithm = 0; algorithm < 4; ++algorithm) {
        Outputs out(30, 3);
        GenLSFit(p.h.data(), 30, 3, p.y.data(), sd.data(), algorithm, out.fitted.data(), out.coef.data(),
                 out.covariance.data(), &out.mse);
        EXPECT_LT(relativeError(out.covariance.data(), ref.covariance), 1e-9) << "algorithm " << algorithm;
    }
}

} // namespace
